// The level-control inputs, the level and balance sliders and the labels' focus moves.
// The selected line's volumes live in volleft/volright; changetrack shows them on the
// sliders, trackchanged turns slider moves into volumes and writes them to the mixer.
#include <QComboBox>
#include <QRadioButton>
#include <QSlider>
#include <string>
#include <vector>

#include "app/dialogs/prompts.h"
#include "app/tessaron1.h"
#include "app/window/entry_lists.h"
#include "app/window/level_math.h"

namespace {

constexpr uint8_t hasVolumeControl = 0x20;

void setLineVolume(TAudio& audio, const TInputEntry& line, uint16_t left, uint16_t right, bool mute) {
  audio.Mixer()->SetVolume(static_cast<uint16_t>(line.destination), static_cast<uint16_t>(line.source), left, right,
                           mute);
}

}  // namespace

void TForm1::volumlist(int32_t device) {
  TMixerSettings* mixer = Audio1->Mixer();
  std::string deviceName;
  std::string description;
  if (!mixer->GetMixerInfo(deviceName, description)) return;
  // Copies: every call below refills the mixer's own list.
  const std::vector<std::string> destinations = mixer->GetDestinations();
  for (size_t i = 0; i < destinations.size(); ++i) {
    const auto destination = static_cast<uint16_t>(i);
    const std::vector<std::string> lines = mixer->GetSources(destination);
    for (size_t j = 0; j < lines.size(); ++j) {
      const auto source = static_cast<uint16_t>(j);
      uint16_t left = 0;
      uint16_t right = 0;
      bool mute = false;
      uint8_t flags = 0;
      if (!mixer->GetVolume(destination, source, left, right, mute, flags)) {
        const std::string caption =
            j == 0 ? destinations[i]
                   : "D: " + std::to_string(i) + destinations[i] + " S: " + std::to_string(j) + lines[j];
        prompts().messageBox(this, QString::fromStdString(Audio1->ErrorMessage), QString::fromStdString(caption),
                             QMessageBox::Ok, QMessageBox::NoIcon);
        continue;
      }
      if ((flags & hasVolumeControl) == 0) continue;
      std::string lineName;
      mixer->GetLineName(destination, source, lineName);
      auto* entry = new TInputEntry;
      entry->device = device;
      entry->destination = static_cast<int32_t>(i);
      entry->source = static_cast<int32_t>(j);
      entry->caption =
          deviceName + (j == 0 ? ": D " : ": S ") + (j == 0 ? destinations[i] : lines[j]) + ": " + lineName;
      if (volumfirst == nullptr) {
        volumfirst = entry;
      } else {
        volumlast->next = entry;
      }
      volumlast = entry;
      ComboBox3->addItem(QString::fromStdString(entry->caption));
    }
  }
}

void TForm1::ComboBox2Change(QObject*) {
  const int index = ComboBox2->currentIndex();
  if (index >= 0) Audio1->setAudioDeviceID(devicefromindex(index));
}

void TForm1::ComboBox3Change(QObject*) {
  volumsel = entryAt(volumfirst, ComboBox3->currentIndex(), volumsel);
  if (volumsel == nullptr) return;
  Audio2->setMixerDeviceID(volumsel->device);
  readSelectedLine(volleft, volright);
  changetrack();
}

void TForm1::Audio2MixerChange(TObject*, uint16_t Destination, uint16_t Source) {
  if (volumsel == nullptr || Destination != volumsel->destination || Source != volumsel->source) return;
  readSelectedLine(volleft, volright);
  changetrack();
}

std::optional<bool> TForm1::readSelectedLine(uint16_t& left, uint16_t& right) {
  if (volumsel == nullptr) return std::nullopt;
  // A line without a mute control leaves `mute` as it is; no mute state is written to it.
  bool mute = volumsel->lastmute.value_or(false);
  uint8_t flags = 0;
  if (Audio2->Mixer()->GetVolume(static_cast<uint16_t>(volumsel->destination), static_cast<uint16_t>(volumsel->source),
                                 left, right, mute, flags)) {
    volumsel->lastmute = mute;
  }
  return volumsel->lastmute;
}

void TForm1::writeSelectedLine() {
  if (volumsel == nullptr) return;
  // Start from values other than the ones to write, so that a line that cannot be read
  // is written as before.
  uint16_t left = static_cast<uint16_t>(~volleft);
  uint16_t right = volright;
  const std::optional<bool> mute = readSelectedLine(left, right);
  // A line that already holds these volumes is left alone: on every meter tick this
  // write would otherwise go to the mixer to change nothing.
  if (mute && (left != volleft || right != volright)) setLineVolume(*Audio2, *volumsel, volleft, volright, *mute);
}

void TForm1::changetrack() {
  trackbusy = true;
  if (RadioButton2->isChecked()) {
    TrackBar1->setValue(level::sliderFromVolume(volleft, TrackBar1->maximum()));
    TrackBar2->setValue(level::sliderFromVolume(volright, TrackBar2->maximum()));
    // While the balance slider's own move is handled it stays where the user put it.
    if (trackwhich != 4) TrackBar4->setValue(level::balanceFromVolumes(volleft, volright).value_or(50));
  } else {
    TrackBar5->setValue(level::sliderFromVolume(std::max(volleft, volright), TrackBar5->maximum()));
    // Silence has no balance: the slider keeps its place.
    if (const auto balance = level::balanceFromVolumes(volleft, volright)) TrackBar4->setValue(*balance);
  }
  trackbusy = false;
}

void TForm1::trackchanged() {
  if (trackbusy) return;
  trackbusy = true;
  volumsel = entryAt(volumfirst, ComboBox3->currentIndex(), volumsel);
  std::optional<bool> mute;
  if (volumsel != nullptr) {
    Audio2->setMixerDeviceID(volumsel->device);
    mute = readSelectedLine(volleft, volright);
  }
  if (RadioButton2->isChecked()) {
    if (trackwhich == 4) {
      // The balance lowers one channel from the louder of the two; the level sliders
      // follow when the mixer reports the change.
      const uint16_t m = std::max(volleft, volright);
      const int p = TrackBar4->value();
      volleft = p > 50 ? level::lowerByBalance(m, p - 50) : m;
      volright = p < 50 ? level::lowerByBalance(m, 50 - p) : m;
    } else {
      volleft = level::volumeFromSlider(TrackBar1->value(), TrackBar1->maximum());
      volright = level::volumeFromSlider(TrackBar2->value(), TrackBar2->maximum());
      TrackBar4->setValue(level::balanceFromVolumes(volleft, volright).value_or(50));
    }
  } else {
    const uint16_t v = level::volumeFromSlider(TrackBar5->value(), TrackBar5->maximum());
    const int p = TrackBar4->value();
    volleft = p > 50 ? level::lowerByBalance(v, p - 50) : v;
    volright = p < 50 ? level::lowerByBalance(v, 50 - p) : v;
  }
  // The sliders never change muting: the line is written with the mute state it has,
  // and not at all while that state is unknown.
  if (volumsel != nullptr && mute) setLineVolume(*Audio2, *volumsel, volleft, volright, *mute);
  trackbusy = false;
}

namespace {

// Runs one slider's change: the slider is the one being handled while trackchanged runs.
// A change raised while the program itself moves the sliders does nothing.
void sliderChanged(TForm1& form, int32_t which) {
  if (form.trackbusy) return;
  form.trackwhich = which;
  form.trackchanged();
  form.trackwhich = 0;
}

}  // namespace

void TForm1::TrackBar1Change(QObject*) { sliderChanged(*this, 1); }
void TForm1::TrackBar2Change(QObject*) { sliderChanged(*this, 2); }
void TForm1::TrackBar4Change(QObject*) { sliderChanged(*this, 4); }
void TForm1::TrackBar5Change(QObject*) { sliderChanged(*this, 5); }

void TForm1::RadioButton2Click(QObject*) {
  if (RadioButton1->isChecked()) {
    TrackBar4->setEnabled(true);
    TrackBar5->show();
    TrackBar1->hide();
    TrackBar2->hide();
    Label7->setFocusControl(TrackBar5);
  } else {
    TrackBar5->hide();
    TrackBar1->show();
    TrackBar2->show();
    Label7->setFocusControl(TrackBar1);
  }
  changetrack();
}

void TForm1::Label3Click(QObject*) { ComboBox1->setFocus(); }
void TForm1::Label4Click(QObject*) { ComboBox2->setFocus(); }
void TForm1::Label5Click(QObject*) { ComboBox3->setFocus(); }
void TForm1::Label6Click(QObject*) { TrackBar3->setFocus(); }
void TForm1::Label7Click(QObject*) { (RadioButton2->isChecked() ? TrackBar1 : TrackBar5)->setFocus(); }
void TForm1::Label11Click(QObject*) { TrackBar4->setFocus(); }
