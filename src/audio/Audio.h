// The audio component: a recorder that fills PCM blocks from a wave input device and
// hands them to an event and a WAV file, a player for a wave output device, and a
// mixer object that lists lines and reads and writes volume, mute and peak meters.
// Failures are reported by a Boolean result and ErrorMessage, never by exceptions,
// except a WAV file that cannot be created (EFCreateError).
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "audio/frame_ring.h"
#include "audio/notify_window.h"
#include "mmsystem/mmsystem.h"
#include "mmsystem/wave_format.h"

class TAudio;
class TRecorder;
class TPlayer;
class TMixerSettings;
class WaveFileStream;
class RecordingMarks;

// Base of every object that can be the sender of an event.
class TObject {
 public:
  virtual ~TObject() = default;
};

enum class TBPS : uint8_t { _8 = 0, _16 = 1 };
enum class TChannels : uint8_t { Mono = 0, Stereo = 1 };

// The multimedia service's sample for a sample width.
constexpr WaveSample waveSampleOfBits(TBPS bits) { return bits == TBPS::_16 ? WaveSample::S16 : WaveSample::U8; }

// Raised on the service thread for each block from the triggering block on (one whose
// file write failed ends the run instead): LP the block (the left channel with
// SplitChannels), RP the right channel or nullptr, BufferSize the bytes behind LP. The
// memory is valid only during the call.
using TNotifyAudioRecordEvent = std::function<void(TObject* Sender, void* LP, void* RP, uint16_t BufferSize)>;
// Raised on the service thread after each played block while more blocks are queued.
using TNotifyBufferPlayedEvent = std::function<void(TObject* Sender)>;
// Raised on the window thread after the output device has closed: the stream has ended,
// the player was stopped, or the output device failed (ErrorMessage then says why; the
// player is closed and its stream dropped).
using TNotifyPlayedEvent = std::function<void(TObject* Sender)>;
// Raised on the window thread when the volume or mute of a line of the component's
// current mixer changed.
using TNotifyMixerChange = std::function<void(TObject* Sender, uint16_t Destination, uint16_t Source)>;
// Raised on the window thread when the driver of the component's current mixer reports
// that lines came or went.
using TNotifyMixerLineChange = std::function<void(TObject* Sender)>;
// Raised on the window thread, once per run, when the recorder stopped a recording or a
// monitoring run by itself (the input device failed, a write failed, a next file could not
// be created, a buffer could not be queued again). The file is complete; ErrorMessage holds
// the reason.
using TNotifyRecordStoppedEvent = std::function<void(TObject* Sender)>;
// Raised on the service thread, before the block's OnRecord, when the input device lost
// input right before the block (Overruns recovered, FramesLost frames lost, 0 when the
// driver cannot tell); also while monitoring or waiting for the trigger. While the file is
// written, the recorder has put FramesLost frames of silence in their place, so the file's
// timeline follows the wall clock.
using TNotifyDropoutEvent = std::function<void(TObject* Sender, uint32_t Overruns, uint32_t FramesLost)>;
// Raised on the window thread when a recording continued in a next file because the
// current one would have passed the 32-bit size limit; the previous file is complete and
// FileName is the file written from now on.
using TNotifyFileChangedEvent = std::function<void(TObject* Sender, const std::string& FileName)>;

// What a recording's files carry beyond the plain WAV. Both off: the files are the plain
// ones, byte for byte.
struct WaveFileOptions {
  bool broadcast = false;             // a broadcast chunk with the file's origination
  bool rf64 = false;                  // one file past 4 GiB instead of a next file
  std::string software = "Tessaron";  // the program (and its version) in the coding history
  bool operator==(const WaveFileOptions&) const = default;
};

// A WAV file that cannot be created. Its text is "Datei <name> kann nicht erstellt werden".
class EFCreateError : public std::runtime_error {
 public:
  explicit EFCreateError(const std::string& fileName);
};

// The bytes of sample data the WAV file `fileName` holds: what follows the header of its
// data chunk, to the end of the file. 0 when it cannot be read or has no data chunk.
uint64_t WaveFileDataBytes(const std::string& fileName);
// The bytes before the sample data in every file a recording in this format writes.
uint32_t WaveHeaderBytes(TBPS bits, TChannels channels, uint32_t rate, const WaveFileOptions& options = {});

// Memory for formats, headers and buffers; tests replace it to make an allocation fail.
namespace audio_memory {
using Allocator = void* (*)(size_t size);
extern Allocator allocate;
void release(void* p);
}  // namespace audio_memory

// Format, buffers and ring indexes shared by the recorder and the player. A format set
// while the device is open takes effect for the buffers once it has closed: until then
// BufferSize, WaveFormat and the buffers stay those the open device works with.
class TAudioSettings : public TObject {
 public:
  explicit TAudioSettings(TAudio* owner);
  ~TAudioSettings() override;

  TChannels Channels() const { return channels_; }
  void setChannels(TChannels v);
  TBPS BitsPerSample() const { return bits_; }
  void setBitsPerSample(TBPS v);
  uint16_t SampleRate() const { return sampleRate_; }
  void setSampleRate(uint16_t v);
  uint16_t BufferSize() const { return bufferSize_; }
  const WAVEFORMATEX* WaveFormat() const { return waveFormat_; }

  // Builds the format record and the four headers and buffers for the current format.
  bool AllocBuffers();
  void FreeBuffers();
  // Rebuilds the buffers for the format now set; while the device is open (it may be
  // filling or playing them) the rebuild waits until it has closed.
  void reallocate();

  TAudio* Owner() const { return owner_; }

  std::array<WAVEHDR*, 4> Headers{};
  std::array<char*, 4> Buffers{};
  std::array<char*, 4> RightBuffers{};
  int32_t QueueIndex = 0;
  int32_t DoneIndex = 0;
  int32_t QueuedCount = 0;
  std::atomic<bool> IsOpen{false};
  std::atomic<bool> Active{false};

 protected:
  friend class TAudio;
  // Points each header at its buffer with the full length and everything else zero.
  void setupHeaders();
  // Carries out a rebuild that waited for the device to close (window thread, closed).
  void applyPendingFormat();
  // The format setters of TAudio change these directly, then reallocate.
  TAudio* owner_;
  TChannels channels_ = TChannels::Mono;
  TBPS bits_ = TBPS::_8;
  uint16_t sampleRate_ = 11025;
  uint16_t noSamples_ = 8192;
  WAVEFORMATEX* waveFormat_ = nullptr;
  uint16_t bufferSize_ = 0;
  bool reallocPending_ = false;
};

class TRecorder : public TAudioSettings {
  friend void completeWaveFile(TRecorder& recorder);

 public:
  explicit TRecorder(TAudio* owner);
  ~TRecorder() override;

  uint16_t NoSamples() const { return noSamples_; }
  void setNoSamples(uint16_t v);
  bool SplitChannels() const { return splitChannels_.load(); }
  void setSplitChannels(bool v);
  uint16_t TrigLevel() const { return trigLevel_.load(); }
  void setTrigLevel(uint16_t v) { trigLevel_.store(v); }
  // Milliseconds of input before the triggering block that a triggered recording keeps
  // (0..kMaxPreTrigger, clamped; 0 keeps nothing).
  static constexpr int32_t kMaxPreTrigger = 5000;
  int32_t PreTrigger() const { return preTrigger_; }
  void setPreTrigger(int32_t v) { preTrigger_ = std::clamp(v, int32_t{0}, kMaxPreTrigger); }

  bool Open();
  bool Start();
  bool Stop();
  bool Close();
  bool AddBuffer();

  // Creates the WAV file; with Data nil it stays open for recording, otherwise the
  // stream(s) are written at once and the file is completed. Throws EFCreateError.
  // A recording that would pass the 32-bit size limit goes on in "<name>-2.wav",
  // "<name>-3.wav", ... beside it (OnRecordFileChanged).
  void CreateWaveFile(const std::string& FileName, std::istream* Data, std::istream* RightData);
  // Lowers the data limit of every file of the following recordings below the 4 GiB the
  // header allows (tests reach the limit without writing it).
  void setMaxDataBytes(uint64_t limit) { maxDataBytes_ = limit; }
  // What the files of the following recordings carry beyond the plain WAV (set before
  // CreateWaveFile).
  const WaveFileOptions& FileOptions() const { return fileOptions_; }
  void setFileOptions(const WaveFileOptions& options) { fileOptions_ = options; }
  // A marker at the current position of the recording (the frames in its files so far),
  // kept as a cue point of the file it falls in; any thread. The markers of the
  // recording so far; 0 (and no marker) without an open file.
  uint32_t AddMarker();
  uint32_t MarkerCount() const;

  std::atomic<bool> Probing{false};
  std::atomic<bool> Triggered{false};
  std::atomic<bool> WaveFileOpen{false};
  HWAVEIN WaveIn = nullptr;
  std::unique_ptr<WaveFileStream> WaveStream;
  NotifyWindow* notifyWindow() const { return notifyWindow_.get(); }

  // The multimedia service's callback (service thread).
  static void CALLBACK_waveIn(HWAVEIN, UINT msg, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2);

 private:
  friend class TAudio;
  // Service thread: one filled block, and what it brings (dropout, trigger, file, OnRecord).
  void onData();
  void deliver(const WAVEHDR& header, char* lp, char* rp, uint16_t n);
  bool triggerTest(const char* data, uint16_t n);
  void splitBlock(char* lp, char* rp, uint16_t n);
  // Service thread: appends whole frames to the recording, going on in the next file where
  // the current one is full. False when the recording cannot go on (it then ends by itself).
  bool writeToFile(const char* data, size_t size);
  bool writeSilence(uint64_t frames);
  bool nextFile();
  // Service thread, before the first frames of a recording go to its file: they were
  // taken `framesAhead` frames before now; the broadcast chunk says so.
  void stampOrigin(uint64_t framesAhead);
  // Service thread: lost input while waiting for the trigger is kept as silence.
  void keepSilence(uint64_t frames);
  // Window thread, before the device opens: the kept input and the silence a run needs.
  void prepareRun();
  // Service thread: the recording cannot go on (the device failed, a write failed, no next
  // file); blocks are ignored from now on and the window thread is asked to stop and tell
  // the owner.
  void endByItself(std::string reason);
  // Window thread: the recorder's window.
  void onMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  void tellStopped();
  std::atomic<bool> splitChannels_{false};
  std::atomic<uint16_t> trigLevel_{0};
  int32_t preTrigger_ = 0;
  std::unique_ptr<NotifyWindow> notifyWindow_;
  // True while the data notification runs; Stop waits for it to be false before it
  // completes the WAV file.
  std::atomic<bool> inData_{false};
  // Counts the opens, so a message posted for an earlier run is not applied to a later one.
  std::atomic<uint32_t> run_{0};
  // The run is ending by itself: its buffers are not queued again.
  std::atomic<bool> ending_{false};
  // OnRecordStopped has been raised for this run (window thread).
  bool toldStopped_ = false;
  // Why the recorder ended a run by itself (written before the stop message is posted).
  std::string stopReason_;
  // The input before the triggering block (service thread during a run).
  FrameRing kept_;
  // Silence in the opened format, written in its place where input was lost.
  std::vector<char> silence_;
  // The file the recording began in, the number of the file written now, and the data
  // limit of each file.
  std::string firstFileName_;
  uint32_t fileNumber_ = 1;
  uint64_t maxDataBytes_;
  WaveFileOptions fileOptions_;
  // The recording's origin and cue points, and the frame of the recording at which the
  // file written now begins.
  std::unique_ptr<RecordingMarks> marks_;
  uint64_t fileStartFrame_ = 0;
};

class TPlayer : public TAudioSettings {
 public:
  explicit TPlayer(TAudio* owner);
  ~TPlayer() override;

  bool Open();
  void Close();
  void Stop();
  int32_t FillBuffer();
  void GetOutVolume(uint16_t& Left, uint16_t& Right);
  void SetOutVolume(uint16_t Left, uint16_t Right);
  // Gives the player a stream to play (owned from now on) and `loops` further passes
  // over it; opens the device if needed and writes the first blocks.
  bool Play(std::unique_ptr<std::istream> stream, uint16_t loops);

  HWAVEOUT WaveOut = nullptr;
  uint16_t PlayLoops = 0;
  int32_t PlayPosition = 0;
  std::unique_ptr<std::istream> PlayStream;
  bool FormatSaved = false;
  TChannels SavedChannels = TChannels::Mono;
  TBPS SavedBitsPerSample = TBPS::_8;
  uint16_t SavedSampleRate = 0;
  std::atomic<bool> ClosePosted{false};
  NotifyWindow* notifyWindow() const { return notifyWindow_.get(); }
  NotifyWindow* closeWindow() const { return closeWindow_.get(); }

  static void CALLBACK_waveOut(HWAVEOUT, UINT msg, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2);

 private:
  friend class TAudio;
  // The output device failed (service thread); the player then stops on the window thread
  // and OnPlayed tells the owner, with ErrorMessage saying why.
  void onFailure(MMRESULT code, const char* text);
  void stopAfterFailure();
  // The done notification (service thread) and the refill (window thread) share the
  // ring indexes and counts under this lock.
  struct Sync;
  void onDone();
  // One refill of the played-block message (957) or of Play: writes the next block, then
  // posts the close when the stream has ended and nothing is queued or waiting any more.
  void refill(bool fromMessage);
  std::unique_ptr<Sync> sync_;
  uint32_t closeRuns_ = 0;  // Close calls so far: tells Stop whether a pending close ran
  std::string failure_;     // what the failed device said (service thread, then window thread)
  bool failed_ = false;     // the close under way ends a playback whose device failed
  std::unique_ptr<NotifyWindow> notifyWindow_;
  std::unique_ptr<NotifyWindow> closeWindow_;
};

// One line of a mixer device as the component keeps it.
struct TMixerLine {
  uint16_t Destination = 0;
  uint16_t Source = 0;
  std::string Name;
  uint32_t VolumeID = 65535;
  uint32_t MuteID = 65535;
  uint32_t PeakID = 65535;
  uint16_t PeakChannels = 0;
  uint16_t LineFlags = 0;
  bool UniformVolume = false;
  bool HasControls = false;
  std::unique_ptr<TMixerLine> Next;
};

class TMixerSettings : public TObject {
 public:
  explicit TMixerSettings(TAudio* owner);
  ~TMixerSettings() override;

  bool BuildLineTree(int32_t device);
  bool GetMixerInfo(std::string& DeviceName, std::string& Description);
  const std::vector<std::string>& GetDestinations();
  const std::vector<std::string>& GetSources(uint16_t Destination);
  void GetLineName(uint16_t Destination, uint16_t Source, std::string& Name);
  bool GetVolume(uint16_t Destination, uint16_t Source, uint16_t& Left, uint16_t& Right, bool& Mute, uint8_t& Flags);
  bool SetVolume(uint16_t Destination, uint16_t Source, uint16_t Left, uint16_t Right, bool Mute);
  bool GetPeak(uint16_t Destination, uint16_t Source, int32_t& Left, int32_t& Right);

  TAudio* Owner() const { return owner_; }
  HMIXER MixerHandle = nullptr;
  std::unique_ptr<TMixerLine> Lines;
  bool Valid = false;
  NotifyWindow* notifyWindow() const { return notifyWindow_.get(); }

 private:
  friend class TAudio;
  void releaseLines();
  const TMixerLine* findLine(uint16_t Destination, uint16_t Source) const;
  // A change message of mixer `from`; one of a mixer closed since is dropped.
  void onControlChange(HMIXER from, DWORD controlId);
  // A line change message of mixer `from` (lines or devices came or went); one of a
  // mixer closed since is dropped.
  void onLineChange(HMIXER from);
  TAudio* owner_;
  std::vector<std::string> list_;
  std::unique_ptr<NotifyWindow> notifyWindow_;
};

class TAudio : public TObject {
 public:
  TAudio();
  ~TAudio() override;

  std::string Name;
  int32_t Tag = 0;

  const std::string& Version() const { return version_; }
  void setVersion(const std::string&) {}
  int32_t AudioDeviceID() const { return audioDeviceId_; }
  void setAudioDeviceID(int32_t v);
  int32_t MixerDeviceID() const { return mixerDeviceId_; }
  void setMixerDeviceID(int32_t v);
  bool SeparateCtrls() const { return separateCtrls_; }
  void setSeparateCtrls(bool v) { separateCtrls_ = v; }

  TRecorder* Recorder() const { return recorder_.get(); }
  TPlayer* Player() const { return player_.get(); }
  TMixerSettings* Mixer() const { return mixer_.get(); }
  NotifyWindow* notifyWindow() const { return notifyWindow_.get(); }

  // Describes wave device AudioDeviceID: its name and a text of formats, controls and
  // duplex support. False past the last device.
  bool GetDeviceInfo(std::string& DeviceName, std::string& Description);

  TNotifyAudioRecordEvent OnRecord;
  TNotifyBufferPlayedEvent OnBufferPlayed;
  TNotifyPlayedEvent OnPlayed;
  TNotifyMixerChange OnMixerChange;
  // The mixer's lines stay as they were until it is opened again.
  TNotifyMixerLineChange OnMixerLineChange;
  TNotifyRecordStoppedEvent OnRecordStopped;
  TNotifyDropoutEvent OnDropout;
  TNotifyFileChangedEvent OnRecordFileChanged;
  std::string ErrorMessage;

  // The shutdown query (the session ends, or a terminating signal): shuts the devices
  // down and completes an open WAV file; the component stays usable.
  void ShutdownQuery();

  // Failure text of a multimedia call: own message, a blank and the service's text.
  void setWaveInError(const std::string& message, MMRESULT code);
  void setWaveOutError(const std::string& message, MMRESULT code);

  // Format setters applied to one of the two objects (with SeparateCtrls false, to both).
  void applyChannels(TAudioSettings* target, TChannels v);
  void applyBitsPerSample(TAudioSettings* target, TBPS v);
  void applySampleRate(TAudioSettings* target, uint16_t v);
  void applyNoSamples(uint16_t v);

 private:
  std::string version_ = "4.1 (32bit)";
  int32_t audioDeviceId_ = -1;
  int32_t mixerDeviceId_ = 0;
  bool separateCtrls_ = false;
  uint32_t waveFormatSize_ = 18;
  std::unique_ptr<TRecorder> recorder_;
  std::unique_ptr<TPlayer> player_;
  std::unique_ptr<NotifyWindow> notifyWindow_;
  std::unique_ptr<TMixerSettings> mixer_;
};
