// Runs nobody watches, made from the window on the virtual card: a stalled input, a
// device that fails, and a recording that goes on into next files. Each must reach the
// status line and the box a user finds on return, and leave complete files whose
// timeline is the wall clock's.
#include <QComboBox>
#include <QRegularExpression>
#include <chrono>

#include "app/run/status_line.h"
#include "app/window_run.h"
#include "support/delivered_blocks.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using window_run::kBytesPerSecond;
using window_run::recordedData;
using window_run::waitFor;
using window_run::WindowRun;

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// "Dropouts: 1, 3.01 s lost, last at 00:00:00": the count and the seconds lost; a count
// of -1 when the text does not read so.
std::pair<int, double> dropoutsShown(const QString& text) {
  static const QRegularExpression pattern(R"(^Dropouts: (\d+), (\d+\.\d\d) s lost, last at \d\d:\d\d:\d\d$)");
  const QRegularExpressionMatch m = pattern.match(text);
  if (!m.hasMatch()) return {-1, 0};
  return {m.captured(1).toInt(), m.captured(2).toDouble()};
}

class UnattendedRun : public WindowRun {
 protected:
  // The window on the default card in real time, with the blocks it is handed watched.
  TForm1& openWatched() {
    TForm1& f = openDefault(VirtualPacing::RealTime);
    blocks.attach(*f.Audio1);
    return f;
  }
  // The window is idle as "Stop recording" leaves it, and the recorder is closed.
  void expectIdle(const TForm1& f) {
    EXPECT_FALSE(f.BitBtn1->isEnabled());
    EXPECT_TRUE(f.BitBtn2->isEnabled());
    EXPECT_FALSE(f.BitBtn3->isEnabled());
    EXPECT_TRUE(f.BitBtn4->isEnabled());
    EXPECT_EQ(f.BitBtn4->Tag, 0);
    EXPECT_TRUE(f.ComboBox1->isEnabled());
    EXPECT_TRUE(f.ComboBox2->isEnabled());
    EXPECT_FALSE(f.Timer1->isActive());
    EXPECT_EQ(f.LEDMeter3->Position(), 0) << "the lamp is dark";
    EXPECT_FALSE(f.Audio1->Recorder()->IsOpen);
    EXPECT_FALSE(f.Audio1->Recorder()->WaveFileOpen);
  }
  std::string delivered() {
    const std::vector<char> bytes = blocks.bytes();
    return {bytes.begin(), bytes.end()};
  }

  testsupport::DeliveredBlocks blocks;
};

// A machine too busy to read the card for three seconds: the status line counts the
// dropout with the time lost, the clock goes on by that time, and the file holds the
// lost input as silence at its place, so that its length is the wall clock's.
TEST_F(UnattendedRun, AStalledInputIsReportedAndTheFileKeepsTheWallClock) {
  TForm1& f = openWatched();
  chooseFile("stall.wav");
  f.BitBtn1Click(f.BitBtn1);
  ASSERT_TRUE(f.BitBtn3->isEnabled());
  ASSERT_TRUE(blocks.waitBlocks(5));

  const Clock::time_point pausing = Clock::now();
  driver->pauseInputs(true);
  const Clock::time_point paused = Clock::now();
  testsupport::serveFor(3000);
  const Clock::time_point resuming = Clock::now();
  driver->pauseInputs(false);
  const Clock::time_point resumed = Clock::now();

  ASSERT_TRUE(waitFor([&] { return !f.StatusBar1->item(StatusLine::Dropouts).isEmpty(); }));
  const QString shown = f.StatusBar1->item(StatusLine::Dropouts);
  const auto [count, lost] = dropoutsShown(shown);
  EXPECT_EQ(count, 1) << shown.toStdString();
  // The stall lasted from within the first call to within the second.
  EXPECT_GE(lost, seconds(resuming - paused) - 0.01) << shown.toStdString();
  EXPECT_LE(lost, seconds(resumed - pausing) + 0.01) << shown.toStdString();

  const size_t before = blocks.blocks();
  ASSERT_TRUE(blocks.waitBlocks(before + 10));
  const Clock::time_point stopped = Clock::now();
  f.BitBtn3Click(f.BitBtn3);
  const double wallClock = blocks.secondsUntil(stopped, 0.1);

  const std::string data = recordedData(path("stall.wav"));
  const double fileSeconds = static_cast<double>(data.size()) / kBytesPerSecond;
  EXPECT_NEAR(fileSeconds, wallClock, 0.2);
  // The clock counted the lost time with the blocks; the display shows its whole seconds.
  const uint64_t tenths = f.runrecord.tenths;
  EXPECT_NEAR(tenths / 10.0, fileSeconds, 0.2);
  EXPECT_DOUBLE_EQ(static_cast<double>(f.LEDDisplay1->Value()), double(tenths / 600) + double(tenths / 10 % 60) / 100);

  // The file is the delivered blocks with the lost frames as silence between them.
  const uint64_t lostBytes = f.runrecord.framesLost * 4;
  EXPECT_NEAR(lostBytes / kBytesPerSecond, lost, 0.006);
  const std::string input = delivered();
  ASSERT_EQ(data.size(), input.size() + lostBytes);
  const std::string silence(lostBytes, '\0');
  const size_t at = data.find(silence);
  ASSERT_NE(at, std::string::npos) << "no silence as long as the stall";
  EXPECT_TRUE(data == input.substr(0, at) + silence + input.substr(at)) << "audio moved or changed";
  EXPECT_EQ(f.StatusBar1->item(StatusLine::Signal), "") << "the generator's tones are a signal";

  const QString summary = f.StatusBar1->item(StatusLine::Summary);
  EXPECT_TRUE(summary.startsWith("Recording stopped by the user (00:00:0")) << summary.toStdString();
  EXPECT_TRUE(summary.endsWith(' ' + shown + '.')) << summary.toStdString();
  EXPECT_TRUE(prompts->messages.empty());
}

// The card goes away during a recording, then during a monitoring run: each run ends as
// its own button ends it, once, with a box naming the device and the reason, which the
// summary keeps; the recording's file holds every block delivered and is complete.
TEST_F(UnattendedRun, AFailedDeviceEndsTheRunAsItsButtonWouldAndTellsWhy) {
  TForm1& f = openWatched();
  int stops = 0;
  f.Audio1->OnRecordStopped = [&stops, next = f.Audio1->OnRecordStopped](TObject* sender) {
    ++stops;
    next(sender);
  };
  const QString reason = "The input device failed: Sound device \"Virtual Sound Card\" failed: the card was unplugged";

  chooseFile("failed.wav");
  f.BitBtn1Click(f.BitBtn1);
  ASSERT_TRUE(blocks.waitBlocks(12));
  driver->failOpenDevices(MMSYSERR_NODRIVER, "the card was unplugged");
  ASSERT_TRUE(waitFor([&] { return !f.BitBtn3->isEnabled(); })) << "the run did not end";
  testsupport::serveFor(300);  // time for a second report, which must not come
  EXPECT_EQ(stops, 1);
  ASSERT_EQ(prompts->messages.size(), 1u);
  EXPECT_EQ(prompts->messages[0].text, reason);
  EXPECT_EQ(prompts->messages[0].caption, "Aufnahme");
  expectIdle(f);
  const QString summary = f.StatusBar1->item(StatusLine::Summary);
  EXPECT_TRUE(summary.startsWith("Recording ended: " + reason + " (00:00:0")) << summary.toStdString();
  EXPECT_TRUE(summary.contains("). Files: failed.wav (00:00:0")) << summary.toStdString();
  EXPECT_TRUE(summary.endsWith(" No dropouts.")) << summary.toStdString();
  const std::string data = recordedData(path("failed.wav"));
  EXPECT_GE(data.size(), 12 * 17640u);
  EXPECT_TRUE(data == delivered()) << "the file holds " << data.size() << " bytes of " << delivered().size();

  // Monitoring on a card that fails the same way.
  blocks.clear();
  f.BitBtn4Click(f.BitBtn4);
  ASSERT_EQ(f.BitBtn4->Tag, 1);
  ASSERT_TRUE(blocks.waitBlocks(3));
  driver->failOpenDevices(MMSYSERR_ERROR, "the card was unplugged");
  ASSERT_TRUE(waitFor([&] { return f.BitBtn4->Tag == 0; })) << "the run did not end";
  testsupport::serveFor(300);
  EXPECT_EQ(stops, 2);
  ASSERT_EQ(prompts->messages.size(), 2u);
  EXPECT_EQ(prompts->messages[1].text, reason);
  EXPECT_EQ(prompts->messages[1].caption, "Aufnahme");
  expectIdle(f);
  const QString monitored = f.StatusBar1->item(StatusLine::Summary);
  EXPECT_TRUE(monitored.startsWith("Monitoring ended: " + reason + " (00:00:0")) << monitored.toStdString();
  EXPECT_TRUE(monitored.endsWith("). No dropouts.")) << monitored.toStdString();

  // The window records again on the card afterwards.
  chooseFile("again.wav");
  f.BitBtn1Click(f.BitBtn1);
  ASSERT_TRUE(f.BitBtn3->isEnabled());
  EXPECT_EQ(prompts->messages.size(), 2u);
  ASSERT_TRUE(waitBlocks(2));
  f.BitBtn3Click(f.BitBtn3);
  EXPECT_GE(recordedData(path("again.wav")).size(), 2 * 17640u);
}

// Files limited to a little more than three blocks each: the recording goes on into
// numbered files beside the first (passing over a name already taken), the status line
// names the file being written, the summary names them all, and together they hold
// exactly what the card delivered.
TEST_F(UnattendedRun, ARecordingAcrossSeveralFilesIsNamedAndLosesNothing) {
  const std::string input = recorder_test::quietFrames16(4410 * 7 + 1234, 2);
  TForm1& f = openWithInput(window_run::wavBytes(2, 44100, 16, input));
  blocks.attach(*f.Audio1);
  const std::string taken = window_run::wavBytes(2, 44100, 16, "someone else's");
  window_run::writeFile(path("take-3.wav"), taken);
  const uint64_t limit = 3 * 17640 + 1000;
  f.Audio1->Recorder()->setMaxDataBytes(limit);

  chooseFile("take.wav");
  f.BitBtn1Click(f.BitBtn1);
  ASSERT_TRUE(f.BitBtn3->isEnabled());
  ASSERT_TRUE(waitFor([&] { return f.runrecord.files.size() >= 4; }));
  const QString current = f.StatusBar1->item(StatusLine::File);
  const QString last = QFileInfo(f.runrecord.files.last()).fileName();
  EXPECT_EQ(current, "File: " + last);
  f.BitBtn3Click(f.BitBtn3);
  // A change to a next file made before the stop may still be on its way.
  QCoreApplication::sendPostedEvents();

  const QStringList files = f.runrecord.files;
  ASSERT_GE(files.size(), 4);
  std::string joined;
  QString names;
  for (int i = 0; i < files.size(); ++i) {
    const QString name = QFileInfo(files[i]).fileName();
    EXPECT_EQ(name, i == 0 ? QString("take.wav") : QString("take-%1.wav").arg(i < 2 ? i + 1 : i + 2));
    const std::string data = recordedData(files[i].toStdString());
    if (i + 1 < files.size()) {
      EXPECT_EQ(data.size(), limit / 4 * 4) << "a full file holds whole frames";
    }
    joined += data;
    names += (i == 0 ? "" : ", ") + name + " (00:00:00)";
  }
  EXPECT_TRUE(window_run::readFile(path("take-3.wav")) == taken) << "a file of the same name was overwritten";
  const std::string seen = delivered();
  EXPECT_EQ(joined.size(), seen.size());
  EXPECT_TRUE(joined == seen) << "frames lost or repeated between the files";
  size_t mismatches = 0;
  for (size_t i = 0; i < seen.size(); ++i) mismatches += seen[i] != input[i % input.size()];
  EXPECT_EQ(mismatches, 0u) << "the card's input did not arrive in order";
  const QString summary = f.StatusBar1->item(StatusLine::Summary);
  EXPECT_TRUE(summary.contains(" Files: " + names + ". ")) << summary.toStdString();
}

}  // namespace
