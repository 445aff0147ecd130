// Label, picture button, hidden image and spin buttons of the windows.
#include "app/window/form_controls.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QToolButton>
#include <algorithm>
#include <utility>

#include "app/window/accessibility.h"
#include "controls/accessible_read_only.h"

namespace {

// The spin buttons as assistive technology sees them: one spin button whose value is the
// position, with actions to step it up and down. The two arrow buttons inside are left
// out; the keys and the actions do what they do.
class AccessibleUpDown : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit AccessibleUpDown(TUpDown* spin) : QAccessibleWidget(spin, QAccessible::SpinBox) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }
  int childCount() const override { return 0; }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return QString::number(spin()->Position());
    return QAccessibleWidget::text(t);
  }

  QVariant currentValue() const override { return spin()->Position(); }
  void setCurrentValue(const QVariant& value) override { spin()->stepTo(value.toInt()); }
  QVariant maximumValue() const override { return spin()->Max(); }
  QVariant minimumValue() const override { return spin()->Min(); }
  QVariant minimumStepSize() const override { return spin()->Increment(); }

  QStringList actionNames() const override {
    return QStringList{increaseAction(), decreaseAction()} + QAccessibleWidget::actionNames();
  }
  void doAction(const QString& name) override {
    if (name == increaseAction()) {
      spin()->click(btNext);
    } else if (name == decreaseAction()) {
      spin()->click(btPrev);
    } else {
      QAccessibleWidget::doAction(name);
    }
  }
  QStringList keyBindingsForAction(const QString& name) const override {
    if (name == increaseAction()) return {QKeySequence(Qt::Key_Up).toString()};
    if (name == decreaseAction()) return {QKeySequence(Qt::Key_Down).toString()};
    return QAccessibleWidget::keyBindingsForAction(name);
  }

 private:
  TUpDown* spin() const { return static_cast<TUpDown*>(object()); }
};

// A picture button as assistive technology sees it: a push button whose press action
// clicks it (the toolkit's own would only flip a checkable button's state, without its
// handler), and whose check state, set by the program, is shown.
class AccessibleBitBtn : public QAccessibleWidget {
 public:
  explicit AccessibleBitBtn(TBitBtn* button) : QAccessibleWidget(button, QAccessible::Button) {}

  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.pressed = button()->isDown();
    s.checkable = button()->isCheckable();
    s.checked = button()->isChecked();
    return s;
  }
  QStringList actionNames() const override {
    QStringList names;
    if (button()->isEnabled()) names << pressAction();
    return names + QAccessibleWidget::actionNames();
  }
  void doAction(const QString& name) override {
    if (name != pressAction()) return QAccessibleWidget::doAction(name);
    // From the event loop, as a click is: a handler that opens a modal dialog must not
    // hold up the assistive technology that pressed it.
    if (button()->isEnabled()) button()->animateClick();
  }
  QStringList keyBindingsForAction(const QString& name) const override {
    if (name == pressAction()) return {QKeySequence(Qt::Key_Space).toString()};
    return QAccessibleWidget::keyBindingsForAction(name);
  }

 private:
  TBitBtn* button() const { return static_cast<TBitBtn*>(object()); }
};

// A label: its caption, or its name and its caption, read as text (see TLabel); it names
// the control it is the buddy of, as the toolkit's own labels do.
class AccessibleLabel : public AccessibleReadOnly {
 public:
  explicit AccessibleLabel(TLabel* label) : AccessibleReadOnly(label, QAccessible::StaticText) {}

  using AccessibleReadOnly::text;
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name && label()->accessibleName().isEmpty()) return withoutAccelerators(label()->text());
    return AccessibleReadOnly::text(t);
  }
  QString fullText() const override { return label()->spokenText(); }

  QList<QPair<QAccessibleInterface*, QAccessible::Relation>> relations(QAccessible::Relation match) const override {
    auto related = AccessibleReadOnly::relations(match);
    if ((match & QAccessible::Labelled) && label()->buddy() != nullptr) {
      if (QAccessibleInterface* field = QAccessible::queryAccessibleInterface(label()->buddy()))
        related.append({field, QAccessible::Labelled});
    }
    return related;
  }

 private:
  TLabel* label() const { return static_cast<TLabel*>(object()); }
};

// The interfaces of the controls above. The spin buttons carry no meta object of their
// own, so the controls are told apart by type, whatever class name the toolkit offers.
QAccessibleInterface* accessibleControl(const QString&, QObject* object) {
  if (auto* spin = dynamic_cast<TUpDown*>(object)) return new AccessibleUpDown(spin);
  if (auto* button = dynamic_cast<TBitBtn*>(object)) return new AccessibleBitBtn(button);
  if (auto* label = dynamic_cast<TLabel*>(object)) return new AccessibleLabel(label);
  return nullptr;
}

void installAccessibleControls() {
  [[maybe_unused]] static const bool installed = (QAccessible::installFactory(accessibleControl), true);
}

// Width of the focus frame around the spin buttons.
constexpr int focusFrame = 2;

}  // namespace

TLabel::TLabel(const QString& caption, QWidget* parent)
    : QLabel(caption, parent), announcer_([this] {
        const QString text = spokenText();
        if (text == announcedText_) return false;
        QAccessibleTextUpdateEvent event(this, 0, announcedText_, text);
        AccessibleAnnouncer::send(&event);
        announcedText_ = text;
        return true;
      }) {
  installAccessibleControls();
  announcedText_ = spokenText();
}

void TLabel::setText(const QString& caption) {
  QLabel::setText(caption);
  announcer_.changed();
}

QString TLabel::spokenText() const {
  const QString caption = withoutAccelerators(text());
  return accessibleName().isEmpty() ? caption : accessibleName() + ' ' + caption;
}

void TLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && OnClick) OnClick(this);
}

TBitBtn::TBitBtn(QWidget* parent) : QPushButton(parent) {
  installAccessibleControls();
  setIconSize(QSize(21, 21));
  setFocusPolicy(Qt::StrongFocus);
}

void TBitBtn::keyPressEvent(QKeyEvent* event) {
  // Space presses every push button; Return presses this one too, outside a dialog.
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
    click();
    return;
  }
  QPushButton::keyPressEvent(event);
}

void TBitBtn::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  // Checked or not, the button looks raised until it is pressed: its picture shows the state.
  if (!isDown()) option.state = (option.state & ~QStyle::State_On) | QStyle::State_Raised;
  painter.drawControl(QStyle::CE_PushButton, option);
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
  installAccessibleControls();
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

void TUpDown::setPosition(int16_t v) {
  const int16_t old = position_;
  position_ = std::clamp(v, min_, max_);
  if (position_ != old) positionChanged();
}

void TUpDown::stepTo(int target) {
  target = std::clamp<int>(target, min_, max_);
  const bool wrap = std::exchange(wrap_, false);
  for (int guard = max_ - min_ + 1; position_ != target && guard > 0; --guard)
    click(target > position_ ? btNext : btPrev);
  wrap_ = wrap;
}

void TUpDown::positionChanged() {
  if (!QAccessible::isActive()) return;
  QAccessibleValueChangeEvent event(this, position_);
  QAccessible::updateAccessibility(&event);
}

void TUpDown::click(TUDBtnType button) {
  const int step = button == btNext ? increment_ : -increment_;
  int next = position_ + step;
  if (next > max_) {
    next = wrap_ ? min_ : max_;
  } else if (next < min_) {
    next = wrap_ ? max_ : min_;
  }
  position_ = static_cast<int16_t>(next);
  positionChanged();
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
  // The buttons leave room for the focus frame around them.
  const QRect inner = rect().adjusted(focusFrame, focusFrame, -focusFrame, -focusFrame);
  const int half = inner.height() / 2;
  up_->setGeometry(inner.left(), inner.top(), inner.width(), half);
  down_->setGeometry(inner.left(), inner.top() + half, inner.width(), inner.height() - half);
}

void TUpDown::paintEvent(QPaintEvent*) {
  if (!hasFocus()) return;
  QPainter painter(this);
  QPen pen(palette().color(QPalette::Highlight), focusFrame);
  pen.setJoinStyle(Qt::MiterJoin);
  painter.setPen(pen);
  painter.drawRect(QRectF(rect()).adjusted(focusFrame / 2.0, focusFrame / 2.0, -focusFrame / 2.0, -focusFrame / 2.0));
}
