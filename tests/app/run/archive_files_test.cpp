// Archive files from the window on the virtual card: "Marker" from the keyboard and the
// menu puts cue points into the file and counts them on the status line; the Options
// menu's two archive options reach the file (a timed start's broadcast time is when the
// recording began) and the disk-space question; "Save" keeps them, settings without them
// load as before and values other than 0 and 1 are refused.
#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QTest>

#include "app/form_under_test.h"
#include "app/run/status_line.h"
#include "app/window_run.h"
#include "audio/wave_chunks.h"
#include "platform/registry.h"

namespace {

using testsupport::readLE64;
using window_run::WindowRun;

// The frames of the cue points of a plain or broadcast file, in order.
std::vector<uint32_t> cueFrames(const std::string& bytes) {
  std::vector<uint32_t> frames;
  for (size_t at = 12; at + 8 <= bytes.size();) {
    const uint32_t size = window_run::readLE(bytes, at + 4, 4);
    if (bytes.compare(at, 4, "cue ") == 0) {
      for (uint32_t i = 0; i < window_run::readLE(bytes, at + 8, 4); ++i)
        frames.push_back(window_run::readLE(bytes, at + 12 + 24 * i + 20, 4));
    }
    at += 8 + uint64_t{size} + (size & 1);
  }
  return frames;
}

// Offset of the body of the first chunk `id`, 0 when there is none.
size_t chunkAt(const std::string& bytes, const char* id) {
  for (size_t at = 12; at + 8 <= bytes.size();) {
    if (bytes.compare(at, 4, id) == 0) return at + 8;
    const uint32_t size = window_run::readLE(bytes, at + 4, 4);
    at += 8 + uint64_t{size} + (size & 1);
  }
  return 0;
}

class ArchiveFiles : public WindowRun {};

TEST_F(ArchiveFiles, MarkersFromTheKeyboardAndTheMenuLandInTheFileAndOnTheStatusLine) {
  TForm1& f = openDefault(VirtualPacing::RealTime);
  f.show();
  f.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
  EXPECT_EQ(f.Marker1->text(), "&Marker");
  EXPECT_EQ(f.Marker1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_M));
  EXPECT_TRUE(f.Datei->actions().contains(f.Marker1));
  EXPECT_FALSE(f.Marker1->isEnabled()) << "no recording, no marker";
  chooseFile("marked.wav");
  f.BitBtn1Click(f.BitBtn1);
  ASSERT_TRUE(f.Marker1->isEnabled());
  ASSERT_TRUE(waitBlocks(2));
  QTest::keyClick(&f, Qt::Key_M, Qt::ControlModifier);
  ASSERT_TRUE(waitBlocks(2));
  QTest::keyClick(&f, Qt::Key_M, Qt::ControlModifier);
  f.Marker1->trigger();  // as the menu and a screen reader do
  EXPECT_EQ(f.StatusBar1->item(StatusLine::Markers), "Markers: 3");
  EXPECT_TRUE(f.StatusBar1->accessibleDescription().contains("Markers: 3"));
  ASSERT_TRUE(waitBlocks(1));
  f.BitBtn3Click(f.BitBtn3);
  EXPECT_FALSE(f.Marker1->isEnabled());
  EXPECT_TRUE(f.StatusBar1->item(StatusLine::Summary).contains("Markers: 3."))
      << f.StatusBar1->item(StatusLine::Summary).toStdString();

  const std::string bytes = window_run::readFile(path("marked.wav"));
  const uint32_t frames = window_run::readLE(bytes, 40, 4) / 4;
  const std::vector<uint32_t> cues = cueFrames(bytes);
  ASSERT_EQ(cues.size(), 3u);
  // Set after the blocks the window had seen, at most a block or two of a busy machine later.
  EXPECT_GE(cues[0], 2u * window_run::kFrames);
  EXPECT_LE(cues[0], cues[1]);
  EXPECT_GE(cues[1], 4u * window_run::kFrames);
  EXPECT_LE(cues[1], cues[2]);
  EXPECT_LE(cues[2], frames);
  EXPECT_EQ(window_run::readLE(bytes, 4, 4), bytes.size() - 8);
  EXPECT_EQ(WaveFileDataBytes(path("marked.wav")), uint64_t{frames} * 4);
}

// A timed start with both options: one file with the broadcast chunk, whose time is the
// real moment the recording began (the window's start clock is a test's here).
TEST_F(ArchiveFiles, ATimedStartsBroadcastTimeIsWhenTheRecordingBegan) {
  TForm1& f = openDefault(VirtualPacing::RealTime);
  QTime clock{6, 59, 50};
  f.timeOfDay = [&clock] { return clock; };
  f.Broadcast1->trigger();
  f.RF641->trigger();
  EXPECT_TRUE(f.fileoptions.broadcast && f.fileoptions.rf64);
  f.UpDown1->click(btNext);  // one second
  chooseFile("timed.wav");
  for (int i = 0; i < 7; ++i) f.UpDown4->click(btNext);
  f.CheckBox2->setChecked(true);
  f.BitBtn1Click(f.BitBtn1);
  f.Timer4Timer(f.Timer4);
  ASSERT_TRUE(f.Timer4->isActive()) << "armed";
  QTest::qWait(1200);  // armed for a while: that time is not the origination
  const auto started = std::chrono::system_clock::now();
  clock = QTime(7, 0, 0, 100);
  ASSERT_TRUE(window_run::waitFor([&] { return !f.Timer4->isActive(); }));
  ASSERT_TRUE(window_run::waitFor([&] { return !f.BitBtn3->isEnabled(); })) << "the length ends the recording";

  const std::string bytes = window_run::readFile(path("timed.wav"));
  ASSERT_EQ(bytes.substr(0, 4), "RIFF") << "below 4 GiB the one file is a plain one";
  ASSERT_EQ(bytes.substr(12, 4), "JUNK");
  const size_t b = chunkAt(bytes, "bext");
  ASSERT_NE(b, 0u);
  EXPECT_EQ(bytes.substr(b, 10), std::string("timed.wav\0", 10));
  EXPECT_TRUE(bytes.substr(b + 602).starts_with("A=PCM,F=44100,W=16,M=stereo,T=Tessaron ")) << bytes.substr(b + 602);
  const WaveOrigination expected = originationAt(started, 44100);
  char date[48];
  std::snprintf(date, sizeof date, "%04d-%02u-%02u", expected.year, expected.month, expected.day);
  if (bytes.compare(b + 320, 10, date) != 0) GTEST_SKIP() << "the take crossed midnight";
  const auto reference = static_cast<int64_t>(readLE64(bytes, b + 338));
  const auto wanted = static_cast<int64_t>(expected.samplesSinceMidnight);
  EXPECT_GE(reference, wanted - 44100 / 5) << "the time the start was armed, not when it began";
  EXPECT_LE(reference, wanted + 2 * 44100);
}

TEST_F(ArchiveFiles, TheOneFileNeedsOneHeaderInTheDiskEstimate) {
  // 16-bit stereo at 44100 Hz for 8 hours: 5 GB, two plain files or one RF64 file.
  const uint64_t seconds = 8 * 3600;
  const uint64_t rate = 44100 * 4;
  WaveFileOptions rf64;
  rf64.rf64 = true;
  const uint32_t header = WaveHeaderBytes(TBPS::_16, TChannels::Stereo, 44100, rf64);
  EXPECT_EQ(header, 44u + 36);
  const uint64_t data = seconds * rate;
  EXPECT_EQ(bytesNeeded(seconds, rate, header, true), data + header + (data + header + 99) / 100);
  EXPECT_EQ(bytesNeeded(seconds, rate, 44), data + 2 * 44 + (data + 2 * 44 + 99) / 100);
}

class ArchiveSettings : public ::testing::Test {
 protected:
  void TearDown() override { form.reset(); }
  std::unique_ptr<TForm1> form;
};

TEST_F(ArchiveSettings, SaveKeepsTheOptionsAndOlderOrBadSettingsLoadAsBefore) {
  const QString key = "\\Software\\Morvadel\\Tessaron\\1.0";
  form = openForm();
  EXPECT_FALSE(form->Broadcast1->isChecked());
  EXPECT_FALSE(form->RF641->isChecked());
  EXPECT_TRUE(form->eee->actions().contains(form->Broadcast1));
  EXPECT_EQ(form->Broadcast1->text(), "Broadcast Wave (bext)");
  EXPECT_EQ(form->RF641->text(), "One file past 4 GiB (RF64)");
  form->RF641->trigger();
  form->pretrigger = 250;
  form->Sichern2Click(form->Sichern2);
  {
    Registry store;
    ASSERT_TRUE(store.openKey(key, false));
    EXPECT_FALSE(store.valueExists("Broadcast")) << "an option that is off is stored as older versions did";
    EXPECT_EQ(store.readInteger("RF64"), 1);
  }
  form = openForm();
  EXPECT_TRUE(form->RF641->isChecked());
  EXPECT_TRUE(form->fileoptions.rf64);
  EXPECT_FALSE(form->fileoptions.broadcast);

  // Saved by a version without the options: they are off, the rest loads.
  {
    Registry store;
    ASSERT_TRUE(store.openKey(key, false));
    store.deleteValue("Broadcast");
    store.deleteValue("RF64");
  }
  form = openForm();
  EXPECT_FALSE(form->RF641->isChecked());
  EXPECT_EQ(form->pretrigger, 250);

  // Present and neither 0 nor 1: refused like any other value out of range.
  {
    Registry store;
    ASSERT_TRUE(store.openKey(key, false));
    store.writeInteger("Broadcast", 2);
  }
  form = openForm();
  EXPECT_FALSE(form->Broadcast1->isChecked());
  EXPECT_EQ(form->pretrigger, 0) << "the defaults apply";
  EXPECT_FALSE(Registry().keyExists(key));
}

}  // namespace
