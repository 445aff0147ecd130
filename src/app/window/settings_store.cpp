// Loading, saving and removing the stored settings.
//
// The settings live in one key of the current user's store. Loading reads every value
// into its field, checks them all, and applies them; a missing, unreadable or
// out-of-range value discards the stored settings and applies the built-in defaults.
// Values added in later versions (the pre-trigger time, the two archive options) may be
// missing: settings saved by an older version load with their defaults. Beside the three lists' item indexes the
// names of the chosen items are kept in a key of their own; an item found by its name is
// chosen wherever it stands now, so a choice survives devices listed in another order.
#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>
#include <array>
#include <utility>

#include "app/dialogs/prompts.h"
#include "app/dialogs/recsetdlg.h"
#include "app/overview/take_overview.h"
#include "app/overview/take_overview_store.h"
#include "app/tessaron1.h"
#include "app/window/device_lists.h"
#include "platform/registry.h"

namespace {

const QString settingsKey = QStringLiteral("\\Software\\Morvadel\\Tessaron\\1.0");
// Removing the settings removes the maker's key with everything below it.
const QString makerKey = QStringLiteral("\\Software\\Morvadel");
// The names of the items chosen in the three lists, each under its index value's name.
const QString namesKey = settingsKey + QStringLiteral("\\Names");

// The item that a stored index and name choose in `box`.
struct StoredItem {
  int32_t index = 0;
  QString name;
  // The item of that name, else -1.
  int found(const QComboBox& box) const { return itemNamed(box, name, index); }
  bool accepted(const QComboBox& box) const { return index <= box.count() - 1 || found(box) >= 0; }
  void select(QComboBox& box) const {
    const int item = found(box);
    box.setCurrentIndex(item >= 0 ? item : index);
  }
};

// The stored names; a name missing or of another kind is no name (the index chooses).
void readNames(StoredItem& meter, StoredItem& volume, StoredItem& device) {
  Registry names;
  if (!names.openKey(namesKey, false)) return;
  for (auto [name, item] :
       {std::pair{"Meter", &meter}, std::pair{"Volume", &volume}, std::pair{"Audiodevice", &device}}) {
    try {
      if (names.valueExists(name)) item->name = names.readString(name);
    } catch (const RegistryError&) {
    }
  }
}

// A byte-block value of at most sizeof(T) bytes, little-endian, read into the first
// bytes of `field`. A missing value leaves the field as it is; a longer value or one of
// another kind is a RegistryError.
template <typename T>
void readBytes(const Registry& store, const QString& name, T& field) {
  if (!store.valueExists(name)) return;
  std::array<uint8_t, sizeof(T)> bytes{};
  for (size_t i = 0; i < sizeof(T); ++i) bytes[i] = static_cast<uint8_t>(field >> (8 * i));
  store.readBinaryData(name, bytes.data(), static_cast<qsizetype>(bytes.size()));
  T value = 0;
  for (size_t i = 0; i < sizeof(T); ++i) value = static_cast<T>(value | (static_cast<T>(bytes[i]) << (8 * i)));
  field = value;
}

template <typename T>
void writeBytes(Registry& store, const QString& name, T value) {
  std::array<uint8_t, sizeof(T)> bytes{};
  for (size_t i = 0; i < sizeof(T); ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
  store.writeBinaryData(name, bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// A settings file that could not be read was kept aside and the defaults apply: the user
// learns where the old file is, once, when the window has come up.
void tellStoreSetAside(TForm1& form) {
  const QString keptAs = Registry::takeSetAside();
  if (keptAs.isEmpty()) return;
  const QString text =
      TForm1::tr("The settings file could not be read, so the default settings apply.\nThe old file was kept as %1.")
          .arg(keptAs);
  QTimer::singleShot(0, &form, guarded<>([&form, text] {
                       prompts().messageBox(&form, text, "Tessaron", QMessageBox::Ok, QMessageBox::Warning);
                     }));
}

// Low rates get smaller blocks until the next start sets a tenth of a second.
void setBlockSizeFor(TRecorder& recorder, uint32_t rate) {
  if (rate < 25000) recorder.setNoSamples(2048);
  if (rate < 11000) recorder.setNoSamples(1024);
}

}  // namespace

bool TForm1::formatHeldBack() const { return Audio1->Recorder()->IsOpen.load(); }

void TForm1::optionsladen() {
  bool loaded = false;
  // The archive options as stored: 0 off, 1 on.
  int32_t broadcast = 0;
  int32_t rf64 = 0;
  TakeOverviewStore overview;
  try {
    Registry store;
    if (!store.openKey(settingsKey, false))
      throw RegistryError(QStringLiteral("Registry key %1 does not exist").arg(settingsKey).toStdString());
    savedmeter = store.readInteger("Meter");
    savedvolume = store.readInteger("Volume");
    savedfilename = store.valueExists("Filename") ? store.readString("Filename") : QString();
    savedaudiodevice = store.readInteger("Audiodevice");
    savedtriggerlevel = store.readInteger("Triggerlevel");
    savedtrigger = store.readInteger("Trigger") != 0;
    vukmode = store.readInteger("VUKMode");
    levelmode = store.readInteger("Levelmode");
    readBytes(store, "BPS", recbits);
    readBytes(store, "Channels", recchannels);
    readBytes(store, "samplerate", recsamplerate);  // two bytes, or four above 65535
    limit16 = store.readInteger("max16");
    limit8 = store.readInteger("max8");
    pretrigger = store.valueExists("PreTrigger") ? store.readInteger("PreTrigger") : 0;
    broadcast = store.valueExists("Broadcast") ? store.readInteger("Broadcast") : 0;
    rf64 = store.valueExists("RF64") ? store.readInteger("RF64") : 0;
    overview.read(store);
    store.closeKey();
    loaded = true;
  } catch (const RegistryError&) {
    // Whatever was read so far stays; the defaults follow.
  }
  tellStoreSetAside(*this);
  StoredItem meter{savedmeter, {}};
  StoredItem volume{savedvolume, {}};
  StoredItem device{savedaudiodevice, {}};
  if (loaded) readNames(meter, volume, device);

  // Item indexes are compared as signed numbers: -1 (no selection) loads. An index past
  // the end loads when the item's name is found.
  const bool accepted = loaded && meter.accepted(*ComboBox1) && volume.accepted(*ComboBox3) &&
                        device.accepted(*ComboBox2) && savedtriggerlevel <= 1000 && vukmode >= 1 && vukmode <= 3 &&
                        levelmode >= 1 && levelmode <= 2 && recbits <= 3 && recchannels <= 1 &&
                        recsamplerate >= TOKBottomDlg::kMinSampleRate &&
                        recsamplerate <= TOKBottomDlg::kMaxSampleRate && limit8 >= 0 && limit8 <= 255 && limit16 >= 0 &&
                        limit16 <= 32767 && pretrigger >= 0 && pretrigger <= TOKBottomDlg::kMaxPreTrigger &&
                        overview.acceptable() && (broadcast == 0 || broadcast == 1) && (rf64 == 0 || rf64 == 1);
  TRecorder& recorder = *Audio1->Recorder();

  if (accepted) {
    // Setting an index runs no change handler; the window's creation runs them next.
    meter.select(*ComboBox1);
    volume.select(*ComboBox3);
    device.select(*ComboBox2);
    // Proposed by the save dialog; a recording still needs a name chosen there.
    SaveDialog1.setFileName(savedfilename);
    CheckBox1->setChecked(savedtrigger);
    TrackBar3->setValue(savedtriggerlevel);
    recorder.setBitsPerSample(static_cast<TBPS>(recbits));
    recorder.setChannels(static_cast<TChannels>(recchannels));
    recorder.setSampleRate(recsamplerate);
    setBlockSizeFor(recorder, recsamplerate);
    // Checking a radio button runs its click handler.
    if (vukmode == 1) RadioButton3->setChecked(true);
    if (vukmode == 2) RadioButton4->setChecked(true);
    if (vukmode == 3) RadioButton5->setChecked(true);
    if (levelmode == 1) RadioButton1->setChecked(true);
    if (levelmode == 2) RadioButton2->setChecked(true);
    RadioButton2Click(this);
    fileoptions.broadcast = broadcast == 1;
    fileoptions.rf64 = rf64 == 1;
    showArchiveOptions();
    overview.apply(*takeoverview);
    return;
  }

  // Settings that do not fit are discarded once, and replaced only by the next "Save".
  try {
    Registry().deleteKey(makerKey);
  } catch (const RegistryError&) {
  }
  savedtriggerlevel = 800;
  savedtrigger = false;
  recbits = 1;
  recchannels = 1;
  recsamplerate = 44100;
  CheckBox1->setChecked(false);
  TrackBar3->setValue(800);
  recorder.setBitsPerSample(TBPS::_16);
  recorder.setChannels(TChannels::Stereo);
  recorder.setSampleRate(44100);
  setBlockSizeFor(recorder, recsamplerate);
  limit8 = 120;
  limit16 = 32000;
  pretrigger = 0;
  fileoptions.broadcast = false;
  fileoptions.rf64 = false;
  showArchiveOptions();
}

void TForm1::Sichern2Click(QObject*) {
  savedmeter = ComboBox1->currentIndex();
  savedvolume = ComboBox3->currentIndex();
  savedaudiodevice = ComboBox2->currentIndex();
  savedfilename = SaveDialog1.FileName();
  savedtrigger = CheckBox1->isChecked();
  savedtriggerlevel = TrackBar3->value();
  // recbits, recchannels and recsamplerate already hold the format of the next run: the
  // recorder's, or one chosen during a run that waits there for the next start.
  // A mode none of whose buttons is checked keeps its old value.
  if (RadioButton1->isChecked()) levelmode = 1;
  if (RadioButton2->isChecked()) levelmode = 2;
  if (RadioButton3->isChecked()) vukmode = 1;
  if (RadioButton4->isChecked()) vukmode = 2;
  if (RadioButton5->isChecked()) vukmode = 3;

  // Errors are not caught here: the general error box reports them, and what was
  // written before stays written.
  Registry store;
  store.openKey(settingsKey, true);
  store.writeInteger("Meter", savedmeter);
  store.writeInteger("Volume", savedvolume);
  store.writeString("Filename", savedfilename);
  store.writeInteger("Audiodevice", savedaudiodevice);
  store.writeInteger("Triggerlevel", savedtriggerlevel);
  store.writeInteger("Trigger", savedtrigger ? 1 : 0);
  store.writeInteger("VUKMode", vukmode);
  store.writeInteger("Levelmode", levelmode);
  writeBytes(store, "BPS", recbits);
  writeBytes(store, "Channels", recchannels);
  // Two bytes while the rate fits them, as older versions read it; four above 65535.
  if (recsamplerate <= 0xFFFF)
    writeBytes(store, "samplerate", static_cast<uint16_t>(recsamplerate));
  else
    writeBytes(store, "samplerate", recsamplerate);
  store.writeInteger("max8", limit8);
  store.writeInteger("max16", limit16);
  store.writeInteger("PreTrigger", pretrigger);
  // The archive options are stored while they are on; off, they are missing as in the
  // settings of a version without them.
  for (const auto& [name, on] : {std::pair{"Broadcast", fileoptions.broadcast}, std::pair{"RF64", fileoptions.rf64}}) {
    if (on)
      store.writeInteger(name, 1);
    else
      store.deleteValue(name);
  }
  TakeOverviewStore::write(store, *takeoverview);
  store.closeKey();
  Registry names;
  names.openKey(namesKey, true);
  names.writeString("Meter", ComboBox1->currentText());
  names.writeString("Volume", ComboBox3->currentText());
  names.writeString("Audiodevice", ComboBox2->currentText());
  names.closeKey();
}

void TForm1::Uninstall1Click(QObject*) {
  const auto answer = prompts().messageBox(this,
                                           tr("You will remove the registry key where the settings were saved.\n"
                                              "To uninstall simply delete the program and help files."),
                                           tr("Uninstall"), QMessageBox::Yes | QMessageBox::No, QMessageBox::Question);
  if (answer != QMessageBox::Yes) return;
  // The program goes on with its current settings; a later "Save" writes them again.
  try {
    Registry().deleteKey(makerKey);
  } catch (const RegistryError&) {
  }
}
