// What a user reads when the input cannot be opened: the virtual card's input file that
// is missing or no usable WAV file, and ALSA with no sound server or card within reach.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <csignal>
#include <optional>
#include <string>

#include "app/form_under_test.h"
#include "app/window_run.h"
#include "mmsystem/alsa/alsa_common.h"
#include "mmsystem/alsa/alsa_driver.h"
#include "support/driver_scope.h"
#include "support/programs.h"

namespace {

using window_run::WindowRun;

class VirtualInputMessages : public WindowRun {
 protected:
  void TearDown() override {
    qunsetenv("TESSARON_VIRTUAL_INPUT");
    WindowRun::TearDown();
  }
};

TEST_F(VirtualInputMessages, TheBoxNamesTheInputFileAndWhatIsWrongWithIt) {
  struct Case {
    const char* name;
    std::optional<std::string> bytes;  // none: no such file
    const char* reason;
  };
  const Case cases[] = {{"missing.wav", std::nullopt, "cannot be opened"},
                        {"notes.wav", "These are notes, not sound.", "is not a WAV file"},
                        {"empty.wav", window_run::wavBytes(2, 44100, 16, ""), "holds no audio"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = path(c.name);
    if (c.bytes) window_run::writeFile(file, *c.bytes);
    qputenv("TESSARON_VIRTUAL_INPUT", QByteArray::fromStdString(file));
    VirtualCard card = VirtualCard::defaultCard();
    card.pacing = VirtualPacing::AsFastAsQueued;
    TForm1& f = open(std::move(card));
    prompts->messages.clear();
    f.BitBtn4Click(f.BitBtn4);
    ASSERT_EQ(prompts->messages.size(), 1u);
    const std::string text = prompts->messages[0].text.toStdString();
    EXPECT_EQ(prompts->messages[0].caption, "Aufnahme");
    EXPECT_EQ(text.rfind("Could not open the input device for recording: ", 0), 0u) << text;
    EXPECT_NE(text.find("\"" + file + "\""), std::string::npos) << text;
    EXPECT_NE(text.find(c.reason), std::string::npos) << text;
    EXPECT_FALSE(f.Audio1->Recorder()->IsOpen);
  }
}

// An environment variable set for the object's lifetime.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const QString& value)
      : name_(name), had_(qEnvironmentVariableIsSet(name)), previous_(qgetenv(name)) {
    qputenv(name, value.toLocal8Bit());
  }
  ~ScopedVariable() {
    if (had_)
      qputenv(name_, previous_);
    else
      qunsetenv(name_);
  }

 private:
  const char* name_;
  bool had_;
  QByteArray previous_;
};

// XDG_RUNTIME_DIR an empty private folder and PULSE_SERVER a socket that does not exist:
// no sound server is within reach. The tests need a machine without a sound card.
class NoSoundServer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (alsa::anyCard()) GTEST_SKIP() << "this machine has a sound card";
    ASSERT_TRUE(runtime.isValid());
    noServer = "unix:" + runtime.filePath("no-such-socket");
  }
  QTemporaryDir runtime;
  QString noServer;
};

TEST_F(NoSoundServer, TheProgramStartsWithoutPrintingAlsasMessages) {
  if (testsupport::kThreadChecked) GTEST_SKIP() << "the program's exit code is the thread checker's";
  const QString program = QCoreApplication::applicationDirPath() + "/../src/tessaron";
  ASSERT_TRUE(QFileInfo(program).isExecutable()) << "build the tessaron target first: " << program.toStdString();
  QTemporaryDir config;
  QProcess process;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  environment.insert("TESSARON_AUDIO", "alsa");
  environment.insert("XDG_RUNTIME_DIR", runtime.path());
  environment.insert("PULSE_SERVER", noServer);
  environment.insert("XDG_CONFIG_HOME", config.path());
  process.setProcessEnvironment(environment);
  process.start(program, {});
  ASSERT_TRUE(process.waitForStarted(30000));
  // The driver line comes once the window is up and the program watches for signals.
  QByteArray errors;
  const QDeadlineTimer deadline(60000);
  while (!errors.contains('\n') && process.state() == QProcess::Running && !deadline.hasExpired()) {
    process.waitForReadyRead(1000);
    errors += process.readAllStandardError();
  }
  ASSERT_EQ(::kill(static_cast<pid_t>(process.processId()), SIGTERM), 0);
  ASSERT_TRUE(process.waitForFinished(60000));
  errors += process.readAllStandardError();
  EXPECT_TRUE(errors.contains("sound driver \"alsa\"")) << errors.toStdString();
  EXPECT_FALSE(errors.contains("ALSA lib")) << errors.toStdString();
}

TEST_F(NoSoundServer, MonitoringSaysThatNoServerOrCardCouldBeReached) {
  const ScopedVariable runtimeDir("XDG_RUNTIME_DIR", runtime.path());
  const ScopedVariable server("PULSE_SERVER", noServer);
  ScopedConfigHome noSettings;
  ScopedFakePrompts prompts;
  const testsupport::DriverScope alsa(std::make_unique<AlsaDriver>());
  TForm1 f;
  f.BitBtn4Click(f.BitBtn4);
  ASSERT_EQ(prompts->messages.size(), 1u);
  const std::string text = prompts->messages[0].text.toStdString();
  EXPECT_EQ(prompts->messages[0].caption, "Aufnahme");
  EXPECT_NE(text.find("No sound server or sound card could be reached"), std::string::npos) << text;
  EXPECT_NE(text.find("\"default\""), std::string::npos) << text;
}

}  // namespace
