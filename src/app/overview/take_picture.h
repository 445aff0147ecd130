// The picture of a take: per channel the peak level of every stretch of the run on a
// dBFS scale from -60 to 0 dB (lines at -6, -12, -24, -48), the whole run filling the
// width; stretches that clipped in red, stretches without signal shaded, lost input
// tinted; file starts, dropouts and markers as marks (under the levels, with a flag above
// them) whose text shows on hover; the run
// time and the local clock time along the bottom. It draws from the take's history, which
// it reduces to its width only when painted.
#pragma once

#include <QCoreApplication>
#include <QRect>
#include <QWidget>
#include <vector>

#include "app/overview/take_history.h"

class QPainter;

class TakePicture : public QWidget {
  Q_DECLARE_TR_FUNCTIONS(TakePicture)

 public:
  // The colours the picture is drawn in.
  static constexpr QRgb kBackground = 0xffffffff;
  static constexpr QRgb kLevel = 0xff2e9e44;
  static constexpr QRgb kClipped = 0xffdc0000;
  static constexpr QRgb kSilent = 0xffd0d0d0;
  static constexpr QRgb kLost = 0xffffdcaa;
  static constexpr QRgb kGrid = 0xff8c8c8c;
  static constexpr QRgb kFileMark = 0xff005ac8;
  static constexpr QRgb kDropoutMark = 0xffe67800;
  static constexpr QRgb kMarkerMark = 0xff9600aa;
  static constexpr QRgb kCursor = 0xff000000;
  // The levels that have a labelled line.
  static constexpr int kLines[] = {-6, -12, -24, -48};
  static constexpr double kFloorDb = -60.0;

  explicit TakePicture(const TakeHistory& history, QWidget* parent = nullptr);

  // Where the run's columns are drawn: one pixel column per column of the reduction.
  QRect plotArea() const;
  // The band of channel `channel` (0 left or the only one, 1 right) inside the plot area.
  QRect lane(int channel) const;
  // The pixel column of run time `tenths` (the left edge of the stretch holding it).
  int xOf(uint64_t tenths) const;
  // The stretch of tenths that pixel column `x` shows; empty outside the plot area.
  TakeStretch stretchAt(int x) const;
  // The colour of a mark of `kind`.
  static QRgb markColour(TakeMarkKind kind);

  // What the picture shows at pixel column `x`: times, levels and the marks there.
  QString describeAt(int x) const;

  // The keyboard's cursor along the time axis: the arrow keys move it by a column, Page
  // Up and Page Down by a tenth of the width, Home and End to the ends. What is under it
  // is the picture's accessible name, so that a screen reader reads it out. -1: none.
  int cursorX() const { return cursorX_; }
  void setCursorX(int x);

  // Draws the picture as the widget shows it.
  void draw(QPainter& painter) const;

  QSize sizeHint() const override { return {720, 280}; }
  QSize minimumSizeHint() const override { return {240, 140}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void drawShading(QPainter& painter, int channel) const;
  void drawLane(QPainter& painter, int channel) const;
  void drawAxis(QPainter& painter) const;
  void drawMarks(QPainter& painter) const;
  // The marks within a few pixels of column `x`.
  std::vector<const TakeMark*> marksAt(int x) const;

  const TakeHistory& history_;
  int cursorX_ = -1;
  mutable std::vector<TakeColumn> columns_;  // the last reduction, kept to save allocations
};

// A peak (0..32767 of full scale) in dBFS; -infinity for 0.
double peakDb(uint16_t peak);
// "-12.0 dB", or "silence" for a peak of 0.
QString levelText(uint16_t peak);
