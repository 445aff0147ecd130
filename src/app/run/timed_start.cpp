// Recording length and timed start: the spin buttons and the start clock.
#include <QCheckBox>
#include <QTimer>
#include <cmath>

#include "app/run/display_time.h"
#include "app/tessaron1.h"

namespace {

// The start time shown between clock readings.
constexpr TColor paleSalmon = 0x00A0B0FF;  // red 255, green 176, blue 160

}  // namespace

void TForm1::UpDown1Click(QObject*, TUDBtnType) {
  LEDDisplay2->setValue(displayTime(UpDown2->Position(), UpDown1->Position()));
  // A length changed during a run counts down from the new value.
  if (runrecord.active) runrecord.countdown = lengthSet();
}

void TForm1::UpDown2Click(QObject* Sender, TUDBtnType Button) { UpDown1Click(Sender, Button); }

void TForm1::UpDown3Click(QObject*, TUDBtnType) {
  LEDDisplay3->setValue(displayTime(UpDown4->Position(), UpDown3->Position()));
  takeStartTime();
}

void TForm1::UpDown4Click(QObject* Sender, TUDBtnType Button) { UpDown3Click(Sender, Button); }

void TForm1::takeStartTime() {
  // The display's value may lie a little below h.mm; the 0.2 lifts it over the minute.
  const long double value = LEDDisplay3->Value();
  const long double hour = std::trunc(value);
  starthour = static_cast<uint16_t>(hour);
  startmin = static_cast<uint16_t>(std::trunc((value - hour) * 100.0L + 0.2L));
}

void TForm1::Timer4Timer(QObject*) {
  const QTime now = timeOfDay();
  nowhour = static_cast<uint16_t>(now.hour());
  nowmin = static_cast<uint16_t>(now.minute());
  nowsec = static_cast<uint16_t>(now.second());
  nowmsec = static_cast<uint16_t>(now.msec());

  // Each second is acted on once, at the first tick that sees it.
  if (nowhour == lasthour && nowmin == lastmin && nowsec == lastsec) return;
  lasthour = static_cast<int16_t>(nowhour);
  lastmin = static_cast<int16_t>(nowmin);
  lastsec = static_cast<int16_t>(nowsec);

  // While armed the display shows the clock, and for one second in ten the start time.
  if (nowsec % 10 == 0) {
    LEDDisplay3->setValue(displayTime(starthour, startmin));
    LEDDisplay3->setColorLED(paleSalmon);
  }
  if (nowsec % 10 == 1) {
    LEDDisplay3->setValue(displayTime(nowhour, nowmin));
    LEDDisplay3->setColorLED(clLime);
  }

  // The first new second seen within the start minute starts the recording; a minute
  // already passed today comes round again tomorrow.
  if (nowhour == starthour && nowmin == startmin) {
    CheckBox2->setChecked(false);
    Timer4->stop();
    // The recording start reads the start time from the display again.
    LEDDisplay3->setValue(displayTime(starthour, startmin));
    LEDDisplay3->setColorLED(clLime);
    BitBtn1Click(this);
  }
}
