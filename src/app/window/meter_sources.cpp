// The list of meter sources and the 25 ms meter polling.
#include <QComboBox>
#include <QRadioButton>
#include <QTimer>
#include <cmath>
#include <cstdint>

#include "app/dialogs/prompts.h"
#include "app/tessaron1.h"
#include "app/window/entry_lists.h"
#include "app/window/level_math.h"

void TForm1::addWaveDataEntry() {
  if (meterfirst != nullptr) return;
  // Its device is never used to read a meter; device 0 is what the mixer enumeration
  // starts with, so pointing Audio1's mixer at it changes nothing.
  auto* entry = new TMeterEntry;
  entry->caption = tr("refer to wave data").toStdString();
  entry->wavedata = true;
  meterfirst = meterlast = metersel = entry;
  ComboBox1->addItem(QString::fromStdString(entry->caption));
}

void TForm1::meterlist(int32_t device) {
  addWaveDataEntry();
  Audio1->setMixerDeviceID(device);
  TMixerSettings* mixer = Audio1->Mixer();
  std::string name;
  std::string description;
  if (mixer->GetMixerInfo(name, description)) {
    // Copies: the lists are the mixer's and are reused by the next query.
    const size_t destinations = mixer->GetDestinations().size();
    for (size_t i = 0; i < destinations; ++i) {
      const auto destination = static_cast<uint16_t>(i);
      const size_t lines = mixer->GetSources(destination).size();
      for (size_t j = 0; j < lines; ++j) {
        const auto source = static_cast<uint16_t>(j);
        int32_t left = 0;
        int32_t right = 0;
        if (!mixer->GetPeak(destination, source, left, right)) continue;  // no readable meter
        std::string lineName;
        mixer->GetLineName(destination, source, lineName);
        auto* entry = new TMeterEntry;
        entry->device = device;
        entry->destination = destination;
        entry->source = source;
        entry->caption = name + ": " + lineName;
        meterlast->next = entry;
        meterlast = entry;
        ComboBox1->addItem(QString::fromStdString(entry->caption));
      }
    }
  }
  if (ComboBox1->count() > 0) ComboBox1->setCurrentIndex(0);
  metersel = meterfirst;
}

void TForm1::ComboBox1Change(QObject*) { metersel = entryAt(meterfirst, ComboBox1->currentIndex(), metersel); }

int32_t TForm1::meterPosition(int32_t value, int32_t max) {
  const long double scaled = std::fabs(static_cast<long double>(value) / 32767.0L * max);
  // The meter clamps to its range anyway; limiting first keeps the conversion defined.
  if (scaled >= static_cast<long double>(INT32_MAX)) return INT32_MAX;
  return static_cast<int32_t>(level::roundEven(scaled));
}

void TForm1::Timer1Timer(QObject*) {
  if (metersel == nullptr) {
    Timer1->stop();
    if (BitBtn3->isEnabled()) {
      prompts().messageBox(this, tr("Kein Meter angewählt, Meter abgestellt"), tr("Aufnahme"), QMessageBox::Ok,
                           QMessageBox::Warning);
    } else {
      setMonitorTag(1);
      nach_klick();
    }
    return;
  }

  if (!metersel->wavedata) {
    int32_t left = 0;
    int32_t right = 0;
    if (!Audio1->Mixer()->GetPeak(static_cast<uint16_t>(metersel->destination), static_cast<uint16_t>(metersel->source),
                                  left, right))
      return;  // the meters keep their positions, and the level control waits too
    LEDMeter1->setPosition(meterPosition(left, LEDMeter1->Max()));
    LEDMeter2->setPosition(meterPosition(right, LEDMeter2->Max()));
  } else {
    // 8-bit peaks (0..128) join the 16-bit range shifted by 8 bits.
    const int32_t scale = Audio1->Recorder()->BitsPerSample() == TBPS::_16 ? 1 : 256;
    LEDMeter1->setPosition(meterPosition(peakleft * scale, LEDMeter1->Max()));
    LEDMeter2->setPosition(meterPosition(peakright * scale, LEDMeter2->Max()));
  }

  if (RadioButton5->isChecked() || RadioButton4->isChecked()) levelControlTick();
}
