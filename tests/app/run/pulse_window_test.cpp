// The main window on the sound server driver, used as a user would on a desktop with a
// second input (a USB turntable): that input is chosen in "Record Device" and in "Level
// Control", its level slider sets the turntable's volume in the server, and a recording
// from it holds what plays into it while something else plays into the default input.
// The lists follow inputs that come and go while no run is active, and the choices saved
// come back by name when the server lists its inputs in another order.
#include <QAbstractItemView>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
#include <memory>

#include "app/form_under_test.h"
#include "app/run/status_line.h"
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

// The three lists' choices, by the text of their items.
struct Chosen {
  QString meter;
  QString device;
  QString input;
};
Chosen chosenIn(const TForm1& f) {
  return {f.ComboBox1->currentText(), f.ComboBox2->currentText(), f.ComboBox3->currentText()};
}
bool allHold(const TForm1& f, const QString& text) {
  return itemWith(*f.ComboBox1, text) >= 0 && itemWith(*f.ComboBox2, text) >= 0 && itemWith(*f.ComboBox3, text) >= 0;
}
// Chooses the first item with `text` in each of the three lists, as a user would.
void chooseEverywhere(TForm1& f, const QString& text) {
  for (QComboBox* box : {f.ComboBox1, f.ComboBox2, f.ComboBox3}) {
    const int index = itemWith(*box, text);
    ASSERT_GE(index, 0) << box->objectName().toStdString() << " lacks " << text.toStdString();
    choose(*box, index);
  }
}

TEST_P(PulseWindow, ListsFollowInputsThatComeAndGoWhileNoRunIsActive) {
  form = std::make_unique<TForm1>();
  TForm1& f = *form;
  window_run::useTestFormat(f);
  blocks.attach(*f.Audio1);
  chooseEverywhere(f, "Monitor of USB_Turntable");
  const Chosen before = chosenIn(f);

  // A microphone plugged in appears in every list; the choices stay where they were.
  LoadedModule webcam;
  ASSERT_TRUE(webcam.load(nullSource(GetParam(), "webcam_mic")));
  ASSERT_TRUE(waitFor([&] { return allHold(f, "webcam_mic"); }, 5000)) << "the new input is not listed";
  EXPECT_EQ(chosenIn(f).meter, before.meter);
  EXPECT_EQ(chosenIn(f).device, before.device);
  EXPECT_EQ(chosenIn(f).input, before.input);
  EXPECT_EQ(f.Audio1->AudioDeviceID(), inputNumber("Monitor of USB_Turntable")) << "the device chosen records";
  ASSERT_NE(f.volumsel, nullptr);
  EXPECT_EQ(QString::fromStdString(f.volumsel->caption), before.input);
  EXPECT_EQ(QString::fromStdString(f.metersel->caption), before.meter);
  EXPECT_TRUE(f.StatusBar1->item(StatusLine::Devices).isEmpty());

  // A run keeps its lists: one more input shows only when the run is over.
  f.BitBtn4Click(f.BitBtn4);
  ASSERT_TRUE(f.runrecord.active) << "monitoring did not start";
  const int items = f.ComboBox2->count();
  LoadedModule third;
  ASSERT_TRUE(third.load(nullSource(GetParam(), "headset_mic")));
  ASSERT_TRUE(waitFor([] { return inputNumber("headset_mic") >= 0; }, 5000));
  testsupport::serveFor(700);
  EXPECT_EQ(f.ComboBox2->count(), items) << "the lists changed during a run";
  EXPECT_TRUE(f.runrecord.active);
  f.BitBtn4Click(f.BitBtn4);
  ASSERT_FALSE(f.runrecord.active);
  EXPECT_TRUE(waitFor([&] { return allHold(f, "headset_mic"); }, 5000)) << "not listed after the run";
  EXPECT_EQ(chosenIn(f).device, before.device);

  // The chosen input unplugged: every list falls back to its first item and says so.
  turntable.unload();
  ASSERT_TRUE(waitFor([&] { return itemWith(*f.ComboBox2, "USB_Turntable") < 0; }, 5000));
  EXPECT_EQ(itemWith(*f.ComboBox1, "USB_Turntable"), -1);
  EXPECT_EQ(itemWith(*f.ComboBox3, "USB_Turntable"), -1);
  EXPECT_EQ(f.ComboBox2->currentIndex(), 0);
  EXPECT_EQ(f.ComboBox2->currentText(), "Wavemapper");
  EXPECT_EQ(f.Audio1->AudioDeviceID(), -1) << "the wave mapper records";
  EXPECT_EQ(f.ComboBox1->currentIndex(), 0);
  EXPECT_EQ(f.metersel, f.meterfirst);
  EXPECT_EQ(f.ComboBox3->currentIndex(), 0);
  EXPECT_EQ(f.volumsel, f.volumfirst);
  const QString said = f.StatusBar1->item(StatusLine::Devices);
  EXPECT_TRUE(said.contains("\"" + before.device + "\" is gone; \"Wavemapper\" records now")) << said.toStdString();
  EXPECT_TRUE(said.contains(before.meter)) << said.toStdString();
  EXPECT_TRUE(said.contains(before.input)) << said.toStdString();

  // The window still records, from what it fell back to.
  const int delivered = blocks.blocks();
  f.BitBtn4Click(f.BitBtn4);
  EXPECT_TRUE(blocks.waitBlocks(delivered + 2, 20000));
  f.BitBtn4Click(f.BitBtn4);
  EXPECT_TRUE(prompts->messages.empty());
}

TEST_P(PulseWindow, SavedChoicesComeBackByNameWhenTheServerListsInputsInAnotherOrder) {
  ScopedConfigHome config;
  LoadedModule deck;
  ASSERT_TRUE(deck.load(nullSink("USB_Deck")));
  ASSERT_TRUE(waitFor([] { return inputNumber("Monitor of USB_Deck") >= 0; }, 10000));
  const int deckBefore = inputNumber("Monitor of USB_Deck");
  form = std::make_unique<TForm1>();
  chooseEverywhere(*form, "Monitor of USB_Deck");
  const Chosen saved = chosenIn(*form);
  const int savedDevice = form->ComboBox2->currentIndex();
  form->Sichern2Click(form->Sichern2);
  form.reset();

  // The turntable plugged in again comes after the deck now.
  turntable.unload();
  ASSERT_TRUE(waitFor([] { return inputNumber("Monitor of USB_Turntable") < 0; }, 10000));
  ASSERT_TRUE(turntable.load(nullSink("USB_Turntable")));
  ASSERT_TRUE(waitFor([] { return inputNumber("Monitor of USB_Turntable") >= 0; }, 10000));
  ASSERT_NE(inputNumber("Monitor of USB_Deck"), deckBefore) << "the server kept its order";

  form = std::make_unique<TForm1>();
  TForm1& f = *form;
  EXPECT_NE(f.ComboBox2->currentIndex(), savedDevice);
  EXPECT_EQ(chosenIn(f).device, saved.device);
  EXPECT_EQ(chosenIn(f).meter, saved.meter);
  EXPECT_EQ(chosenIn(f).input, saved.input);
  EXPECT_EQ(f.Audio1->AudioDeviceID(), inputNumber("Monitor of USB_Deck"));
  ASSERT_NE(f.volumsel, nullptr);
  EXPECT_EQ(QString::fromStdString(f.volumsel->caption), saved.input);
}

INSTANTIATE_TEST_SUITE_P(Pulse, PulseWindow, ::testing::Values(Server::PulseAudio, Server::PipeWire), serverLabel);

}  // namespace
