// The "Take overview" window: the picture of the take, its facts in words under it. Not
// modal and resizable. It repaints from a half-second timer that runs only while the
// window is shown and not minimised, and only when the take changed since the last paint.
#pragma once

#include <QCoreApplication>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;
class TakeHistory;
class TakePicture;

class TakeOverviewWindow : public QWidget {
  Q_DECLARE_TR_FUNCTIONS(TakeOverviewWindow)

 public:
  static constexpr int kRepaintMs = 500;
  // The help page of the overview.
  static constexpr int kHelpContext = 17;

  // `facts` gives the text under the picture; `save` runs for "Save picture...".
  TakeOverviewWindow(const TakeHistory& history, std::function<QString()> facts, std::function<void()> save,
                     QWidget* owner);

  TakePicture* picture() const { return picture_; }
  QLabel* facts() const { return factsLabel_; }
  QPushButton* saveButton() const { return saveButton_; }
  // The picture as the window shows it, at its present size.
  QImage image() const;
  // Brings picture and facts up to date with the take, if it changed since they were.
  void refresh();
  // Something beside the take changed (the facts): the next tick refreshes.
  void invalidate() { shownRevision_ = ~uint64_t{0}; }
  // Whether anybody could see the window: shown and not minimised.
  bool seen() const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void followSight();

  const TakeHistory& history_;
  std::function<QString()> factsText_;
  TakePicture* picture_;
  QLabel* factsLabel_;
  QPushButton* saveButton_;
  QTimer repaint_;
  uint64_t shownRevision_ = ~uint64_t{0};
};
