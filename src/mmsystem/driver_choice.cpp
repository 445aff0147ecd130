// The driver the program starts with. This is the only file that knows every driver:
// a new driver is a folder of its own under src/mmsystem/, a line here and its library
// linked to the service in src/CMakeLists.txt.
#include <cstdlib>
#include <cstring>
#include <memory>

#include "mmsystem/alsa/alsa_driver.h"
#include "mmsystem/driver.h"
#include "mmsystem/pulse/pulse_driver.h"
#include "mmsystem/virtual/virtual_driver.h"

namespace mmsystem {

std::unique_ptr<Driver> chooseDriver() {
  const char* forced = std::getenv("TESSARON_AUDIO");
  if (forced != nullptr && std::strcmp(forced, "virtual") == 0) return std::make_unique<VirtualDriver>();
  if (forced != nullptr && std::strcmp(forced, "alsa") == 0) return std::make_unique<AlsaDriver>();
  if (forced != nullptr && std::strcmp(forced, "pulse") == 0) return std::make_unique<PulseDriver>();
  if (auto pulse = PulseDriver::connect()) return pulse;
  if (AlsaDriver::available()) return std::make_unique<AlsaDriver>();
  return std::make_unique<VirtualDriver>();
}

}  // namespace mmsystem
