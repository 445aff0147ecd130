// The characters a LED display shows for a value, and where its separator stands.
#pragma once

#include <algorithm>
#include <string>

struct LedText {
  std::string chars;  // digits, possibly a leading '-', blanks where nothing can be shown
  int separator = 0;  // 1-based position the decimal separator had in the text, 0 if none
};

// `value` in fixed-point notation with `fractionDigits` decimals (rounded, at most 18
// significant digits), the separator taken out and remembered, and zeros put in front
// (after a minus sign) until there are at least `numDigits` characters. Values that
// have no fixed-point form (not finite, or 10^18 and beyond) give `numDigits` blanks.
LedText ledDisplayText(long double value, int fractionDigits, int numDigits);

// The cells a display of `numDigits` cells draws for `text`, left to right: calls
// fn(cell, shown, separatorAfter) with `shown` the cell's character, or '\0' for a cell
// left empty (a leading zero while leading zeros are off), and `separatorAfter` true for
// the cell that the separator glyph follows.
template <typename Fn>
void forEachLedCell(const LedText& text, int numDigits, bool leadingZeros, Fn&& fn) {
  bool digitShown = false;
  const int cells = std::min(numDigits, static_cast<int>(text.chars.size()));
  for (int j = 1; j <= cells; ++j) {
    const char c = text.chars[j - 1];
    const bool shown = leadingZeros || c != '0' || digitShown;
    digitShown = digitShown || shown;
    fn(j - 1, shown ? c : '\0', text.separator == j + 1);
  }
}
