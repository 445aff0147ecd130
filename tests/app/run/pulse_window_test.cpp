// The main window on the sound server driver, used as a user would on a desktop with a
// second input (a USB turntable): that input is chosen in "Record Device" and in "Level
// Control", its level slider sets the turntable's volume in the server, and a recording
// from it holds what plays into it while something else plays into the default input.
#include <QAbstractItemView>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
#include <memory>

#include "app/window_run.h"
#include "support/delivered_blocks.h"
#include "support/signal_match.h"
#include "support/sound_servers.h"

namespace {

using namespace testsupport;

// The index of the first item of `box` whose text contains `text`, or -1.
int itemWith(const QComboBox& box, const QString& text) {
  for (int i = 0; i < box.count(); ++i)
    if (box.itemText(i).contains(text)) return i;
  return -1;
}

void choose(QComboBox& box, int index) {
  box.setCurrentIndex(index);
  emit box.activated(index);
}

class PulseWindow : public OnSoundServer {
 protected:
  void SetUp() override {
    OnSoundServer::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_TRUE(turntable.load(nullSink("USB_Turntable")));
    ASSERT_TRUE(waitFor([] { return inputNumber("Monitor of USB_Turntable") >= 0; }, 10000));
    run("pactl", {"set-source-volume", "USB_Turntable.monitor", "100%"});
  }
  void TearDown() override {
    form.reset();
    turntable.unload();
    OnSoundServer::TearDown();
  }

  ScopedFakePrompts prompts;
  QTemporaryDir dir;
  LoadedModule turntable;
  DeliveredBlocks blocks;
  std::unique_ptr<TForm1> form;
};

TEST_P(PulseWindow, RecordsTheInputChosenInTheListsWithItsOwnLevel) {
  form = std::make_unique<TForm1>();
  TForm1& f = *form;
  window_run::useTestFormat(f);
  blocks.attach(*f.Audio1);

  const int device = itemWith(*f.ComboBox2, "Monitor of USB_Turntable");
  ASSERT_GT(device, 0) << "the turntable is not in \"Record Device\"";
  choose(*f.ComboBox2, device);
  const int line = itemWith(*f.ComboBox3, "Monitor of USB_Turntable");
  ASSERT_GE(line, 0) << "the turntable is not in \"Level Control\"";
  choose(*f.ComboBox3, line);
  EXPECT_GE(itemWith(*f.ComboBox1, "Monitor of USB_Turntable"), 0) << "its peak meter is not in \"LED-Meter\"";

  // The left level at half way down: half the volume, on the turntable alone.
  f.TrackBar1->setValue(50);
  const std::vector<long> volume = pactlVolume("source", "USB_Turntable.monitor");
  ASSERT_EQ(volume.size(), 2u);
  EXPECT_NEAR(volume[0], 0.5 * 65536, 0.02 * 65536);
  const std::vector<long> defaultVolume = pactlVolume("source", kMonitor);
  ASSERT_FALSE(defaultVolume.empty());
  EXPECT_EQ(defaultVolume[0], 65536) << "the default input's volume was changed";
  f.TrackBar1->setValue(0);  // back to full for the recording

  const QString speech = dir.filePath("speech.wav");
  ASSERT_EQ(run("espeak-ng", {"-w", speech, "The turntable plays while the microphone waits."}).exitCode, 0);
  std::vector<int16_t> tone(44100 * 4);
  for (size_t i = 0; i < tone.size(); ++i)
    tone[i] = static_cast<int16_t>(12000 * std::sin(2 * M_PI * 440 * i / 44100.0));
  const QString toneFile = dir.filePath("tone.wav");
  writeFile(toneFile.toStdString(), wavBytes(1, 44100, 16, samples16(tone)));

  prompts->saveAnswer = dir.filePath("turntable.wav");
  f.BitBtn2Click(f.BitBtn2);
  f.BitBtn1Click(f.BitBtn1);
  ASSERT_TRUE(f.BitBtn3->isEnabled()) << "the recording did not start";
  ASSERT_TRUE(blocks.waitBlocks(3, 20000));
  QProcess toneIntoDefault;
  toneIntoDefault.start("paplay", {"-d", kSink, toneFile});
  ASSERT_EQ(runWhileServing("paplay", {"-d", "USB_Turntable", speech}), 0);
  ASSERT_TRUE(blocks.waitBlocks(blocks.blocks() + 5, 20000));
  f.BitBtn3Click(f.BitBtn3);
  toneIntoDefault.waitForFinished(10000);
  EXPECT_TRUE(prompts->messages.empty());

  const std::string file = dir.filePath("turntable.wav").toStdString();
  const std::string data = window_run::recordedData(file);
  const std::vector<double> recorded = monoSamples(data.data(), data.size(), 2, 16);
  const std::vector<double> reference = decodeMono(speech, 44100, dir.filePath("ref.raw"));
  ASSERT_FALSE(reference.empty());
  ASSERT_GT(recorded.size(), reference.size());
  EXPECT_GE(bestCorrelation(reference, recorded), 0.9);
}

// A name longer than the records' fields is shown whole in the three lists, and a list
// opens wide enough to show it.
TEST_P(PulseWindow, ListsShowLongNamesWhole) {
  const QString sink = QString::fromUtf8("Plattenspieler_im_Büro_über_dem_Regal_links_neben_dem_Fenster_und_der_Tür");
  const QString monitor = "Monitor of " + sink;
  LoadedModule longOne;
  ASSERT_TRUE(
      longOne.load({"module-null-sink", "sink_name=long_turntable", "sink_properties=device.description=" + sink}));
  ASSERT_TRUE(waitFor([&] { return inputNumber(monitor.left(30).toStdString()) >= 0; }, 10000));
  form = std::make_unique<TForm1>();
  TForm1& f = *form;
  for (QComboBox* box : {f.ComboBox1, f.ComboBox2, f.ComboBox3}) {
    const int index = itemWith(*box, monitor);
    ASSERT_GE(index, 0) << box->objectName().toStdString() << " does not hold the whole name";
    EXPECT_GE(box->view()->minimumWidth(), box->fontMetrics().horizontalAdvance(box->itemText(index)))
        << box->objectName().toStdString() << " opens narrower than its names";
  }
  EXPECT_EQ(f.ComboBox2->itemText(itemWith(*f.ComboBox2, monitor)), monitor);
}

INSTANTIATE_TEST_SUITE_P(Pulse, PulseWindow, ::testing::Values(Server::PulseAudio, Server::PipeWire), serverLabel);

}  // namespace
