// Change events for assistive technology (a screen reader through AT-SPI), raised at a
// rate a listener can follow however often the control itself changes.
#pragma once

#include <QBasicTimer>
#include <QObject>
#include <functional>

class QAccessibleEvent;

// Announces the changes of one control: the first change at once, those that follow
// within kIntervalMs together at the end of the interval with the state as it then is,
// so the last state always reaches the listener. Without an accessibility client it
// does no work at all.
class AccessibleAnnouncer : public QObject {
 public:
  static constexpr int kIntervalMs = 250;

  // `announce` raises the event for the control's current state and returns false when
  // that state was already told (then no interval starts).
  explicit AccessibleAnnouncer(std::function<bool()> announce);

  // The control's shown state has changed.
  void changed();

  // True while an accessibility client listens.
  static bool active();
  // Hands an event to the listening client.
  static void send(QAccessibleEvent* event);
  // For tests, which run without a client: while set, events go to `recorder` instead,
  // and a client counts as listening.
  static void setRecorder(std::function<void(QAccessibleEvent*)> recorder);

 protected:
  void timerEvent(QTimerEvent* event) override;

 private:
  std::function<bool()> announce_;
  QBasicTimer timer_;
  bool pending_ = false;
};
