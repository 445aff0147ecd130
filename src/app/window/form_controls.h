// Small standard controls of the windows with the properties and events their
// handlers use: a label with a click event, a picture button with a tag, a hidden
// image that holds a button face, and a pair of spin buttons. The picture button and
// the spin buttons are worked from the keyboard too and show when they have the focus.
#pragma once

#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "controls/accessible_announcer.h"

class QToolButton;

// A label; a click on it raises OnClick, its accelerator focuses its focus control.
// Assistive technology reads its caption as text; one given an accessible name (a counter
// whose caption is a bare number) reads as the name and the caption ("Left clips 3"), and
// a changed caption is told.
class TLabel : public QLabel {
  // A class of its own to the toolkit, which finds its accessible interface by class name.
  Q_OBJECT

 public:
  explicit TLabel(const QString& caption, QWidget* parent = nullptr);

  QWidget* FocusControl() const { return buddy(); }
  void setFocusControl(QWidget* control) { setBuddy(control); }

  // Hides QLabel's, which tells assistive technology nothing once the label is named.
  void setText(const QString& caption);
  // The text assistive technology reads.
  QString spokenText() const;

  std::function<void(QObject* Sender)> OnClick;

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  AccessibleAnnouncer announcer_;
  QString announcedText_;
};

// A push button showing a picture, with a free integer tag. Space and Return press it.
// Made checkable, it shows assistive technology an on/off state that only the program
// sets (setChecked); a press never changes it, and the picture alone shows it on screen.
// Assistive technology presses it as the user does, so its handler runs.
class TBitBtn : public QPushButton {
  // A class of its own to the toolkit, which finds its accessible interface by class name.
  Q_OBJECT

 public:
  explicit TBitBtn(QWidget* parent = nullptr);

  QIcon Glyph() const { return icon(); }
  void setGlyph(const QIcon& glyph) { setIcon(glyph); }

  int32_t Tag = 0;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void nextCheckState() override {}
  void paintEvent(QPaintEvent* event) override;
};

// A picture that is not shown itself; it holds a face for a button.
class TImage : public QWidget {
 public:
  explicit TImage(QWidget* parent = nullptr);

  QIcon Picture() const { return picture_; }
  void setPicture(const QIcon& picture);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QIcon picture_;
};

enum TUDBtnType { btNext, btPrev };

// Two spin buttons (up and down) that step a position between Min and Max; with Wrap on
// a step past one end continues at the other. OnClick follows every step. With the
// focus, the up and down keys step too and a frame in the highlight colour shows it;
// assistive technology sees one spin button with the position as its value.
class TUpDown : public QWidget {
 public:
  explicit TUpDown(QWidget* parent = nullptr);

  int16_t Min() const { return min_; }
  void setMin(int16_t v);
  int16_t Max() const { return max_; }
  void setMax(int16_t v);
  // Set by the program: clamped to Min..Max, no event.
  int16_t Position() const { return position_; }
  void setPosition(int16_t v);
  bool Wrap() const { return wrap_; }
  void setWrap(bool v) { wrap_ = v; }
  int16_t Increment() const { return increment_; }
  void setIncrement(int16_t v) { increment_ = v; }

  // One step as the user makes it with a button or an arrow key.
  void click(TUDBtnType button);
  // Steps (without wrapping) until the position is `target`, kept within Min..Max; as
  // the user would with the buttons, so OnClick follows every step.
  void stepTo(int target);

  std::function<void(QObject* Sender, TUDBtnType Button)> OnClick;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  // The focus frame; the toolkit repaints the control when the focus comes and goes.
  void paintEvent(QPaintEvent* event) override;

 private:
  void positionChanged();
  QToolButton* up_;
  QToolButton* down_;
  int16_t min_ = 0;
  int16_t max_ = 100;
  int16_t position_ = 0;
  int16_t increment_ = 1;
  bool wrap_ = false;
};
