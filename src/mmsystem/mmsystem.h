// The multimedia service: wave input, wave output and mixer calls with result codes,
// format records, headers and callback messages. The audio component talks to sound
// cards only through these functions; each call is forwarded to the driver chosen at
// start (the virtual sound card or ALSA, see driver.h).
#pragma once

#include <cstddef>
#include <cstdint>

using UINT = uint32_t;
using DWORD = uint32_t;
using WORD = uint16_t;
using UINT_PTR = uintptr_t;
using DWORD_PTR = uintptr_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using MMRESULT = uint32_t;
using LPSTR = char*;

// Result codes. 0 is success.
constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_ERROR = 1;
constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
constexpr MMRESULT MMSYSERR_NOTENABLED = 3;
constexpr MMRESULT MMSYSERR_ALLOCATED = 4;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NODRIVER = 6;
constexpr MMRESULT MMSYSERR_NOMEM = 7;
constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;
constexpr MMRESULT MMSYSERR_BADERRNUM = 9;
constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT WAVERR_BADFORMAT = 32;
constexpr MMRESULT WAVERR_STILLPLAYING = 33;
constexpr MMRESULT WAVERR_UNPREPARED = 34;
constexpr MMRESULT MIXERR_INVALLINE = 1024;
constexpr MMRESULT MIXERR_INVALCONTROL = 1025;
constexpr MMRESULT MIXERR_INVALVALUE = 1026;

// Messages: wave input, wave output, mixer notifications.
constexpr UINT WOM_OPEN = 955;
constexpr UINT WOM_CLOSE = 956;
constexpr UINT WOM_DONE = 957;
constexpr UINT WIM_OPEN = 958;
constexpr UINT WIM_CLOSE = 959;
constexpr UINT WIM_DATA = 960;
// A wave device failed for good (unplugged, sound server gone, an error it cannot
// recover from). The device first hands back every queued header (WIM_DATA / WOM_DONE,
// each with what it holds), then raises this message once: param1 is the result code,
// param2 a `const char*` naming the device and the reason, valid only during the
// callback (a device that posts to a window passes the result code only). Afterwards the
// device still takes prepare, add/write, reset, unprepare and close, so its owner closes
// it the usual way; headers queued after the failure come back only through the reset,
// and waveInStart fails with the same result code.
constexpr UINT WIM_ERROR = 992;
constexpr UINT WOM_ERROR = 993;
constexpr UINT MM_MIXM_LINE_CHANGE = 976;
constexpr UINT MM_MIXM_CONTROL_CHANGE = 977;
// The system's shutdown query, delivered to the audio component's window.
constexpr UINT WM_QUERYENDSESSION = 17;

// Open flags: the kind of notification (wave devices: none or a function on a service
// thread; mixers: none or messages posted to a window), and for wave devices whether the
// call only asks if the format would open (no handle, no notification) and a flag that
// allows synchronous devices. Any other bit is refused.
constexpr DWORD CALLBACK_TYPEMASK = 0x70000;
constexpr DWORD CALLBACK_NULL = 0x00000;
constexpr DWORD CALLBACK_WINDOW = 0x10000;
constexpr DWORD CALLBACK_FUNCTION = 0x30000;
constexpr DWORD WAVE_FORMAT_QUERY = 0x0001;
constexpr DWORD WAVE_ALLOWSYNC = 0x0002;
constexpr UINT WAVE_MAPPER = static_cast<UINT>(-1);

// Device numbers count from 0; -1 (WAVE_MAPPER) is the default device.
// Format tags: integer PCM, IEEE float, and a record extended by the sample's valid bits,
// a channel mask and a sub-format (WAVEFORMATEXTENSIBLE).
constexpr WORD WAVE_FORMAT_PCM = 1;
constexpr WORD WAVE_FORMAT_IEEE_FLOAT = 3;
constexpr WORD WAVE_FORMAT_EXTENSIBLE = 0xFFFE;

#pragma pack(push, 1)
// The 18-byte PCM format record. Its first 16 bytes are also the body of a WAV
// file's format chunk.
struct WAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

struct GUID {
  DWORD Data1;
  WORD Data2;
  WORD Data3;
  uint8_t Data4[8];
  bool operator==(const GUID&) const = default;
};
static_assert(sizeof(GUID) == 16);

// The sub-formats of an extensible record: integer PCM and IEEE float.
inline constexpr GUID KSDATAFORMAT_SUBTYPE_PCM{
    0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr GUID KSDATAFORMAT_SUBTYPE_IEEE_FLOAT{
    0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

// Speaker positions of a channel mask.
constexpr DWORD SPEAKER_FRONT_LEFT = 0x1;
constexpr DWORD SPEAKER_FRONT_RIGHT = 0x2;
constexpr DWORD SPEAKER_FRONT_CENTER = 0x4;

#pragma pack(push, 1)
// The extensible format record: the 18-byte record (tag WAVE_FORMAT_EXTENSIBLE, cbSize at
// least 22) followed by the bits of each sample that carry sound, the speaker of each
// channel and the sub-format. Its 40 bytes are also the body of a WAV file's format
// chunk for such a format.
struct WAVEFORMATEXTENSIBLE {
  WAVEFORMATEX Format;
  union {
    WORD wValidBitsPerSample;
    WORD wSamplesPerBlock;
    WORD wReserved;
  } Samples;
  DWORD dwChannelMask;
  GUID SubFormat;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEXTENSIBLE) == 40);
constexpr WORD kWaveFormatExtensibleExtra = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);

// A block handed to a wave device: data pointer, length, bytes recorded, user value,
// flags, loop count, link and a reserved word; for input also what the device lost
// right before the block.
struct WAVEHDR {
  char* lpData;
  DWORD dwBufferLength;
  DWORD dwBytesRecorded;
  DWORD_PTR dwUser;
  DWORD dwFlags;
  DWORD dwLoops;
  WAVEHDR* lpNext;
  DWORD_PTR reserved;
  // Input, set when the device hands the header back: the overruns it recovered from
  // since it handed back the previous header, and the frames of input lost in them
  // (0 when the driver cannot tell). Lost input always lies between two headers: a
  // device that loses input hands back the header being filled with what it holds
  // (dwBytesRecorded may then be short of the buffer, never 0: a header comes back empty
  // only from a reset or a failure), so the lost frames come right before this header's
  // first frame.
  DWORD dwOverruns;
  DWORD dwFramesLost;
};

constexpr DWORD WHDR_DONE = 0x01;
constexpr DWORD WHDR_PREPARED = 0x02;
constexpr DWORD WHDR_BEGINLOOP = 0x04;
constexpr DWORD WHDR_ENDLOOP = 0x08;
constexpr DWORD WHDR_INQUEUE = 0x10;

constexpr UINT MAXPNAMELEN = 32;

// Format bits of the capability records.
constexpr DWORD WAVE_FORMAT_1M08 = 0x00000001;
constexpr DWORD WAVE_FORMAT_1S08 = 0x00000002;
constexpr DWORD WAVE_FORMAT_1M16 = 0x00000004;
constexpr DWORD WAVE_FORMAT_1S16 = 0x00000008;
constexpr DWORD WAVE_FORMAT_2M08 = 0x00000010;
constexpr DWORD WAVE_FORMAT_2S08 = 0x00000020;
constexpr DWORD WAVE_FORMAT_2M16 = 0x00000040;
constexpr DWORD WAVE_FORMAT_2S16 = 0x00000080;
constexpr DWORD WAVE_FORMAT_4M08 = 0x00000100;
constexpr DWORD WAVE_FORMAT_4S08 = 0x00000200;
constexpr DWORD WAVE_FORMAT_4M16 = 0x00000400;
constexpr DWORD WAVE_FORMAT_4S16 = 0x00000800;
constexpr DWORD WAVE_FORMAT_ALL = 0x00000FFF;

// Support bits of the output capability record.
constexpr DWORD WAVECAPS_PITCH = 0x0001;
constexpr DWORD WAVECAPS_PLAYBACKRATE = 0x0002;
constexpr DWORD WAVECAPS_VOLUME = 0x0004;
constexpr DWORD WAVECAPS_LRVOLUME = 0x0008;
constexpr DWORD WAVECAPS_SYNC = 0x0010;

struct WAVEINCAPSA {
  WORD wMid;
  WORD wPid;
  UINT vDriverVersion;
  char szPname[MAXPNAMELEN];
  DWORD dwFormats;
  WORD wChannels;
  WORD wReserved1;
};

struct WAVEOUTCAPSA {
  WORD wMid;
  WORD wPid;
  UINT vDriverVersion;
  char szPname[MAXPNAMELEN];
  DWORD dwFormats;
  WORD wChannels;
  WORD wReserved1;
  DWORD dwSupport;
};
static_assert(sizeof(WAVEOUTCAPSA) == 52);

// Mixer records.
constexpr UINT MIXER_SHORT_NAME_CHARS = 16;
constexpr UINT MIXER_LONG_NAME_CHARS = 64;

struct MIXERCAPSA {
  WORD wMid;
  WORD wPid;
  UINT vDriverVersion;
  char szPname[MAXPNAMELEN];
  DWORD fdwSupport;
  DWORD cDestinations;
};
static_assert(sizeof(MIXERCAPSA) == 48);

struct MIXERLINEA {
  DWORD cbStruct;
  DWORD dwDestination;
  DWORD dwSource;
  DWORD dwLineID;
  DWORD fdwLine;
  DWORD_PTR dwUser;
  DWORD dwComponentType;
  DWORD cChannels;
  DWORD cConnections;
  DWORD cControls;
  char szShortName[MIXER_SHORT_NAME_CHARS];
  char szName[MIXER_LONG_NAME_CHARS];
  struct {
    DWORD dwType;
    DWORD dwDeviceID;
    WORD wMid;
    WORD wPid;
    UINT vDriverVersion;
    char szPname[MAXPNAMELEN];
  } Target;
};

struct MIXERCONTROLA {
  DWORD cbStruct;
  DWORD dwControlID;
  DWORD dwControlType;
  DWORD fdwControl;
  DWORD cMultipleItems;
  char szShortName[MIXER_SHORT_NAME_CHARS];
  char szName[MIXER_LONG_NAME_CHARS];
  union {
    struct {
      int32_t lMinimum;
      int32_t lMaximum;
    };
    struct {
      DWORD dwMinimum;
      DWORD dwMaximum;
    };
    DWORD dwReserved[6];
  } Bounds;
  union {
    DWORD cSteps;
    DWORD cbCustomData;
    DWORD dwReserved[6];
  } Metrics;
};
static_assert(sizeof(MIXERCONTROLA) == 148);

struct MIXERLINECONTROLSA {
  DWORD cbStruct;
  DWORD dwLineID;
  union {
    DWORD dwControlID;
    DWORD dwControlType;
  };
  DWORD cControls;
  DWORD cbmxctrl;
  MIXERCONTROLA* pamxctrl;
};

struct MIXERCONTROLDETAILS {
  DWORD cbStruct;
  DWORD dwControlID;
  DWORD cChannels;
  union {
    DWORD_PTR hwndOwner;
    DWORD cMultipleItems;
  };
  DWORD cbDetails;
  void* paDetails;
};

constexpr DWORD MIXER_GETLINEINFOF_DESTINATION = 0x0;
constexpr DWORD MIXER_GETLINEINFOF_SOURCE = 0x1;
constexpr DWORD MIXER_GETLINECONTROLSF_ALL = 0x0;
constexpr DWORD MIXER_GETCONTROLDETAILSF_VALUE = 0x0;
constexpr DWORD MIXER_SETCONTROLDETAILSF_VALUE = 0x0;

constexpr DWORD MIXERLINE_LINEF_ACTIVE = 0x1;
constexpr DWORD MIXERLINE_LINEF_SOURCE = 0x80000000;

constexpr DWORD MIXERCONTROL_CONTROLTYPE_VOLUME = 0x50030001;
constexpr DWORD MIXERCONTROL_CONTROLTYPE_MUTE = 0x20010002;
constexpr DWORD MIXERCONTROL_CONTROLTYPE_PEAKMETER = 0x10020001;

// Handles. Each driver derives its own device objects from these.
struct HWAVEIN__ {
  virtual ~HWAVEIN__() = default;
};
struct HWAVEOUT__ {
  virtual ~HWAVEOUT__() = default;
};
struct HMIXER__ {
  virtual ~HMIXER__() = default;
};
using HWAVEIN = HWAVEIN__*;
using HWAVEOUT = HWAVEOUT__*;
using HMIXER = HMIXER__*;
using HMIXEROBJ = HMIXER;

// A window handle: something on the owner's thread that accepts posted messages from
// any thread. Mixer change messages (977) are posted to it; the audio component's
// hidden windows implement it.
class MessageTarget {
 public:
  virtual ~MessageTarget() = default;
  virtual void post(UINT msg, WPARAM wParam, LPARAM lParam) = 0;
};
using HWND = MessageTarget*;

// Wave callbacks run on a service thread of the driver.
using WaveInProc = void (*)(HWAVEIN, UINT msg, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2);
using WaveOutProc = void (*)(HWAVEOUT, UINT msg, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2);

UINT waveInGetNumDevs();
MMRESULT waveInGetDevCaps(UINT_PTR deviceId, WAVEINCAPSA* caps, UINT cbCaps);
MMRESULT waveInOpen(HWAVEIN* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback, DWORD_PTR instance,
                    DWORD flags);
MMRESULT waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header, UINT cbHeader);
MMRESULT waveInAddBuffer(HWAVEIN handle, WAVEHDR* header, UINT cbHeader);
MMRESULT waveInStart(HWAVEIN handle);
MMRESULT waveInReset(HWAVEIN handle);
MMRESULT waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header, UINT cbHeader);
MMRESULT waveInClose(HWAVEIN handle);
MMRESULT waveInGetErrorTextA(MMRESULT error, LPSTR text, UINT cchText);
// The whole name of a wave input device (UTF-8), which its capability record may cut at
// MAXPNAMELEN - 1 bytes: at most cchName - 1 bytes, never a character cut in half,
// always terminated.
MMRESULT waveInGetDeviceNameA(UINT_PTR deviceId, LPSTR name, UINT cchName);

UINT waveOutGetNumDevs();
MMRESULT waveOutGetDevCapsA(UINT_PTR deviceId, WAVEOUTCAPSA* caps, UINT cbCaps);
MMRESULT waveOutOpen(HWAVEOUT* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                     DWORD_PTR instance, DWORD flags);
MMRESULT waveOutPrepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT cbHeader);
MMRESULT waveOutWrite(HWAVEOUT handle, WAVEHDR* header, UINT cbHeader);
MMRESULT waveOutReset(HWAVEOUT handle);
MMRESULT waveOutUnprepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT cbHeader);
MMRESULT waveOutClose(HWAVEOUT handle);
// The device number stands in place of a handle, as the audio component passes it.
MMRESULT waveOutGetVolume(UINT_PTR deviceId, DWORD* volume);
MMRESULT waveOutSetVolume(UINT_PTR deviceId, DWORD volume);
MMRESULT waveOutGetErrorTextA(MMRESULT error, LPSTR text, UINT cchText);

UINT mixerGetNumDevs();
MMRESULT mixerGetDevCapsA(UINT_PTR deviceId, MIXERCAPSA* caps, UINT cbCaps);
MMRESULT mixerOpen(HMIXER* handle, UINT deviceId, DWORD_PTR callback, DWORD_PTR instance, DWORD flags);
MMRESULT mixerGetLineInfoA(HMIXEROBJ handle, MIXERLINEA* line, DWORD flags);
MMRESULT mixerGetLineControlsA(HMIXEROBJ handle, MIXERLINECONTROLSA* controls, DWORD flags);
MMRESULT mixerGetControlDetailsA(HMIXEROBJ handle, MIXERCONTROLDETAILS* details, DWORD flags);
MMRESULT mixerSetControlDetails(HMIXEROBJ handle, MIXERCONTROLDETAILS* details, DWORD flags);
MMRESULT mixerClose(HMIXER handle);
// The whole name of the mixer line `lineId` (as mixerGetLineInfoA gave it), which the
// line record may cut at MIXER_LONG_NAME_CHARS - 1 bytes; copied as for
// waveInGetDeviceNameA.
MMRESULT mixerGetLineNameA(HMIXEROBJ handle, DWORD lineId, LPSTR name, UINT cchName);
