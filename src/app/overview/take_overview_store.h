// What the settings store keeps of the take overview: whether its window was open and
// its size, as three optional values ("Overview" 1 or 0, "OverviewWidth",
// "OverviewHeight"). Settings without them load as before; values present and out of
// range are rejected like every other stored value. "Save" writes them only once the
// window has been opened or they were loaded, so settings of users who never opened it
// keep their values as they were.
#pragma once

#include <cstdint>

class Registry;
class TakeOverview;

struct TakeOverviewStore {
  static constexpr int32_t kMinWidth = 240, kMinHeight = 180, kMaxSide = 16384;

  int32_t open = -1;  // -1: not stored
  int32_t width = 0;  // 0: not stored
  int32_t height = 0;

  // Reads the values present; a value of the wrong type is a registry error.
  void read(Registry& store);
  bool acceptable() const;
  // Gives the window the stored size and opens it once the main window is up, if it was open.
  void apply(TakeOverview& overview) const;
  // Writes the window's state, once it is worth keeping.
  static void write(Registry& store, const TakeOverview& overview);
};
