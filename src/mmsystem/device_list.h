// The devices of one kind that a driver has open. The driver owns each from its open to
// its close, so that the devices an owner left open go with the driver, and a fault that
// concerns every open device (the card going away) reaches them all. Which handles are
// open is the service's business (open_handles.h): for a call the service has checked, a
// driver finds its device by the handle it gave out; find() is for the driver's own
// queries, whose handle no one has checked.
#pragma once

#include <algorithm>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

template <typename Device>
class DeviceList {
 public:
  Device* add(std::unique_ptr<Device> device) {
    std::lock_guard lock(mutex_);
    devices_.push_back(std::move(device));
    return devices_.back().get();
  }
  // Takes `device` out of the list (null when it is not in it); the caller closes it.
  std::unique_ptr<Device> take(const Device* device) {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(devices_.begin(), devices_.end(), [&](const auto& d) { return d.get() == device; });
    if (it == devices_.end()) return nullptr;
    std::unique_ptr<Device> taken = std::move(*it);
    devices_.erase(it);
    return taken;
  }
  // Every device still in the list, taken out.
  std::vector<std::unique_ptr<Device>> takeAll() {
    std::lock_guard lock(mutex_);
    return std::exchange(devices_, {});
  }
  // Runs `f` on every device in the list, with the list locked: a device taken out is
  // no longer reached once take() has returned.
  template <typename F>
  void forEach(F&& f) const {
    std::lock_guard lock(mutex_);
    for (const auto& device : devices_) f(*device);
  }
  // The device in the list whose handle is `handle`, or null.
  template <typename Handle>
  Device* find(Handle handle) const {
    std::lock_guard lock(mutex_);
    for (const auto& device : devices_)
      if (static_cast<Handle>(device.get()) == handle) return device.get();
    return nullptr;
  }
  size_t size() const {
    std::lock_guard lock(mutex_);
    return devices_.size();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::unique_ptr<Device>> devices_;
};
