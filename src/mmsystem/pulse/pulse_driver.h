// The desktop's sound server through libpulse: PulseAudio, or PipeWire through its
// PulseAudio front end.
//
// Wave input devices are the server's sources, real inputs first in the server's order,
// then the monitors of the outputs; wave output devices are its sinks; at most ten per
// direction, named by their descriptions. Device -1 (WAVE_MAPPER) is the default source
// or sink as it is when the device opens. A device records from or plays to its source or
// sink by name and is never moved by the server: when that goes away, the device fails.
// One mixer device stands for the server (pulse_mixer.h). The lists follow the server's
// change subscription, so a device plugged in while the program runs is there at once.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "mmsystem/device_list.h"
#include "mmsystem/driver.h"

namespace pulse {
class Connection;
struct Endpoint;
class WaveIn;
class WaveOut;
class Mixer;
}  // namespace pulse

class PulseDriver : public Driver {
 public:
  // A driver on the server the environment names; without an answering server it has no
  // devices, and its opens fail with the reason.
  PulseDriver();
  ~PulseDriver() override;

  // A driver when a sound server answers within a moment, else null.
  static std::unique_ptr<PulseDriver> connect();

  const char* name() const override { return "pulse"; }
  std::string description() const override;

  UINT waveInGetNumDevs() override;
  MMRESULT waveInGetDevCaps(UINT_PTR deviceId, WAVEINCAPSA* caps, UINT cbCaps) override;
  MMRESULT waveInOpen(HWAVEIN* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                      DWORD_PTR instance, DWORD flags) override;
  MMRESULT waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header, UINT cbHeader) override;
  MMRESULT waveInAddBuffer(HWAVEIN handle, WAVEHDR* header, UINT cbHeader) override;
  MMRESULT waveInStart(HWAVEIN handle) override;
  MMRESULT waveInReset(HWAVEIN handle) override;
  MMRESULT waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header, UINT cbHeader) override;
  MMRESULT waveInClose(HWAVEIN handle) override;

  UINT waveOutGetNumDevs() override;
  MMRESULT waveOutGetDevCapsA(UINT_PTR deviceId, WAVEOUTCAPSA* caps, UINT cbCaps) override;
  MMRESULT waveOutOpen(HWAVEOUT* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                       DWORD_PTR instance, DWORD flags) override;
  MMRESULT waveOutPrepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT cbHeader) override;
  MMRESULT waveOutWrite(HWAVEOUT handle, WAVEHDR* header, UINT cbHeader) override;
  MMRESULT waveOutReset(HWAVEOUT handle) override;
  MMRESULT waveOutUnprepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT cbHeader) override;
  MMRESULT waveOutClose(HWAVEOUT handle) override;
  MMRESULT waveOutGetVolume(UINT_PTR deviceId, DWORD* volume) override;
  MMRESULT waveOutSetVolume(UINT_PTR deviceId, DWORD volume) override;

  UINT mixerGetNumDevs() override;
  MMRESULT mixerGetDevCapsA(UINT_PTR deviceId, MIXERCAPSA* caps, UINT cbCaps) override;
  MMRESULT mixerOpen(HMIXER* handle, UINT deviceId, DWORD_PTR callback, DWORD_PTR instance, DWORD flags) override;
  MMRESULT mixerGetLineInfoA(HMIXEROBJ handle, MIXERLINEA* line, DWORD flags) override;
  MMRESULT mixerGetLineControlsA(HMIXEROBJ handle, MIXERLINECONTROLSA* controls, DWORD flags) override;
  MMRESULT mixerGetControlDetailsA(HMIXEROBJ handle, MIXERCONTROLDETAILS* details, DWORD flags) override;
  MMRESULT mixerSetControlDetails(HMIXEROBJ handle, MIXERCONTROLDETAILS* details, DWORD flags) override;
  MMRESULT mixerClose(HMIXER handle) override;

  std::string lastErrorText(MMRESULT error) override;
  DWORD waveInOverruns(HWAVEIN handle) override;

  // The server's name ("PulseAudio (on PipeWire 0.3.65)"), empty without a server.
  std::string serverName() const;

 private:
  explicit PulseDriver(std::unique_ptr<pulse::Connection> connection, std::string why);
  // The source (input) or sink for `deviceId` (WAVE_MAPPER: the default one), if any.
  bool endpoint(bool input, UINT_PTR deviceId, pulse::Endpoint& out) const;
  template <typename Device, typename Handle>
  MMRESULT openWave(DeviceList<Device>& open, Handle* handle, bool input, UINT deviceId, const WAVEFORMATEX& format,
                    DWORD_PTR callback, DWORD_PTR instance);
  // Reads (`get`) or sets (`set`) the volume of an output device's sink.
  MMRESULT outputVolume(UINT_PTR deviceId, DWORD* get, const DWORD* set);
  // The failure of a call that needs the server when there is none.
  MMRESULT noServer() const;

  std::unique_ptr<pulse::Connection> connection_;
  std::string why_;  // why there is no connection
  DeviceList<pulse::WaveIn> waveIns_;
  DeviceList<pulse::WaveOut> waveOuts_;
  DeviceList<pulse::Mixer> mixers_;
};
