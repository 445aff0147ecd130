// The service's record of a driver's open devices and of the headers prepared for them.
#include "mmsystem/open_handles.h"

#include <algorithm>

namespace mmsystem {

OpenHandles::Device::Header* OpenHandles::Device::find(const WAVEHDR* header) {
  auto it = std::find_if(headers.begin(), headers.end(), [&](const Header& h) { return h.header == header; });
  return it == headers.end() ? nullptr : &*it;
}

std::unique_ptr<OpenHandles::Device> OpenHandles::make(Kind kind, DWORD_PTR callback, DWORD_PTR instance) {
  return std::make_unique<Device>(*this, kind, callback, instance);
}

void OpenHandles::opened(std::unique_ptr<Device> device, const void* handle) {
  std::lock_guard lock(mutex_);
  device->handle = handle;
  devices_.push_back(std::move(device));
}

OpenHandles::Device* OpenHandles::find(const void* handle, Kind kind) {
  if (handle == nullptr) return nullptr;
  std::lock_guard lock(mutex_);
  for (const auto& device : devices_) {
    if (device->handle == handle) return device->kind == kind && !device->closing ? device.get() : nullptr;
  }
  return nullptr;
}

namespace {

// With the record locked: STILLPLAYING while `device` holds the header, INVALPARAM when
// another open device has it prepared.
template <typename Devices, typename Device>
MMRESULT checkOwner(const Devices& devices, Device& device, const WAVEHDR* header) {
  if (auto* own = device.find(header)) return own->queued ? WAVERR_STILLPLAYING : MMSYSERR_NOERROR;
  for (const auto& other : devices) {
    if (other.get() != &device && other->find(header) != nullptr) return MMSYSERR_INVALPARAM;
  }
  return MMSYSERR_NOERROR;
}

}  // namespace

MMRESULT OpenHandles::prepare(Device& device, WAVEHDR* header, bool& added) {
  std::lock_guard lock(mutex_);
  if (MMRESULT r = checkOwner(devices_, device, header)) return r;
  added = device.find(header) == nullptr;
  if (added) device.headers.push_back({header, false});
  header->dwFlags |= WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT OpenHandles::checkUnprepare(Device& device, WAVEHDR* header) {
  std::lock_guard lock(mutex_);
  return checkOwner(devices_, device, header);
}

void OpenHandles::unprepared(Device& device, WAVEHDR* header) {
  std::lock_guard lock(mutex_);
  std::erase_if(device.headers, [&](const Device::Header& h) { return h.header == header; });
  header->dwFlags &= ~WHDR_PREPARED;
}

MMRESULT OpenHandles::queue(Device& device, WAVEHDR* header, DWORD& flags) {
  std::lock_guard lock(mutex_);
  Device::Header* own = device.find(header);
  if (own == nullptr) return WAVERR_UNPREPARED;
  if (own->queued) return WAVERR_STILLPLAYING;
  own->queued = true;
  flags = header->dwFlags;
  header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_PREPARED | WHDR_INQUEUE;
  return MMSYSERR_NOERROR;
}

void OpenHandles::unqueue(Device& device, WAVEHDR* header, DWORD flags) {
  std::lock_guard lock(mutex_);
  if (Device::Header* own = device.find(header)) own->queued = false;
  header->dwFlags = flags;
}

void OpenHandles::handedBack(Device& device, WAVEHDR* header) {
  std::lock_guard lock(mutex_);
  if (Device::Header* own = device.find(header)) own->queued = false;
  header->dwFlags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
}

MMRESULT OpenHandles::beginClose(Device& device) {
  std::lock_guard lock(mutex_);
  if (std::any_of(device.headers.begin(), device.headers.end(), [](const Device::Header& h) { return h.queued; }))
    return WAVERR_STILLPLAYING;
  device.closing = true;
  return MMSYSERR_NOERROR;
}

void OpenHandles::endClose(Device& device, bool closed) {
  std::unique_ptr<Device> gone;
  std::lock_guard lock(mutex_);
  device.closing = false;
  if (!closed) return;
  auto it = std::find_if(devices_.begin(), devices_.end(), [&](const auto& d) { return d.get() == &device; });
  if (it == devices_.end()) return;
  gone = std::move(*it);
  devices_.erase(it);
}

}  // namespace mmsystem
