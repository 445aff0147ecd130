// The extended edit field: a single-line edit that holds a number in one of four
// numeric styles (integer, fixed-point, currency, percentage) or plain text, filters
// typed characters, reads its text back as a number, switches between an editing and a
// display format with the keyboard focus, and checks the number against a range.
#pragma once

#include <QChar>
#include <QLineEdit>
#include <QLocale>
#include <QString>
#include <cstdint>
#include <functional>

#include "controls/RackCtls.h"

enum TEditType { esGeneral, esInteger, esFloat, esCurrency, esPercentage };
// Digits after the decimal separator, 0..9.
using TDecWidth = uint8_t;
// Raised for every typed character; a handler may replace Key, or set it to the null
// character to discard it.
using TKeyPressEvent = std::function<void(QObject* Sender, QChar& Key)>;

class TExtendEdit;

// Alert settings: the colour the field takes while its number is out of range.
class TAlertData {
 public:
  explicit TAlertData(TExtendEdit* owner) : owner_(owner) {}

  bool Active() const { return active_; }
  void setActive(bool v);
  TColor Color() const { return color_; }
  void setColor(TColor v);

 private:
  TExtendEdit* owner_;  // not owned
  bool active_ = false;
  TColor color_ = clWindow;
};

// Range settings: the bounds, whether they are enforced, and the field colour whenever
// no alert colour applies. MinValue <= MaxValue after every assignment.
class TRangeData {
 public:
  explicit TRangeData(TExtendEdit* owner) : owner_(owner) {}

  bool Enforce() const { return enforce_; }
  void setEnforce(bool v);
  double MinValue() const { return minValue_; }
  void setMinValue(double v);
  double MaxValue() const { return maxValue_; }
  void setMaxValue(double v);
  TColor Color() const { return color_; }
  void setColor(TColor v);

 private:
  TExtendEdit* owner_;  // not owned
  bool enforce_ = false;
  double minValue_ = -100.0;
  double maxValue_ = 100.0;
  TColor color_ = clWindow;
};

class TExtendEdit : public QLineEdit {
 public:
  explicit TExtendEdit(QWidget* parent = nullptr);

  TEditType EditStyle() const { return editStyle_; }
  void setEditStyle(TEditType v);
  TDecWidth DecimalPlaces() const { return decimalPlaces_; }
  void setDecimalPlaces(TDecWidth v);
  bool ActiveFocus() const { return activeFocus_; }
  void setActiveFocus(bool v) { activeFocus_ = v; }
  bool OORError() const { return oorError_; }
  void setOORError(bool v) { oorError_ = v; }
  TAlertData& Alert() { return alert_; }
  const TAlertData& Alert() const { return alert_; }
  TRangeData& Range() { return range_; }
  const TRangeData& Range() const { return range_; }
  // The text read as a number (esGeneral: 0; esPercentage: the number / 100).
  double Value() const;
  void setValue(double v);

  // Select the whole text when the field receives the focus.
  bool AutoSelect() const { return autoSelect_; }
  void setAutoSelect(bool v) { autoSelect_ = v; }
  // Background colour of the field.
  TColor Color() const { return color_; }
  void setColor(TColor v);
  // Regional settings for the separator and the currency format; the user's own by default.
  const QLocale& NumberLocale() const { return locale_; }
  void setNumberLocale(const QLocale& v);

  // The locale's decimal separator character.
  QChar separator() const;
  // Runs the range check: enforcement of the bounds, then OORError and the field colour.
  void rangeCheck();

  TNotifyEvent OnChange;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  TKeyPressEvent OnKeyPress;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void textChangedHandler();
  void refresh();
  void applyEditingFormat();
  void applyDisplayFormat();
  void replaceText(const QString& text);
  // The key filter: whether `key`, typed now, may reach the text.
  bool keyAllowed(QChar key) const;
  bool editingFormatShown() const { return activeFocus_ && hasFocus(); }

  TEditType editStyle_ = esGeneral;
  TDecWidth decimalPlaces_ = 0;
  bool activeFocus_ = true;
  bool oorError_ = false;
  bool autoSelect_ = true;
  TColor color_ = clWindow;
  QLocale locale_;
  int enforcing_ = 0;  // > 0 while the range check replaces the number by a bound
  TAlertData alert_{this};
  TRangeData range_{this};
};

// Number texts as the field reads and writes them, in a locale's separator.
namespace extend_edit_format {
// Reads `text` by the field's reading rule; `separators` is how many separators may stay.
double readNumber(const QString& text, QChar separator, int separators);
// Shortest form with up to 15 significant digits, never in exponent notation.
QString general(double v, QChar separator);
// Fixed-point with `decimals` decimals (values rounded to 15 significant digits first).
QString fixed(double v, int decimals, QChar separator);
// The whole-number part of v (truncated toward zero).
QString truncated(double v);
// The locale's currency format with `decimals` decimals, in ASCII digits and "-".
QString currency(double v, int decimals, const QLocale& locale);
}  // namespace extend_edit_format
