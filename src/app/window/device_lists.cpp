// Filling the three device lists, and filling them again when devices come or go.
#include "app/window/device_lists.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QScrollBar>
#include <QStringList>
#include <QStyle>
#include <algorithm>
#include <string>
#include <utility>

#include "app/run/status_line.h"
#include "app/tessaron1.h"

namespace {

// How often a change that had to wait looks again whether the lists are free.
constexpr int retryMilliseconds = 500;

// Opens mixer `device` of `audio` afresh, so that its lines are those the driver has now
// (setting the device number it already has would keep the old lines).
void reopenMixer(TAudio& audio, int32_t device) {
  if (audio.MixerDeviceID() != device) {
    audio.setMixerDeviceID(device);
  } else if (audio.Mixer()->BuildLineTree(device)) {
    audio.Mixer()->Valid = true;
  }
}

// Names shown whole: a list wider than its box opens as wide as its longest name (with
// room for the scroll bar and the item's margins).
void openAsWideAsItsNames(QComboBox& box) {
  int widest = 0;
  for (int i = 0; i < box.count(); ++i) widest = std::max(widest, box.fontMetrics().horizontalAdvance(box.itemText(i)));
  box.view()->setTextElideMode(Qt::ElideNone);
  box.view()->setMinimumWidth(widest + box.view()->verticalScrollBar()->sizeHint().width() +
                              4 * box.style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 8);
}

// What a list had chosen before it was filled again.
struct Choice {
  int index = -1;
  QString name;
};

Choice chosen(const QComboBox& box) { return {box.currentIndex(), box.currentText()}; }

// Selects the chosen entry again by its name; one that is gone falls back to the first item.
// False when it is gone.
bool choose(QComboBox& box, const Choice& choice) {
  if (choice.index < 0) {
    box.setCurrentIndex(-1);
    return true;
  }
  const int found = itemNamed(box, choice.name, choice.index);
  box.setCurrentIndex(found >= 0 ? found : (box.count() > 0 ? 0 : -1));
  return found >= 0;
}

template <typename Entry>
void freeEntries(Entry*& first, Entry*& last, Entry*& selected) {
  while (first != nullptr) delete std::exchange(first, first->next);
  last = selected = nullptr;
}

}  // namespace

int itemNamed(const QComboBox& box, const QString& name, int preferred) {
  if (name.isEmpty()) return -1;
  if (preferred >= 0 && preferred < box.count() && box.itemText(preferred) == name) return preferred;
  return box.findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
}

DeviceLists::DeviceLists(TForm1& form) : form_(form) {
  retry_.setSingleShot(true);
  retry_.setInterval(retryMilliseconds);
  QObject::connect(&retry_, &QTimer::timeout, &form_, guarded<>([this] { changed(); }));
}

void DeviceLists::fill() {
  TForm1& f = form_;
  filling_ = true;
  // Every mixer device adds its meter sources and level-control inputs; the first device
  // number the mixer does not know ends the list. The wave-data meter source needs no
  // mixer, so it is there even without one.
  f.addWaveDataEntry();
  f.Audio1->setMixerDeviceID(0);
  std::string name;
  std::string description;
  for (int32_t device = 0; f.Audio1->Mixer()->GetMixerInfo(name, description); ++device) {
    f.meterlist(device);
    f.volumlist(device);
    f.Audio1->setMixerDeviceID(device + 1);
  }

  // Recording devices: the wave mapper first, then the input devices. Device numbers
  // above 9 address the wave mapper, so devices 0 to 9 are all that can be chosen, and
  // the list ends there even when more are present.
  const int32_t audioDevice = f.Audio1->AudioDeviceID();
  f.Audio1->setAudioDeviceID(0);
  f.ComboBox2->addItem(TForm1::tr("Wavemapper"));
  for (int32_t device = 0; device <= 9; ++device) {
    f.Audio1->setAudioDeviceID(device);
    if (!f.Audio1->GetDeviceInfo(name, description)) break;
    f.ComboBox2->addItem(QString::fromStdString(name));
  }
  f.Audio1->setAudioDeviceID(audioDevice);

  for (QComboBox* box : {f.ComboBox1, f.ComboBox2, f.ComboBox3}) openAsWideAsItsNames(*box);
  filling_ = false;
}

bool DeviceLists::canFollow() const {
  return !filling_ && !form_.runrecord.active && !form_.armedstart && !form_.Audio1->Recorder()->IsOpen.load() &&
         QApplication::activeModalWidget() == nullptr;
}

void DeviceLists::changed() {
  pending_ = true;
  if (!canFollow()) {
    retry_.start();
    return;
  }
  retry_.stop();
  pending_ = false;
  follow();
}

void DeviceLists::follow() {
  TForm1& f = form_;
  const Choice meter = chosen(*f.ComboBox1);
  const Choice device = chosen(*f.ComboBox2);
  const Choice input = chosen(*f.ComboBox3);

  for (QComboBox* box : {f.ComboBox1, f.ComboBox2, f.ComboBox3}) box->clear();
  freeEntries(f.meterfirst, f.meterlast, f.metersel);
  freeEntries(f.volumfirst, f.volumlast, f.volumsel);
  reopenMixer(*f.Audio1, 0);
  fill();

  // The entries chosen before, by name; the handlers then take them as a choice would.
  QStringList gone;
  if (!choose(*f.ComboBox2, device))
    gone << TForm1::tr("The recording device \"%1\" is gone; \"%2\" records now.")
                .arg(device.name, f.ComboBox2->currentText());
  if (!choose(*f.ComboBox1, meter))
    gone
        << TForm1::tr("The meter \"%1\" is gone; the meter is \"%2\" now.").arg(meter.name, f.ComboBox1->currentText());
  if (!choose(*f.ComboBox3, input))
    gone << TForm1::tr("The level control line \"%1\" is gone; it is \"%2\" now.")
                .arg(input.name, f.ComboBox3->currentText());
  f.metersel = f.meterfirst;
  f.volumsel = f.volumfirst;
  if (f.volumsel != nullptr) reopenMixer(*f.Audio2, f.volumsel->device);
  f.ComboBox1Change(&f);
  f.ComboBox2Change(&f);
  f.ComboBox3Change(&f);
  if (!gone.isEmpty()) f.StatusBar1->setItem(StatusLine::Devices, gone.join(' '));
}
