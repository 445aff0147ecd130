// Installing a driver of the multimedia service for the life of an object.
#pragma once

#include <memory>

#include "mmsystem/driver.h"

namespace testsupport {

// Installs `driver` for the life of the object and puts the previous one back after (when
// there was none, `driver` stays installed: the service never goes without one).
class DriverScope {
 public:
  explicit DriverScope(std::unique_ptr<Driver> driver) : previous_(mmsystem::installDriver(std::move(driver))) {}
  ~DriverScope() { mmsystem::installDriver(std::move(previous_)); }
  DriverScope(const DriverScope&) = delete;
  DriverScope& operator=(const DriverScope&) = delete;

 private:
  mmsystem::InstalledDriver previous_;
};

}  // namespace testsupport
