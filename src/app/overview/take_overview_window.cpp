#include "app/overview/take_overview_window.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/overview/take_history.h"
#include "app/overview/take_picture.h"
#include "platform/help_system.h"

TakeOverviewWindow::TakeOverviewWindow(const TakeHistory& history, std::function<QString()> facts,
                                       std::function<void()> save, QWidget* owner)
    : QWidget(owner, Qt::Window), history_(history), factsText_(std::move(facts)) {
  setWindowTitle(tr("Take overview"));
  setObjectName("TakeOverview");
  picture_ = new TakePicture(history_, this);
  picture_->setAccessibleName(tr("Take picture"));
  factsLabel_ = new QLabel(this);
  factsLabel_->setWordWrap(true);
  factsLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  saveButton_ = new QPushButton(tr("Save picture..."), this);
  QObject::connect(saveButton_, &QPushButton::clicked, this, [save = std::move(save)] {
    if (save) save();
  });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(picture_, 1);
  auto* below = new QHBoxLayout;
  below->addWidget(factsLabel_, 1);
  below->addWidget(saveButton_, 0, Qt::AlignTop);
  layout->addLayout(below);
  resize(760, 400);
  setHelpContext(this, kHelpContext);
  picture_->setFocus();

  repaint_.setInterval(kRepaintMs);
  QObject::connect(&repaint_, &QTimer::timeout, this, [this] { refresh(); });
}

QImage TakeOverviewWindow::image() const {
  QImage image(picture_->size(), QImage::Format_RGB32);
  QPainter painter(&image);
  picture_->draw(painter);
  return image;
}

bool TakeOverviewWindow::seen() const { return isVisible() && !isMinimized(); }

void TakeOverviewWindow::refresh() {
  if (!seen() || shownRevision_ == history_.revision()) return;
  shownRevision_ = history_.revision();
  const QString facts = factsText_();
  factsLabel_->setText(facts);
  // The same facts in words for assistive technology, and what is under the cursor now.
  picture_->setAccessibleDescription(facts);
  if (picture_->cursorX() >= 0) picture_->setCursorX(picture_->cursorX());
  picture_->update();
}

void TakeOverviewWindow::followSight() {
  if (seen()) {
    // What changed while nobody saw the window is shown at once.
    invalidate();
    refresh();
    repaint_.start();
  } else {
    repaint_.stop();
  }
}

void TakeOverviewWindow::keyPressEvent(QKeyEvent* event) {
  // The help key, wherever the focus is in the window, opens the overview's page.
  if (event->key() == Qt::Key_F1) {
    HelpSystem::instance().command(HELP_CONTEXT, static_cast<uintptr_t>(kHelpContext));
    return;
  }
  QWidget::keyPressEvent(event);
}

void TakeOverviewWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  followSight();
}

void TakeOverviewWindow::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  followSight();
}

void TakeOverviewWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange) followSight();
}
