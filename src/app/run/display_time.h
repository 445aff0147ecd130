// A time on the main window's LED displays: the whole part minutes (or hours), two
// decimals the seconds (or minutes), as the displays show "m:ss" and "h:mm".
#pragma once

inline long double displayTime(int whole, int part) {
  return static_cast<long double>(whole) + static_cast<long double>(part) / 100.0L;
}
