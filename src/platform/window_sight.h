// Whether a top-level window can be seen: not while it is hidden, minimised, unmapped by
// the window manager or fully covered by other windows. While it cannot be seen, the
// window and all its controls are kept from painting and from asking to be painted
// (their updates are off, so a control's update() does nothing); the moment it can be
// seen again, updates come back on and the whole window is painted with what its
// controls hold by then. Nothing else is touched: timers, handlers and the controls'
// values go on as before.
//
// Fully covered is known from the X server's visibility notifications (on X11 without a
// compositor; a compositing desktop shows every window as visible, and then only the
// other cases count).
#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QPointer>
#include <functional>

class QWidget;
class QWindow;

class WindowSight : public QObject, private QAbstractNativeEventFilter {
 public:
  // `window` is a top-level widget; it must outlive the sight or take it as its child.
  explicit WindowSight(QWidget* window);
  ~WindowSight() override;

  // True while the window can be seen.
  bool seen() const { return seen_; }

  // Raised on the window's thread after seen() has changed, with the new value.
  std::function<void(bool seen)> OnChange;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
  // Follows the window's native window: its exposure, and the X server's visibility.
  void watchHandle();
  void selectVisibility();
  void reconsider();

  QWidget* window_;
  QPointer<QWindow> handle_;
  unsigned long xid_ = 0;
  bool shown_ = false;      // the window has been shown at least once
  bool unexposed_ = false;  // its last exposure said it is not on screen
  bool covered_ = false;    // the X server says other windows cover all of it
  bool seen_ = true;
};
