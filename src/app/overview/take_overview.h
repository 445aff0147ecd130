// The take overview: the history of the current (or last) run, fed from the per-block
// results the main window receives, and the "Take overview" window that shows it. The
// window is made the first time it is opened; while it is closed or minimised nothing is
// drawn, and open it repaints at most twice a second, only when the take has changed.
#pragma once

#include <QCoreApplication>
#include <QDateTime>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>

#include "app/overview/take_history.h"
#include "audio/Audio.h"
#include "scan/block_scan.h"

class QWidget;
class TakeOverviewWindow;

class TakeOverview {
  Q_DECLARE_TR_FUNCTIONS(TakeOverview)

 public:
  // The window, when made, is a window of its own owned by `owner`.
  explicit TakeOverview(QWidget* owner);
  ~TakeOverview();
  TakeOverview(const TakeOverview&) = delete;
  TakeOverview& operator=(const TakeOverview&) = delete;

  // --- fed by the main window, on the window thread, in block order ---
  // A run begins in this format; a recording names its first file.
  void runStarted(TBPS bits, TChannels channels, const QString& firstFile);
  // A block of the run as the scan found it, with the clip limits it was scanned against.
  void blockAnalysed(const BlockScanResult& scan, int32_t limit8, int32_t limit16);
  // Input was lost right before the next block: `seconds` of it.
  void dropout(double seconds);
  // One tenth of the lost input is on the run's clock.
  void lostTenth() { history_.addLost(); }
  // The recording went on into `path`.
  void fileStarted(const QString& path);
  // A marker at the present end of the run.
  void marker(const QString& text) { history_.addMark(TakeMarkKind::Marker, text); }
  // The run has ended; `summary` is what the status line says of it.
  void runEnded(const QString& summary);

  // Opens the window (or brings it to the front).
  void show();
  // "Save picture...": asks for a name (beside the run's first file by default) and
  // writes the picture as the window shows it as a PNG file; a failure is told.
  void savePicture();
  // The size the window has, or is made with.
  QSize windowSize() const;
  void setWindowSize(const QSize& size);
  // Whether the window has been opened in this session (so its state is worth keeping).
  bool everOpened() const { return !window_.isNull(); }
  // The stored settings held the window's state.
  bool stateStored = false;
  QWidget* owner() const { return owner_; }
  // The window, none before it was first opened.
  TakeOverviewWindow* window() const;
  bool isOpen() const;

  const TakeHistory& history() const { return history_; }
  // The facts of the take in words, as shown under the picture.
  QString factsText() const;

  // The local time, the system's unless replaced (tests).
  std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };

 private:
  QWidget* owner_;
  TakeHistory history_;
  QPointer<TakeOverviewWindow> window_;
  TBPS bits_ = TBPS::_16;
  bool active_ = false;
  bool clockStarted_ = false;
  QStringList files_;
  QString firstFile_;  // the path of the run's first file
  QSize windowSize_{760, 400};
  uint32_t dropouts_ = 0;
  double lostSeconds_ = 0;
  QString summary_;
};
