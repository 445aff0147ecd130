// The per-user registry store against a temporary XDG_CONFIG_HOME: typed values and their
// round trip, the errors for missing keys, missing values and wrong types, deletion with
// subkeys, an atomic write that fails, and a file that cannot be parsed.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <csignal>

#include "platform/registry.h"

namespace {

const QString kSettingsKey = "\\Software\\Morvadel\\Tessaron\\1.0";

QByteArray readFile(const QString& name) {
  QFile f(name);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& name, const QByteArray& data) {
  QDir().mkpath(QFileInfo(name).absolutePath());
  QFile f(name);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(data);
}

class RegistryStore : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    saved = qgetenv("XDG_CONFIG_HOME");
    hadSaved = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
    file = dir.path() + "/tessaron/registry.json";
  }
  void TearDown() override {
    if (hadSaved)
      qputenv("XDG_CONFIG_HOME", saved);
    else
      qunsetenv("XDG_CONFIG_HOME");
  }
  QTemporaryDir dir;
  QByteArray saved;
  bool hadSaved = false;
  QString file;
};

// While alive, no file may grow beyond a few bytes, so every write of the store fails.
class FileSizeLimit {
 public:
  FileSizeLimit() {
    getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old_;
    small.rlim_cur = 8;
    setrlimit(RLIMIT_FSIZE, &small);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
  }

 private:
  rlimit old_{};
  void (*oldHandler_)(int) = nullptr;
};

}  // namespace

TEST_F(RegistryStore, EveryTypeSurvivesTheRoundTripThroughTheFile) {
  EXPECT_EQ(Registry::storePath(), file);
  {
    Registry reg;
    ASSERT_TRUE(reg.openKey(kSettingsKey, true));
    EXPECT_EQ(reg.currentPath(), kSettingsKey);
    reg.writeInteger("Meter", -1);
    reg.writeInteger("max16", 32000);
    reg.writeString("Filename", QString::fromUtf8("/tmp/Aufnahme Grüße.wav"));
    reg.writeExpandString("Path", "$HOME/x");
    const uint8_t bps = 1;
    reg.writeBinaryData("BPS", &bps, 1);
    const uint8_t rate[2] = {0x44, 0xAC};
    reg.writeBinaryData("samplerate", rate, 2);
    reg.writeUntyped("Raw", QByteArray("\x00\xff", 2));
    reg.writeBinaryData("Empty", nullptr, 0);
    reg.closeKey();
  }
  // A fresh object reads the file again; names are found whatever their case.
  Registry reg;
  ASSERT_TRUE(reg.openKey("\\software\\MORVADEL\\tessaron\\1.0", false));
  EXPECT_EQ(reg.readInteger("meter"), -1);
  EXPECT_EQ(reg.readInteger("max16"), 32000);
  EXPECT_EQ(reg.readString("Filename"), QString::fromUtf8("/tmp/Aufnahme Grüße.wav"));
  EXPECT_EQ(reg.readString("Path"), "$HOME/x") << "expandable strings come back unexpanded";
  uint16_t samplerate = 0;
  EXPECT_EQ(reg.readBinaryData("samplerate", &samplerate, 2), 2);
  EXPECT_EQ(samplerate, 44100);
  EXPECT_EQ(reg.readBinary("Raw"), QByteArray("\x00\xff", 2));
  EXPECT_EQ(reg.readBinary("Empty"), QByteArray());

  ASSERT_TRUE(reg.dataInfo("BPS"));
  EXPECT_EQ(reg.dataInfo("BPS")->type, RegistryType::Binary);
  EXPECT_EQ(reg.dataInfo("BPS")->size, 1);
  EXPECT_EQ(reg.dataInfo("Meter")->type, RegistryType::Integer);
  EXPECT_EQ(reg.dataInfo("Path")->type, RegistryType::ExpandString);
  EXPECT_EQ(reg.dataInfo("Raw")->type, RegistryType::Untyped);
  EXPECT_FALSE(reg.dataInfo("Nothing"));

  // Overwriting keeps the name's first spelling and may change the type.
  reg.writeString("METER", "x");
  EXPECT_TRUE(reg.valueNames().contains("Meter"));
  EXPECT_EQ(reg.dataInfo("Meter")->type, RegistryType::String);

  // Each value is stored with its type.
  const QJsonObject values = QJsonDocument::fromJson(readFile(file))
                                 .object()["keys"]
                                 .toObject()["Software"]
                                 .toObject()["keys"]
                                 .toObject()["Morvadel"]
                                 .toObject()["keys"]
                                 .toObject()["Tessaron"]
                                 .toObject()["keys"]
                                 .toObject()["1.0"]
                                 .toObject()["values"]
                                 .toObject();
  EXPECT_EQ(values["max16"].toObject()["type"].toString(), "integer");
  EXPECT_EQ(values["samplerate"].toObject()["type"].toString(), "binary");
  EXPECT_EQ(values["Path"].toObject()["type"].toString(), "expand_string");
}

TEST_F(RegistryStore, StoreLocationFollowsTheEnvironment) {
  qputenv("XDG_CONFIG_HOME", "relative/dir");
  EXPECT_EQ(Registry::storePath(), QDir::homePath() + "/.config/tessaron/registry.json");
  qunsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(Registry::storePath(), QDir::homePath() + "/.config/tessaron/registry.json");
}

TEST_F(RegistryStore, KeysOpenRelativeToTheOpenKey) {
  Registry reg;
  EXPECT_FALSE(reg.openKey(kSettingsKey, false));
  EXPECT_FALSE(QFile::exists(file)) << "opening without creating writes nothing";
  EXPECT_EQ(reg.currentPath(), "\\");
  ASSERT_TRUE(reg.openKey("\\Software\\Morvadel", true));
  ASSERT_TRUE(reg.openKey("Tessaron\\1.0", true));
  EXPECT_EQ(reg.currentPath(), kSettingsKey);
  EXPECT_TRUE(reg.keyExists(kSettingsKey));
  reg.openKey("\\Software", false);
  EXPECT_EQ(reg.keyNames(), QStringList{"Morvadel"});
}

TEST_F(RegistryStore, MissingKeysMissingValuesAndWrongTypesAreErrors) {
  Registry reg;
  ASSERT_TRUE(reg.openKey(kSettingsKey, true));
  reg.writeInteger("Meter", 2);
  reg.writeString("Filename", "a.wav");
  const uint8_t three[3] = {1, 2, 3};
  reg.writeBinaryData("samplerate", three, 3);
  reg.writeUntyped("BPS", QByteArray(1, '\x01'));

  EXPECT_THROW(reg.readInteger("Volume"), RegistryError);
  EXPECT_THROW(reg.readString("Nothing"), RegistryError);
  EXPECT_FALSE(reg.valueExists("Channels"));
  uint8_t byte = 7;
  EXPECT_THROW(reg.readBinaryData("Channels", &byte, 1), RegistryError);

  EXPECT_THROW(reg.readInteger("Filename"), RegistryError);
  EXPECT_THROW(reg.readString("Meter"), RegistryError);
  EXPECT_THROW(reg.readBinaryData("Meter", &byte, 4), RegistryError) << "an integer is not a byte block";
  EXPECT_THROW(reg.readInteger("BPS"), RegistryError);

  // A byte block longer than the field is an error and leaves the field alone; a
  // shorter one fills only its first bytes; an untyped value reads like a byte block.
  uint16_t rate = 0xBEEF;
  EXPECT_THROW(reg.readBinaryData("samplerate", &rate, 2), RegistryError);
  EXPECT_EQ(rate, 0xBEEF);
  EXPECT_EQ(reg.readBinaryData("BPS", &rate, 2), 1);
  EXPECT_EQ(rate, 0xBE01);

  // Values of a key that another object deleted meanwhile are missing too.
  Registry other;
  ASSERT_TRUE(other.deleteKey("\\Software\\Morvadel"));
  EXPECT_THROW(reg.readInteger("Meter"), RegistryError);
  EXPECT_THROW(reg.writeInteger("Meter", 1), RegistryError);
  EXPECT_FALSE(reg.valueExists("Meter"));
  EXPECT_THROW(reg.deleteKey("\\"), RegistryError);
}

TEST_F(RegistryStore, DeletingAKeyTakesItsSubkeysAlong) {
  Registry reg;
  ASSERT_TRUE(reg.openKey(kSettingsKey, true));
  reg.writeInteger("Meter", 1);
  ASSERT_TRUE(reg.openKey("\\Software\\Morvadel\\Other", true));
  reg.writeString("x", "y");
  ASSERT_TRUE(reg.openKey("\\Software\\Keep", true));
  reg.writeInteger("z", 3);
  reg.closeKey();

  EXPECT_TRUE(reg.deleteKey("\\SOFTWARE\\morvadel"));
  EXPECT_FALSE(reg.keyExists(kSettingsKey));
  EXPECT_FALSE(reg.keyExists("\\Software\\Morvadel"));
  EXPECT_FALSE(reg.openKey(kSettingsKey, false));
  ASSERT_TRUE(reg.openKey("\\Software\\Keep", false));
  EXPECT_EQ(reg.readInteger("z"), 3);
  EXPECT_FALSE(reg.deleteKey("\\Software\\Morvadel")) << "deleting a missing key reports false";
  EXPECT_TRUE(reg.deleteValue("z"));
  EXPECT_FALSE(reg.valueExists("z"));
}

TEST_F(RegistryStore, FailedWriteLeavesThePreviousFile) {
  Registry reg;
  ASSERT_TRUE(reg.openKey(kSettingsKey, true));
  reg.writeString("Filename", "old.wav");
  const QByteArray before = readFile(file);
  ASSERT_GT(before.size(), 8);
  {
    FileSizeLimit limit;
    EXPECT_THROW(reg.writeString("Filename", QString(200, u'n')), RegistryError);
    EXPECT_THROW(reg.writeInteger("Meter", 1), RegistryError);
  }
  EXPECT_EQ(readFile(file), before);
  EXPECT_EQ(reg.readString("Filename"), "old.wav");
  EXPECT_FALSE(reg.valueExists("Meter"));
  EXPECT_EQ(QDir(dir.path() + "/tessaron").entryList(QDir::Files), QStringList{"registry.json"})
      << "no temporary file is left behind";
}

TEST_F(RegistryStore, UnparseableFileIsKeptAsideAndReadsEmpty) {
  const QByteArray garbage = "{\"keys\": {\"Software\": ";
  writeFile(file, garbage);
  Registry reg;
  EXPECT_FALSE(reg.openKey(kSettingsKey, false));
  EXPECT_FALSE(QFile::exists(file));
  EXPECT_EQ(readFile(file + ".corrupt"), garbage);
  EXPECT_EQ(Registry::takeSetAside(), file + ".corrupt") << "where it went, told once";
  EXPECT_EQ(Registry::takeSetAside(), "");

  // A store that parses as JSON but breaks the layout counts as unparseable as well,
  // and an earlier copy kept aside is not replaced.
  const QByteArray wrongShape =
      R"({"keys": {"Software": {"values": {"Meter": {"type": "integer", "data": "seven"}}}}})";
  writeFile(file, wrongShape);
  EXPECT_FALSE(reg.keyExists("\\Software"));
  EXPECT_EQ(readFile(file + ".corrupt"), garbage);
  EXPECT_EQ(readFile(file + ".corrupt.1"), wrongShape);
  EXPECT_EQ(Registry::takeSetAside(), file + ".corrupt.1");

  // The settings start afresh.
  ASSERT_TRUE(reg.openKey(kSettingsKey, true));
  reg.writeInteger("Meter", 0);
  EXPECT_EQ(Registry().openKey(kSettingsKey, false), true);
}

TEST_F(RegistryStore, StoreThatCannotBeReadIsNotOverwritten) {
  // A folder where the file should be cannot be read, moved or replaced by mistake.
  ASSERT_TRUE(QDir().mkpath(file));
  Registry reg;
  EXPECT_THROW(reg.openKey(kSettingsKey, true), RegistryError);
  EXPECT_TRUE(QFileInfo(file).isDir());
}
