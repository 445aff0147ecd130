// Automatic level control and the trigger slider. On every meter tick in "Down only" and
// "Up/Down" the clip sums of the blocks since the last tick lower the record volume; in
// "Up/Down" a loud block restarts a five-second hold (Timer2), after which the ramp
// (Timer3) raises the volume step by step until the next loud block.
#include <QRadioButton>
#include <QSlider>
#include <QTimer>
#include <utility>

#include "app/tessaron1.h"
#include "app/window/level_math.h"

namespace {

constexpr int holdInterval = 5000;
constexpr uint16_t rampStep = 300;
// A volume at or above this is no longer raised (the ramp's highest value is 65534).
constexpr uint16_t rampCeiling = 65235;

}  // namespace

void TForm1::levelControlTick() {
  if (!RadioButton4->isChecked() && !RadioButton5->isChecked()) return;

  // Each sum is taken and cleared in one go; blocks arriving later add to a fresh sum.
  if (const uint16_t over = std::exchange(overleft, 0); over > 0) {
    volleft = level::scaleVolume(volleft, level::downFactor(over, overlow, overhigh));
    changetrack();
  }
  if (const uint16_t over = std::exchange(overright, 0); over > 0) {
    volright = level::scaleVolume(volright, level::downFactor(over, overlow, overhigh));
    changetrack();
  }

  // Near the limit the hold starts again: the left peak is compared with the scaled limit,
  // the right peak with the limit itself.
  bool loud;
  if (Audio1->Recorder()->BitsPerSample() == TBPS::_16) {
    loud = peakleft > level::scaleLimit(limit16, 0.85L) || peakright > limit16;
  } else {
    loud = peakleft > level::scaleLimit(limit8, 0.75L) || peakright > limit8;
  }
  if (loud) VUKup();

  writeSelectedLine();
}

void TForm1::VUKup() {
  if (!RadioButton5->isChecked()) return;
  Timer3->stop();
  Timer2->stop();
  Timer2->setInterval(holdInterval);
  Timer2->start();
}

void TForm1::Timer2Timer(QObject*) {
  Timer3->start();
  Timer2->stop();
}

void TForm1::Timer3Timer(QObject*) {
  if (volleft < rampCeiling) {
    volleft = static_cast<uint16_t>(volleft + rampStep);
    changetrack();
  }
  if (volright < rampCeiling) {
    volright = static_cast<uint16_t>(volright + rampStep);
    changetrack();
  }
  writeSelectedLine();
}

void TForm1::RadioButton3Click(QObject*) {
  Timer2->stop();
  Timer3->stop();
}

void TForm1::RadioButton4Click(QObject* Sender) { RadioButton3Click(Sender); }

void TForm1::RadioButton5Click(QObject*) {
  if (Timer1->isActive()) VUKup();
}

void TForm1::TrackBar3Change(QObject*) {
  Audio1->Recorder()->setTrigLevel(static_cast<uint16_t>(1000 - TrackBar3->value()));
}
