// The closed loop through the window: the virtual card's record volume scales its
// generated input, which clips at full volume; monitoring started with the monitor button
// scans each block on the delivering thread, hands it to the window thread, and the meter
// tick lowers the volume of the chosen line until nothing clips. And the level control on
// a real sound server: the slider changes the capture volume the server reports, and a
// first start lowers the capture volume of a clipping input, not the speakers.
#include <QCoreApplication>
#include <QProcess>
#include <QSlider>
#include <QTimer>
#include <algorithm>
#include <chrono>

#include "app/form_under_test.h"
#include "app/level_fixture.h"
#include "app/window/level_math.h"
#include "app/window_run.h"
#include "mmsystem/alsa/alsa_pulse.h"

namespace leveltest {
namespace {

using namespace std::chrono_literals;

class LevelLoopTest : public window_run::WindowRun {
 protected:
  // Blocks the window thread has analysed since the run started: ten make a second of
  // the elapsed-time clock.
  static int analysed(const TForm1& f) { return (f.elapsedmin * 60 + f.elapsedsec) * 10 + f.blockcount; }
};

TEST_F(LevelLoopTest, DownOnlyBringsAClippingInputUnderTheLimitWithinTwentySeconds) {
  TForm1& f = openDefault(VirtualPacing::AsFastAsQueued);
  // The default card's "Recording" destination and its "Line In" both scale the input;
  // the level control works on "Recording".
  const int item = levelItem(f, 0, 0, 0);
  ASSERT_EQ(item, 0) << "the first level-control line is the recording line";
  chooseLevelItem(f, item);
  f.RadioButton2->setChecked(true);
  f.RadioButton2Click(f.RadioButton2);
  ASSERT_EQ(driver->lineVolume(0, 0, 0), (Volumes{65535, 65535}));
  ASSERT_EQ(driver->lineVolume(0, 0, 1), (Volumes{65535, 65535}));
  ASSERT_EQ(f.ComboBox1->currentIndex(), 0) << "the meters refer to the wave data";
  f.RadioButton4->setChecked(true);
  f.RadioButton4Click(f.RadioButton4);

  f.BitBtn4Click(f.BitBtn4);
  ASSERT_EQ(f.BitBtn4->Tag, 1);
  ASSERT_TRUE(f.Timer1->isActive()) << "monitoring polls the meters";
  ASSERT_EQ(f.overhigh, 44);
  ASSERT_EQ(f.overlow, 6);
  // The card delivers far faster than 25 ms per tick, so the test takes the timer's place:
  // after the window has analysed what arrived, four ticks for each 0.1 s block of it.
  f.Timer1->stop();

  constexpr int kBlocks = 200;  // 20 s of input
  int seen = 0;
  bool clippedEarly = false;
  bool quietLastSecond = true;
  uint16_t loudest = 0;  // the loudest block peak of the last four seconds
  const auto deadline = std::chrono::steady_clock::now() + 120s;
  while (seen < kBlocks && std::chrono::steady_clock::now() < deadline) {
    QCoreApplication::processEvents();
    const int now = analysed(f);
    if (now == seen) continue;
    if (seen < 40 && (f.overleft > 0 || f.overright > 0)) clippedEarly = true;
    if (now > kBlocks - 40) loudest = std::max({loudest, f.peakleft, f.peakright});
    if (now > kBlocks - 10) {
      // The sums hold every run since the last tick; the labels show the last block's.
      if (f.overleft != 0 || f.overright != 0 || f.Label1->text() != "0" || f.Label12->text() != "0") {
        ADD_FAILURE() << "block " << now << ": sums " << f.overleft << "/" << f.overright << ", labels "
                      << f.Label1->text().toStdString() << "/" << f.Label12->text().toStdString();
        quietLastSecond = false;
      }
    }
    for (int tick = 0; tick < 4 * (now - seen); ++tick) f.Timer1Timer(f.Timer1);
    seen = now;
  }
  f.BitBtn4Click(f.BitBtn4);
  ASSERT_GE(seen, kBlocks) << "the virtual input stalled";
  EXPECT_EQ(f.BitBtn4->Tag, 0);
  EXPECT_FALSE(f.Timer1->isActive());
  EXPECT_TRUE(prompts->messages.empty());

  EXPECT_TRUE(clippedEarly) << "full volume clips";
  EXPECT_TRUE(quietLastSecond);
  const Volumes lowered = driver->lineVolume(0, 0, 0);
  EXPECT_LT(lowered[0], 65535);
  EXPECT_LT(lowered[1], 65535);
  EXPECT_EQ(lowered, (Volumes{f.volleft, f.volright})) << "the mixer holds the window's volumes";
  EXPECT_EQ(driver->lineVolume(0, 0, 1), (Volumes{65535, 65535})) << "only the chosen line is lowered";
  EXPECT_FALSE(driver->lineMuted(0, 0, 0));
  // The sliders follow; they stand below the top.
  EXPECT_EQ(f.TrackBar1->value(), level::sliderFromVolume(f.volleft, f.TrackBar1->maximum()));
  EXPECT_EQ(f.TrackBar2->value(), level::sliderFromVolume(f.volright, f.TrackBar2->maximum()));
  EXPECT_GT(f.TrackBar1->value(), 0);
  EXPECT_GT(f.TrackBar2->value(), 0);
  // Lowered to fit, not crushed: the loud part of the last swells still reaches half scale.
  EXPECT_GT(loudest, 16384);
}

// The window on the ALSA driver, against the test sound server.
class LevelOnServerTest : public alsatest::PulseTest {
 protected:
  void SetUp() override {
    alsatest::PulseTest::SetUp();
    if (!IsSkipped()) keepVolumes();
  }
  void TearDown() override {
    form.reset();
    if (player.state() != QProcess::NotRunning) {
      player.kill();
      player.waitForFinished(5000);
    }
    alsatest::PulseTest::TearDown();
  }
  ScopedFakePrompts prompts;
  std::unique_ptr<TForm1> form;
  QProcess player;
};

TEST_F(LevelOnServerTest, MovingTheLeftLevelSliderChangesTheCaptureVolume) {
  int32_t device = -1;
  for (UINT m = 0; m < mixerGetNumDevs(); ++m) {
    if (alsa_->mixers()[m].ctl == "default") device = static_cast<int32_t>(m);
  }
  ASSERT_GE(device, 0) << "the server's mixer is not listed";
  alsatest::run("pactl", {"set-source-volume", alsatest::kMonitor, "65536"});

  form = std::make_unique<TForm1>();
  TForm1& f = *form;
  const int item = levelItem(f, device, 0, 0);
  ASSERT_GE(item, 0) << "the server's capture volume is no level-control input";
  chooseLevelItem(f, item);
  ASSERT_TRUE(f.RadioButton2->isChecked());

  f.TrackBar2->setValue(50);
  f.TrackBar1->setValue(75);
  // pactl reports 65536 for full volume; the mixer's 0..65535 maps linearly onto it.
  std::vector<long> now;
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  do {
    QCoreApplication::processEvents();
    now = alsatest::sourceVolume();
  } while ((now.size() < 2 || now[0] > 20000) && std::chrono::steady_clock::now() < deadline);
  ASSERT_GE(now.size(), 2u);
  EXPECT_NEAR(now[0], 16384, 400) << "left at a quarter";
  EXPECT_NEAR(now[1], 32768, 400) << "right at half";
}

// A new user's first start: no stored settings, "Down only", the first level-control
// line. Monitoring a clipping input lowers the server's capture volume and leaves the
// playback (speaker) volume alone.
TEST_F(LevelOnServerTest, FirstStartLowersTheCaptureVolumeNotThePlaybackVolume) {
  if (alsatest::kThreadChecked) GTEST_SKIP() << "starts other programs (see support/programs.h)";
  QTemporaryDir dir;
  const QString square = dir.filePath("square.wav");
  ASSERT_EQ(alsatest::run("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", square, "synth", "60", "square", "440",
                                  "gain", "-n"})
                .exitCode,
            0)
      << "sox could not make the clipping input";
  alsatest::run("pactl", {"set-source-volume", alsatest::kMonitor, "65536"});
  alsatest::run("pactl", {"set-sink-volume", alsatest::kSink, "65536"});
  const std::vector<long> sink = alsatest::sinkVolume();
  ASSERT_FALSE(sink.empty());
  player.start("paplay", {"-d", alsatest::kSink, square});
  ASSERT_TRUE(player.waitForStarted(10000));

  ScopedConfigHome noSettings;
  form = std::make_unique<TForm1>();
  TForm1& f = *form;
  ASSERT_TRUE(f.RadioButton4->isChecked()) << "\"Down only\" is the default";
  ASSERT_EQ(f.ComboBox3->currentIndex(), 0);
  ASSERT_NE(f.volumsel, nullptr);
  EXPECT_EQ(f.volumsel->destination, 0) << "the first level-control line is the recording destination";
  f.BitBtn4Click(f.BitBtn4);
  ASSERT_EQ(f.BitBtn4->Tag, 1);
  ASSERT_TRUE(prompts->messages.empty()) << prompts->messages[0].text.toStdString();
  const bool lowered = alsatest::waitFor([&] { return f.volleft < 65535 && f.volright < 65535; }, 60000);
  f.BitBtn4Click(f.BitBtn4);
  ASSERT_TRUE(lowered) << "the level control did not act on the clipping input";

  // The server's scale is 0..65536 (100 %).
  const std::vector<long> source = alsatest::sourceVolume();
  ASSERT_EQ(source.size(), 2u);
  EXPECT_NEAR(source[0], f.volleft * 65536.0 / 65535, 1);
  EXPECT_NEAR(source[1], f.volright * 65536.0 / 65535, 1);
  EXPECT_EQ(alsatest::sinkVolume(), sink) << "the playback volume changed";
}

}  // namespace
}  // namespace leveltest
