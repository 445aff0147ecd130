// The picture buttons driving monitoring and recording runs, and the enabled controls,
// monitor button and timers of every state they lead to.
#include <QCheckBox>
#include <QSlider>

#include "app/application.h"
#include "app/window_run.h"

namespace {

using window_run::WindowRun;

enum class Row { IdleNoFile, IdleWithFile, Monitoring, Armed, Recording };

// Checks the enabled controls, the monitor button and the timers a state shows.
void expectState(TForm1& f, Row row, const char* where) {
  SCOPED_TRACE(where);
  const bool idle = row == Row::IdleNoFile || row == Row::IdleWithFile;
  const bool running = row == Row::Monitoring || row == Row::Recording;
  EXPECT_EQ(f.ComboBox1->isEnabled(), idle);
  EXPECT_EQ(f.ComboBox2->isEnabled(), idle);
  EXPECT_EQ(f.Timer4->isActive(), row == Row::Armed);
  if (row != Row::Armed) {  // armed, a monitoring run may go on
    EXPECT_EQ(f.Timer1->isActive(), running);
    EXPECT_EQ(f.Audio1->Recorder()->IsOpen.load(), running);
  }
  if (row == Row::Monitoring) {
    EXPECT_TRUE(f.BitBtn4->isEnabled());
    EXPECT_EQ(f.BitBtn4->Tag, 1);
    EXPECT_EQ(f.BitBtn4->Glyph().cacheKey(), f.Image2->Picture().cacheKey());
    return;  // the other buttons stay as they were
  }
  EXPECT_EQ(f.BitBtn2->isEnabled(), idle);
  EXPECT_EQ(f.BitBtn4->isEnabled(), idle);
  EXPECT_EQ(f.BitBtn1->isEnabled(), row == Row::IdleWithFile);
  EXPECT_EQ(f.BitBtn3->isEnabled(), !idle);
  if (row != Row::Armed) {
    EXPECT_EQ(f.BitBtn4->Tag, 0);
    EXPECT_EQ(f.BitBtn4->Glyph().cacheKey(), f.Image1->Picture().cacheKey());
  }
}

class RecordingControl : public WindowRun {};

TEST_F(RecordingControl, MonitoringAndRecordingWalkThroughTheStates) {
  TForm1& f = openDefault();
  expectState(f, Row::IdleNoFile, "at start");

  prompts->saveAnswer.reset();
  f.BitBtn2Click(f.BitBtn2);
  ASSERT_EQ(prompts->saves.size(), 1u);
  EXPECT_EQ(prompts->saves[0].title, "Dateinahme für Aufnahme");
  expectState(f, Row::IdleNoFile, "after a cancelled file choice");

  f.BitBtn4Click(f.BitBtn4);
  expectState(f, Row::Monitoring, "monitoring");
  EXPECT_TRUE(f.Audio1->Recorder()->Triggered) << "monitoring never waits for the trigger";
  EXPECT_FALSE(f.BitBtn1->isEnabled());
  chooseFile("take.wav");
  EXPECT_EQ(f.recfilename, QString::fromStdString(path("take.wav")));
  EXPECT_TRUE(f.BitBtn1->isEnabled()) << "a name chosen while monitoring enables the start";
  EXPECT_TRUE(f.Audio1->Recorder()->IsOpen) << "and monitoring goes on";
  EXPECT_TRUE(waitBlocks(2));

  f.BitBtn1Click(f.BitBtn1);
  expectState(f, Row::Recording, "recording started while monitoring");
  EXPECT_EQ(f.Audio1->Recorder()->NoSamples(), 4410);
  EXPECT_EQ(f.overhigh, 44);
  EXPECT_EQ(f.overlow, 6);
  EXPECT_TRUE(waitBlocks(5));

  f.BitBtn3Click(f.BitBtn3);
  expectState(f, Row::IdleNoFile, "after the stop");
  EXPECT_FALSE(f.recfilename.isEmpty()) << "the name is kept, yet the start needs a new choice";
  EXPECT_EQ(f.LEDMeter1->Position(), 0);
  EXPECT_EQ(f.LEDMeter3->Position(), 0);
  const std::string file = window_run::readFile(path("take.wav"));
  ASSERT_GE(file.size(), 44u + 5 * 4410 * 4);
  EXPECT_EQ(window_run::readLE(file, 4, 4), file.size() - 8) << "the stop completed the header";
  EXPECT_EQ(window_run::readLE(file, 40, 4), file.size() - 44);
  EXPECT_TRUE(prompts->messages.empty());
}

TEST_F(RecordingControl, FormatTriggerAndLengthAreTakenAtTheStart) {
  TForm1& f = openWithInput(window_run::stereoBlock({}));  // silence: the trigger waits
  f.recbits = 0;
  f.recchannels = 0;
  f.recsamplerate = 22050;
  f.TrackBar3->setValue(800);
  f.CheckBox1->setChecked(true);
  f.UpDown2->setPosition(2);
  f.UpDown1->setPosition(7);
  f.elapsedmin = 3;
  f.blinkcount = 2;
  f.pretrigger = 750;
  chooseFile("small.wav");
  f.BitBtn1Click(f.BitBtn1);
  const TRecorder* r = f.Audio1->Recorder();
  EXPECT_EQ(r->BitsPerSample(), TBPS::_8);
  EXPECT_EQ(r->Channels(), TChannels::Mono);
  EXPECT_EQ(r->SampleRate(), 22050);
  EXPECT_EQ(r->NoSamples(), 2205);
  EXPECT_EQ(r->TrigLevel(), 200);
  EXPECT_FALSE(r->Triggered) << "a triggered recording waits";
  EXPECT_EQ(r->PreTrigger(), 750);
  EXPECT_EQ(f.overhigh, 22);  // 22.05
  EXPECT_EQ(f.overlow, 3);    // 3.087
  EXPECT_EQ(f.lengthmin, 2);
  EXPECT_EQ(f.lengthsec, 7);
  EXPECT_EQ(f.elapsedmin, 0);
  EXPECT_EQ(f.blinkcount, 0);
  f.BitBtn3Click(f.BitBtn3);

  // Monitoring never waits for the trigger, so it keeps nothing from before it.
  f.BitBtn4Click(f.BitBtn4);
  EXPECT_EQ(r->PreTrigger(), 0);
  f.BitBtn4Click(f.BitBtn4);
}

TEST_F(RecordingControl, ArmingDisablesTheControlsAndTheStopDisarms) {
  TForm1& f = openDefault();
  f.LEDDisplay3->setValue(7.2999999L);
  f.CheckBox2->setChecked(true);
  f.BitBtn4Click(f.BitBtn4);
  chooseFile("armed.wav");
  f.BitBtn1Click(f.BitBtn1);
  EXPECT_EQ(f.starthour, 7);
  EXPECT_EQ(f.startmin, 30);
  expectState(f, Row::Armed, "armed");
  EXPECT_TRUE(f.Audio1->Recorder()->IsOpen) << "monitoring goes on until the start time";
  EXPECT_TRUE(f.Timer1->isActive());
  EXPECT_EQ(f.BitBtn4->Tag, 1);

  // The start time: the start clock switches itself off, unchecks "Start at" and
  // presses start again.
  f.Timer4->stop();
  f.CheckBox2->setChecked(false);
  f.BitBtn1Click(f.BitBtn1);
  expectState(f, Row::Recording, "started at the start time");
  EXPECT_TRUE(f.Audio1->Recorder()->WaveFileOpen) << "the monitoring run ended before the recording";
  EXPECT_TRUE(waitBlocks(3));

  f.CheckBox2->setChecked(true);
  f.Timer4->start();
  f.LEDDisplay3->setColorLED(clRed);
  f.BitBtn3Click(f.BitBtn3);
  expectState(f, Row::IdleNoFile, "stopped");
  EXPECT_FALSE(f.CheckBox2->isChecked());
  EXPECT_EQ(f.LEDDisplay3->ColorLED(), clLime);
  EXPECT_DOUBLE_EQ(static_cast<double>(f.LEDDisplay3->Value()), 7.30);
}

TEST_F(RecordingControl, FailedMonitorStartKeepsTheBlackRingAndTheNextClickStopsQuietly) {
  TForm1& f = openDefault();
  driver->failNext(VirtualCall::waveInOpen, MMSYSERR_ALLOCATED);
  f.BitBtn4Click(f.BitBtn4);
  ASSERT_EQ(prompts->messages.size(), 1u);
  EXPECT_EQ(prompts->messages[0].caption, "Aufnahme");
  EXPECT_TRUE(prompts->messages[0].text.startsWith("Could not open the input device for recording: "));
  EXPECT_EQ(f.BitBtn4->Tag, 1);
  EXPECT_EQ(f.BitBtn4->Glyph().cacheKey(), f.Image2->Picture().cacheKey());
  for (QTimer* t : {f.Timer1, f.Timer2, f.Timer3}) EXPECT_FALSE(t->isActive());

  f.BitBtn4Click(f.BitBtn4);
  EXPECT_EQ(prompts->messages.size(), 1u);
  expectState(f, Row::IdleNoFile, "after the second click");
}

TEST_F(RecordingControl, FailedRecordingStartClosesTheFileAndKeepsTheButtons) {
  TForm1& f = openDefault();
  chooseFile("refused.wav");
  driver->failNext(VirtualCall::waveInOpen, MMSYSERR_ALLOCATED);
  f.BitBtn1Click(f.BitBtn1);
  ASSERT_EQ(prompts->messages.size(), 1u);
  EXPECT_EQ(prompts->messages[0].caption, "Aufnahme");
  EXPECT_TRUE(prompts->messages[0].text.startsWith("Could not open the input device for recording: "));
  expectState(f, Row::IdleWithFile, "the user can try again");
  EXPECT_FALSE(f.Audio1->Recorder()->WaveFileOpen);
  const std::string file = window_run::readFile(path("refused.wav"));
  ASSERT_EQ(file.size(), 44u);
  EXPECT_EQ(window_run::readLE(file, 4, 4), 36u);
  EXPECT_EQ(window_run::readLE(file, 40, 4), 0u);

  f.BitBtn1Click(f.BitBtn1);
  expectState(f, Row::Recording, "the second try");
  EXPECT_TRUE(waitBlocks(2));
  f.BitBtn3Click(f.BitBtn3);
  EXPECT_GT(window_run::readFile(path("refused.wav")).size(), 44u);
}

TEST_F(RecordingControl, FileThatCannotBeCreatedReachesTheErrorBoxFromAClickAndTheWindowGoesOn) {
  ASSERT_NE(dynamic_cast<TApplication*>(QCoreApplication::instance()), nullptr) << "the program's application";
  TForm1& f = openDefault();
  f.BitBtn4->click();
  prompts->saveAnswer = QString::fromStdString(path("no/such/folder/x.wav"));
  f.BitBtn2->click();
  // The error ends the command inside the button's handler; nothing leaves click().
  EXPECT_NO_THROW(f.BitBtn1->click());
  ASSERT_EQ(prompts->messages.size(), 1u);
  EXPECT_EQ(prompts->messages[0].caption, "Tessaron");
  EXPECT_EQ(prompts->messages[0].text,
            "Datei " + QString::fromStdString(path("no/such/folder/x.wav")) + " kann nicht erstellt werden");
  EXPECT_FALSE(f.Audio1->Recorder()->IsOpen) << "the monitoring run ended before stays ended";
  EXPECT_EQ(f.BitBtn4->Tag, 0);
  EXPECT_FALSE(f.Timer1->isActive());
  EXPECT_TRUE(f.BitBtn1->isEnabled());

  // The program goes on: a good name records.
  prompts->saveAnswer = QString::fromStdString(path("good.wav"));
  f.BitBtn2->click();
  f.BitBtn1->click();
  expectState(f, Row::Recording, "the second try");
  EXPECT_TRUE(waitBlocks(3));
  f.BitBtn3->click();
  expectState(f, Row::IdleNoFile, "stopped");
  EXPECT_GE(window_run::readFile(path("good.wav")).size(), 44u + 3 * 4410 * 4);
  EXPECT_EQ(prompts->messages.size(), 1u);
}

TEST_F(RecordingControl, RecorderThatStopsByItselfReturnsTheWindowToIdleWithTheReason) {
  TForm1& f = openDefault();
  chooseFile("cut.wav");
  f.BitBtn1Click(f.BitBtn1);
  ASSERT_TRUE(waitBlocks(2));
  // A buffer that cannot be queued again ends the recording.
  driver->failAlways(VirtualCall::waveInAddBuffer, MMSYSERR_NOMEM);
  ASSERT_TRUE(window_run::waitFor([&] { return !prompts->messages.empty(); }));
  driver->failAlways(VirtualCall::waveInAddBuffer, MMSYSERR_NOERROR);
  EXPECT_EQ(prompts->messages[0].caption, "Aufnahme");
  EXPECT_TRUE(prompts->messages[0].text.startsWith("Error adding input buffer"));
  expectState(f, Row::IdleNoFile, "stopped by the recorder");
  const std::string file = window_run::readFile(path("cut.wav"));
  EXPECT_EQ(window_run::readLE(file, 40, 4), file.size() - 44);

  // The same during monitoring ends monitoring as its button would.
  f.BitBtn4Click(f.BitBtn4);
  ASSERT_TRUE(waitBlocks(2));
  driver->failAlways(VirtualCall::waveInAddBuffer, MMSYSERR_NOMEM);
  ASSERT_TRUE(window_run::waitFor([&] { return prompts->messages.size() == 2; }));
  driver->failAlways(VirtualCall::waveInAddBuffer, MMSYSERR_NOERROR);
  expectState(f, Row::IdleNoFile, "monitoring stopped by the recorder");
}

TEST_F(RecordingControl, TriggeredRecordingOfSilenceWritesOnlyTheHeaderAndKeepsTheClock) {
  TForm1& f = openWithInput(window_run::stereoBlock({}));
  f.CheckBox1->setChecked(true);
  f.TrackBar3->setValue(0);  // level 1000
  f.LEDDisplay1->setValue(4.05L);
  chooseFile("silence.wav");
  f.BitBtn1Click(f.BitBtn1);
  expectState(f, Row::Recording, "waiting for the trigger");
  // Plenty of blocks pass the device and are queued again; none reaches the trigger level.
  const int queued = driver->added.load();
  EXPECT_TRUE(window_run::waitFor([&] { return driver->added.load() - queued > 40; }));
  EXPECT_EQ(delivered.load(), 0);
  EXPECT_DOUBLE_EQ(static_cast<double>(f.LEDDisplay1->Value()), 4.05) << "the clock waits for the first block";
  EXPECT_EQ(f.blinkcount, 0);
  f.BitBtn3Click(f.BitBtn3);
  EXPECT_EQ(window_run::readFile(path("silence.wav")).size(), 44u);
}

}  // namespace
