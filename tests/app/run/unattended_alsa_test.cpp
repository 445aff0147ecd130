// Runs nobody watches, made from the window on a real sound server through ALSA's
// "default" device: the server dies in the middle of a recording, or the whole program
// is stopped for three seconds. The run must end once with the reason, or go on with a
// file whose length is the wall clock's; the file is complete either way.

#include <QProcess>
#include <chrono>
#include <memory>

#include "app/run/status_line.h"
#include "app/window_run.h"
#include "mmsystem/alsa/alsa_driver.h"
#include "support/delivered_blocks.h"
#include "support/driver_scope.h"
#include "support/pulse_server.h"

namespace {

using window_run::kBytesPerSecond;
using window_run::recordedData;
using Clock = std::chrono::steady_clock;

// The main window on the installed driver in the test format, with the blocks it is
// handed watched, and prompts that answer without a person.
class AlsaWindow {
 public:
  TForm1& open() {
    form = std::make_unique<TForm1>();
    window_run::useTestFormat(*form);
    blocks.attach(*form->Audio1);
    return *form;
  }
  // Starts a recording into `name` in a temporary folder.
  void record(const char* name) {
    prompts->saveAnswer = dir.filePath(name);
    form->BitBtn2Click(form->BitBtn2);
    form->BitBtn1Click(form->BitBtn1);
  }
  std::string path(const char* name) const { return dir.filePath(name).toStdString(); }
  std::string delivered() {
    const std::vector<char> bytes = blocks.bytes();
    return {bytes.begin(), bytes.end()};
  }

  ScopedFakePrompts prompts;
  QTemporaryDir dir;
  testsupport::DeliveredBlocks blocks;
  std::unique_ptr<TForm1> form;
};

// A server of the test's own, which it kills, and a fresh ALSA driver that reaches it.
class AlsaServerLoss : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testsupport::kThreadChecked) GTEST_SKIP() << "starts other programs (see support/programs.h)";
    const std::string why = server.start();
    if (!why.empty()) GTEST_SKIP() << why;
    driver = std::make_unique<testsupport::DriverScope>(std::make_unique<AlsaDriver>());
  }
  void TearDown() override {
    window.form.reset();
    driver.reset();
  }

  testsupport::OwnPulseServer server;
  std::unique_ptr<testsupport::DriverScope> driver;
  AlsaWindow window;
};

TEST_F(AlsaServerLoss, ARecordingEndsOnceWithTheDevicesReasonAndACompleteFile) {
  TForm1& f = window.open();
  int stops = 0;
  f.Audio1->OnRecordStopped = [&stops, next = f.Audio1->OnRecordStopped](TObject* sender) {
    ++stops;
    next(sender);
  };
  window.record("lost.wav");
  ASSERT_TRUE(f.BitBtn3->isEnabled()) << "the recording did not start";
  ASSERT_TRUE(window.blocks.waitBlocks(5, 30000)) << "nothing was recorded";
  server.kill();
  ASSERT_TRUE(window_run::waitFor([&] { return !f.BitBtn3->isEnabled(); }, 30000)) << "the run did not end";
  testsupport::serveFor(500);  // time for a second report, which must not come
  EXPECT_EQ(stops, 1);

  ASSERT_EQ(window.prompts->messages.size(), 1u);
  const QString text = window.prompts->messages[0].text;
  EXPECT_EQ(window.prompts->messages[0].caption, "Aufnahme");
  const QString device = "\"default\"";
  ASSERT_TRUE(text.contains(device)) << text.toStdString();
  const QString after = text.mid(text.indexOf(device) + device.size());
  EXPECT_GT(after.indexOf(": "), -1) << "ALSA's reason: " << text.toStdString();
  EXPECT_FALSE(after.mid(after.indexOf(": ") + 2).trimmed().isEmpty()) << "ALSA's reason: " << text.toStdString();
  EXPECT_FALSE(f.Audio1->Recorder()->IsOpen);
  EXPECT_FALSE(f.Timer1->isActive());
  const QString summary = f.StatusBar1->item(StatusLine::Summary);
  EXPECT_TRUE(summary.startsWith("Recording ended: " + text.trimmed() + " (")) << summary.toStdString();

  const std::string data = recordedData(window.path("lost.wav"));
  EXPECT_GE(data.size(), 5 * 17640u);
  EXPECT_TRUE(data == window.delivered())
      << "the file holds " << data.size() << " bytes of " << window.delivered().size();
}

// The shared test server, held by this test, and a fresh ALSA driver.
class AlsaStoppedProgram : public testsupport::PulseTest {
 protected:
  void TearDown() override {
    window.form.reset();
    testsupport::PulseTest::TearDown();
  }
  AlsaWindow window;
};

// The whole program stopped for three seconds (a machine too busy to run it): the file
// still holds the wall clock's time, whether the server kept the input meanwhile or the
// loss came back as silence, and the window's clock counts the same time.
TEST_F(AlsaStoppedProgram, TheRecordingKeepsTheWallClock) {
  if (testsupport::kThreadChecked) GTEST_SKIP() << "starts other programs (see support/programs.h)";
  QProcess reader;
  ASSERT_TRUE(testsupport::readMonitor(reader));
  TForm1& f = window.open();
  window.record("stopped.wav");
  ASSERT_TRUE(f.BitBtn3->isEnabled()) << "the recording did not start";
  ASSERT_TRUE(window.blocks.waitBlocks(5, 30000)) << "nothing was recorded";

  ASSERT_TRUE(testsupport::stopThisProcessFor(3));
  // The three seconds of the stop, then one more.
  ASSERT_TRUE(window.blocks.waitBlocks(window.blocks.blocks() + 40, 30000));
  const Clock::time_point stopped = Clock::now();
  f.BitBtn3Click(f.BitBtn3);
  reader.kill();
  reader.waitForFinished(5000);

  const double wallClock = window.blocks.secondsUntil(stopped, 0.1);
  const std::string data = recordedData(window.path("stopped.wav"));
  const double fileSeconds = static_cast<double>(data.size()) / kBytesPerSecond;
  EXPECT_GE(wallClock, 3.0 + 1.0);
  EXPECT_NEAR(fileSeconds, wallClock, 0.2)
      << f.runrecord.overruns << " dropouts, " << f.runrecord.framesLost << " frames lost";
  EXPECT_NEAR(f.runrecord.tenths / 10.0, fileSeconds, 0.2);
  EXPECT_EQ(data.size(), window.delivered().size() + f.runrecord.framesLost * 4)
      << "the file is what was delivered and the loss as silence";
  EXPECT_TRUE(window.prompts->messages.empty());
}

}  // namespace
