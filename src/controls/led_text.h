// The characters a LED display shows for a value, and where its separator stands.
#pragma once

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
