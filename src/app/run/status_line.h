// The status line under the main window's panel. During a run it shows the file being
// written, the dropouts, the markers set, the no-signal warning and the disk estimate;
// between runs the last run's summary, and which chosen device went away. Each item is one label; an empty
// item is hidden. Texts too long for the line end in "...", with the whole text in the
// item's tool tip and accessible name, and all shown items together are the line's
// accessible description. A screen reader is told of changes at most every quarter
// second, the last state always.
#pragma once

#include <QCoreApplication>
#include <QStatusBar>
#include <array>
#include <functional>

#include "controls/accessible_announcer.h"

class QLabel;

class StatusLine : public QStatusBar {
  Q_DECLARE_TR_FUNCTIONS(StatusLine)

 public:
  enum Item { File, Dropouts, Markers, Signal, Disk, Summary, Devices };
  static constexpr int itemCount = Devices + 1;

  explicit StatusLine(QWidget* parent = nullptr);

  // Shows `text` in `item` (empty hides it); nothing changes when the text is the same.
  void setItem(Item item, const QString& text);
  QString item(Item item) const;
  // Empties every item.
  void clearItems();

  // A click on a shown item.
  std::function<void(Item item)> OnItemClick;

 private:
  // Gives the items' texts to their accessible names and the line's description;
  // false when they already had them.
  bool publish();
  std::array<QLabel*, itemCount> items_{};
  AccessibleAnnouncer announcer_;
};
