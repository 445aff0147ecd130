// Label, picture button, hidden image and spin buttons of the windows.
#include "app/form_controls.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>
#include <algorithm>

TLabel::TLabel(const QString& caption, QWidget* parent) : QLabel(caption, parent) {}

void TLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && OnClick) OnClick(this);
}

TBitBtn::TBitBtn(QWidget* parent) : QPushButton(parent) {
  setIconSize(QSize(21, 21));
  setFocusPolicy(Qt::StrongFocus);
}

TImage::TImage(QWidget* parent) : QWidget(parent) {}

void TImage::setPicture(const QIcon& picture) {
  picture_ = picture;
  update();
}

void TImage::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  picture_.paint(&painter, rect());
}

TUpDown::TUpDown(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::TabFocus);
  up_ = new QToolButton(this);
  up_->setArrowType(Qt::UpArrow);
  up_->setAutoRepeat(true);
  up_->setFocusPolicy(Qt::NoFocus);
  down_ = new QToolButton(this);
  down_->setArrowType(Qt::DownArrow);
  down_->setAutoRepeat(true);
  down_->setFocusPolicy(Qt::NoFocus);
  connect(up_, &QToolButton::clicked, this, [this] { click(btNext); });
  connect(down_, &QToolButton::clicked, this, [this] { click(btPrev); });
}

void TUpDown::setMin(int16_t v) {
  min_ = v;
  max_ = std::max(max_, min_);
  position_ = std::clamp(position_, min_, max_);
}

void TUpDown::setMax(int16_t v) {
  max_ = v;
  min_ = std::min(min_, max_);
  position_ = std::clamp(position_, min_, max_);
}

void TUpDown::setPosition(int16_t v) { position_ = std::clamp(v, min_, max_); }

void TUpDown::click(TUDBtnType button) {
  const int step = button == btNext ? increment_ : -increment_;
  int next = position_ + step;
  if (next > max_) {
    next = wrap_ ? min_ : max_;
  } else if (next < min_) {
    next = wrap_ ? max_ : min_;
  }
  position_ = static_cast<int16_t>(next);
  if (OnClick) OnClick(this, button);
}

void TUpDown::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Up) {
    click(btNext);
  } else if (event->key() == Qt::Key_Down) {
    click(btPrev);
  } else {
    QWidget::keyPressEvent(event);
  }
}

void TUpDown::resizeEvent(QResizeEvent*) {
  const int half = height() / 2;
  up_->setGeometry(0, 0, width(), half);
  down_->setGeometry(0, half, width(), height() - half);
}
