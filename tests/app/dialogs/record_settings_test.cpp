// "&Advanced...": the record settings dialog run from the main window, what it shows and
// what OK and Cancel leave in the recorder and the window's fields, also during a run.
#include <gtest/gtest.h>

#include "app/dialogs/recsetdlg.h"
#include "app/form_under_test.h"
#include "platform/registry.h"

namespace {

struct Format {
  TBPS bits;
  TChannels channels;
  uint16_t rate;
};

class RecordSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { form = openForm(); }
  void TearDown() override { form.reset(); }

  // Runs "&Advanced..." with `act` at the dialog; `act` returns how the dialog closes.
  void advanced(std::function<int(TOKBottomDlg&)> act) {
    prompts->onDialog = [act](QDialog& d) { return act(dynamic_cast<TOKBottomDlg&>(d)); };
    form->Sichern1Click(form->Sichern1);
  }

  static void expectShown(const TOKBottomDlg& d, const Format& f, int max16, int max8) {
    EXPECT_EQ(d.ComboBox1->currentIndex(), f.bits == TBPS::_16 ? 1 : 0);
    EXPECT_EQ(d.ComboBox2->currentIndex(), f.channels == TChannels::Stereo ? 1 : 0);
    EXPECT_EQ(d.ExtendEdit1->Value(), f.rate);
    EXPECT_EQ(d.SpinEdit1->value(), max16);
    EXPECT_EQ(d.SpinEdit2->value(), max8);
  }
  static void choose(TOKBottomDlg& d, const Format& f, int max16, int max8) {
    d.ComboBox1->setCurrentIndex(f.bits == TBPS::_16 ? 1 : 0);
    d.ComboBox2->setCurrentIndex(f.channels == TChannels::Stereo ? 1 : 0);
    d.ExtendEdit1->setValue(f.rate);
    d.SpinEdit1->setValue(max16);
    d.SpinEdit2->setValue(max8);
  }
  void expectRecorder(const Format& f) const {
    const TRecorder& r = *form->Audio1->Recorder();
    EXPECT_EQ(r.BitsPerSample(), f.bits);
    EXPECT_EQ(r.Channels(), f.channels);
    EXPECT_EQ(r.SampleRate(), f.rate);
  }
  void expectNextRun(const Format& f) const {
    EXPECT_EQ(form->recbits, static_cast<uint8_t>(f.bits));
    EXPECT_EQ(form->recchannels, static_cast<uint8_t>(f.channels));
    EXPECT_EQ(form->recsamplerate, f.rate);
  }

  ScopedConfigHome config;
  ScopedDialogPrompts prompts;
  std::unique_ptr<TForm1> form;
};

const Format cd{TBPS::_16, TChannels::Stereo, 44100};

TEST_F(RecordSettingsTest, CancelChangesNothing) {
  advanced([](TOKBottomDlg& d) {
    EXPECT_EQ(d.windowTitle(), "Record Settings");
    EXPECT_EQ(d.HelpContext(), 8);
    expectShown(d, cd, 32000, 120);
    choose(d, {TBPS::_8, TChannels::Mono, 22050}, 1000, 10);
    d.ExtendEdit2->setValue(900);
    return int(QDialog::Rejected);
  });
  EXPECT_EQ(prompts->dialogs.size(), 1u) << "the dialog runs through the program's prompts";
  EXPECT_EQ(form->pretrigger, 0);
  expectRecorder(cd);
  expectNextRun(cd);
  EXPECT_EQ(form->limit16, 32000);
  EXPECT_EQ(form->limit8, 120);
}

TEST_F(RecordSettingsTest, OkWithoutChangesGivesTheSameValuesBack) {
  advanced([](TOKBottomDlg&) { return int(QDialog::Accepted); });
  expectRecorder(cd);
  expectNextRun(cd);
  EXPECT_EQ(form->limit16, 32000);
  EXPECT_EQ(form->limit8, 120);
}

TEST_F(RecordSettingsTest, OkTakesFormatAndLimitsAndTheDialogShowsThemNextTime) {
  const Format mono8{TBPS::_8, TChannels::Mono, 22050};
  advanced([&](TOKBottomDlg& d) {
    choose(d, mono8, 30000, 100);
    return int(QDialog::Accepted);
  });
  expectRecorder(mono8);
  expectNextRun(mono8);
  EXPECT_EQ(form->limit16, 30000);
  EXPECT_EQ(form->limit8, 100);

  advanced([&](TOKBottomDlg& d) {
    expectShown(d, mono8, 30000, 100);
    return int(QDialog::Rejected);
  });
  EXPECT_EQ(prompts->dialogs.size(), 2u);
}

TEST_F(RecordSettingsTest, DuringARunTheChosenFormatWaitsForTheNextStart) {
  TRecorder& recorder = *form->Audio1->Recorder();
  recorder.Triggered = true;
  ASSERT_TRUE(recorder.Start()) << form->Audio1->ErrorMessage;
  ASSERT_TRUE(form->formatHeldBack());

  const Format mono8{TBPS::_8, TChannels::Mono, 22050};
  advanced([&](TOKBottomDlg& d) {
    choose(d, mono8, 30000, 100);
    return int(QDialog::Accepted);
  });
  expectRecorder(cd);
  expectNextRun(mono8);
  EXPECT_EQ(form->limit8, 100) << "limits apply from the next block";

  // Opened again during the run it shows the waiting format, and "Save" stores it.
  advanced([&](TOKBottomDlg& d) {
    expectShown(d, mono8, 30000, 100);
    return int(QDialog::Rejected);
  });
  form->Sichern2Click(form->Sichern2);
  Registry store;
  ASSERT_TRUE(store.openKey("\\Software\\Morvadel\\Tessaron\\1.0", false));
  EXPECT_EQ(store.readBinary("samplerate"), QByteArray("\x22\x56", 2));
  EXPECT_EQ(store.readBinary("BPS"), QByteArray(1, '\0'));
  expectRecorder(cd);

  ASSERT_TRUE(recorder.Stop());
  ASSERT_FALSE(form->formatHeldBack());
  // Once the recorder is closed the waiting format reaches it.
  advanced([](TOKBottomDlg&) { return int(QDialog::Rejected); });
  expectRecorder(mono8);
  expectNextRun(mono8);
}

}  // namespace
