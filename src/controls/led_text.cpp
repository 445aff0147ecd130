// Text of a LED display: fixed-point digits of a value, padded with leading zeros.
#include "controls/led_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kSignificantDigits = 18;

// Fixed-point text with exactly `decimals` decimals, locale-independent, '.' as separator.
std::string fixedText(long double value, int decimals) {
  std::vector<char> buffer(static_cast<size_t>(decimals) + 64);
  const auto result =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed, decimals);
  if (result.ec != std::errc()) return {};
  return std::string(buffer.data(), result.ptr);
}

// Decimal exponent of the value's leading digit (0 for zero).
int decimalExponent(long double value) {
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, kSignificantDigits - 1);
  if (result.ec != std::errc()) return 0;
  const std::string text(buffer, result.ptr);
  const auto e = text.find('e');
  return e == std::string::npos ? 0 : std::atoi(text.c_str() + e + 1);
}

}  // namespace

LedText ledDisplayText(long double value, int fractionDigits, int numDigits) {
  LedText out;
  const int decimals = std::max(fractionDigits, 0);
  if (!std::isfinite(value) || std::fabs(value) >= 1e18L) {
    out.chars.assign(static_cast<size_t>(std::max(numDigits, 0)), ' ');
    return out;
  }
  // Digits beyond the 18th significant one are shown as zeros: round at the 18th
  // significant digit when the wanted decimals would reach past it.
  const int exponent = decimalExponent(value);
  std::string text;
  if (exponent + 1 + decimals > kSignificantDigits) {
    const int kept = std::max(kSignificantDigits - 1 - exponent, 0);
    text = fixedText(value, kept);
    if (!text.empty()) {
      if (kept == 0 && decimals > 0) text += '.';
      text.append(static_cast<size_t>(decimals - kept), '0');
    }
  } else {
    text = fixedText(value, decimals);
  }
  // A value that rounds to zero is shown without a sign.
  if (!text.empty() && text[0] == '-' && text.find_first_not_of("0.", 1) == std::string::npos) text.erase(0, 1);

  const auto dot = text.find('.');
  if (dot != std::string::npos) {
    out.separator = static_cast<int>(dot) + 1;
    text.erase(dot, 1);
  }
  const size_t signLength = !text.empty() && text[0] == '-' ? 1 : 0;
  while (static_cast<int>(text.size()) < numDigits) {
    text.insert(signLength, 1, '0');
    if (out.separator > 0) ++out.separator;
  }
  out.chars = std::move(text);
  return out;
}
