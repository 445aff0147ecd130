// An armed recording from the window on the virtual card: it starts by itself at the set
// minute, stops by itself after the set length and leaves a complete file; "Stop
// recording" disarms it.
#include <QCheckBox>
#include <QFile>

#include "app/dialogs/recsetdlg.h"
#include "app/form_under_test.h"
#include "app/window_run.h"

namespace {

using window_run::WindowRun;

class TimedRecording : public WindowRun {
 protected:
  // Sets the start time with the spin buttons and arms the start.
  void arm(TForm1& f, int hour, int minute) {
    f.timeOfDay = [this] { return clock; };
    for (int i = 0; i < hour; ++i) f.UpDown4->click(btNext);
    for (int i = 0; i < minute; ++i) f.UpDown3->click(btNext);
    f.CheckBox2->setChecked(true);
    f.BitBtn1Click(f.BitBtn1);
  }

  // Chooses 8-bit mono at 22050 Hz in the record settings dialog.
  static void chooseMono8At22050(TForm1& f) {
    ScopedDialogPrompts dialog;
    dialog->onDialog = [](QDialog& d) {
      auto& settings = dynamic_cast<TOKBottomDlg&>(d);
      settings.ComboBox1->setCurrentIndex(0);
      settings.ComboBox2->setCurrentIndex(0);
      settings.ExtendEdit1->setValue(22050);
      return int(QDialog::Accepted);
    };
    f.Sichern1Click(f.Sichern1);
  }

  QTime clock{6, 59, 50};
};

TEST_F(TimedRecording, StartsAtTheSetMinuteAndStopsAfterTheSetLengthWithACompleteFile) {
  TForm1& f = openDefault();
  // Two seconds, 8-bit mono at 22050 Hz.
  f.UpDown1->click(btNext);
  f.UpDown1->click(btNext);
  chooseMono8At22050(f);
  chooseFile("timed.wav");
  arm(f, 7, 0);
  ASSERT_TRUE(f.Timer4->isActive());

  f.Timer4Timer(f.Timer4);
  EXPECT_TRUE(f.Timer4->isActive()) << "a minute early";
  EXPECT_FALSE(QFile::exists(QString::fromStdString(path("timed.wav"))));

  clock = QTime(7, 0, 0, 100);
  const bool started = window_run::waitFor([&] { return !f.Timer4->isActive(); });
  ASSERT_TRUE(started);
  EXPECT_FALSE(f.CheckBox2->isChecked());
  ASSERT_TRUE(window_run::waitFor([&] { return !f.BitBtn3->isEnabled(); })) << "the length ends the recording";
  EXPECT_FALSE(f.Audio1->Recorder()->IsOpen);
  EXPECT_TRUE(prompts->messages.empty());

  const std::string file = window_run::readFile(path("timed.wav"));
  ASSERT_GE(file.size(), 44u);
  const size_t data = file.size() - 44;
  EXPECT_EQ(window_run::readLE(file, 4, 4), file.size() - 8);
  EXPECT_EQ(window_run::readLE(file, 40, 4), data);
  EXPECT_EQ(window_run::readLE(file, 22, 2), 1u) << "mono";
  EXPECT_EQ(window_run::readLE(file, 24, 4), 22050u);
  EXPECT_EQ(window_run::readLE(file, 34, 2), 8u) << "bits per sample";
  EXPECT_EQ(data % 2205, 0u) << "whole blocks of a tenth of a second";
  EXPECT_GE(data, 20u * 2205) << "two seconds";
}

TEST_F(TimedRecording, StopRecordingDisarmsTheStart) {
  TForm1& f = openDefault();
  chooseFile("never.wav");
  arm(f, 7, 0);
  f.Timer4Timer(f.Timer4);
  f.Timer4Timer(f.Timer4);
  clock = QTime(6, 59, 51);
  f.Timer4Timer(f.Timer4);
  EXPECT_NEAR(static_cast<double>(f.LEDDisplay3->Value()), 6.59, 1e-9) << "the clock is shown";

  f.BitBtn3Click(f.BitBtn3);
  EXPECT_FALSE(f.Timer4->isActive());
  EXPECT_FALSE(f.CheckBox2->isChecked());
  EXPECT_EQ(f.LEDDisplay3->ColorLED(), clLime);
  EXPECT_NEAR(static_cast<double>(f.LEDDisplay3->Value()), 7.00, 1e-9) << "the start time again";
  EXPECT_FALSE(f.BitBtn1->isEnabled());
  EXPECT_FALSE(QFile::exists(QString::fromStdString(path("never.wav"))));
}

// A format chosen in the settings dialog while monitoring reaches the recorder at the next
// start; the new file's header must describe that format, not the one of the run before.
TEST_F(TimedRecording, FormatChosenWhileMonitoringIsTheFormatOfTheNextFilesHeader) {
  TForm1& f = window_run::WindowRun::openDefault();
  f.BitBtn4Click(f.BitBtn4);
  ASSERT_TRUE(f.Audio1->Recorder()->IsOpen);
  chooseMono8At22050(f);
  chooseFile("m.wav");
  f.BitBtn1Click(f.BitBtn1);
  EXPECT_TRUE(waitBlocks(3));
  f.BitBtn3Click(f.BitBtn3);
  const std::string file = window_run::readFile(path("m.wav"));
  EXPECT_EQ(window_run::readLE(file, 24, 4), 22050u);
  EXPECT_EQ(window_run::readLE(file, 22, 2), 1u);
  EXPECT_EQ(window_run::readLE(file, 34, 2), 8u);
  // Whole blocks of 2205 one-byte frames follow the header.
  EXPECT_EQ((file.size() - 44) % 2205, 0u);
}

}  // namespace
