// The multimedia service: the checks every call passes before the installed driver sees
// it, the notification function that keeps the header flags of wave devices, the
// installed driver with the record of its open devices, and the service's texts for
// result codes. Which driver is installed at start is driver_choice.cpp's business.
//
// Every call is checked in the same order: the handle (MMSYSERR_INVALHANDLE unless it is
// an open device of the right kind that is not being closed), the flags
// (MMSYSERR_INVALFLAG for an unknown bit or notification kind), the records and pointers
// (MMSYSERR_INVALPARAM when missing or too small), the device number
// (MMSYSERR_BADDEVICEID beyond the driver's count; WAVE_MAPPER always passes), the format
// (WAVERR_BADFORMAT unless its fields agree on a sample wave_format.h knows), and the
// state of a header or device (WAVERR_UNPREPARED, WAVERR_STILLPLAYING,
// MMSYSERR_INVALPARAM for a header prepared for another device, MMSYSERR_NOTSUPPORTED for
// a close from the device's own notification).
#include "mmsystem/mmsystem.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>

#include "mmsystem/device_names.h"
#include "mmsystem/driver.h"
#include "mmsystem/open_handles.h"
#include "mmsystem/wave_format.h"

namespace {

using mmsystem::OpenHandles;
using Kind = OpenHandles::Kind;

mmsystem::InstalledDriver installed;
std::once_flag chosen;

// The code the service itself refused the calling thread's last call with, or 0: a text
// the driver kept for an earlier failure with the same code does not speak for it.
thread_local MMRESULT refusedHere = MMSYSERR_NOERROR;
// The wave device whose notification the calling thread is running, if any.
thread_local const OpenHandles::Device* notifying = nullptr;

MMRESULT refuse(MMRESULT code) {
  refusedHere = code;
  return code;
}

// `driver`, for a call that passed the checks.
Driver& pass(Driver& driver) {
  refusedHere = MMSYSERR_NOERROR;
  return driver;
}

// Copies `text` into a caller's area of `cch` characters, always terminated.
MMRESULT copyText(const std::string& text, LPSTR out, UINT cch) {
  if (out == nullptr || cch == 0) return MMSYSERR_INVALPARAM;
  const size_t n = std::min<size_t>(text.size(), cch - 1);
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
  return MMSYSERR_NOERROR;
}

MMRESULT errorText(MMRESULT error, LPSTR out, UINT cch) {
  std::string text = refusedHere == error ? std::string() : mmsystem::driver().lastErrorText(error);
  if (text.empty()) text = mmsystem::resultText(error);
  if (text.empty()) {
    copyText({}, out, cch);
    return MMSYSERR_BADERRNUM;
  }
  return copyText(text, out, cch);
}

bool isMapper(UINT_PTR deviceId) {
  return deviceId == static_cast<UINT_PTR>(-1) || deviceId == static_cast<UINT_PTR>(WAVE_MAPPER);
}

// A wave device number the driver can serve: the default device, or one below its count.
bool knownWaveDevice(UINT_PTR deviceId, UINT count) { return isMapper(deviceId) || deviceId < count; }

// The device number as a driver gets it: WAVE_MAPPER for the default device.
UINT waveDevice(UINT_PTR deviceId) { return isMapper(deviceId) ? WAVE_MAPPER : static_cast<UINT>(deviceId); }

// A header that can be handed to a device: there, of full size, with a buffer.
bool usableHeader(const WAVEHDR* header, UINT cb) {
  return header != nullptr && cb >= sizeof(WAVEHDR) && header->lpData != nullptr;
}

// Fills a capability record of the driver's in full and gives the caller as much of it
// as its area of `cb` bytes holds.
template <typename Record, typename Fill>
MMRESULT capabilities(Record* out, UINT cb, Fill fill) {
  if (out == nullptr || cb == 0) return refuse(MMSYSERR_INVALPARAM);
  Record record{};
  if (MMRESULT r = fill(record)) return r;
  std::memcpy(out, &record, std::min<size_t>(cb, sizeof record));
  return MMSYSERR_NOERROR;
}

// What tells wave input and wave output apart.
template <typename Handle>
struct Wave;

template <>
struct Wave<HWAVEIN> {
  static constexpr Kind kind = Kind::WaveIn;
  static constexpr UINT dataMessage = WIM_DATA;
  using Proc = WaveInProc;
  static constexpr auto count = &Driver::waveInGetNumDevs;
  static constexpr auto caps = &Driver::waveInGetDevCaps;
  static constexpr auto open = &Driver::waveInOpen;
  static constexpr auto prepare = &Driver::waveInPrepareHeader;
  static constexpr auto queue = &Driver::waveInAddBuffer;
  static constexpr auto reset = &Driver::waveInReset;
  static constexpr auto unprepare = &Driver::waveInUnprepareHeader;
  static constexpr auto close = &Driver::waveInClose;
};

template <>
struct Wave<HWAVEOUT> {
  static constexpr Kind kind = Kind::WaveOut;
  static constexpr UINT dataMessage = WOM_DONE;
  using Proc = WaveOutProc;
  static constexpr auto count = &Driver::waveOutGetNumDevs;
  static constexpr auto caps = &Driver::waveOutGetDevCapsA;
  static constexpr auto open = &Driver::waveOutOpen;
  static constexpr auto prepare = &Driver::waveOutPrepareHeader;
  static constexpr auto queue = &Driver::waveOutWrite;
  static constexpr auto reset = &Driver::waveOutReset;
  static constexpr auto unprepare = &Driver::waveOutUnprepareHeader;
  static constexpr auto close = &Driver::waveOutClose;
};

// The notification function every wave device of a driver gets: a header handed back is
// flagged done, then the caller's function runs with the caller's instance value.
template <typename Handle>
void notify(Handle handle, UINT msg, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2) {
  auto& device = *reinterpret_cast<OpenHandles::Device*>(instance);
  if (msg == Wave<Handle>::dataMessage) device.owner.handedBack(device, reinterpret_cast<WAVEHDR*>(param1));
  if (device.callback == 0) return;
  const OpenHandles::Device* outer = std::exchange(notifying, &device);
  reinterpret_cast<typename Wave<Handle>::Proc>(device.callback)(handle, msg, device.instance, param1, param2);
  notifying = outer;
}

// The record of the installed driver's open devices.
OpenHandles& openHandles() {
  mmsystem::driver();
  return installed.openHandles();
}

template <typename Handle>
OpenHandles::Device* openDevice(Handle handle, Kind kind) {
  return openHandles().find(static_cast<const void*>(handle), kind);
}

template <typename Handle, typename Record>
MMRESULT waveCaps(UINT_PTR deviceId, Record* caps, UINT cb) {
  Driver& driver = mmsystem::driver();
  if (!knownWaveDevice(deviceId, (driver.*Wave<Handle>::count)())) return refuse(MMSYSERR_BADDEVICEID);
  return capabilities(caps, cb, [&](Record& record) {
    return (pass(driver).*Wave<Handle>::caps)(waveDevice(deviceId), &record, sizeof record);
  });
}

template <typename Handle>
MMRESULT openWave(Handle* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback, DWORD_PTR instance,
                  DWORD flags) {
  Driver& driver = mmsystem::driver();
  const DWORD callbackType = flags & CALLBACK_TYPEMASK;
  if ((flags & ~(CALLBACK_TYPEMASK | WAVE_FORMAT_QUERY | WAVE_ALLOWSYNC)) != 0 ||
      (callbackType != CALLBACK_NULL && callbackType != CALLBACK_FUNCTION))
    return refuse(MMSYSERR_INVALFLAG);
  const bool query = (flags & WAVE_FORMAT_QUERY) != 0;
  if ((callbackType == CALLBACK_FUNCTION && callback == 0) || format == nullptr || (handle == nullptr && !query))
    return refuse(MMSYSERR_INVALPARAM);
  if (handle != nullptr) *handle = nullptr;
  if (!knownWaveDevice(deviceId, (driver.*Wave<Handle>::count)())) return refuse(MMSYSERR_BADDEVICEID);
  if (!waveSampleOf(*format)) return refuse(WAVERR_BADFORMAT);

  OpenHandles& open = openHandles();
  auto device = open.make(Wave<Handle>::kind, query ? 0 : callback, instance);
  Handle opened = nullptr;
  const MMRESULT r = (pass(driver).*Wave<Handle>::open)(&opened, waveDevice(deviceId), format,
                                                        reinterpret_cast<DWORD_PTR>(&notify<Handle>),
                                                        reinterpret_cast<DWORD_PTR>(device.get()), CALLBACK_FUNCTION);
  if (r != MMSYSERR_NOERROR) return r;
  if (query) {
    // Only asked whether the format would open: the device closes again unseen.
    (driver.*Wave<Handle>::close)(opened);
    return MMSYSERR_NOERROR;
  }
  *handle = opened;
  open.opened(std::move(device), static_cast<const void*>(opened));
  return MMSYSERR_NOERROR;
}

template <typename Handle>
MMRESULT prepareWave(Handle handle, WAVEHDR* header, UINT cb) {
  Driver& driver = mmsystem::driver();
  OpenHandles::Device* device = openDevice(handle, Wave<Handle>::kind);
  if (device == nullptr) return refuse(MMSYSERR_INVALHANDLE);
  if (!usableHeader(header, cb)) return refuse(MMSYSERR_INVALPARAM);
  bool added = false;
  if (MMRESULT r = openHandles().prepare(*device, header, added)) return refuse(r);
  const MMRESULT r = (pass(driver).*Wave<Handle>::prepare)(handle, header, cb);
  if (r != MMSYSERR_NOERROR && added) openHandles().unprepared(*device, header);
  return r;
}

template <typename Handle>
MMRESULT queueWave(Handle handle, WAVEHDR* header, UINT cb) {
  Driver& driver = mmsystem::driver();
  OpenHandles::Device* device = openDevice(handle, Wave<Handle>::kind);
  if (device == nullptr) return refuse(MMSYSERR_INVALHANDLE);
  if (!usableHeader(header, cb)) return refuse(MMSYSERR_INVALPARAM);
  DWORD flags = 0;
  if (MMRESULT r = openHandles().queue(*device, header, flags)) return refuse(r);
  if constexpr (Wave<Handle>::kind == Kind::WaveIn) {
    // An input header starts empty and with nothing lost before it.
    header->dwBytesRecorded = 0;
    header->dwOverruns = 0;
    header->dwFramesLost = 0;
  }
  const MMRESULT r = (pass(driver).*Wave<Handle>::queue)(handle, header, cb);
  if (r != MMSYSERR_NOERROR) openHandles().unqueue(*device, header, flags);
  return r;
}

template <typename Handle, typename Call>
MMRESULT onOpenWave(Handle handle, Call call) {
  Driver& driver = mmsystem::driver();
  if (openDevice(handle, Wave<Handle>::kind) == nullptr) return refuse(MMSYSERR_INVALHANDLE);
  return (pass(driver).*call)(handle);
}

template <typename Handle>
MMRESULT unprepareWave(Handle handle, WAVEHDR* header, UINT cb) {
  Driver& driver = mmsystem::driver();
  OpenHandles::Device* device = openDevice(handle, Wave<Handle>::kind);
  if (device == nullptr) return refuse(MMSYSERR_INVALHANDLE);
  if (header == nullptr || cb < sizeof(WAVEHDR)) return refuse(MMSYSERR_INVALPARAM);
  if (MMRESULT r = openHandles().checkUnprepare(*device, header)) return refuse(r);
  const MMRESULT r = (pass(driver).*Wave<Handle>::unprepare)(handle, header, cb);
  if (r == MMSYSERR_NOERROR) openHandles().unprepared(*device, header);
  return r;
}

// Closes a wave device or a mixer: never one that holds headers, never from inside its
// own notification (the close waits for that to end).
template <typename Handle, typename Close>
MMRESULT closeDevice(Handle handle, Kind kind, Close close) {
  Driver& driver = mmsystem::driver();
  OpenHandles& open = openHandles();
  OpenHandles::Device* device = openDevice(handle, kind);
  if (device == nullptr) return refuse(MMSYSERR_INVALHANDLE);
  if (device == notifying) return refuse(MMSYSERR_NOTSUPPORTED);
  if (MMRESULT r = open.beginClose(*device)) return refuse(r);
  const MMRESULT r = (pass(driver).*close)(handle);
  open.endClose(*device, r == MMSYSERR_NOERROR);
  return r;
}

template <typename Handle>
MMRESULT closeWave(Handle handle) {
  return closeDevice(handle, Wave<Handle>::kind, Wave<Handle>::close);
}

// The refusal of a mixer call for its handle and its flags, or 0.
MMRESULT mixerRefusal(HMIXEROBJ handle, bool knownFlags) {
  if (openDevice(handle, Kind::Mixer) == nullptr) return refuse(MMSYSERR_INVALHANDLE);
  if (!knownFlags) return refuse(MMSYSERR_INVALFLAG);
  return MMSYSERR_NOERROR;
}

// One four-byte value per channel, at least one, no multiple items.
bool usableDetails(const MIXERCONTROLDETAILS* details) {
  return details != nullptr && details->cbStruct >= sizeof(MIXERCONTROLDETAILS) &&
         details->cbDetails == sizeof(DWORD) && details->paDetails != nullptr && details->cMultipleItems == 0 &&
         details->cChannels > 0;
}

}  // namespace

namespace mmsystem {

InstalledDriver::InstalledDriver() = default;
InstalledDriver::InstalledDriver(std::nullptr_t) {}

InstalledDriver::InstalledDriver(std::unique_ptr<Driver> driver) {
  if (!driver) return;
  handles_ = std::make_unique<OpenHandles>();
  driver_ = std::move(driver);
}

InstalledDriver::InstalledDriver(InstalledDriver&& other) noexcept
    : handles_(std::move(other.handles_)), driver_(std::move(other.driver_)) {}

InstalledDriver& InstalledDriver::operator=(InstalledDriver&& other) noexcept {
  if (this != &other) {
    release();
    handles_ = std::move(other.handles_);
    driver_ = std::move(other.driver_);
  }
  return *this;
}

InstalledDriver::~InstalledDriver() { release(); }

void InstalledDriver::release() noexcept {
  // The driver closes the devices it still has open, and their notifications read the
  // record: the record goes only after the driver.
  driver_.reset();
  handles_.reset();
}

Driver& driver() {
  std::call_once(chosen, [] {
    if (!installed) installed = chooseDriver();
  });
  return *installed.get();
}

InstalledDriver installDriver(InstalledDriver driver) {
  // Without a driver every later call would have nothing to go to: the one in place stays.
  if (!driver) return {};
  std::call_once(chosen, [] {});
  InstalledDriver previous = std::move(installed);
  installed = std::move(driver);
  return previous;
}

const char* resultText(MMRESULT error) {
  switch (error) {
    case MMSYSERR_NOERROR: return "The operation succeeded.";
    case MMSYSERR_ERROR: return "The sound system reported an unspecified error.";
    case MMSYSERR_BADDEVICEID: return "There is no sound device with this number.";
    case MMSYSERR_NOTENABLED: return "The sound driver is not enabled.";
    case MMSYSERR_ALLOCATED:
      return "The sound device is busy: another program or another part of this one is using it.";
    case MMSYSERR_INVALHANDLE: return "The sound device handle is not valid.";
    case MMSYSERR_NODRIVER: return "No sound driver is installed.";
    case MMSYSERR_NOMEM: return "There is not enough memory for the sound device.";
    case MMSYSERR_NOTSUPPORTED: return "The sound device does not support this function.";
    case MMSYSERR_BADERRNUM: return "The error number is unknown.";
    case MMSYSERR_INVALFLAG: return "A flag passed to the sound system is not valid.";
    case MMSYSERR_INVALPARAM: return "A value passed to the sound system is not valid.";
    case WAVERR_BADFORMAT: return "The sound device does not support this recording or playback format.";
    case WAVERR_STILLPLAYING: return "The sound device is still busy with queued blocks.";
    case WAVERR_UNPREPARED: return "The block was not prepared for the sound device.";
    case MIXERR_INVALLINE: return "The mixer line does not exist.";
    case MIXERR_INVALCONTROL: return "The mixer control does not exist.";
    case MIXERR_INVALVALUE: return "The value is out of range for this mixer control.";
    default: return "";
  }
}

}  // namespace mmsystem

UINT waveInGetNumDevs() { return pass(mmsystem::driver()).waveInGetNumDevs(); }
MMRESULT waveInGetDevCaps(UINT_PTR id, WAVEINCAPSA* caps, UINT cb) { return waveCaps<HWAVEIN>(id, caps, cb); }
MMRESULT waveInOpen(HWAVEIN* h, UINT id, const WAVEFORMATEX* f, DWORD_PTR cb, DWORD_PTR inst, DWORD flags) {
  return openWave(h, id, f, cb, inst, flags);
}
MMRESULT waveInPrepareHeader(HWAVEIN h, WAVEHDR* hdr, UINT cb) { return prepareWave(h, hdr, cb); }
MMRESULT waveInAddBuffer(HWAVEIN h, WAVEHDR* hdr, UINT cb) { return queueWave(h, hdr, cb); }
MMRESULT waveInStart(HWAVEIN h) { return onOpenWave(h, &Driver::waveInStart); }
MMRESULT waveInReset(HWAVEIN h) { return onOpenWave(h, &Driver::waveInReset); }
MMRESULT waveInUnprepareHeader(HWAVEIN h, WAVEHDR* hdr, UINT cb) { return unprepareWave(h, hdr, cb); }
MMRESULT waveInClose(HWAVEIN h) { return closeWave(h); }
MMRESULT waveInGetErrorTextA(MMRESULT error, LPSTR text, UINT cch) { return errorText(error, text, cch); }
MMRESULT waveInGetDeviceNameA(UINT_PTR id, LPSTR name, UINT cch) {
  Driver& driver = mmsystem::driver();
  if (!knownWaveDevice(id, driver.waveInGetNumDevs())) return refuse(MMSYSERR_BADDEVICEID);
  if (name == nullptr || cch == 0) return refuse(MMSYSERR_INVALPARAM);
  std::string whole;
  MMRESULT r = pass(driver).waveInDeviceName(waveDevice(id), whole);
  if (r == MMSYSERR_NOTSUPPORTED) {
    WAVEINCAPSA caps{};
    r = driver.waveInGetDevCaps(waveDevice(id), &caps, sizeof caps);
    whole = std::string(caps.szPname, strnlen(caps.szPname, sizeof caps.szPname));
  }
  if (r != MMSYSERR_NOERROR) return r;
  mmsystem::copyName(name, cch, whole);
  return MMSYSERR_NOERROR;
}

UINT waveOutGetNumDevs() { return pass(mmsystem::driver()).waveOutGetNumDevs(); }
MMRESULT waveOutGetDevCapsA(UINT_PTR id, WAVEOUTCAPSA* caps, UINT cb) { return waveCaps<HWAVEOUT>(id, caps, cb); }
MMRESULT waveOutOpen(HWAVEOUT* h, UINT id, const WAVEFORMATEX* f, DWORD_PTR cb, DWORD_PTR inst, DWORD flags) {
  return openWave(h, id, f, cb, inst, flags);
}
MMRESULT waveOutPrepareHeader(HWAVEOUT h, WAVEHDR* hdr, UINT cb) { return prepareWave(h, hdr, cb); }
MMRESULT waveOutWrite(HWAVEOUT h, WAVEHDR* hdr, UINT cb) { return queueWave(h, hdr, cb); }
MMRESULT waveOutReset(HWAVEOUT h) { return onOpenWave(h, &Driver::waveOutReset); }
MMRESULT waveOutUnprepareHeader(HWAVEOUT h, WAVEHDR* hdr, UINT cb) { return unprepareWave(h, hdr, cb); }
MMRESULT waveOutClose(HWAVEOUT h) { return closeWave(h); }
MMRESULT waveOutGetVolume(UINT_PTR id, DWORD* volume) {
  Driver& driver = mmsystem::driver();
  if (!knownWaveDevice(id, driver.waveOutGetNumDevs())) return refuse(MMSYSERR_BADDEVICEID);
  if (volume == nullptr) return refuse(MMSYSERR_INVALPARAM);
  return pass(driver).waveOutGetVolume(waveDevice(id), volume);
}
MMRESULT waveOutSetVolume(UINT_PTR id, DWORD volume) {
  Driver& driver = mmsystem::driver();
  if (!knownWaveDevice(id, driver.waveOutGetNumDevs())) return refuse(MMSYSERR_BADDEVICEID);
  return pass(driver).waveOutSetVolume(waveDevice(id), volume);
}
MMRESULT waveOutGetErrorTextA(MMRESULT error, LPSTR text, UINT cch) { return errorText(error, text, cch); }

UINT mixerGetNumDevs() { return pass(mmsystem::driver()).mixerGetNumDevs(); }

MMRESULT mixerGetDevCapsA(UINT_PTR id, MIXERCAPSA* caps, UINT cb) {
  Driver& driver = mmsystem::driver();
  if (id >= driver.mixerGetNumDevs()) return refuse(MMSYSERR_BADDEVICEID);
  return capabilities(caps, cb,
                      [&](MIXERCAPSA& record) { return pass(driver).mixerGetDevCapsA(id, &record, sizeof record); });
}

MMRESULT mixerOpen(HMIXER* handle, UINT id, DWORD_PTR callback, DWORD_PTR instance, DWORD flags) {
  Driver& driver = mmsystem::driver();
  const DWORD callbackType = flags & CALLBACK_TYPEMASK;
  if ((flags & ~CALLBACK_TYPEMASK) != 0 || (callbackType != CALLBACK_NULL && callbackType != CALLBACK_WINDOW))
    return refuse(MMSYSERR_INVALFLAG);
  if (handle == nullptr || (callbackType == CALLBACK_WINDOW && callback == 0)) return refuse(MMSYSERR_INVALPARAM);
  *handle = nullptr;
  if (id >= driver.mixerGetNumDevs()) return refuse(MMSYSERR_BADDEVICEID);
  auto device = openHandles().make(Kind::Mixer, 0, 0);
  HMIXER opened = nullptr;
  const MMRESULT r =
      pass(driver).mixerOpen(&opened, id, callbackType == CALLBACK_WINDOW ? callback : 0, instance, callbackType);
  if (r != MMSYSERR_NOERROR) return r;
  *handle = opened;
  openHandles().opened(std::move(device), static_cast<const void*>(opened));
  return MMSYSERR_NOERROR;
}

MMRESULT mixerGetLineInfoA(HMIXEROBJ h, MIXERLINEA* line, DWORD flags) {
  Driver& driver = mmsystem::driver();
  if (MMRESULT r = mixerRefusal(h, flags == MIXER_GETLINEINFOF_DESTINATION || flags == MIXER_GETLINEINFOF_SOURCE))
    return r;
  if (line == nullptr || line->cbStruct < sizeof(MIXERLINEA)) return refuse(MMSYSERR_INVALPARAM);
  return pass(driver).mixerGetLineInfoA(h, line, flags);
}

MMRESULT mixerGetLineControlsA(HMIXEROBJ h, MIXERLINECONTROLSA* controls, DWORD flags) {
  Driver& driver = mmsystem::driver();
  if (MMRESULT r = mixerRefusal(h, flags == MIXER_GETLINECONTROLSF_ALL)) return r;
  if (controls == nullptr || controls->cbStruct < sizeof(MIXERLINECONTROLSA) ||
      controls->cbmxctrl < sizeof(MIXERCONTROLA) || (controls->cControls > 0 && controls->pamxctrl == nullptr))
    return refuse(MMSYSERR_INVALPARAM);
  return pass(driver).mixerGetLineControlsA(h, controls, flags);
}

MMRESULT mixerGetControlDetailsA(HMIXEROBJ h, MIXERCONTROLDETAILS* details, DWORD flags) {
  Driver& driver = mmsystem::driver();
  if (MMRESULT r = mixerRefusal(h, flags == MIXER_GETCONTROLDETAILSF_VALUE)) return r;
  if (!usableDetails(details)) return refuse(MMSYSERR_INVALPARAM);
  return pass(driver).mixerGetControlDetailsA(h, details, flags);
}

MMRESULT mixerSetControlDetails(HMIXEROBJ h, MIXERCONTROLDETAILS* details, DWORD flags) {
  Driver& driver = mmsystem::driver();
  if (MMRESULT r = mixerRefusal(h, flags == MIXER_SETCONTROLDETAILSF_VALUE)) return r;
  if (!usableDetails(details)) return refuse(MMSYSERR_INVALPARAM);
  return pass(driver).mixerSetControlDetails(h, details, flags);
}

MMRESULT mixerGetLineNameA(HMIXEROBJ h, DWORD lineId, LPSTR name, UINT cch) {
  Driver& driver = mmsystem::driver();
  if (MMRESULT r = mixerRefusal(h, true)) return r;
  if (name == nullptr || cch == 0) return refuse(MMSYSERR_INVALPARAM);
  std::string whole;
  const MMRESULT r = pass(driver).mixerLineName(h, lineId, whole);
  if (r != MMSYSERR_NOERROR) return r;
  mmsystem::copyName(name, cch, whole);
  return MMSYSERR_NOERROR;
}

MMRESULT mixerClose(HMIXER h) { return closeDevice(h, Kind::Mixer, &Driver::mixerClose); }
