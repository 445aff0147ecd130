// The extended edit field: key filter, reading rule, editing and display formats and
// the range check with its alert colour.
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPalette>
#include <algorithm>
#include <cmath>

#include "controls/TextEdit.h"

namespace extend_edit_format {
namespace {

// v rounded to 15 significant digits; a negative zero becomes zero.
double significant15(double v) {
  if (!std::isfinite(v) || v == 0) return 0.0;
  return QString::number(v, 'g', 15).toDouble() + 0.0;
}

// A text of only zeros carries no sign.
QString dropSignOfZero(QString s) {
  if (s.startsWith(u'-')) {
    bool allZero = true;
    for (qsizetype i = 1; i < s.size(); ++i)
      if (s[i] != u'0' && s[i] != u'.') allZero = false;
    if (allZero) s.remove(0, 1);
  }
  return s;
}

}  // namespace

double readNumber(const QString& text, QChar separator, int separators) {
  const bool negative = (text.contains(u'(') && text.contains(u')')) || text.contains(u'-');
  QString kept;
  for (QChar c : text) {
    if (c >= u'0' && c <= u'9') {
      kept += c;
    } else if (c == separator) {
      if (separators == 0) break;  // this separator and everything after it are dropped
      --separators;
      kept += u'.';
    }
  }
  if (negative) kept.prepend(u'-');
  if (kept.isEmpty() || kept == QStringLiteral("-")) return 0.0;
  bool ok = false;
  const double v = kept.toDouble(&ok);
  return ok ? v : 0.0;
}

QString general(double v, QChar separator) {
  v = significant15(v);
  if (v == 0) return QStringLiteral("0");
  const int exponent = static_cast<int>(std::floor(std::log10(std::fabs(v))));
  const int decimals = std::clamp(14 - exponent, 0, 350);
  QString s = QString::number(v, 'f', decimals);
  if (s.contains(u'.')) {
    while (s.endsWith(u'0')) s.chop(1);
    if (s.endsWith(u'.')) s.chop(1);
  }
  s = dropSignOfZero(s);
  s.replace(u'.', separator);
  return s;
}

QString fixed(double v, int decimals, QChar separator) {
  QString s = dropSignOfZero(QString::number(significant15(v), 'f', decimals));
  s.replace(u'.', separator);
  return s;
}

QString truncated(double v) {
  if (!std::isfinite(v)) return QStringLiteral("0");
  return dropSignOfZero(QString::number(std::trunc(v) + 0.0, 'f', 0));
}

QString currency(double v, int decimals, const QLocale& locale) {
  QString s = locale.toCurrencyString(significant15(v), locale.currencySymbol(), decimals);
  // Locales may write the minus sign or the digits with other characters; the reading
  // rule knows only "-" and the ASCII digits.
  const QString minus = locale.negativeSign();
  if (!minus.isEmpty() && minus != QStringLiteral("-")) s.replace(minus, QStringLiteral("-"));
  const QString zero = locale.zeroDigit();
  if (zero != QStringLiteral("0") && zero.size() == 1) {
    for (qsizetype i = 0; i < s.size(); ++i) {
      const int d = s[i].unicode() - zero[0].unicode();
      if (d >= 0 && d <= 9) s[i] = QChar(u'0' + d);
    }
  }
  return s;
}

}  // namespace extend_edit_format

namespace fmt = extend_edit_format;

// --- Settings objects -------------------------------------------------------------

void TAlertData::setActive(bool v) {
  if (v == active_) return;
  active_ = v;
  owner_->rangeCheck();
}

void TAlertData::setColor(TColor v) {
  if (v == color_) return;
  color_ = v;
  owner_->rangeCheck();
}

void TRangeData::setEnforce(bool v) {
  if (v == enforce_) return;
  enforce_ = v;
  owner_->rangeCheck();
}

void TRangeData::setMinValue(double v) {
  minValue_ = v;
  if (minValue_ > maxValue_) minValue_ = maxValue_;
  owner_->rangeCheck();
}

void TRangeData::setMaxValue(double v) {
  maxValue_ = v;
  if (minValue_ > maxValue_) minValue_ = maxValue_;
  owner_->rangeCheck();
}

void TRangeData::setColor(TColor v) {
  if (v == color_) return;
  color_ = v;
  owner_->rangeCheck();
}

// --- The edit ----------------------------------------------------------------------

TExtendEdit::TExtendEdit(QWidget* parent) : QLineEdit(parent), locale_(QLocale::system()) {
  connect(this, &QLineEdit::textChanged, this, [this] { textChangedHandler(); });
}

QChar TExtendEdit::separator() const {
  const QString point = locale_.decimalPoint();
  return point.isEmpty() ? QChar(u'.') : point[0];
}

void TExtendEdit::setEditStyle(TEditType v) {
  editStyle_ = v;
  refresh();
}

void TExtendEdit::setDecimalPlaces(TDecWidth v) {
  decimalPlaces_ = std::min<TDecWidth>(v, 9);
  refresh();
}

void TExtendEdit::setNumberLocale(const QLocale& v) {
  locale_ = v;
  refresh();
}

double TExtendEdit::Value() const {
  switch (editStyle_) {
    case esGeneral: return 0.0;
    case esInteger: return fmt::readNumber(text(), separator(), 0);
    case esFloat:
    case esCurrency: return fmt::readNumber(text(), separator(), 1);
    case esPercentage: return fmt::readNumber(text(), separator(), 1) / 100.0;
  }
  return 0.0;
}

void TExtendEdit::setValue(double v) {
  if (editStyle_ != esGeneral) replaceText(fmt::general(editStyle_ == esPercentage ? v * 100.0 : v, separator()));
  refresh();
}

void TExtendEdit::setColor(TColor v) {
  if (v == color_) return;
  color_ = v;
  QPalette p = palette();
  p.setColor(QPalette::Base, ColorToQColor(v));
  setPalette(p);
}

void TExtendEdit::replaceText(const QString& text) {
  // Setting the same text would still move the caret and drop the selection.
  if (text != this->text()) setText(text);
}

void TExtendEdit::textChangedHandler() {
  if (OnChange) OnChange(this);
  rangeCheck();
}

void TExtendEdit::refresh() {
  rangeCheck();
  if (editingFormatShown())
    applyEditingFormat();
  else
    applyDisplayFormat();
}

void TExtendEdit::rangeCheck() {
  // Replacing the number by a bound changes the text, which runs the check again; only
  // the outermost check enforces, so that a bound the format cannot show (0.5 in an
  // integer field) cannot make the check call itself without end.
  if (range_.Enforce() && editStyle_ != esGeneral && enforcing_ == 0) {
    ++enforcing_;
    const double v = Value();
    if (v < range_.MinValue()) setValue(range_.MinValue());
    if (v > range_.MaxValue()) setValue(range_.MaxValue());
    --enforcing_;
  }
  const double v = Value();
  oorError_ = v < range_.MinValue() || v > range_.MaxValue();
  setColor(oorError_ && alert_.Active() && editStyle_ != esGeneral ? alert_.Color() : range_.Color());
}

void TExtendEdit::applyEditingFormat() {
  if (!editingFormatShown()) {
    applyDisplayFormat();
  } else {
    const double v = Value();
    const QChar sep = separator();
    switch (editStyle_) {
      case esGeneral: break;
      case esInteger: replaceText(fmt::truncated(v)); break;
      case esFloat:
      case esCurrency: replaceText(fmt::fixed(v, decimalPlaces_, sep)); break;
      case esPercentage: replaceText(fmt::fixed(v * 100.0, decimalPlaces_, sep)); break;
    }
  }
  if (autoSelect_ && hasFocus()) selectAll();
}

void TExtendEdit::applyDisplayFormat() {
  const double v = Value();
  const QChar sep = separator();
  switch (editStyle_) {
    case esGeneral: break;
    case esInteger: replaceText(fmt::truncated(v)); break;
    case esFloat: replaceText(fmt::fixed(v, decimalPlaces_, sep)); break;
    case esCurrency: replaceText(fmt::currency(v, decimalPlaces_, locale_)); break;
    case esPercentage: replaceText(fmt::fixed(v * 100.0, decimalPlaces_, sep) + u'%'); break;
  }
}

bool TExtendEdit::keyAllowed(QChar key) const {
  const QChar sep = separator();
  const QChar backspace(u'\b');

  // The text as it would stand after the key.
  QString result = text();
  int caret = cursorPosition();
  if (hasSelectedText()) {
    caret = selectionStart();
    result.remove(caret, selectedText().size());
  } else if (key == backspace && caret > 0) {
    --caret;
    result.remove(caret, 1);
  }
  if (key != backspace) result.insert(caret, key);

  QString allowed = QStringLiteral("0123456789-()");
  switch (editStyle_) {
    case esFloat: allowed += sep; break;
    case esCurrency:
      allowed += sep;
      if (!locale_.currencySymbol().isEmpty()) allowed += locale_.currencySymbol()[0];
      break;
    case esPercentage:
      allowed += sep;
      allowed += u'%';
      break;
    default: break;
  }
  bool ok = allowed.contains(key);
  if (text().contains(sep)) {
    const qsizetype at = result.indexOf(sep);
    const qsizetype decimals = at < 0 ? result.size() : result.size() - at - 1;
    ok = ok && key != sep && decimals <= decimalPlaces_;
  }
  return ok || key == backspace;
}

void TExtendEdit::keyPressEvent(QKeyEvent* event) {
  // Keys that type no character (caret movement, Delete, function keys) and the keys a
  // dialog acts on (Return, Enter, Escape, Tab) are not filtered.
  const QString typed = event->text();
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete: QLineEdit::keyPressEvent(event); return;
    default: break;
  }
  if (typed.isEmpty()) {
    QLineEdit::keyPressEvent(event);
    return;
  }

  QChar key = typed[0];
  if (editStyle_ != esGeneral) {
    // Several characters at once (an input method) are not a typed digit either.
    if (typed.size() != 1 || !keyAllowed(key)) key = QChar();
  }
  const QChar before = key;
  if (OnKeyPress) OnKeyPress(this, key);

  if (key.isNull()) {
    event->accept();
    return;
  }
  if (key == before && (editStyle_ == esGeneral || typed.size() == 1)) {
    QLineEdit::keyPressEvent(event);
    return;
  }
  // The handler replaced the character: the edit handles the replacement instead.
  QKeyEvent replaced(event->type(), 0, event->modifiers(), QString(key));
  QLineEdit::keyPressEvent(&replaced);
  event->setAccepted(replaced.isAccepted());
}

void TExtendEdit::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  // A context menu takes the focus only for a moment; the text stays as it is.
  if (event->reason() == Qt::PopupFocusReason) return;
  applyEditingFormat();
  if (OnEnter) OnEnter(this);
}

void TExtendEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  if (event->reason() == Qt::PopupFocusReason) return;
  rangeCheck();
  applyDisplayFormat();
  if (OnExit) OnExit(this);
}
