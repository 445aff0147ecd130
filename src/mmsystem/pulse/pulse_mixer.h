// The pulse driver's mixer: one device, the sound server, with two destination lines.
// "Recording" (destination 0) carries the default source's volume and mute, and has every
// input as a source line (real inputs first, then the monitors of the outputs), each with
// its volume, mute and peak meter; "Playback" (destination 1) carries the default sink's
// volume and mute, and has every sink as a source line with its volume and mute. The lines
// are those the server had when the mixer opened; a source or sink that comes or goes, or
// a new default, is posted as a line change (976), so that the owner may open the mixer
// anew. Volumes and mutes are read from what the server last reported; a change from
// outside becomes a control change message (977) with the control's id.
//
// A peak meter is a peak-detecting record stream of its source at a low rate, made when
// the meter is first read and ended once it has not been read for a second: nothing
// records from a source while nobody looks at its meter.
#pragma once

#include <array>
#include <chrono>
#include <string>
#include <vector>

#include "mmsystem/mmsystem.h"
#include "mmsystem/pulse/pulse_connection.h"

namespace pulse {

class Mixer : public HMIXER__, private Connection::Listener {
 public:
  Mixer(Connection& connection, MessageTarget* target);
  ~Mixer() override;

  // Reads the lines; afterwards changes are posted to the target.
  MMRESULT open();
  MMRESULT lineInfo(MIXERLINEA& out, DWORD flags) const;
  MMRESULT lineControls(MIXERLINECONTROLSA& controls) const;
  MMRESULT getDetails(const MIXERCONTROLDETAILS& details);
  MMRESULT setDetails(const MIXERCONTROLDETAILS& details);

  // The long name of line (destination, source) (0: the destination itself), or "".
  std::string lineName(DWORD destination, DWORD source) const;

 private:
  enum class Control { Volume = 1, Mute = 2, Peak = 3 };
  struct Meter {
    Connection* connection = nullptr;
    pa_stream* stream = nullptr;
    std::array<float, 2> highest{};  // since the last read
    std::array<int32_t, 2> shown{};  // what the last read gave
    bool fresh = false;
    std::chrono::steady_clock::time_point lastData{};
    std::chrono::steady_clock::time_point lastRead{};
  };
  struct Line {
    std::string name;
    DWORD destination = 0;
    DWORD source = 0;  // 0: the destination line, 1..n its sources
    DWORD connections = 0;
    Kind kind = Kind::Source;
    bool followsDefault = false;  // a destination line: whichever is the default
    uint32_t index = PA_INVALID_INDEX;
    std::string device;  // the source's name (for its meter)
    DWORD channels = 2;  // 1 or 2
    bool monitor = false;
    bool hasMeter = false;
    Meter meter;
    DWORD lineId() const { return (destination << 16) | source; }
    DWORD controlCount() const { return hasMeter ? 3 : 2; }
  };

  static DWORD controlId(size_t line, Control control) {
    return static_cast<DWORD>(line * 4) + static_cast<DWORD>(control);
  }
  // The line and control a control id names, or null.
  Line* findControl(DWORD id, Control& control);
  const Line* findLine(DWORD lineId) const;
  // The source or sink behind a line as the server last reported it.
  bool endpointOf(const Line& line, Endpoint& out) const;
  // With the loop's lock held: the meter's stream made, its value read.
  MMRESULT readMeter(Line& line, DWORD channels, int32_t* values);
  void openMeter(Line& line);
  static void closeMeter(Meter& meter);
  static void meterData(pa_stream* stream, size_t bytes, void* self);
  static void meterCheck(pa_mainloop_api* api, pa_time_event* event, const struct timeval* tv, void* self);
  // Waits for `op`, then asks the server for the endpoint's state so that a read right
  // after a set gives what was set.
  MMRESULT finishSet(pa_operation* op, const Line& line, uint32_t index);

  void endpointChanged(Kind kind, uint32_t index, bool volumeChanged, bool muteChanged) override;
  void listChanged() override;
  void post(UINT msg, LPARAM param);

  Connection& connection_;
  MessageTarget* target_;
  std::string productName_;
  std::vector<Line> lines_;  // fixed at open; the meters with the loop's lock
  pa_time_event* checkTimer_ = nullptr;
  bool registered_ = false;
};

}  // namespace pulse
