// Text of a LED display: fixed-point digits, separator position, padding, limits.
#include <gtest/gtest.h>

#include <limits>

#include "controls/led_text.h"

namespace {
void expectText(long double value, int fraction, int cells, const std::string& chars, int separator) {
  const LedText text = ledDisplayText(value, fraction, cells);
  EXPECT_EQ(text.chars, chars) << static_cast<double>(value);
  EXPECT_EQ(text.separator, separator) << static_cast<double>(value);
}
}  // namespace

TEST(LedText, DigitsSeparatorAndPadding) {
  expectText(5.07L, 2, 4, "0507", 3);
  expectText(0, 2, 4, "0000", 3);
  expectText(123.45L, 2, 4, "12345", 4);
  expectText(12.05L, 2, 4, "1205", 3);
  expectText(7, 0, 4, "0007", 0);
  expectText(7, 0, 0, "7", 0);
  expectText(23.59L, 2, 6, "002359", 5);
  expectText(9.999L, 2, 4, "1000", 3);  // rounds up into a new whole digit
  expectText(5.07L, -3, 4, "0005", 0);  // no negative decimal count
}

TEST(LedText, RoundingToTheShownDecimals) {
  expectText(0.125L, 2, 3, "012", 2);  // an exact half goes to the even neighbour
  expectText(0.375L, 2, 3, "038", 2);
  expectText(1.005L, 2, 3, "100", 2);  // 1.005 lies just below the half in binary
  expectText(59.996L, 2, 4, "6000", 3);
}

TEST(LedText, AtMostEighteenSignificantDigits) {
  // Digits past the 18th significant one are zeros, not binary noise.
  expectText(1.0L / 3.0L, 25, 1, "0" + std::string(18, '3') + std::string(7, '0'), 2);
  expectText(123456789.987654321987654321L, 12, 1, "123456789987654322000", 10);
  expectText(0.1L, 30, 1, "01" + std::string(29, '0'), 2);
}

TEST(LedText, SignsAndValuesWithoutAFixedPointForm) {
  expectText(-5.07L, 2, 4, "-507", 3);
  expectText(-5.07L, 2, 6, "-00507", 5);  // zeros go after the sign
  expectText(-0.001L, 2, 4, "0000", 3);   // rounds to zero: no sign
  expectText(std::numeric_limits<long double>::quiet_NaN(), 2, 4, "    ", 0);
  expectText(-std::numeric_limits<long double>::infinity(), 2, 4, "    ", 0);
  expectText(1e18L, 0, 4, "    ", 0);
  expectText(999999999999999999.0L, 0, 4, "999999999999999999", 0);
}
