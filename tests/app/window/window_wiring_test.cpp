// The main window's wiring: every button pressed, menu command and short cut triggered,
// check box and radio button toggled, slider, spin button and list moved through its
// signal, label clicked and timer fired through the event loop reaches its own handler.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include "app/dialogs/recsetdlg.h"
#include "app/dialogs/tessaron2.h"
#include "app/form_under_test.h"
#include "platform/help_system.h"
#include "platform/help_window.h"
#include "platform/registry.h"
#include "support/event_wait.h"

namespace {

using testsupport::waitFor;

const QString settingsKey = "\\Software\\Morvadel\\Tessaron\\1.0";

// One step of a spin button's up arrow, as a click on it.
void stepUp(TUpDown* spin) {
  for (QToolButton* arrow : spin->findChildren<QToolButton*>()) {
    if (arrow->arrowType() == Qt::UpArrow) arrow->click();
  }
}

// A left click released on a label.
void clickLabel(TLabel* label) {
  const QPointF inside(2, 2);
  QMouseEvent release(QEvent::MouseButtonRelease, inside, label->mapToGlobal(inside), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(label, &release);
}

// A key pressed where the focus is.
void press(QWidget* focus, Qt::Key key) {
  QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(focus, &event);
}

class WindowWiring : public ::testing::Test {
 protected:
  void SetUp() override { HelpSystem::instance().setHelpFile("tessaron.hlp"); }
  void TearDown() override {
    Form2 = nullptr;
    form.reset();
    HelpSystem::instance().command(HELP_QUIT, 0);
    mmsystem::installDriver(std::make_unique<VirtualDriver>());
  }
  QString helpPage() const {
    HelpWindow* window = HelpSystem::instance().window();
    return window == nullptr ? QString() : window->currentPage();
  }
  QString file(const char* name) const { return dir.filePath(name); }

  ScopedConfigHome config;
  ScopedDialogPrompts prompts;
  QTemporaryDir dir;
  std::unique_ptr<TForm1> form;
};

TEST_F(WindowWiring, EveryControlMenuCommandShortCutAndTimerReachesItsOwnHandler) {
  VirtualCard card = VirtualCard::defaultCard();
  card.inputFile.clear();
  form = openForm(card);
  TForm1& f = *form;
  TForm2 about;
  Form2 = &about;
  f.show();
  f.activateWindow();
  ASSERT_TRUE(waitFor([&] { return f.isActiveWindow(); }));
  TRecorder& recorder = *f.Audio1->Recorder();

  {
    SCOPED_TRACE("file, monitoring and the mode buttons during a run");
    prompts->saveAnswer = file("first.wav");
    f.BitBtn2->click();
    EXPECT_EQ(f.recfilename, file("first.wav"));
    EXPECT_TRUE(f.BitBtn1->isEnabled());

    f.BitBtn4->click();
    EXPECT_EQ(f.BitBtn4->Tag, 1);
    EXPECT_TRUE(recorder.IsOpen);
    EXPECT_TRUE(f.Timer1->isActive());
    f.RadioButton5->click();
    EXPECT_TRUE(f.Timer2->isActive()) << "\"Up/Down\" during a run starts the hold";
    f.RadioButton4->click();
    EXPECT_FALSE(f.Timer2->isActive()) << "\"Down only\" ends it";
    f.RadioButton5->click();
    f.RadioButton3->click();
    EXPECT_FALSE(f.Timer2->isActive()) << "\"Off\" ends it";
    f.BitBtn4->click();
    EXPECT_EQ(f.BitBtn4->Tag, 0);
    EXPECT_FALSE(recorder.IsOpen);
  }
  {
    SCOPED_TRACE("\"Start at\" arms, the stop disarms");
    f.CheckBox2->click();
    f.BitBtn1->click();
    EXPECT_TRUE(f.Timer4->isActive());
    EXPECT_TRUE(f.BitBtn3->isEnabled());
    EXPECT_FALSE(recorder.IsOpen);
    f.BitBtn3->click();
    EXPECT_FALSE(f.Timer4->isActive());
    EXPECT_FALSE(f.CheckBox2->isChecked());
    EXPECT_FALSE(f.BitBtn3->isEnabled());
  }
  {
    SCOPED_TRACE("\"Triggered\" makes the recording wait");
    f.CheckBox1->click();
    prompts->saveAnswer = file("second.wav");
    f.BitBtn2->click();
    f.BitBtn1->click();
    EXPECT_TRUE(recorder.IsOpen);
    EXPECT_TRUE(recorder.WaveFileOpen);
    EXPECT_FALSE(recorder.Triggered);
    f.BitBtn3->click();
    EXPECT_FALSE(recorder.IsOpen);
    EXPECT_TRUE(QFile::exists(file("second.wav")));
  }
  {
    SCOPED_TRACE("lists");
    f.ComboBox1->setCurrentIndex(1);
    emit f.ComboBox1->activated(1);
    EXPECT_EQ(f.metersel, f.meterfirst->next);
    f.ComboBox2->setCurrentIndex(1);
    emit f.ComboBox2->activated(1);
    EXPECT_EQ(f.Audio1->AudioDeviceID(), 0);
    f.ComboBox3->setCurrentIndex(1);
    emit f.ComboBox3->activated(1);
    EXPECT_EQ(f.volumsel, f.volumfirst->next);
    f.ComboBox3->setCurrentIndex(0);
    emit f.ComboBox3->activated(0);
    f.ComboBox1->setCurrentIndex(0);
    emit f.ComboBox1->activated(0);
    EXPECT_TRUE(f.metersel->wavedata);
  }
  {
    SCOPED_TRACE("sliders and slider modes");
    f.TrackBar3->setValue(300);
    EXPECT_EQ(recorder.TrigLevel(), 700);
    f.TrackBar1->setValue(40);
    EXPECT_LT(f.volleft, f.volright) << "the left level";
    f.TrackBar2->setValue(60);
    EXPECT_GT(f.volleft, f.volright) << "the right level";
    f.TrackBar4->setValue(50);
    EXPECT_EQ(f.volleft, f.volright) << "the balance";

    f.RadioButton1->click();
    EXPECT_FALSE(f.TrackBar5->isHidden());
    EXPECT_TRUE(f.TrackBar1->isHidden());
    const uint16_t before = f.volleft;
    f.TrackBar5->setValue(f.TrackBar5->value() - 20);
    EXPECT_GT(f.volleft, before) << "the single level";
    f.RadioButton2->click();
    EXPECT_TRUE(f.TrackBar5->isHidden());
    EXPECT_FALSE(f.TrackBar1->isHidden());
  }
  {
    SCOPED_TRACE("labels move the focus");
    const std::pair<TLabel*, QWidget*> labels[] = {{f.Label3, f.ComboBox1}, {f.Label4, f.ComboBox2},
                                                   {f.Label5, f.ComboBox3}, {f.Label6, f.TrackBar3},
                                                   {f.Label7, f.TrackBar1}, {f.Label11, f.TrackBar4}};
    for (const auto& [label, control] : labels) {
      clickLabel(label);
      EXPECT_EQ(f.focusWidget(), control) << label->text().toStdString();
    }
  }
  {
    SCOPED_TRACE("spin buttons");
    stepUp(f.UpDown1);
    EXPECT_DOUBLE_EQ(static_cast<double>(f.LEDDisplay2->Value()), 0.01);
    stepUp(f.UpDown2);
    EXPECT_DOUBLE_EQ(static_cast<double>(f.LEDDisplay2->Value()), 1.01);
    stepUp(f.UpDown3);
    EXPECT_EQ(f.startmin, 1);
    stepUp(f.UpDown4);
    EXPECT_EQ(f.starthour, 1);
    EXPECT_DOUBLE_EQ(static_cast<double>(f.LEDDisplay3->Value()), 1.01);
  }
  {
    SCOPED_TRACE("timers");
    f.peakleft = 16384;
    f.peakright = 0;
    f.Timer1->start();
    EXPECT_TRUE(waitFor([&] { return f.LEDMeter1->Position() == 8; })) << "the meter tick";
    f.Timer1->stop();

    f.Timer2->setInterval(1);
    f.Timer2->start();
    EXPECT_TRUE(waitFor([&] { return f.Timer3->isActive() && !f.Timer2->isActive(); })) << "the hold's end";
    f.Timer3->stop();

    // The mixer's change messages from the slider moves come first.
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    f.volleft = 1000;
    f.volright = 1000;
    f.Timer3->start();
    EXPECT_TRUE(waitFor([&] { return f.volleft > 1000; })) << "the ramp";
    f.Timer3->stop();
    EXPECT_EQ(f.volleft % 300, 1000 % 300);

    f.timeOfDay = [] { return QTime(13, 14, 15); };
    f.Timer4->start();
    EXPECT_TRUE(waitFor([&] { return f.nowhour == 13 && f.nowmin == 14 && f.nowsec == 15; })) << "the start clock";
    f.Timer4->stop();
  }
  {
    SCOPED_TRACE("menu commands and short cuts");
    QString shownDialog;
    prompts->onDialog = [&](QDialog& dialog) {
      shownDialog = dialog.windowTitle();
      return int(QDialog::Rejected);
    };
    f.Sichern1->trigger();
    EXPECT_EQ(shownDialog, "Record Settings");
    f.Sichern2->trigger();
    EXPECT_TRUE(Registry().keyExists(settingsKey));
    prompts->answer = QMessageBox::Yes;
    f.Uninstall1->trigger();
    EXPECT_FALSE(Registry().keyExists(settingsKey));
    EXPECT_EQ(prompts->messages.back().caption, "Uninstall");
    f.ComboBox2->setFocus();
    press(f.ComboBox2, Qt::Key_F2);
    EXPECT_TRUE(Registry().keyExists(settingsKey)) << "F2 saves";

    f.Index1->trigger();
    EXPECT_EQ(helpPage(), "index.html");
    press(f.ComboBox2, Qt::Key_F1);
    EXPECT_EQ(helpPage(), HelpSystem::instance().pageOf(4)) << "F1 opens the focused control's topic";
    f.ber1->trigger();
    EXPECT_EQ(shownDialog, "About");

    f.Beenden1->trigger();
    EXPECT_FALSE(f.isVisible());
  }
  EXPECT_EQ(prompts->dialogs.size(), 2u);
}

}  // namespace
