// Mixer devices of the ALSA driver. Each mixer has two destination lines, "Recording"
// (destination 0) and "Playback" (destination 1). The recording destination's own
// controls are the "Capture" element, its sources the other elements with a capture
// volume or switch; the playback destination's own controls are the "Master" element,
// its sources the other elements with a playback volume or switch. Volumes are scaled
// linearly from the element's raw range to 0..65535, mute is the inverted switch.
// Element events read from the mixer's poll descriptors on a thread of the driver
// become control-change messages (977).
#pragma once

#include <poll.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <initializer_list>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "mmsystem/alsa/alsa_common.h"

namespace alsa {

// Every channel ALSA names, at most.
constexpr size_t kMaxChannels = SND_MIXER_SCHN_LAST + 1;

// One value per present channel of an element's side, in channel order, kept in place:
// reading or comparing them allocates nothing.
template <typename T>
struct ChannelValues {
  std::array<T, kMaxChannels> values{};
  size_t count = 0;

  ChannelValues() = default;
  ChannelValues(std::initializer_list<T> list) {
    for (T value : list) push(value);
  }
  void push(T value) { values[count++] = value; }
  const T* begin() const { return values.data(); }
  const T* end() const { return values.data() + count; }
  bool operator==(const ChannelValues& other) const {
    return count == other.count && std::equal(begin(), end(), other.begin());
  }
};
using Channels = ChannelValues<snd_mixer_selem_channel_id_t>;

// The levels last set on each element, so that a read gives back exactly the level that
// was set as long as the element still holds the raw values it was set to (raw ranges
// are often much coarser than 0..65535). Shared by every mixer and the output volume.
// After an element's first set, remembering and recalling it allocate nothing.
class LevelMemory {
 public:
  void remember(const std::string& key, const ChannelValues<long>& raw, const std::array<DWORD, 2>& levels);
  bool recall(const std::string& key, const ChannelValues<long>& raw, std::array<DWORD, 2>& levels) const;

 private:
  struct Levels {
    ChannelValues<long> raw;
    std::array<DWORD, 2> levels{};
  };
  mutable std::mutex mutex_;
  std::map<std::string, Levels, std::less<>> memory_;
};

// One direction (playback or capture) of a simple mixer element.
struct ElementSide {
  snd_mixer_elem_t* elem = nullptr;
  bool capture = false;
  std::string key;  // for LevelMemory: control device, element and direction

  bool hasVolume() const;
  bool hasSwitch() const;
  // 1 for a mono element, else 2 (left and right; further channels follow the side).
  DWORD channels() const;
  // Raw volume and switch of every channel present, in channel order (none without).
  ChannelValues<long> rawVolume() const;
  ChannelValues<int> switches() const;
  // The raw range of the volume.
  void volumeRange(long& min, long& max) const;
  // Left and right level (right = left on a mono element).
  std::array<DWORD, 2> levels(const LevelMemory& memory) const;
  int setLevels(DWORD left, DWORD right, LevelMemory& memory) const;
  bool muted() const;
  int setMuted(bool muted) const;
};

// A loaded simple mixer on one control device ("hw:0", "default").
class MixerSession {
 public:
  ~MixerSession();
  // Opens and loads `ctl`; on failure records it (fail()) and returns the code.
  MMRESULT open(const std::string& ctl);
  snd_mixer_t* handle() const { return mixer_; }
  const std::string& ctl() const { return ctl_; }
  // The master playback element ("Master"), or none.
  ElementSide master() const;

 private:
  snd_mixer_t* mixer_ = nullptr;
  std::string ctl_;
};

class Mixer : public HMIXER__ {
 public:
  Mixer(std::string productName, LevelMemory& memory, MessageTarget* target);
  ~Mixer() override;

  MMRESULT open(const std::string& ctl);
  MMRESULT lineInfo(MIXERLINEA& out, DWORD flags);
  MMRESULT lineControls(MIXERLINECONTROLSA& controls);
  MMRESULT getDetails(const MIXERCONTROLDETAILS& details);
  MMRESULT setDetails(const MIXERCONTROLDETAILS& details);

 private:
  struct Line {
    std::string name;
    DWORD destination = 0;
    DWORD source = 0;  // 0: the destination line itself, 1..n: its sources
    DWORD connections = 0;
    ElementSide side;  // elem null: a destination without an element of its own
    DWORD volumeId = 0;
    DWORD muteId = 0;
    // Values last seen by the event thread, to tell a volume from a mute change.
    ChannelValues<long> seenVolume;
    ChannelValues<int> seenSwitch;
    DWORD lineId() const { return (destination << 16) | source; }
    DWORD controlCount() const { return (volumeId != 0 ? 1 : 0) + (muteId != 0 ? 1 : 0); }
  };

  void buildLines();
  const Line* findLine(DWORD lineId) const;
  // The line and the kind (volume or mute) of a control id.
  Line* findControl(DWORD controlId, bool* isVolume);
  // The line and kind of the control a details record names, with mutex_ held. Fails
  // when the control does not exist, its element has gone, or the record asks for more
  // values than the control has channels.
  MMRESULT detailsControl(const MIXERCONTROLDETAILS& details, Line*& line, bool& isVolume);
  void fillControl(const Line& line, bool isVolume, MIXERCONTROLA* control) const;
  static int elementEvent(snd_mixer_elem_t* elem, unsigned int mask);
  void watch();

  std::string productName_;
  LevelMemory& memory_;
  MessageTarget* target_;
  MixerSession session_;
  std::vector<Line> lines_;
  std::mutex mutex_;  // every ALSA call on the mixer, lines_' seen values and changed_
  // Control ids found changed while handling events, each once, and those being posted;
  // both hold every control id without growing.
  std::vector<DWORD> changed_;
  std::vector<DWORD> posting_;
  std::vector<pollfd> fds_;  // the mixer's poll descriptors and the wake-up (event thread)
  WakeFd wake_;
  std::atomic<bool> quit_{false};
  std::thread events_;
};

}  // namespace alsa
