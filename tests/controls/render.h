// Rendering helpers for the control tests: draw a control into an image over a
// sentinel colour and read pixels back as "#rrggbb" strings for readable failures.
#pragma once

#include <QColor>
#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <string>
#include <utility>

#include "controls/RackCtls.h"

// Colour the "parent" has under a control; any pixel still showing it was left alone.
inline const QColor kUnder(255, 0, 255);

template <typename Control>
QImage renderControl(const Control& control, qreal ratio = 1.0) {
  QImage image(control.size() * ratio, QImage::Format_ARGB32);
  image.setDevicePixelRatio(ratio);
  image.fill(kUnder);
  QPainter painter(&image);
  control.drawTo(painter);
  return image;
}

inline std::string hex(const QColor& color) { return color.name().toStdString(); }
inline std::string hex(TColor color) { return hex(ColorToQColor(color)); }
inline std::string hex(int r, int g, int b) { return hex(QColor(r, g, b)); }
inline std::string at(const QImage& image, int x, int y) { return hex(image.pixelColor(x, y)); }

// True when the image at `ratio` shows exactly the scale-1 image, each logical pixel
// as a solid ratio × ratio block of device pixels.
inline bool isBlockScaled(const QImage& one, const QImage& scaled, int ratio) {
  if (scaled.size() != one.size() * ratio) return false;
  for (int y = 0; y < scaled.height(); ++y)
    for (int x = 0; x < scaled.width(); ++x)
      if (scaled.pixel(x, y) != one.pixel(x / ratio, y / ratio)) return false;
  return true;
}

// True when every pixel of `scaled` has a colour that also occurs in `one`: nothing
// was blended by smoothing.
inline bool hasOnlyColoursOf(const QImage& one, const QImage& scaled) {
  QSet<QRgb> colours;
  for (int y = 0; y < one.height(); ++y)
    for (int x = 0; x < one.width(); ++x) colours.insert(one.pixel(x, y));
  for (int y = 0; y < scaled.height(); ++y)
    for (int x = 0; x < scaled.width(); ++x)
      if (!colours.contains(scaled.pixel(x, y))) return false;
  return true;
}

// Counts the paint events a widget receives: how a test sees from outside that a
// control was drawn, and how often.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
  // Lets the requested repaints happen; returns the paint events since the last call.
  int paints() {
    QCoreApplication::processEvents();
    return std::exchange(count_, 0);
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++count_;
    return false;
  }

 private:
  int count_ = 0;
};
