// The main window as it comes up: controls, devices, menus, help keys and quitting.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>

#include "app/dialogs/tessaron2.h"
#include "app/fake_prompts.h"
#include "app/tessaron1.h"
#include "mmsystem/driver.h"
#include "mmsystem/virtual/virtual_driver.h"
#include "platform/help_system.h"
#include "platform/help_window.h"

namespace {

VirtualCard cardWithInputs(int count) {
  VirtualCard card = VirtualCard::defaultCard();
  card.inputs.clear();
  for (int i = 0; i < count; ++i) {
    VirtualWaveDevice input;
    input.name = "Input " + std::to_string(i);
    card.inputs.push_back(input);
  }
  return card;
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { HelpSystem::instance().setHelpFile("tessaron.hlp"); }
  void TearDown() override {
    form.reset();
    HelpSystem::instance().command(HELP_QUIT, 0);
  }
  TForm1& open(VirtualCard card = VirtualCard::defaultCard()) {
    mmsystem::installDriver(std::make_unique<VirtualDriver>(std::move(card)));
    form = std::make_unique<TForm1>();
    return *form;
  }
  QString helpPage() const {
    HelpWindow* window = HelpSystem::instance().window();
    return window == nullptr ? QString() : window->currentPage();
  }

  ScopedFakePrompts prompts;
  std::unique_ptr<TForm1> form;
};

TEST_F(MainWindowTest, StartsIdleWithTheMonitorButtonOffAndNothingRunning) {
  TForm1& f = open();
  EXPECT_TRUE(f.BitBtn2->isEnabled());
  EXPECT_TRUE(f.BitBtn4->isEnabled());
  EXPECT_FALSE(f.BitBtn1->isEnabled());
  EXPECT_FALSE(f.BitBtn3->isEnabled());
  EXPECT_EQ(f.BitBtn4->Tag, 0);
  EXPECT_EQ(f.BitBtn4->Glyph().cacheKey(), f.Image1->Picture().cacheKey()) << "monitor button shows the red ring";
  EXPECT_NE(f.Image1->Picture().cacheKey(), f.Image2->Picture().cacheKey());
  EXPECT_FALSE(f.Image1->isVisible());
  EXPECT_FALSE(f.Image2->isVisible());

  const std::pair<QTimer*, int> timers[] = {{f.Timer1, 25}, {f.Timer2, 5000}, {f.Timer3, 500}, {f.Timer4, 250}};
  for (const auto& [timer, interval] : timers) {
    EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(timer->interval(), interval);
    EXPECT_EQ(timer->timerType(), Qt::PreciseTimer) << "a coarse timer may fire early";
  }
  EXPECT_FALSE(f.trackbusy);
  EXPECT_EQ(f.trackwhich, 0);
  EXPECT_EQ(f.lasthour, 0);
  EXPECT_EQ(f.lastmin, 0);
  EXPECT_EQ(f.lastsec, 0);
  EXPECT_TRUE(f.recfilename.isEmpty());
}

TEST_F(MainWindowTest, Audio1StartsOnTheWaveMapperWithTheRecorderFormat) {
  TForm1& f = open();
  EXPECT_EQ(f.Audio1->AudioDeviceID(), -1) << "the enumeration must not leave the last device chosen";
  const TRecorder* recorder = f.Audio1->Recorder();
  EXPECT_EQ(recorder->BitsPerSample(), TBPS::_16);
  EXPECT_EQ(recorder->Channels(), TChannels::Stereo);
  EXPECT_EQ(recorder->SampleRate(), 44100);
  EXPECT_EQ(recorder->NoSamples(), 4096);
  EXPECT_EQ(recorder->TrigLevel(), 200) << "the default trigger level slider stands at 800";
  EXPECT_FALSE(recorder->Triggered);
  EXPECT_EQ(f.Audio1->Player()->BitsPerSample(), TBPS::_16);
  EXPECT_EQ(f.Audio1->Player()->SampleRate(), 44100);
  EXPECT_EQ(f.Audio2->Recorder()->SampleRate(), 11025) << "Audio2 keeps the component's defaults";
}

TEST_F(MainWindowTest, RecordDeviceListHasTheWaveMapperFirstThenEveryInput) {
  TForm1& f = open();
  ASSERT_EQ(f.ComboBox2->count(), 2);
  EXPECT_EQ(f.ComboBox2->itemText(0), "Wavemapper");
  EXPECT_EQ(f.ComboBox2->itemText(1), "Virtual Sound Card");
  EXPECT_EQ(f.ComboBox2->currentIndex(), 0);
  form.reset();

  TForm1& two = open(cardWithInputs(2));
  ASSERT_EQ(two.ComboBox2->count(), 3);
  EXPECT_EQ(two.ComboBox2->itemText(1), "Input 0");
  EXPECT_EQ(two.ComboBox2->itemText(2), "Input 1");
  // Item k is device k - 1; item 0 is the wave mapper.
  EXPECT_EQ(two.devicefromindex(0), 10);
  EXPECT_EQ(two.devicefromindex(1), 0);
  EXPECT_EQ(two.devicefromindex(2), 1);
  two.Audio1->setAudioDeviceID(two.devicefromindex(2));
  EXPECT_EQ(two.Audio1->AudioDeviceID(), 1);
  two.Audio1->setAudioDeviceID(two.devicefromindex(0));
  EXPECT_EQ(two.Audio1->AudioDeviceID(), -1);
  form.reset();

  TForm1& none = open(cardWithInputs(0));
  ASSERT_EQ(none.ComboBox2->count(), 1);
  EXPECT_EQ(none.ComboBox2->itemText(0), "Wavemapper");
}

TEST_F(MainWindowTest, MoreThanTenInputsListOnlyTheTenAddressableDevices) {
  // Device numbers from 10 up mean the wave mapper, so enumerating past device 9 would
  // never end; the list stops at device 9.
  TForm1& f = open(cardWithInputs(12));
  ASSERT_EQ(f.ComboBox2->count(), 11);
  EXPECT_EQ(f.ComboBox2->itemText(10), "Input 9");
  EXPECT_EQ(f.Audio1->AudioDeviceID(), -1);
}

TEST_F(MainWindowTest, PanelControlsFitThePanelWithoutOverlapOrCoveringTheScrews) {
  TForm1& f = open();
  f.show();
  const QRect panel(QPoint(0, 0), f.ScrewPanel1->size());
  EXPECT_EQ(f.ScrewPanel1->geometry(), QRect(8, 112, 433, 289));
  EXPECT_TRUE(f.centralWidget()->rect().contains(f.ScrewPanel1->geometry()));
  // The screw heads of an 8-pixel screw at margin 2 inside the 1-pixel bevel.
  const QRect screws[] = {QRect(3, 3, 8, 8), QRect(422, 3, 8, 8), QRect(3, 278, 8, 8), QRect(422, 278, 8, 8)};

  std::vector<QWidget*> shown;
  for (QWidget* child : f.ScrewPanel1->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (child->isHidden()) continue;
    shown.push_back(child);
    EXPECT_TRUE(panel.contains(child->geometry()))
        << child->metaObject()->className() << " " << child->x() << "," << child->y();
    for (const QRect& screw : screws) EXPECT_FALSE(child->geometry().intersects(screw));
  }
  EXPECT_GE(shown.size(), 30u);
  for (size_t i = 0; i < shown.size(); ++i) {
    for (size_t j = i + 1; j < shown.size(); ++j) {
      // The two level meters share their seam column.
      if (shown[i] == f.LEDMeter1 && shown[j] == f.LEDMeter2) continue;
      if (shown[i] == f.LEDMeter2 && shown[j] == f.LEDMeter1) continue;
      EXPECT_FALSE(shown[i]->geometry().intersects(shown[j]->geometry()))
          << shown[i]->metaObject()->className() << " at " << shown[i]->x() << "," << shown[i]->y() << " overlaps "
          << shown[j]->metaObject()->className() << " at " << shown[j]->x() << "," << shown[j]->y();
    }
  }
  // The three lists sit above the panel, side by side.
  for (QComboBox* box : {f.ComboBox1, f.ComboBox2, f.ComboBox3}) {
    EXPECT_LE(box->geometry().bottom(), f.ScrewPanel1->y());
    EXPECT_EQ(box->parentWidget(), f.centralWidget());
  }
  // The drawn controls at the places their drawing is worked out for.
  EXPECT_EQ(f.LEDMeter1->geometry(), QRect(88, 48, 17, 145));
  EXPECT_EQ(f.LEDMeter2->geometry(), QRect(104, 48, 17, 145));
  EXPECT_EQ(f.LEDMeter3->geometry(), QRect(96, 25, 17, 16));
  EXPECT_EQ(f.LEDDisplay1->geometry(), QRect(32, 248, 73, 24));
  EXPECT_EQ(f.LEDDisplay2->geometry(), QRect(168, 248, 73, 24));
  EXPECT_EQ(f.LEDDisplay3->geometry(), QRect(312, 248, 73, 24));
}

TEST_F(MainWindowTest, MenusCarryTheirCaptionsShortCutAndHelpContexts) {
  TForm1& f = open();
  EXPECT_EQ(f.Datei->title(), "&File");
  EXPECT_EQ(f.eee->title(), "&Options");
  EXPECT_EQ(f.ddd->title(), "&Help");
  EXPECT_EQ(f.Beenden1->text(), "&Quit");
  EXPECT_EQ(f.Sichern1->text(), "&Advanced...");
  EXPECT_EQ(f.Sichern2->text(), "Save");
  EXPECT_EQ(f.Sichern2->shortcut(), QKeySequence(Qt::Key_F2));
  EXPECT_EQ(f.Uninstall1->text(), "Uninstall");
  EXPECT_EQ(f.Index1->text(), "&Index");
  EXPECT_EQ(f.ber1->text(), "&About");
  EXPECT_EQ(helpContext(f.Sichern1), 8);
  EXPECT_EQ(helpContext(f.Sichern2), 9);
  EXPECT_EQ(helpContext(f.Uninstall1), 14);
}

TEST_F(MainWindowTest, HelpKeyOpensTheTopicOfTheControlOrItsGroupOrTheWindow) {
  TForm1& f = open();
  f.showHelpFor(f.ComboBox2);
  EXPECT_EQ(helpPage(), HelpSystem::instance().pageOf(4));
  f.showHelpFor(f.RadioButton4);  // no context of its own: the VUK group's
  EXPECT_EQ(helpPage(), HelpSystem::instance().pageOf(12));
  f.showHelpFor(f.RadioButton1);
  EXPECT_EQ(helpPage(), HelpSystem::instance().pageOf(13));
  f.showHelpFor(f.UpDown3);
  EXPECT_EQ(helpPage(), HelpSystem::instance().pageOf(15));
  f.showHelpFor(f.Label2);  // the window's own topic
  EXPECT_EQ(helpPage(), HelpSystem::instance().pageOf(1));

  // In an open menu the help key opens the highlighted item's topic.
  f.eee->setActiveAction(f.Uninstall1);
  QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
  QApplication::sendEvent(f.eee, &f1);
  EXPECT_EQ(helpPage(), HelpSystem::instance().pageOf(14));

  f.Index1Click(f.Index1);
  EXPECT_EQ(helpPage(), "index.html");
}

TEST_F(MainWindowTest, QuitClosesTheWindowWithoutPromptAndTheHelpWindowGoesWithIt) {
  TForm1& f = open();
  f.show();
  f.Index1Click(f.Index1);
  ASSERT_NE(HelpSystem::instance().window(), nullptr);
  f.Beenden1->trigger();
  EXPECT_FALSE(f.isVisible());
  EXPECT_TRUE(prompts->messages.empty());
  EXPECT_TRUE(prompts->saves.empty());
  form.reset();
  EXPECT_EQ(HelpSystem::instance().window(), nullptr);
}

TEST_F(MainWindowTest, AboutIsShownModallyThroughThePromptsWithItsVersionLineOnce) {
  TForm1& f = open();
  TForm2 about;
  Form2 = &about;
  f.ber1Click(f.ber1);
  f.ber1Click(f.ber1);
  Form2 = nullptr;
  ASSERT_EQ(prompts->dialogs.size(), 2u);
  EXPECT_EQ(prompts->dialogs[0], &about);
  EXPECT_EQ(about.Memo1->toPlainText().count("Tessaron Version"), 1);
}

TEST_F(MainWindowTest, SaveDialogProposesTheLastNameAndCompletesTheExtension) {
  TForm1& f = open();
  EXPECT_EQ(f.SaveDialog1.Title(), "Dateinahme für Aufnahme");
  EXPECT_EQ(f.SaveDialog1.nameFilters(), QStringList({"Wave-Datei (*.wav)", "Alle Dateien (*.*)"}));
  EXPECT_TRUE(f.SaveDialog1.Options() & ofOverwritePrompt);
  EXPECT_TRUE(f.SaveDialog1.Options() & ofNoReadOnlyReturn);

  f.SaveDialog1.setFileName("/tmp/first.wav");
  prompts->saveAnswer = "/tmp/take";
  EXPECT_TRUE(f.SaveDialog1.Execute(&f));
  EXPECT_EQ(f.SaveDialog1.FileName(), "/tmp/take.wav");
  ASSERT_EQ(prompts->saves.size(), 1u);
  EXPECT_EQ(prompts->saves[0].proposed, "/tmp/first.wav");

  prompts->saveAnswer = "/tmp/other.WAV";
  EXPECT_TRUE(f.SaveDialog1.Execute(&f));
  EXPECT_EQ(f.SaveDialog1.FileName(), "/tmp/other.WAV") << "a name with an extension is kept";

  prompts->saveAnswer.reset();
  EXPECT_FALSE(f.SaveDialog1.Execute(&f));
  EXPECT_EQ(f.SaveDialog1.FileName(), "/tmp/other.WAV") << "cancelling changes nothing";
}

}  // namespace
