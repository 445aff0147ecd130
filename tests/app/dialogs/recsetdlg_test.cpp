// The record settings dialog: what it shows, what OK and Cancel give back, and sample
// rates and pre-trigger times it refuses while staying open.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <vector>

#include "app/dialogs/recsetdlg.h"

namespace {

// Runs Trecsetdlg::execute with `act` in place of the person at the dialog.
bool runWith(Trecsetdlg& rec, std::function<void(TOKBottomDlg*)> act) {
  rec.RunModal = [act](Trecsetdlg* sender, TOKBottomDlg* dialog) {
    EXPECT_EQ(sender->dialog, dialog);
    EXPECT_TRUE(dialog->isVisible());
    act(dialog);
    return dialog->result();
  };
  return rec.execute();
}

// Replaces the text of `field` by typing.
void enter(TExtendEdit* field, const QString& text) {
  field->setFocus();
  field->selectAll();
  QKeyEvent erase(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier, "\b");
  QApplication::sendEvent(field, &erase);
  EXPECT_EQ(field->text(), "");
  for (QChar c : text) {
    QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(field, &key);
  }
}

void enterRate(TOKBottomDlg* d, const QString& text) { enter(d->ExtendEdit1, text); }

struct Settings {
  uint32_t samplerate;
  TChannels channels;
  TBPS bits;
  int32_t max16, max8;
};

void assign(Trecsetdlg& rec, const Settings& s) {
  rec.samplerate = s.samplerate;
  rec.channels = s.channels;
  rec.BitsPerSample = s.bits;
  rec.max16 = s.max16;
  rec.max8 = s.max8;
}

void expectSettings(const Trecsetdlg& rec, const Settings& s) {
  EXPECT_EQ(rec.samplerate, s.samplerate);
  EXPECT_EQ(rec.channels, s.channels);
  EXPECT_EQ(rec.BitsPerSample, s.bits);
  EXPECT_EQ(rec.max16, s.max16);
  EXPECT_EQ(rec.max8, s.max8);
}

const Settings kCdQuality{44100, TChannels::Stereo, TBPS::_16, 32000, 120};

}  // namespace

TEST(RecordSettingsDialog, FormShowsTheCurrentValuesEachTime) {
  Trecsetdlg rec;
  EXPECT_EQ(rec.samplerate, 44100);
  EXPECT_EQ(rec.HelpContext, 8);
  EXPECT_EQ(rec.max16, 0);

  // The component's own values, not the form's defaults 32700 and 122.
  runWith(rec, [](TOKBottomDlg* d) {
    EXPECT_EQ(d->windowTitle(), "Record Settings");
    EXPECT_EQ(d->size(), QSize(265, 296));
    EXPECT_EQ(d->ComboBox1->itemText(0), "8 Bit/Sample");
    EXPECT_EQ(d->ComboBox1->itemText(1), "16 Bit/Sample");
    EXPECT_EQ(d->ComboBox2->itemText(0), "Mono");
    EXPECT_EQ(d->ComboBox2->itemText(1), "Stereo");
    EXPECT_EQ(d->Label3->text(), "Samplerate");
    EXPECT_EQ(d->OKBtn->text(), "OK");
    EXPECT_TRUE(d->OKBtn->isDefault());
    EXPECT_EQ(d->CancelBtn->text(), "Abbrechen");
    EXPECT_EQ(d->ExtendEdit1->geometry(), QRect(88, 96, 121, 21));
    EXPECT_EQ(d->HelpContext(), 8);

    EXPECT_EQ(d->ComboBox1->currentIndex(), 1);
    EXPECT_EQ(d->ComboBox2->currentIndex(), 1);
    EXPECT_EQ(d->ExtendEdit1->text(), "44100");
    EXPECT_TRUE(d->ExtendEdit1->OORError()) << "the field's range is -100..100 and has no visible effect";
    EXPECT_EQ(d->ExtendEdit1->Color(), clWindow);
    EXPECT_EQ(d->SpinEdit1->value(), 0);
    EXPECT_EQ(d->SpinEdit2->value(), 0);
    EXPECT_FALSE(d->SampleRateMessage->isVisible());
    d->CancelBtn->click();
  });
  EXPECT_EQ(rec.dialog, nullptr);

  assign(rec, {22050, TChannels::Mono, TBPS::_8, 1000, 100});
  runWith(rec, [](TOKBottomDlg* d) {
    EXPECT_EQ(d->ComboBox1->currentIndex(), 0);
    EXPECT_EQ(d->ComboBox2->currentIndex(), 0);
    EXPECT_EQ(d->ExtendEdit1->text(), "22050");
    EXPECT_EQ(d->SpinEdit1->value(), 1000);
    EXPECT_EQ(d->SpinEdit2->value(), 100);
    d->CancelBtn->click();
  });
}

TEST(RecordSettingsDialog, CancelKeepsEveryValue) {
  Trecsetdlg rec;
  assign(rec, kCdQuality);
  QPointer<TOKBottomDlg> seen;
  const bool ok = runWith(rec, [&](TOKBottomDlg* d) {
    seen = d;
    d->ComboBox1->setCurrentIndex(0);
    d->ComboBox2->setCurrentIndex(0);
    enterRate(d, "8000");
    d->SpinEdit1->setValue(5);
    d->SpinEdit2->setValue(6);
    d->CancelBtn->click();
    EXPECT_FALSE(d->isVisible());
  });
  EXPECT_FALSE(ok);
  expectSettings(rec, kCdQuality);
  EXPECT_TRUE(seen.isNull()) << "the form is destroyed after each run";

  // Escape is Cancel too.
  EXPECT_FALSE(runWith(rec, [](TOKBottomDlg* d) {
    d->SpinEdit1->setValue(5);
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(d, &esc);
  }));
  expectSettings(rec, kCdQuality);
}

TEST(RecordSettingsDialog, OkReturnsWhatTheDialogHolds) {
  Trecsetdlg rec;
  assign(rec, kCdQuality);
  EXPECT_TRUE(runWith(rec, [](TOKBottomDlg* d) { d->OKBtn->click(); }));
  expectSettings(rec, kCdQuality);

  // 8 bit mono.
  EXPECT_TRUE(runWith(rec, [](TOKBottomDlg* d) {
    d->ComboBox1->setCurrentIndex(0);
    d->ComboBox2->setCurrentIndex(0);
    d->OKBtn->click();
  }));
  expectSettings(rec, {44100, TChannels::Mono, TBPS::_8, 32000, 120});

  // A typed rate, confirmed with Return in the field (the default button).
  EXPECT_TRUE(runWith(rec, [](TOKBottomDlg* d) {
    enterRate(d, "22050");
    QKeyEvent ret(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
    QApplication::sendEvent(d->ExtendEdit1, &ret);
  }));
  EXPECT_EQ(rec.samplerate, 22050);

  // Limits beyond the spin edits' ranges come back clamped.
  rec.max16 = 40000;
  rec.max8 = 200;
  EXPECT_TRUE(runWith(rec, [](TOKBottomDlg* d) { d->OKBtn->click(); }));
  EXPECT_EQ(rec.max16, 32767);
  EXPECT_EQ(rec.max8, 127);
}

TEST(RecordSettingsDialog, UnusableSampleRatesAreRefusedInTheDialog) {
  Trecsetdlg rec;
  assign(rec, kCdQuality);
  const bool ok = runWith(rec, [](TOKBottomDlg* d) {
    for (const char* bad : {"7999", "192001", "384000", "-8000", ""}) {
      enterRate(d, bad);
      d->OKBtn->click();
      EXPECT_TRUE(d->isVisible()) << bad;
      EXPECT_NE(d->result(), QDialog::Accepted) << bad;
      EXPECT_TRUE(d->SampleRateMessage->isVisible()) << bad;
      EXPECT_TRUE(d->SampleRateMessage->text().contains("8000")) << bad;
    }
    // Editing the rate clears the message; an unusable rate left there can still be
    // cancelled.
    enterRate(d, "9");
    EXPECT_FALSE(d->SampleRateMessage->isVisible());
    d->CancelBtn->click();
  });
  EXPECT_FALSE(ok);
  expectSettings(rec, kCdQuality);

  // The highest and lowest usable rates pass, and so does 48000 after a refusal.
  EXPECT_TRUE(runWith(rec, [](TOKBottomDlg* d) {
    enterRate(d, "192000");
    d->OKBtn->click();
  }));
  EXPECT_EQ(rec.samplerate, 192000);
  EXPECT_TRUE(runWith(rec, [](TOKBottomDlg* d) {
    enterRate(d, "8000");
    d->OKBtn->click();
  }));
  EXPECT_EQ(rec.samplerate, 8000);
  EXPECT_TRUE(runWith(rec, [](TOKBottomDlg* d) {
    enterRate(d, "200000");
    d->OKBtn->click();
    EXPECT_TRUE(d->isVisible());
    enterRate(d, "48000");
    d->OKBtn->click();
    EXPECT_FALSE(d->isVisible());
  }));
  EXPECT_EQ(rec.samplerate, 48000);
  EXPECT_EQ(rec.channels, TChannels::Stereo);
}

TEST(RecordSettingsDialog, PreTriggerFieldShowsTheTimeAndTakesWholeMillisecondsUpTo5000) {
  Trecsetdlg rec;
  EXPECT_EQ(rec.pretrigger, 0);
  assign(rec, kCdQuality);
  rec.pretrigger = 250;
  EXPECT_TRUE(runWith(rec, [](TOKBottomDlg* d) {
    EXPECT_EQ(d->Label6->text(), "Pre-trigger (ms)");
    EXPECT_EQ(d->ExtendEdit2->EditStyle(), esInteger);
    EXPECT_EQ(d->ExtendEdit2->text(), "250");
    EXPECT_FALSE(d->PreTriggerMessage->isVisible());
    enter(d->ExtendEdit2, "5000");
    d->OKBtn->click();
  }));
  EXPECT_EQ(rec.pretrigger, 5000);
  expectSettings(rec, kCdQuality);

  EXPECT_FALSE(runWith(rec, [](TOKBottomDlg* d) {
    EXPECT_EQ(d->ExtendEdit2->text(), "5000") << "shown afresh each time";
    enter(d->ExtendEdit2, "0");
    d->CancelBtn->click();
  }));
  EXPECT_EQ(rec.pretrigger, 5000);
  EXPECT_TRUE(runWith(rec, [](TOKBottomDlg* d) {
    enter(d->ExtendEdit2, "0");
    d->OKBtn->click();
  }));
  EXPECT_EQ(rec.pretrigger, 0);
}

TEST(RecordSettingsDialog, UnusablePreTriggerTimesAreRefusedInTheDialog) {
  Trecsetdlg rec;
  assign(rec, kCdQuality);
  rec.pretrigger = 250;
  EXPECT_FALSE(runWith(rec, [](TOKBottomDlg* d) {
    // Letters cannot be typed into the field, but they can arrive by pasting.
    for (const char* bad : {"5001", "-1", "(5)", "", "abc", "12a", "99999"}) {
      d->ExtendEdit2->setText(bad);
      d->OKBtn->click();
      EXPECT_TRUE(d->isVisible()) << bad;
      EXPECT_NE(d->result(), QDialog::Accepted) << bad;
      EXPECT_TRUE(d->PreTriggerMessage->isVisible()) << bad;
      EXPECT_TRUE(d->PreTriggerMessage->text().contains("5000")) << bad;
      EXPECT_FALSE(d->SampleRateMessage->isVisible()) << bad;
    }
    enter(d->ExtendEdit2, "1");
    EXPECT_FALSE(d->PreTriggerMessage->isVisible()) << "an edit clears the message";

    // Both fields refused: both say why, the focus goes to the upper one, and the
    // messages cover no other control.
    enter(d->ExtendEdit2, "-");
    enterRate(d, "7");
    d->OKBtn->click();
    EXPECT_TRUE(d->SampleRateMessage->isVisible());
    EXPECT_TRUE(d->PreTriggerMessage->isVisible());
    EXPECT_EQ(d->focusWidget(), d->ExtendEdit1);
    std::vector<QWidget*> shown;
    for (QWidget* child : d->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (!child->isVisible()) continue;
      EXPECT_TRUE(d->rect().contains(child->geometry())) << child->metaObject()->className();
      for (QWidget* other : shown) {
        EXPECT_FALSE(child->geometry().intersects(other->geometry()))
            << child->metaObject()->className() << " at " << child->y() << " and " << other->metaObject()->className()
            << " at " << other->y();
      }
      shown.push_back(child);
    }
    EXPECT_EQ(shown.size(), 16u);
    d->CancelBtn->click();
  }));
  EXPECT_EQ(rec.pretrigger, 250) << "nothing changes";
  expectSettings(rec, kCdQuality);
}

TEST(RecordSettingsDialog, EverySampleWidthIsOfferedWhole) {
  Trecsetdlg rec;
  assign(rec, kCdQuality);
  const QStringList items = {"8 Bit/Sample", "16 Bit/Sample", "24 Bit/Sample", "32 float"};
  const TBPS widths[] = {TBPS::_8, TBPS::_16, TBPS::_24, TBPS::_32Float};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(items[i].toStdString());
    // The dialog shows the width it was given and gives back the one chosen, at the
    // rates a sound card records in it.
    rec.BitsPerSample = widths[(i + 1) % 4];
    EXPECT_TRUE(runWith(rec, [&](TOKBottomDlg* d) {
      EXPECT_EQ(d->ComboBox1->count(), 4);
      EXPECT_EQ(d->ComboBox1->itemText(i), items[i]);
      EXPECT_EQ(d->ComboBox1->currentIndex(), (i + 1) % 4);
      // Neither the label nor an item is cut off.
      EXPECT_LE(d->Label1->fontMetrics().horizontalAdvance(d->Label1->text()), d->Label1->contentsRect().width());
      QStyleOptionComboBox option;
      option.initFrom(d->ComboBox1);
      const QRect text = d->ComboBox1->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                               QStyle::SC_ComboBoxEditField, d->ComboBox1);
      EXPECT_LE(d->ComboBox1->fontMetrics().horizontalAdvance(items[i]), text.width());
      d->ComboBox1->setCurrentIndex(i);
      enterRate(d, i % 2 ? "96000" : "88200");
      d->OKBtn->click();
    }));
    EXPECT_EQ(rec.BitsPerSample, widths[i]);
    EXPECT_EQ(rec.samplerate, i % 2 ? 96000u : 88200u);
  }
}
