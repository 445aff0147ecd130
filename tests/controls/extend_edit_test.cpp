// The extended edit field: reading its text as a number, the key filter with a comma and
// with a point as decimal separator, the editing and display formats around the focus,
// and the range check with enforcement and alert colour.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QVBoxLayout>
#include <QWidget>
#include <cmath>
#include <memory>

#include "controls/TextEdit.h"

namespace {

const QLocale kComma(QLocale::German, QLocale::Germany);
const QLocale kPoint(QLocale::English, QLocale::UnitedStates);

void pressKey(QWidget* w, int key, const QString& text, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QKeyEvent press(QEvent::KeyPress, key, mods, text);
  QApplication::sendEvent(w, &press);
}
void typeChar(QWidget* w, QChar c) { pressKey(w, 0, QString(c)); }
void typeText(QWidget* w, const QString& s) {
  for (QChar c : s) typeChar(w, c);
}
void backspace(QWidget* w) { pressKey(w, Qt::Key_Backspace, QStringLiteral("\b")); }

// A shown window with the edit under test and a second field to move the focus to.
class EditHost {
 public:
  explicit EditHost(const QLocale& locale) {
    window = std::make_unique<QWidget>();
    auto* layout = new QVBoxLayout(window.get());
    edit = new TExtendEdit(window.get());
    edit->setNumberLocale(locale);
    other = new QLineEdit(window.get());
    layout->addWidget(edit);
    layout->addWidget(other);
    window->show();
    window->activateWindow();
    waitFor([&] { return window->isActiveWindow(); });
    focusOther();  // activation gives the first field the focus; tests start without it
  }
  void focusEdit() {
    edit->setFocus(Qt::OtherFocusReason);
    waitFor([&] { return edit->hasFocus(); });
  }
  void focusOther() {
    other->setFocus(Qt::OtherFocusReason);
    waitFor([&] { return other->hasFocus(); });
  }
  template <class Cond>
  static void waitFor(Cond cond) {
    for (int i = 0; i < 500 && !cond(); ++i) QApplication::processEvents(QEventLoop::AllEvents, 10);
  }

  std::unique_ptr<QWidget> window;
  TExtendEdit* edit;
  QLineEdit* other;
};

// Places the caret in the edit's text without selecting anything.
void caretAt(TExtendEdit* e, int pos) {
  e->deselect();
  e->setCursorPosition(pos);
}

}  // namespace

TEST(ExtendEditReading, TextsReadAsNumbersByTheReadingRule) {
  using extend_edit_format::readNumber;
  // Brackets or a minus anywhere make the number negative; foreign characters are dropped.
  EXPECT_DOUBLE_EQ(readNumber("(1.234,50)", u',', 1), -1234.5);
  EXPECT_DOUBLE_EQ(readNumber("12-3", u',', 1), -123);
  EXPECT_DOUBLE_EQ(readNumber("(5", u',', 1), 5);  // one bracket alone is not a sign
  // A separator beyond the allowance ends the number.
  EXPECT_DOUBLE_EQ(readNumber("12,7", u',', 0), 12);
  EXPECT_DOUBLE_EQ(readNumber("1,2,3", u',', 1), 1.2);
  EXPECT_DOUBLE_EQ(readNumber("1,234.50", u'.', 1), 1234.5);
  // Empty, a lone minus, and a lone separator read as 0.
  EXPECT_DOUBLE_EQ(readNumber("", u',', 1), 0);
  EXPECT_DOUBLE_EQ(readNumber("-", u',', 1), 0);
  EXPECT_DOUBLE_EQ(readNumber(",", u',', 1), 0);
  EXPECT_DOUBLE_EQ(readNumber("abc", u'.', 1), 0);
  EXPECT_DOUBLE_EQ(readNumber("12,", u',', 1), 12);
  EXPECT_DOUBLE_EQ(readNumber(",5", u',', 1), 0.5);
}

TEST(ExtendEditReading, ValueDependsOnTheStyle) {
  TExtendEdit e;
  e.setNumberLocale(kComma);
  e.setText("12,7");
  EXPECT_EQ(e.Value(), 0) << "plain text has no number";
  e.setEditStyle(esInteger);
  EXPECT_EQ(e.Value(), 12);
  EXPECT_EQ(e.text(), "12") << "shown as a whole number without the focus";
  e.setEditStyle(esFloat);
  e.setText("-");
  EXPECT_EQ(e.Value(), 0);
  e.setText("");
  EXPECT_EQ(e.Value(), 0);
  e.setEditStyle(esPercentage);
  e.setText("25%");
  EXPECT_DOUBLE_EQ(e.Value(), 0.25);
}

TEST(ExtendEditFormat, ValuesSurviveTheRoundTripThroughTheText) {
  for (const QLocale& locale : {kComma, kPoint}) {
    TExtendEdit e;
    e.setNumberLocale(locale);
    e.setEditStyle(esFloat);
    e.setDecimalPlaces(9);
    // Very small and very large numbers must not turn into exponent texts, which the
    // reading rule would misread.
    for (double v : {0.00001, -0.000123, 1e20, -7.25, 123456789.125}) {
      e.setValue(v);
      EXPECT_NEAR(e.Value(), v, std::fabs(v) * 1e-9) << e.text().toStdString();
    }
    e.setEditStyle(esCurrency);
    e.setDecimalPlaces(2);
    for (double v : {1234.5, -1234.5, 0.0}) {
      e.setValue(v);
      EXPECT_DOUBLE_EQ(e.Value(), v) << e.text().toStdString();
    }
  }
  EXPECT_EQ(extend_edit_format::general(44100, u','), "44100");
  EXPECT_EQ(extend_edit_format::general(0.1 + 0.2, u','), "0,3");
  EXPECT_EQ(extend_edit_format::truncated(-0.7), "0");
  EXPECT_EQ(extend_edit_format::fixed(-0.001, 2, u'.'), "0.00");
}

TEST(ExtendEditFormat, PercentageShowsDisplayAndEditingFormats) {
  for (const QLocale& locale : {kComma, kPoint}) {
    const QString sep = locale.decimalPoint();
    EditHost host(locale);
    TExtendEdit* e = host.edit;
    e->setEditStyle(esPercentage);
    e->setDecimalPlaces(1);
    e->setValue(0.25);
    EXPECT_EQ(e->text(), "25" + sep + "0%");
    EXPECT_DOUBLE_EQ(e->Value(), 0.25);

    host.focusEdit();
    EXPECT_EQ(e->text(), "25" + sep + "0");
    EXPECT_EQ(e->selectedText(), e->text()) << "AutoSelect selects the text on entry";
    EXPECT_DOUBLE_EQ(e->Value(), 0.25);

    host.focusOther();
    EXPECT_EQ(e->text(), "25" + sep + "0%");

    // Without ActiveFocus the display format stays while focused.
    e->setActiveFocus(false);
    host.focusEdit();
    EXPECT_EQ(e->text(), "25" + sep + "0%");
  }
}

TEST(ExtendEditFormat, FocusEventsRunInOrder) {
  EditHost host(kComma);
  TExtendEdit* e = host.edit;
  e->setEditStyle(esCurrency);
  e->setDecimalPlaces(2);
  e->setValue(-3.5);
  QStringList seen;
  e->OnEnter = [&](QObject* s) {
    EXPECT_EQ(s, e);
    seen << "enter:" + e->text();
  };
  e->OnExit = [&](QObject*) { seen << "exit"; };
  EXPECT_TRUE(e->text().contains(u'€')) << e->text().toStdString();
  host.focusEdit();
  host.focusOther();
  ASSERT_EQ(seen.size(), 2);
  EXPECT_EQ(seen[0], "enter:-3,50") << "the editing format is in place when OnEnter runs";
  EXPECT_EQ(seen[1], "exit");
  EXPECT_DOUBLE_EQ(e->Value(), -3.5);

  // An integer field holding 12,7 from elsewhere shows 12 once it loses the focus.
  e->setEditStyle(esInteger);
  host.focusEdit();
  e->setText("12,7");
  host.focusOther();
  EXPECT_EQ(e->text(), "12");
}

// The key filter behaves alike whichever character the locale uses as separator.
class ExtendEditKeys : public ::testing::TestWithParam<QLocale> {
 protected:
  void SetUp() override {
    host = std::make_unique<EditHost>(GetParam());
    e = host->edit;
    sep = e->separator();
    host->focusEdit();
  }
  std::unique_ptr<EditHost> host;
  TExtendEdit* e = nullptr;
  QChar sep;
};

TEST_P(ExtendEditKeys, IntegerFieldTakesDigitsSignsAndBracketsOnly) {
  e->setEditStyle(esInteger);
  e->setText("");
  typeText(e, QString("1") + sep + "2a(-)" + QChar(u'%') + "3");
  EXPECT_EQ(e->text(), "12(-)3");
  EXPECT_EQ(e->Value(), -123);
  backspace(e);
  EXPECT_EQ(e->text(), "12(-)");
  // Control characters typed as keys (here the paste shortcut) are discarded.
  pressKey(e, Qt::Key_V, QStringLiteral("\x16"), Qt::ControlModifier);
  EXPECT_EQ(e->text(), "12(-)");
}

TEST_P(ExtendEditKeys, FloatFieldLimitsDecimalsAndSeparators) {
  e->setEditStyle(esFloat);
  e->setDecimalPlaces(2);
  e->setText(QString("3") + sep + "14");
  caretAt(e, 4);
  typeChar(e, u'1');
  EXPECT_EQ(e->text(), QString("3") + sep + "14") << "a third decimal is discarded";
  caretAt(e, 0);
  typeChar(e, u'2');
  EXPECT_EQ(e->text(), QString("23") + sep + "14") << "a digit before the separator is accepted";
  caretAt(e, 1);
  typeChar(e, sep);
  EXPECT_EQ(e->text(), QString("23") + sep + "14") << "a second separator is discarded";
  // Replacing a selected decimal keeps the count.
  e->setSelection(4, 1);
  typeChar(e, u'9');
  EXPECT_EQ(e->text(), QString("23") + sep + "19");
  // Backspace is always accepted.
  caretAt(e, 5);
  backspace(e);
  EXPECT_EQ(e->text(), QString("23") + sep + "1");
  // The other locale's separator is a foreign character.
  typeChar(e, sep == u',' ? u'.' : u',');
  EXPECT_EQ(e->text(), QString("23") + sep + "1");
}

TEST_P(ExtendEditKeys, NoDecimalPlacesAllowTheSeparatorButNoDigitAfterIt) {
  e->setEditStyle(esFloat);
  e->setDecimalPlaces(0);
  e->setText("");
  typeText(e, QString("7") + sep + "5");
  EXPECT_EQ(e->text(), QString("7") + sep);
}

TEST_P(ExtendEditKeys, CurrencyAndPercentageAddTheirSigns) {
  e->setEditStyle(esPercentage);
  e->setDecimalPlaces(1);
  e->setText("");
  typeText(e, QString("12") + sep + "5$");
  EXPECT_EQ(e->text(), QString("12") + sep + "5");
  typeChar(e, u'%');
  EXPECT_EQ(e->text(), QString("12") + sep + "5") << "the sign counts against the decimals";
  caretAt(e, 0);
  typeChar(e, u'%');
  EXPECT_EQ(e->text(), QString("%12") + sep + "5");
  EXPECT_DOUBLE_EQ(e->Value(), 0.125);

  e->setEditStyle(esCurrency);
  e->setDecimalPlaces(2);
  e->setText("");
  const QChar symbol = e->NumberLocale().currencySymbol()[0];
  typeText(e, QString(symbol) + "5" + sep + "25%");
  EXPECT_EQ(e->text(), QString(symbol) + "5" + sep + "25");
  EXPECT_DOUBLE_EQ(e->Value(), 5.25);
}

TEST_P(ExtendEditKeys, KeyPressHandlerSeesTheFilteredKey) {
  e->setEditStyle(esInteger);
  e->setText("");
  QList<QChar> seen;
  e->OnKeyPress = [&](QObject*, QChar& key) {
    seen << key;
    if (key == u'1') key = u'7';
  };
  typeText(e, "x1");
  ASSERT_EQ(seen.size(), 2);
  EXPECT_TRUE(seen[0].isNull()) << "a discarded key arrives as the null character";
  EXPECT_EQ(e->text(), "7");

  // Plain text style filters nothing.
  e->OnKeyPress = nullptr;
  e->setEditStyle(esGeneral);
  caretAt(e, 1);
  typeText(e, "ab");
  EXPECT_EQ(e->text(), "7ab");
}

INSTANTIATE_TEST_SUITE_P(Separators, ExtendEditKeys, ::testing::Values(kComma, kPoint),
                         [](const auto& info) { return info.param == kComma ? "Comma" : "Point"; });

TEST(ExtendEditRange, SampleRateFieldGiven44100) {
  // The settings of the record settings dialog's sample rate field.
  TExtendEdit e;
  e.setText("0");
  e.setEditStyle(esInteger);
  e.Alert().setActive(false);
  e.Alert().setColor(clWindow);
  e.Range().setEnforce(false);
  e.Range().setMinValue(-100);
  e.Range().setMaxValue(100);
  e.Range().setColor(clWindow);
  EXPECT_FALSE(e.OORError());
  e.setValue(44100);
  EXPECT_EQ(e.text(), "44100");
  EXPECT_TRUE(e.OORError());
  EXPECT_EQ(e.Color(), clWindow);
  EXPECT_EQ(e.Value(), 44100);
}

TEST(ExtendEditRange, BoundsStayOrdered) {
  TExtendEdit e;
  e.Range().setMinValue(10);
  e.Range().setMaxValue(5);
  EXPECT_EQ(e.Range().MinValue(), 5);
  EXPECT_EQ(e.Range().MaxValue(), 5);
  e.Range().setMinValue(20);
  EXPECT_EQ(e.Range().MinValue(), 5) << "raising the minimum above the maximum stores the maximum";
  e.Range().setMaxValue(50);
  e.Range().setMinValue(-3);
  EXPECT_EQ(e.Range().MinValue(), -3);
  EXPECT_EQ(e.Range().MaxValue(), 50);
}

TEST(ExtendEditRange, AlertColourFollowsTheNumber) {
  TExtendEdit e;
  e.setEditStyle(esInteger);
  e.Range().setMinValue(0);
  e.Range().setMaxValue(10);
  e.Range().setColor(clWhite);
  EXPECT_EQ(e.Color(), clWhite) << "the range colour applies at once";
  e.Alert().setColor(clRed);
  e.Alert().setActive(true);
  e.setText("11");
  EXPECT_TRUE(e.OORError());
  EXPECT_EQ(e.Color(), clRed);
  e.setText("10");
  EXPECT_FALSE(e.OORError());
  EXPECT_EQ(e.Color(), clWhite);
  // OnChange runs before the check: it still sees the previous result.
  bool seenBefore = true;
  e.OnChange = [&](QObject*) { seenBefore = e.OORError(); };
  e.setText("-1");
  EXPECT_FALSE(seenBefore);
  EXPECT_TRUE(e.OORError());
  // Plain text never takes the alert colour.
  e.setEditStyle(esGeneral);
  EXPECT_EQ(e.Color(), clWhite);
}

TEST(ExtendEditRange, EnforcementReplacesNumbersOutsideTheRange) {
  EditHost host(kComma);
  TExtendEdit* e = host.edit;
  e->setEditStyle(esInteger);
  e->Range().setMinValue(10);
  e->Range().setMaxValue(500);
  e->setText("");
  e->Range().setEnforce(true);
  EXPECT_EQ(e->text(), "10") << "switching enforcement on checks the present text";
  host.focusEdit();
  e->setText("");
  EXPECT_EQ(e->text(), "10");
  caretAt(e, 2);
  typeChar(e, u'0');
  EXPECT_EQ(e->text(), "100");
  typeChar(e, u'0');
  EXPECT_EQ(e->text(), "500") << "a number above the range becomes the maximum at once";
  EXPECT_FALSE(e->OORError());

  // A bound the style cannot show must not make the check run away.
  e->Range().setMinValue(0.5);
  e->setText("0");
  host.focusOther();
  EXPECT_EQ(e->text(), "0");
  EXPECT_TRUE(e->OORError());
}

TEST(ExtendEditRange, TypingBelowTheMinimumShowsTheBound) {
  EditHost host(kPoint);
  TExtendEdit* e = host.edit;
  e->setEditStyle(esFloat);
  e->setDecimalPlaces(1);
  e->Range().setMinValue(10);
  e->Range().setEnforce(true);
  host.focusEdit();
  e->selectAll();
  typeChar(e, u'5');
  EXPECT_EQ(e->text(), "10.0");
  EXPECT_DOUBLE_EQ(e->Value(), 10);
}
