// The stored settings: what loads, what is rejected (and then deleted), what "Save"
// writes, and "Uninstall".
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRadioButton>
#include <QSlider>
#include <functional>
#include <map>
#include <variant>

#include "app/dialogs/recsetdlg.h"
#include "app/form_under_test.h"
#include "platform/registry.h"
#include "support/event_wait.h"

namespace {

// No test of this program reads or changes the settings of the person running it.
class PrivateConfigHome : public ::testing::Environment {
 public:
  void SetUp() override { home_ = std::make_unique<ScopedConfigHome>(); }
  void TearDown() override { home_.reset(); }

 private:
  std::unique_ptr<ScopedConfigHome> home_;
};
[[maybe_unused]] ::testing::Environment* const privateConfigHome =
    ::testing::AddGlobalTestEnvironment(new PrivateConfigHome);

const QString settingsKey = "\\Software\\Morvadel\\Tessaron\\1.0";

struct Bytes {
  QByteArray data;
  bool untyped = false;
};
using Stored = std::variant<int32_t, QString, Bytes>;

Bytes le16(uint16_t v) {
  QByteArray data;
  data.append(char(v & 0xFF));
  data.append(char(v >> 8));
  return {data};
}
Bytes byte(uint8_t v) { return {QByteArray(1, char(v))}; }

// A complete store that loads: every item index within 3 items.
std::map<QString, Stored> goodSettings() {
  return {{"Meter", 1},
          {"Volume", 2},
          {"Filename", QString("/tmp/take.wav")},
          {"Audiodevice", 1},
          {"Triggerlevel", 300},
          {"Trigger", 1},
          {"VUKMode", 3},
          {"Levelmode", 1},
          {"BPS", byte(0)},
          {"Channels", byte(0)},
          {"samplerate", le16(22050)},
          {"max16", 30000},
          {"max8", 100},
          {"PreTrigger", 250}};
}

void writeStore(const std::map<QString, Stored>& values) {
  Registry store;
  store.deleteKey(settingsKey);
  ASSERT_TRUE(store.openKey(settingsKey, true));
  for (const auto& [name, value] : values) {
    if (const auto* i = std::get_if<int32_t>(&value)) store.writeInteger(name, *i);
    if (const auto* s = std::get_if<QString>(&value)) store.writeString(name, *s);
    if (const auto* b = std::get_if<Bytes>(&value)) {
      if (b->untyped)
        store.writeUntyped(name, b->data);
      else
        store.writeBinaryData(name, b->data.constData(), b->data.size());
    }
  }
}

bool makerKeyExists() { return Registry().keyExists("\\Software\\Morvadel"); }

class SettingsStoreTest : public ::testing::Test {
 protected:
  void TearDown() override { form.reset(); }

  TForm1& open() {
    form = openForm();
    return *form;
  }

  // The window exists before its store is written, so that its own loading at
  // creation (with lists of another length) does not reject and delete it.
  void prepare(const std::map<QString, Stored>& values) {
    if (!form) open();
    writeStore(values);
  }

  // Loads the store again as at the window's creation, with the given numbers of meter
  // sources, level-control inputs and recording-device items in the lists.
  // `before` may change the window's state first.
  TForm1& loadWith(const std::function<void(TForm1&)>& before = {}, int meters = 3, int inputs = 3, int devices = 3) {
    if (!form) open();
    TForm1& f = *form;
    auto fill = [](QComboBox* box, int n) {
      box->clear();
      for (int i = 0; i < n; ++i) box->addItem(QString("Item %1").arg(i));
      if (n > 0) box->setCurrentIndex(0);
    };
    fill(f.ComboBox1, meters);
    fill(f.ComboBox3, inputs);
    fill(f.ComboBox2, devices);
    f.SaveDialog1.setFileName("");
    f.CheckBox1->setChecked(false);
    f.TrackBar3->setValue(1000);
    f.RadioButton2->setChecked(true);
    f.RadioButton4->setChecked(true);
    f.Audio1->Recorder()->setBitsPerSample(TBPS::_16);
    f.Audio1->Recorder()->setChannels(TChannels::Stereo);
    f.Audio1->Recorder()->setSampleRate(44100);
    f.Audio1->Recorder()->setNoSamples(4096);
    f.savedmeter = f.savedvolume = f.savedaudiodevice = f.savedtriggerlevel = 0;
    f.savedfilename.clear();
    f.savedtrigger = false;
    f.recbits = f.recchannels = 0;
    f.recsamplerate = 0;
    f.vukmode = f.levelmode = f.limit8 = f.limit16 = 0;
    f.pretrigger = 0;
    if (before) before(f);
    f.optionsladen();
    return f;
  }

  static void expectDefaults(const TForm1& f) {
    const TRecorder& r = *f.Audio1->Recorder();
    EXPECT_EQ(r.BitsPerSample(), TBPS::_16);
    EXPECT_EQ(r.Channels(), TChannels::Stereo);
    EXPECT_EQ(r.SampleRate(), 44100);
    EXPECT_EQ(f.recbits, 1);
    EXPECT_EQ(f.recchannels, 1);
    EXPECT_EQ(f.recsamplerate, 44100);
    EXPECT_EQ(f.TrackBar3->value(), 800);
    EXPECT_FALSE(f.CheckBox1->isChecked());
    EXPECT_EQ(f.limit16, 32000);
    EXPECT_EQ(f.limit8, 120);
    EXPECT_EQ(f.pretrigger, 0);
    EXPECT_TRUE(f.RadioButton4->isChecked()) << "Down only";
    EXPECT_TRUE(f.RadioButton2->isChecked()) << "L&evel L/R";
  }

  // The good settings of goodSettings() as loaded into the window.
  static void expectGoodSettings(const TForm1& f) {
    EXPECT_EQ(f.ComboBox1->currentIndex(), 1);
    EXPECT_EQ(f.ComboBox3->currentIndex(), 2);
    EXPECT_EQ(f.ComboBox2->currentIndex(), 1);
    EXPECT_EQ(f.SaveDialog1.FileName(), "/tmp/take.wav");
    EXPECT_TRUE(f.CheckBox1->isChecked());
    EXPECT_EQ(f.TrackBar3->value(), 300);
    EXPECT_TRUE(f.RadioButton5->isChecked());
    EXPECT_TRUE(f.RadioButton1->isChecked());
    const TRecorder& r = *f.Audio1->Recorder();
    EXPECT_EQ(r.BitsPerSample(), TBPS::_8);
    EXPECT_EQ(r.Channels(), TChannels::Mono);
    EXPECT_EQ(r.SampleRate(), 22050);
    EXPECT_EQ(r.NoSamples(), 2048);
    EXPECT_EQ(f.limit16, 30000);
    EXPECT_EQ(f.limit8, 100);
    EXPECT_EQ(f.pretrigger, 250);
  }

  ScopedConfigHome config;
  ScopedDialogPrompts prompts;
  std::unique_ptr<TForm1> form;
};

TEST_F(SettingsStoreTest, FirstStartAppliesTheDefaultsQuietly) {
  TForm1& f = open();
  expectDefaults(f);
  EXPECT_EQ(f.Audio1->Recorder()->NoSamples(), 4096);
  EXPECT_TRUE(f.SaveDialog1.FileName().isEmpty());
  EXPECT_TRUE(prompts->messages.empty());
  EXPECT_FALSE(QFile::exists(config.storeFile())) << "nothing is written without Save";
}

TEST_F(SettingsStoreTest, GoodSettingsLoadIntoEveryControl) {
  prepare(goodSettings());
  expectGoodSettings(loadWith());
  EXPECT_TRUE(Registry().keyExists(settingsKey));
}

TEST_F(SettingsStoreTest, SaveThenRestartBringsBackEveryControlAndTheDialogValues) {
  TForm1& f = open();
  f.ComboBox1->setCurrentIndex(f.ComboBox1->count() - 1);
  f.ComboBox2->setCurrentIndex(f.ComboBox2->count() - 1);
  f.ComboBox3->setCurrentIndex(f.ComboBox3->count() - 1);
  f.SaveDialog1.setFileName("/tmp/saved take.wav");
  f.CheckBox1->setChecked(true);
  f.TrackBar3->setValue(250);
  f.RadioButton1->setChecked(true);
  f.RadioButton3->setChecked(true);
  // Format and limits through the record settings dialog.
  prompts->onDialog = [](QDialog& d) {
    auto& dialog = dynamic_cast<TOKBottomDlg&>(d);
    dialog.ComboBox1->setCurrentIndex(0);
    dialog.ComboBox2->setCurrentIndex(0);
    dialog.ExtendEdit1->setValue(11025);
    dialog.SpinEdit1->setValue(31000);
    dialog.SpinEdit2->setValue(110);
    dialog.ExtendEdit2->setValue(1000);
    return int(QDialog::Accepted);
  };
  f.Sichern1Click(f.Sichern1);
  f.Sichern2->trigger();
  const int meter = f.ComboBox1->currentIndex();
  const int device = f.ComboBox2->currentIndex();
  const int input = f.ComboBox3->currentIndex();

  // The values are stored with their types and widths.
  Registry store;
  ASSERT_TRUE(store.openKey(settingsKey, false));
  EXPECT_EQ(store.valueNames().size(), 14);
  EXPECT_EQ(store.readInteger("PreTrigger"), 1000);
  EXPECT_EQ(store.dataInfo("BPS")->type, RegistryType::Binary);
  EXPECT_EQ(store.readBinary("BPS"), QByteArray(1, '\0'));
  EXPECT_EQ(store.readBinary("Channels"), QByteArray(1, '\0'));
  EXPECT_EQ(store.readBinary("samplerate"), QByteArray("\x11\x2B", 2)) << "11025, little-endian";
  EXPECT_EQ(store.readInteger("Trigger"), 1);
  EXPECT_EQ(store.readInteger("VUKMode"), 1);
  EXPECT_EQ(store.readInteger("Levelmode"), 1);
  EXPECT_EQ(store.readString("Filename"), "/tmp/saved take.wav");

  form.reset();
  TForm1& g = open();
  EXPECT_EQ(g.ComboBox1->currentIndex(), meter);
  EXPECT_EQ(g.ComboBox2->currentIndex(), device);
  EXPECT_EQ(g.ComboBox3->currentIndex(), input);
  EXPECT_EQ(g.SaveDialog1.FileName(), "/tmp/saved take.wav");
  EXPECT_FALSE(g.BitBtn1->isEnabled()) << "a proposed name is not a chosen one";
  EXPECT_TRUE(g.CheckBox1->isChecked());
  EXPECT_EQ(g.TrackBar3->value(), 250);
  EXPECT_TRUE(g.RadioButton1->isChecked());
  EXPECT_TRUE(g.RadioButton3->isChecked());
  const TRecorder& r = *g.Audio1->Recorder();
  EXPECT_EQ(r.BitsPerSample(), TBPS::_8);
  EXPECT_EQ(r.Channels(), TChannels::Mono);
  EXPECT_EQ(r.SampleRate(), 11025);
  EXPECT_EQ(r.NoSamples(), 2048);
  EXPECT_EQ(g.pretrigger, 1000);

  // The dialog opens with what was saved.
  prompts->onDialog = [](QDialog& d) {
    auto& dialog = dynamic_cast<TOKBottomDlg&>(d);
    EXPECT_EQ(dialog.ComboBox1->currentIndex(), 0);
    EXPECT_EQ(dialog.ComboBox2->currentIndex(), 0);
    EXPECT_EQ(dialog.ExtendEdit1->Value(), 11025);
    EXPECT_EQ(dialog.SpinEdit1->value(), 31000);
    EXPECT_EQ(dialog.SpinEdit2->value(), 110);
    EXPECT_EQ(dialog.ExtendEdit2->Value(), 1000);
    return int(QDialog::Rejected);
  };
  g.Sichern1Click(g.Sichern1);
  EXPECT_EQ(prompts->dialogs.size(), 2u);
}

TEST_F(SettingsStoreTest, StoredSampleRatesFrom8000To65535Load) {
  const struct {
    uint16_t rate;
    uint16_t noSamples;
  } cases[] = {{48000, 4096}, {65535, 4096}, {44100, 4096}, {24999, 2048}, {10999, 1024}, {8000, 1024}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rate);
    auto settings = goodSettings();
    settings["samplerate"] = le16(c.rate);
    prepare(settings);
    TForm1& f = loadWith();
    EXPECT_EQ(f.Audio1->Recorder()->SampleRate(), c.rate);
    EXPECT_EQ(f.recsamplerate, c.rate);
    EXPECT_EQ(f.Audio1->Recorder()->NoSamples(), c.noSamples);
    EXPECT_TRUE(Registry().keyExists(settingsKey));
  }
}

TEST_F(SettingsStoreTest, OutOfRangeValuesDeleteTheStoreAndApplyTheDefaults) {
  const struct {
    const char* name;
    Stored value;
  } cases[] = {
      {"samplerate", le16(7999)},
      {"samplerate", byte(0x40)},
      {"Meter", 3},
      {"Meter", 5},
      {"Volume", 3},
      {"Audiodevice", 3},
      {"VUKMode", 0},
      {"VUKMode", 4},
      {"Levelmode", 0},
      {"Levelmode", 3},
      {"Triggerlevel", 1001},
      {"BPS", byte(2)},
      {"Channels", byte(2)},
      {"max8", 256},
      {"max8", -1},
      {"max16", 32768},
      {"max16", -1},
      {"PreTrigger", 5001},
      {"PreTrigger", -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto settings = goodSettings();
    settings[c.name] = c.value;
    prepare(settings);
    Registry().openKey("\\Software\\Morvadel\\Other", true);
    TForm1& f = loadWith();
    expectDefaults(f);
    EXPECT_EQ(f.ComboBox1->currentIndex(), 0) << "selections stay as the window made them";
    EXPECT_TRUE(f.SaveDialog1.FileName().isEmpty());
    EXPECT_FALSE(makerKeyExists()) << "the maker's key goes with everything below it";
  }
  EXPECT_TRUE(prompts->messages.empty());
}

TEST_F(SettingsStoreTest, NoSelectionAndTheLowestValuesLoad) {
  auto settings = goodSettings();
  settings["Meter"] = -1;
  settings["Volume"] = -1;
  settings["Triggerlevel"] = -1;
  settings["Trigger"] = 7;
  settings["max8"] = 0;
  settings["max16"] = 0;
  prepare(settings);
  TForm1& f = loadWith();
  EXPECT_EQ(f.ComboBox1->currentIndex(), -1);
  EXPECT_EQ(f.ComboBox3->currentIndex(), -1);
  EXPECT_EQ(f.ComboBox2->currentIndex(), 1);
  EXPECT_EQ(f.TrackBar3->value(), 0);
  EXPECT_TRUE(f.CheckBox1->isChecked()) << "any integer but 0 is true";
  EXPECT_EQ(f.limit8, 0);
  EXPECT_EQ(f.limit16, 0);
  EXPECT_TRUE(makerKeyExists());
}

TEST_F(SettingsStoreTest, ReadingRulesPerKindOfValue) {
  {
    SCOPED_TRACE("byte blocks missing: 8 bit, mono");
    auto settings = goodSettings();
    settings.erase("BPS");
    settings.erase("Channels");
    prepare(settings);
    TForm1& f = loadWith();
    EXPECT_EQ(f.Audio1->Recorder()->BitsPerSample(), TBPS::_8);
    EXPECT_EQ(f.Audio1->Recorder()->Channels(), TChannels::Mono);
    EXPECT_TRUE(makerKeyExists());
  }
  {
    SCOPED_TRACE("untyped byte block, shorter sample rate");
    auto settings = goodSettings();
    settings["BPS"] = Bytes{QByteArray(1, '\1'), true};
    settings["samplerate"] = Bytes{QByteArray(1, char(0x50)), true};
    prepare(settings);
    // Only the first byte is replaced: 0x2000 with 0x50 gives 0x2050 = 8272 Hz.
    TForm1& f = loadWith([](TForm1& g) { g.recsamplerate = 0x2000; });
    EXPECT_EQ(f.Audio1->Recorder()->BitsPerSample(), TBPS::_16);
    EXPECT_EQ(f.recsamplerate, 0x2050);
    EXPECT_TRUE(makerKeyExists());
  }
  {
    SCOPED_TRACE("pre-trigger time missing, as saved by an older version: 0");
    auto settings = goodSettings();
    settings.erase("PreTrigger");
    prepare(settings);
    TForm1& f = loadWith([](TForm1& g) { g.pretrigger = 1234; });
    EXPECT_EQ(f.pretrigger, 0);
    EXPECT_TRUE(f.CheckBox1->isChecked()) << "the rest loads";
    EXPECT_TRUE(makerKeyExists());
  }
  for (const int32_t milliseconds : {0, 5000}) {
    SCOPED_TRACE("pre-trigger time at the ends of its range");
    auto settings = goodSettings();
    settings["PreTrigger"] = milliseconds;
    prepare(settings);
    EXPECT_EQ(loadWith().pretrigger, milliseconds);
    EXPECT_TRUE(makerKeyExists());
  }
  {
    SCOPED_TRACE("file name missing");
    auto settings = goodSettings();
    settings.erase("Filename");
    prepare(settings);
    TForm1& f = loadWith([](TForm1& g) { g.SaveDialog1.setFileName("left over"); });
    EXPECT_TRUE(f.SaveDialog1.FileName().isEmpty()) << "no name proposed";
    EXPECT_TRUE(f.CheckBox1->isChecked()) << "the rest loads";
  }
  {
    SCOPED_TRACE("file name as an expandable string");
    prepare(goodSettings());
    Registry store;
    store.openKey(settingsKey, false);
    store.writeExpandString("Filename", "$HOME/take.wav");
    TForm1& f = loadWith();
    EXPECT_EQ(f.SaveDialog1.FileName(), "$HOME/take.wav");
  }
  const struct {
    const char* name;
    Stored value;
  } wrong[] = {
      {"Meter", QString("1")},
      {"Trigger", Bytes{QByteArray(4, '\0')}},
      {"Filename", 5},
      {"BPS", 1},
      {"BPS", Bytes{QByteArray(2, '\0')}},
      {"samplerate", QString("44100")},
      {"samplerate", Bytes{QByteArray(3, '\0')}},
      {"PreTrigger", QString("250")},
      {"PreTrigger", Bytes{QByteArray(4, '\0')}},
  };
  for (const auto& c : wrong) {
    SCOPED_TRACE(std::string("wrong kind or size: ") + c.name);
    auto settings = goodSettings();
    settings[c.name] = c.value;
    prepare(settings);
    expectDefaults(loadWith());
    EXPECT_FALSE(makerKeyExists());
  }
  for (const char* name : {"Meter", "Volume", "Audiodevice", "Triggerlevel", "Trigger", "VUKMode", "Levelmode",
                           "samplerate", "max16", "max8"}) {
    SCOPED_TRACE(std::string("missing: ") + name);
    auto settings = goodSettings();
    settings.erase(name);
    prepare(settings);
    expectDefaults(loadWith());
    EXPECT_FALSE(makerKeyExists());
  }
}

// The names of the chosen items, kept beside their indexes, choose the items wherever they
// stand now; an index alone chooses as before.
TEST_F(SettingsStoreTest, StoredNamesChooseTheirItemsWhereverTheyStand) {
  auto writeNames = [](const QString& meter, const QString& volume, const QString& device) {
    Registry names;
    ASSERT_TRUE(names.openKey(settingsKey + "\\Names", true));
    names.writeString("Meter", meter);
    names.writeString("Volume", volume);
    names.writeString("Audiodevice", device);
  };
  {
    SCOPED_TRACE("names found elsewhere, also past the stored index's end");
    auto settings = goodSettings();
    settings["Audiodevice"] = 7;
    prepare(settings);
    writeNames("Item 2", "Item 0", "Item 2");
    TForm1& f = loadWith();
    EXPECT_EQ(f.ComboBox1->currentIndex(), 2);
    EXPECT_EQ(f.ComboBox3->currentIndex(), 0);
    EXPECT_EQ(f.ComboBox2->currentIndex(), 2);
    EXPECT_TRUE(f.CheckBox1->isChecked()) << "the rest loads";
  }
  {
    SCOPED_TRACE("names not found, or no names: the indexes choose");
    prepare(goodSettings());
    writeNames("Unplugged", "", "Item 9");
    expectGoodSettings(loadWith());
  }
  {
    SCOPED_TRACE("a name of another kind is no name");
    prepare(goodSettings());
    Registry names;
    names.openKey(settingsKey + "\\Names", true);
    names.writeInteger("Meter", 2);
    expectGoodSettings(loadWith());
  }
  {
    SCOPED_TRACE("a name not found does not save an index past the end");
    auto settings = goodSettings();
    settings["Meter"] = 5;
    prepare(settings);
    writeNames("Unplugged", "Item 1", "Item 1");
    expectDefaults(loadWith());
    EXPECT_FALSE(makerKeyExists());
  }
  {
    SCOPED_TRACE("Save writes the chosen items' texts");
    TForm1& f = loadWith();
    f.ComboBox1->setCurrentIndex(2);
    f.ComboBox3->setCurrentIndex(-1);
    f.ComboBox2->setCurrentIndex(1);
    f.Sichern2Click(f.Sichern2);
    Registry names;
    ASSERT_TRUE(names.openKey(settingsKey + "\\Names", false));
    EXPECT_EQ(names.readString("Meter"), "Item 2");
    EXPECT_EQ(names.readString("Volume"), "");
    EXPECT_EQ(names.readString("Audiodevice"), "Item 1");
  }
}

TEST_F(SettingsStoreTest, AnUnreadableStoreIsKeptAsideAndTheDefaultsApply) {
  QDir().mkpath(QFileInfo(config.storeFile()).absolutePath());
  QFile file(config.storeFile());
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("{ \"keys\": { \"Software\": ");
  file.close();

  TForm1& f = open();
  expectDefaults(f);
  QFile kept(config.storeFile() + ".corrupt");
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_EQ(kept.readAll(), QByteArray("{ \"keys\": { \"Software\": "));

  // The window says so once it is up, with the place of the old file.
  EXPECT_TRUE(prompts->messages.empty()) << "not while the window is being built";
  ASSERT_TRUE(testsupport::waitFor([&] { return !prompts->messages.empty(); }));
  EXPECT_EQ(prompts->messages[0].caption, "Tessaron");
  EXPECT_TRUE(prompts->messages[0].text.contains("could not be read"));
  EXPECT_TRUE(prompts->messages[0].text.contains(config.storeFile() + ".corrupt"));

  // Saving starts a fresh store that loads, and nothing is said again.
  f.Sichern2Click(f.Sichern2);
  form.reset();
  open();
  EXPECT_TRUE(makerKeyExists());
  testsupport::waitFor([] { return false; }, 200);
  EXPECT_EQ(prompts->messages.size(), 1u);
}

TEST_F(SettingsStoreTest, UninstallAsksAndRemovesTheMakersKeyOnlyOnYes) {
  prepare(goodSettings());
  Registry().openKey("\\Software\\Other", true);
  TForm1& f = loadWith();

  prompts->answer = QMessageBox::No;
  f.Uninstall1->trigger();
  ASSERT_EQ(prompts->messages.size(), 1u);
  EXPECT_EQ(prompts->messages[0].text,
            "You will remove the registry key where the settings were saved.\n"
            "To uninstall simply delete the program and help files.");
  EXPECT_EQ(prompts->messages[0].caption, "Uninstall");
  EXPECT_EQ(prompts->messages[0].buttons, QMessageBox::Yes | QMessageBox::No);
  EXPECT_TRUE(Registry().keyExists(settingsKey));

  prompts->answer = QMessageBox::Yes;
  f.Uninstall1->trigger();
  EXPECT_EQ(prompts->messages.size(), 2u) << "no confirmation follows";
  EXPECT_FALSE(makerKeyExists());
  EXPECT_TRUE(Registry().keyExists("\\Software\\Other"));
  expectGoodSettings(f);

  // Uninstalling again finds nothing to remove and says nothing.
  f.Uninstall1->trigger();
  EXPECT_EQ(prompts->messages.size(), 3u);

  f.Sichern2->trigger();
  EXPECT_TRUE(Registry().keyExists(settingsKey));
}

TEST_F(SettingsStoreTest, ASaveThatCannotBeWrittenReachesTheErrorBox) {
  TForm1& f = open();
  // The store's folder name taken by a file: the store cannot be written.
  QFile blocker(QFileInfo(config.storeFile()).absolutePath());
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  EXPECT_THROW(f.Sichern2Click(f.Sichern2), RegistryError);
  EXPECT_TRUE(prompts->messages.empty());
  EXPECT_NO_THROW(f.Sichern2->trigger());
  ASSERT_EQ(prompts->messages.size(), 1u);
  EXPECT_EQ(prompts->messages[0].caption, "Tessaron");
  EXPECT_FALSE(prompts->messages[0].text.isEmpty());
}

}  // namespace
