// Small standard controls of the windows with the properties and events their
// handlers use: a label with a click event, a picture button with a tag, a hidden
// image that holds a button face, and a pair of spin buttons.
#pragma once

#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <cstdint>
#include <functional>

class QToolButton;

// A label; a click on it raises OnClick, its accelerator focuses its focus control.
class TLabel : public QLabel {
 public:
  explicit TLabel(const QString& caption, QWidget* parent = nullptr);

  QWidget* FocusControl() const { return buddy(); }
  void setFocusControl(QWidget* control) { setBuddy(control); }

  std::function<void(QObject* Sender)> OnClick;

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};

// A push button showing a picture, with a free integer tag.
class TBitBtn : public QPushButton {
 public:
  explicit TBitBtn(QWidget* parent = nullptr);

  QIcon Glyph() const { return icon(); }
  void setGlyph(const QIcon& glyph) { setIcon(glyph); }

  int32_t Tag = 0;
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
// a step past one end continues at the other. OnClick follows every step.
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

  std::function<void(QObject* Sender, TUDBtnType Button)> OnClick;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QToolButton* up_;
  QToolButton* down_;
  int16_t min_ = 0;
  int16_t max_ = 100;
  int16_t position_ = 0;
  int16_t increment_ = 1;
  bool wrap_ = false;
};
