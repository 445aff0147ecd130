#include "platform/window_sight.h"

#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QEvent>
#include <QExposeEvent>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <memory>

namespace {

// The X server's connection, on the X11 platform; null on any other.
xcb_connection_t* xcbConnection() {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 != nullptr ? x11->connection() : nullptr;
}

}  // namespace

WindowSight::WindowSight(QWidget* window) : QObject(window), window_(window) {
  window_->installEventFilter(this);
  QCoreApplication::instance()->installNativeEventFilter(this);
  watchHandle();
}

WindowSight::~WindowSight() {
  if (QCoreApplication::instance() != nullptr) QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool WindowSight::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window_) {
    switch (event->type()) {
      case QEvent::Show:
        watchHandle();
        selectVisibility();
        shown_ = true;
        reconsider();
        break;
      case QEvent::Hide:
      case QEvent::WindowStateChange: reconsider(); break;
      case QEvent::WinIdChange:
        watchHandle();
        selectVisibility();
        break;
      default: break;
    }
  } else if (watched == handle_ && event->type() == QEvent::Expose) {
    // Seen before the window paints what the exposure asks for: updates are back on by then.
    unexposed_ = !handle_->isExposed();
    reconsider();
  }
  return false;
}

bool WindowSight::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (xid_ == 0 || eventType != "xcb_generic_event_t") return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  if ((event->response_type & 0x7f) != XCB_VISIBILITY_NOTIFY) return false;
  const auto* visibility = static_cast<const xcb_visibility_notify_event_t*>(message);
  if (visibility->window != xid_) return false;
  covered_ = visibility->state == XCB_VISIBILITY_FULLY_OBSCURED;
  reconsider();
  return false;  // the toolkit may see it too
}

void WindowSight::watchHandle() {
  QWindow* handle = window_->windowHandle();
  if (handle == handle_) return;
  if (handle_) handle_->removeEventFilter(this);
  handle_ = handle;
  if (handle_) handle_->installEventFilter(this);
}

void WindowSight::selectVisibility() {
  xcb_connection_t* connection = xcbConnection();
  if (connection == nullptr || window_->internalWinId() == 0) return;
  const auto xid = static_cast<xcb_window_t>(window_->winId());
  if (xid == xid_) return;
  xid_ = xid;
  covered_ = false;
  // The toolkit's own selection of events stays; visibility changes are added to it.
  const xcb_get_window_attributes_cookie_t cookie = xcb_get_window_attributes(connection, xid);
  const std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> attributes(
      xcb_get_window_attributes_reply(connection, cookie, nullptr), &std::free);
  if (!attributes) return;
  const uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_VISIBILITY_CHANGE;
  xcb_change_window_attributes(connection, xid, XCB_CW_EVENT_MASK, &mask);
  xcb_flush(connection);
}

void WindowSight::reconsider() {
  // A window never shown yet is left to the toolkit as it is.
  const bool seen =
      !shown_ || (window_->isVisible() && !(window_->windowState() & Qt::WindowMinimized) && !unexposed_ && !covered_);
  if (seen == seen_) return;
  seen_ = seen;
  // Turning updates back on repaints the whole window, with every control's current state.
  window_->setUpdatesEnabled(seen);
  if (OnChange) OnChange(seen);
}
