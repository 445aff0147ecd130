// Paces a control's change events for assistive technology: the first goes out at once,
// later ones at most every interval, and the last state always follows.
#include "controls/accessible_announcer.h"

#include <QAccessible>
#include <QTimerEvent>

namespace {

std::function<void(QAccessibleEvent*)>& recorder() {
  static std::function<void(QAccessibleEvent*)> r;
  return r;
}

}  // namespace

AccessibleAnnouncer::AccessibleAnnouncer(std::function<bool()> announce) : announce_(std::move(announce)) {}

void AccessibleAnnouncer::changed() {
  if (!active()) return;
  if (timer_.isActive()) {
    pending_ = true;
    return;
  }
  if (announce_()) timer_.start(kIntervalMs, Qt::PreciseTimer, this);
}

void AccessibleAnnouncer::timerEvent(QTimerEvent* event) {
  if (event->timerId() != timer_.timerId()) {
    QObject::timerEvent(event);
    return;
  }
  // The interval is over: what changed during it is told now and starts the next one;
  // with nothing new the announcer rests until the next change.
  const bool tell = pending_ && active();
  pending_ = false;
  if (!tell || !announce_()) timer_.stop();
}

bool AccessibleAnnouncer::active() { return recorder() ? true : QAccessible::isActive(); }

void AccessibleAnnouncer::send(QAccessibleEvent* event) {
  if (recorder())
    recorder()(event);
  else
    QAccessible::updateAccessibility(event);
}

void AccessibleAnnouncer::setRecorder(std::function<void(QAccessibleEvent*)> r) { recorder() = std::move(r); }
