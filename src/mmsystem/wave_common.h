// What the wave devices of every driver say the same way: the text of a device that
// failed for good.
#pragma once

#include <string>

#include "mmsystem/mmsystem.h"

// The text of WIM_ERROR / WOM_ERROR: the device's name and the sound system's reason.
inline std::string deviceFailedText(const std::string& device, const std::string& reason) {
  return "Sound device \"" + device + "\" failed: " + reason;
}
