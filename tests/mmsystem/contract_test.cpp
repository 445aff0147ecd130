// The contract every driver keeps behind the multimedia service, checked the same way on
// the virtual card, on ALSA (against the PulseAudio test server; skipped without one) and
// on the sound server driver (against the PulseAudio and the PipeWire test servers; each
// skipped without its server), for wave input and wave output alike: which opens are refused, the order in
// which headers are prepared, queued, handed back and unprepared, what a reset and a
// close do (also from inside the device's own notification), handles that are not an
// open device of the call's kind, and the checks of the mixer calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <thread>
#include <tuple>
#include <vector>

#include "mmsystem/alsa/alsa_pulse.h"
#include "mmsystem/virtual/virtual_driver.h"
#include "mmsystem/wave_format.h"
#include "support/driver_scope.h"
#include "support/event_wait.h"
#include "support/sound_servers.h"
#include "support/wave_files.h"

namespace {

using namespace std::chrono_literals;
using testsupport::pcmFormat;

enum class Card { Virtual, Alsa, PulseAudio, PipeWire };
enum class Way { In, Out };

// How GoogleTest names the parameters in its output.
void PrintTo(Card card, std::ostream* os) {
  const char* names[] = {"virtual card", "ALSA", "sound server on PulseAudio", "sound server on PipeWire"};
  *os << names[static_cast<int>(card)];
}
void PrintTo(Way way, std::ostream* os) { *os << (way == Way::In ? "input" : "output"); }

// The notifications of one wave device as its service thread raised them.
struct Notes {
  struct Note {
    UINT msg;
    WAVEHDR* header;
    std::thread::id thread;
  };
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<Note> notes;
  // Runs inside every data notification (header handed back), before it is noted.
  std::function<void(void* handle, WAVEHDR* header)> onData;
  UINT dataMsg = 0;

  void note(void* handle, UINT msg, WAVEHDR* header) {
    if (msg == dataMsg && onData) onData(handle, header);
    std::lock_guard lock(mutex);
    notes.push_back({msg, header, std::this_thread::get_id()});
    changed.notify_all();
  }
  std::vector<UINT> messages() {
    std::lock_guard lock(mutex);
    std::vector<UINT> all;
    for (const Note& n : notes) all.push_back(n.msg);
    return all;
  }
  std::vector<WAVEHDR*> handedBack() {
    std::lock_guard lock(mutex);
    std::vector<WAVEHDR*> headers;
    for (const Note& n : notes)
      if (n.msg == dataMsg) headers.push_back(n.header);
    return headers;
  }
  bool waitHandedBack(size_t count) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, 20s, [&] {
      return std::count_if(notes.begin(), notes.end(), [&](const Note& n) { return n.msg == dataMsg; }) >=
             static_cast<long>(count);
    });
  }
};

template <typename Handle>
void noteProc(Handle handle, UINT msg, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR) {
  reinterpret_cast<Notes*>(instance)->note(handle, msg, reinterpret_cast<WAVEHDR*>(param1));
}

// One direction of the wave calls, with the handle as an untyped pointer so that every
// test speaks of input and output alike. An output plays from its first write; its
// start does nothing.
struct WaveCalls {
  UINT openMsg, dataMsg, closeMsg;
  DWORD_PTR proc;
  UINT (*count)();
  MMRESULT(*open)
  (void** handle, UINT device, const WAVEFORMATEX* format, DWORD_PTR callback, DWORD_PTR instance, DWORD flags);
  MMRESULT (*prepare)(void* handle, WAVEHDR* header, UINT cb);
  MMRESULT (*queue)(void* handle, WAVEHDR* header, UINT cb);
  MMRESULT (*start)(void* handle);
  MMRESULT (*reset)(void* handle);
  MMRESULT (*unprepare)(void* handle, WAVEHDR* header, UINT cb);
  MMRESULT (*close)(void* handle);
};

HWAVEIN in(void* h) { return static_cast<HWAVEIN>(h); }
HWAVEOUT out(void* h) { return static_cast<HWAVEOUT>(h); }

const WaveCalls kInput{
    WIM_OPEN,
    WIM_DATA,
    WIM_CLOSE,
    reinterpret_cast<DWORD_PTR>(&noteProc<HWAVEIN>),
    [] { return waveInGetNumDevs(); },
    [](void** h, UINT device, const WAVEFORMATEX* f, DWORD_PTR cb, DWORD_PTR instance, DWORD flags) {
      HWAVEIN opened = nullptr;
      const MMRESULT r = waveInOpen(h != nullptr ? &opened : nullptr, device, f, cb, instance, flags);
      if (h != nullptr) *h = opened;
      return r;
    },
    [](void* h, WAVEHDR* hdr, UINT cb) { return waveInPrepareHeader(in(h), hdr, cb); },
    [](void* h, WAVEHDR* hdr, UINT cb) { return waveInAddBuffer(in(h), hdr, cb); },
    [](void* h) { return waveInStart(in(h)); },
    [](void* h) { return waveInReset(in(h)); },
    [](void* h, WAVEHDR* hdr, UINT cb) { return waveInUnprepareHeader(in(h), hdr, cb); },
    [](void* h) { return waveInClose(in(h)); },
};

const WaveCalls kOutput{
    WOM_OPEN,
    WOM_DONE,
    WOM_CLOSE,
    reinterpret_cast<DWORD_PTR>(&noteProc<HWAVEOUT>),
    [] { return waveOutGetNumDevs(); },
    [](void** h, UINT device, const WAVEFORMATEX* f, DWORD_PTR cb, DWORD_PTR instance, DWORD flags) {
      HWAVEOUT opened = nullptr;
      const MMRESULT r = waveOutOpen(h != nullptr ? &opened : nullptr, device, f, cb, instance, flags);
      if (h != nullptr) *h = opened;
      return r;
    },
    [](void* h, WAVEHDR* hdr, UINT cb) { return waveOutPrepareHeader(out(h), hdr, cb); },
    [](void* h, WAVEHDR* hdr, UINT cb) { return waveOutWrite(out(h), hdr, cb); },
    [](void*) { return MMSYSERR_NOERROR; },
    [](void* h) { return waveOutReset(out(h)); },
    [](void* h, WAVEHDR* hdr, UINT cb) { return waveOutUnprepareHeader(out(h), hdr, cb); },
    [](void* h) { return waveOutClose(out(h)); },
};

// Headers with buffers of their own (silence, for an output).
struct Headers {
  std::vector<std::vector<char>> buffers;
  std::vector<WAVEHDR> headers;
  Headers(size_t count, DWORD bytes) : buffers(count, std::vector<char>(bytes)), headers(count) {
    for (size_t i = 0; i < count; ++i) {
      headers[i].lpData = buffers[i].data();
      headers[i].dwBufferLength = bytes;
    }
  }
  WAVEHDR& operator[](size_t i) { return headers[i]; }
};

// 16-bit mono at 8000 frames a second: 16000 bytes a second.
const WAVEFORMATEX kFormat = pcmFormat(1, 8000, 16);
constexpr DWORD kTenthOfASecond = 1600;
// Long enough that an output is still playing it when the test has long finished.
constexpr DWORD kHalfAMinute = 30 * 16000;

VirtualCard contractCard() {
  VirtualCard card;
  VirtualWaveDevice device;
  device.name = "Contract";
  card.inputs.push_back(device);
  card.outputs.push_back(device);
  VirtualMixer mixer;
  mixer.name = "Mixer";
  mixer.destinations.push_back({.line = {.name = "Recording"}, .sources = {{.name = "Line In"}}});
  card.mixers.push_back(mixer);
  card.pacing = VirtualPacing::RealTime;
  return card;
}

// Installs the card a test runs against for the test's length: the virtual card
// described above, a fresh ALSA driver with the sound server held for the test, or a
// fresh sound server driver with its server held.
class OnEachCard : public testsupport::PulseTest {
 protected:
  void install(Card card) {
    card_ = card;
    if (card == Card::Alsa) {
      PulseTest::SetUp();
    } else if (card == Card::Virtual) {
      virtual_ = std::make_unique<testsupport::DriverScope>(std::make_unique<VirtualDriver>(contractCard()));
    } else {
      server_ = std::make_unique<testsupport::ServerScope>(card == Card::PulseAudio ? testsupport::Server::PulseAudio
                                                                                    : testsupport::Server::PipeWire);
      const std::string why = server_->enter();
      if (!why.empty()) GTEST_SKIP() << why;
      auto driver = std::make_unique<PulseDriver>();
      std::cout << "[ server   ] " << driver->serverName() << std::endl;
      ASSERT_FALSE(driver->serverName().empty()) << driver->description();
      virtual_ = std::make_unique<testsupport::DriverScope>(std::move(driver));
    }
  }
  void TearDown() override {
    if (card_ == Card::Alsa) PulseTest::TearDown();
    virtual_.reset();
    server_.reset();
  }

 private:
  Card card_ = Card::Virtual;
  std::unique_ptr<testsupport::DriverScope> virtual_;
  std::unique_ptr<testsupport::ServerScope> server_;
};

class DriverContract : public OnEachCard, public ::testing::WithParamInterface<std::tuple<Card, Way>> {
 protected:
  void SetUp() override {
    notes.dataMsg = calls().dataMsg;
    install(std::get<0>(GetParam()));
  }

  static const WaveCalls& calls() { return std::get<1>(GetParam()) == Way::In ? kInput : kOutput; }
  static bool input() { return std::get<1>(GetParam()) == Way::In; }

  // The default device, notifying `to` (the fixture's notes if none).
  void* open(Notes* to = nullptr) {
    void* h = nullptr;
    EXPECT_EQ(calls().open(&h, WAVE_MAPPER, &kFormat, calls().proc,
                           reinterpret_cast<DWORD_PTR>(to != nullptr ? to : &notes), CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    return h;
  }
  void prepareAndQueue(void* h, Headers& headers) {
    for (WAVEHDR& hdr : headers.headers) {
      ASSERT_EQ(calls().prepare(h, &hdr, sizeof hdr), MMSYSERR_NOERROR);
      ASSERT_EQ(calls().queue(h, &hdr, sizeof hdr), MMSYSERR_NOERROR);
    }
  }
  void unprepareAndClose(void* h, Headers& headers) {
    for (WAVEHDR& hdr : headers.headers) EXPECT_EQ(calls().unprepare(h, &hdr, sizeof hdr), MMSYSERR_NOERROR);
    EXPECT_EQ(calls().close(h), MMSYSERR_NOERROR);
  }

  Notes notes;
};

class MixerContract : public OnEachCard, public ::testing::WithParamInterface<Card> {
 protected:
  void SetUp() override { install(GetParam()); }
};

TEST_P(DriverContract, OpensOnlyWithKnownFlagsARecordAndAFormatWhoseFieldsAgree) {
  const WaveCalls& c = calls();
  const auto instance = reinterpret_cast<DWORD_PTR>(&notes);
  void* h = nullptr;
  // Unknown bits, and notification kinds a wave device does not have (a window, an
  // event, or none that exists).
  for (DWORD flags : {CALLBACK_FUNCTION | 0x0100u, CALLBACK_WINDOW, 0x20000u, 0x50000u, 0x70000u})
    EXPECT_EQ(c.open(&h, WAVE_MAPPER, &kFormat, c.proc, instance, flags), MMSYSERR_INVALFLAG) << std::hex << flags;
  EXPECT_EQ(c.open(&h, WAVE_MAPPER, &kFormat, 0, 0, CALLBACK_FUNCTION), MMSYSERR_INVALPARAM) << "no function";
  EXPECT_EQ(c.open(&h, WAVE_MAPPER, nullptr, c.proc, instance, CALLBACK_FUNCTION), MMSYSERR_INVALPARAM);
  EXPECT_EQ(c.open(nullptr, WAVE_MAPPER, &kFormat, c.proc, instance, CALLBACK_FUNCTION), MMSYSERR_INVALPARAM);
  EXPECT_EQ(c.open(&h, c.count(), &kFormat, c.proc, instance, CALLBACK_FUNCTION), MMSYSERR_BADDEVICEID);

  WAVEFORMATEX badAlign = kFormat;
  badAlign.nBlockAlign = 3;
  WAVEFORMATEX badRate = kFormat;
  badRate.nAvgBytesPerSec = 12345;
  WAVEFORMATEX float16 = kFormat;
  float16.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
  WAVEFORMATEX unknownTag = kFormat;
  unknownTag.wFormatTag = 2;
  for (const WAVEFORMATEX& f :
       {pcmFormat(3, 8000, 16), pcmFormat(1, 8000, 12), pcmFormat(1, 0, 16), badAlign, badRate, float16, unknownTag})
    EXPECT_EQ(c.open(&h, WAVE_MAPPER, &f, c.proc, instance, CALLBACK_FUNCTION), WAVERR_BADFORMAT);
  // Extensible records whose extra fields do not agree with the rest.
  const WAVEFORMATEXTENSIBLE ext24 = waveFormatFor(WaveSample::S24, 2, 8000);
  WAVEFORMATEXTENSIBLE shortExtra = ext24, oneSpeaker = ext24, moreValidBits = ext24, floatOf24 = ext24,
                       otherSubFormat = ext24, floatValid24 = waveFormatFor(WaveSample::F32, 1, 8000);
  shortExtra.Format.cbSize = 21;
  oneSpeaker.dwChannelMask = SPEAKER_FRONT_CENTER;
  moreValidBits.Samples.wValidBitsPerSample = 25;
  floatOf24.SubFormat = KSDATAFORMAT_SUBTYPE_IEEE_FLOAT;
  otherSubFormat.SubFormat.Data1 = 2;
  floatValid24.Samples.wValidBitsPerSample = 24;
  for (const WAVEFORMATEXTENSIBLE& f : {shortExtra, oneSpeaker, moreValidBits, floatOf24, otherSubFormat, floatValid24})
    EXPECT_EQ(c.open(&h, WAVE_MAPPER, &f.Format, c.proc, instance, CALLBACK_FUNCTION), WAVERR_BADFORMAT);
  EXPECT_EQ(h, nullptr);

  // Only asking whether a format would open opens nothing and notifies no one.
  EXPECT_EQ(c.open(nullptr, WAVE_MAPPER, &kFormat, c.proc, instance, CALLBACK_FUNCTION | WAVE_FORMAT_QUERY),
            MMSYSERR_NOERROR);
  EXPECT_EQ(c.open(&h, WAVE_MAPPER, &kFormat, 0, 0, WAVE_FORMAT_QUERY), MMSYSERR_NOERROR);
  EXPECT_EQ(h, nullptr);
  EXPECT_TRUE(notes.messages().empty()) << "a refused or queried open notifies no one";

  // Without a notification, and synchronous devices allowed: the device opens.
  ASSERT_EQ(c.open(&h, WAVE_MAPPER, &kFormat, 0, 0, CALLBACK_NULL | WAVE_ALLOWSYNC), MMSYSERR_NOERROR);
  EXPECT_EQ(c.close(h), MMSYSERR_NOERROR);

  char text[512];
  ASSERT_EQ(waveInGetErrorTextA(MMSYSERR_INVALFLAG, text, 255), MMSYSERR_NOERROR);
  EXPECT_STREQ(text, mmsystem::resultText(MMSYSERR_INVALFLAG));
}

// Prepare, queue, reset, unprepare and close in the right order succeed; every call out
// of order is refused and leaves the header as it was.
TEST_P(DriverContract, HeadersArePreparedQueuedHandedBackAndUnpreparedInThatOrder) {
  const WaveCalls& c = calls();
  void* h = open();
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(notes.messages(), std::vector<UINT>{c.openMsg}) << "the open notification comes before the open returns";

  Headers one(1, kHalfAMinute);
  WAVEHDR& hdr = one[0];
  WAVEHDR noData = hdr;
  noData.lpData = nullptr;
  EXPECT_EQ(c.prepare(h, &noData, sizeof noData), MMSYSERR_INVALPARAM);
  EXPECT_EQ(c.prepare(h, &hdr, sizeof hdr - 1), MMSYSERR_INVALPARAM);
  EXPECT_EQ(c.prepare(h, nullptr, sizeof hdr), MMSYSERR_INVALPARAM);
  EXPECT_EQ(c.queue(h, &hdr, sizeof hdr), WAVERR_UNPREPARED);
  EXPECT_EQ(c.unprepare(h, &hdr, sizeof hdr), MMSYSERR_NOERROR) << "unpreparing what was never prepared is fine";
  EXPECT_EQ(hdr.dwFlags, 0u);

  ASSERT_EQ(c.prepare(h, &hdr, sizeof hdr), MMSYSERR_NOERROR);
  EXPECT_EQ(hdr.dwFlags, WHDR_PREPARED);
  EXPECT_EQ(c.prepare(h, &hdr, sizeof hdr), MMSYSERR_NOERROR) << "preparing again is fine";
  ASSERT_EQ(c.queue(h, &hdr, sizeof hdr), MMSYSERR_NOERROR);
  EXPECT_EQ(hdr.dwFlags, WHDR_PREPARED | WHDR_INQUEUE);

  // Held by the device: not to be queued, prepared or unprepared again, and the device
  // does not close.
  EXPECT_EQ(c.queue(h, &hdr, sizeof hdr), WAVERR_STILLPLAYING);
  EXPECT_EQ(c.prepare(h, &hdr, sizeof hdr), WAVERR_STILLPLAYING);
  EXPECT_EQ(c.unprepare(h, &hdr, sizeof hdr), WAVERR_STILLPLAYING);
  EXPECT_EQ(c.close(h), WAVERR_STILLPLAYING);
  EXPECT_EQ(hdr.dwFlags, WHDR_PREPARED | WHDR_INQUEUE);

  // A header prepared for one device is not another device's.
  Notes otherNotes;
  otherNotes.dataMsg = c.dataMsg;
  void* other = open(&otherNotes);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(c.prepare(other, &hdr, sizeof hdr), MMSYSERR_INVALPARAM);
  EXPECT_EQ(c.queue(other, &hdr, sizeof hdr), WAVERR_UNPREPARED);
  EXPECT_EQ(c.unprepare(other, &hdr, sizeof hdr), MMSYSERR_INVALPARAM);
  EXPECT_EQ(c.close(other), MMSYSERR_NOERROR);
  EXPECT_EQ(hdr.dwFlags, WHDR_PREPARED | WHDR_INQUEUE);

  // The reset hands the header back, done and still prepared, before it returns.
  ASSERT_EQ(c.reset(h), MMSYSERR_NOERROR);
  EXPECT_EQ(notes.handedBack(), std::vector<WAVEHDR*>{&hdr});
  EXPECT_EQ(hdr.dwFlags, WHDR_PREPARED | WHDR_DONE);
  ASSERT_EQ(c.unprepare(h, &hdr, sizeof hdr), MMSYSERR_NOERROR);
  EXPECT_EQ(hdr.dwFlags & WHDR_PREPARED, 0u);
  ASSERT_EQ(c.close(h), MMSYSERR_NOERROR);
  EXPECT_EQ(notes.messages(), (std::vector<UINT>{c.openMsg, c.dataMsg, c.closeMsg}))
      << "the close notification comes before the close returns";
}

// Queued headers come back in order, each once, done, with the caller's instance, on a
// thread that is not the caller's; an input hands them back full.
TEST_P(DriverContract, BlocksComeBackInOrderOnTheServiceThread) {
  const WaveCalls& c = calls();
  void* h = open();
  Headers three(3, kTenthOfASecond);
  prepareAndQueue(h, three);
  ASSERT_EQ(c.start(h), MMSYSERR_NOERROR);
  ASSERT_TRUE(notes.waitHandedBack(3));
  EXPECT_EQ(notes.handedBack(), (std::vector<WAVEHDR*>{&three[0], &three[1], &three[2]}));
  {
    std::lock_guard lock(notes.mutex);
    for (const Notes::Note& n : notes.notes) EXPECT_NE(n.thread, std::this_thread::get_id());
  }
  for (const WAVEHDR& hdr : three.headers) {
    EXPECT_EQ(hdr.dwFlags, WHDR_PREPARED | WHDR_DONE);
    if (input()) {
      EXPECT_EQ(hdr.dwBytesRecorded, hdr.dwBufferLength);
    }
  }
  ASSERT_EQ(c.reset(h), MMSYSERR_NOERROR);
  EXPECT_EQ(notes.handedBack().size(), 3u) << "a reset hands back nothing twice";
  unprepareAndClose(h, three);
  EXPECT_EQ(notes.messages().back(), c.closeMsg);
}

// Every sample the service takes, in each record that describes it, opens; a device
// hands back whole blocks of it.
TEST_P(DriverContract, EverySampleFormatOpensAndMovesWholeBlocks) {
  const WaveCalls& c = calls();
  WAVEFORMATEX float32 = pcmFormat(2, 44100, 32);
  float32.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
  WAVEFORMATEXTENSIBLE valid20 = waveFormatFor(WaveSample::S24, 1, 96000);
  valid20.Samples.wValidBitsPerSample = 20;
  valid20.dwChannelMask = 0;  // no speakers named
  const WAVEFORMATEXTENSIBLE records[] = {
      {pcmFormat(1, 8000, 8), {}, 0, {}},        {pcmFormat(2, 48000, 24), {}, 0, {}},
      {pcmFormat(1, 22050, 32), {}, 0, {}},      {float32, {}, 0, {}},
      waveFormatFor(WaveSample::S16, 2, 8000),   waveFormatFor(WaveSample::S24, 2, 96000),
      waveFormatFor(WaveSample::F32, 1, 192000), valid20,
  };
  for (const WAVEFORMATEXTENSIBLE& f : records) {
    SCOPED_TRACE(testing::Message() << "tag " << f.Format.wFormatTag << ", " << f.Format.wBitsPerSample << " bits, "
                                    << f.Format.nChannels << " channels, " << f.Format.nSamplesPerSec << " Hz");
    Notes seen;
    seen.dataMsg = c.dataMsg;
    void* h = nullptr;
    ASSERT_EQ(c.open(&h, WAVE_MAPPER, &f.Format, c.proc, reinterpret_cast<DWORD_PTR>(&seen), CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    // Two blocks of a twentieth of a second.
    Headers two(2, f.Format.nSamplesPerSec / 20 * f.Format.nBlockAlign);
    prepareAndQueue(h, two);
    ASSERT_EQ(c.start(h), MMSYSERR_NOERROR);
    ASSERT_TRUE(seen.waitHandedBack(2));
    if (input()) {
      for (const WAVEHDR& hdr : two.headers) EXPECT_EQ(hdr.dwBytesRecorded, hdr.dwBufferLength);
    }
    ASSERT_EQ(c.reset(h), MMSYSERR_NOERROR);
    unprepareAndClose(h, two);
  }
}

// A reset waits for a notification in progress and hands every header back, so that the
// device then closes: with headers still queued behind the notification (the first
// header's), and with none left (the last one's).
TEST_P(DriverContract, AResetWaitsForTheNotificationInProgress) {
  const WaveCalls& c = calls();
  for (const int slowOne : {0, 3}) {
    SCOPED_TRACE(slowOne == 0 ? "the first header's notification" : "the last header's notification");
    std::atomic<int> handedBack{0};
    std::atomic<bool> slow{false};
    notes.onData = [&](void*, WAVEHDR*) {
      if (handedBack.fetch_add(1) != slowOne) return;
      slow = true;
      std::this_thread::sleep_for(300ms);
      slow = false;
    };
    void* h = open();
    Headers four(4, kTenthOfASecond);
    prepareAndQueue(h, four);
    ASSERT_EQ(c.start(h), MMSYSERR_NOERROR);
    ASSERT_TRUE(testsupport::waitFor([&] { return slow.load(); }));
    ASSERT_EQ(c.reset(h), MMSYSERR_NOERROR);
    EXPECT_FALSE(slow.load()) << "the reset returned while a notification was running";
    EXPECT_EQ(handedBack.load(), 4) << "one notification per header";
    for (const WAVEHDR& hdr : four.headers) {
      EXPECT_EQ(hdr.dwFlags, WHDR_PREPARED | WHDR_DONE);
      if (input()) {
        EXPECT_LE(hdr.dwBytesRecorded, hdr.dwBufferLength);
      }
    }
    if (input()) {
      EXPECT_EQ(four[slowOne].dwBytesRecorded, four[slowOne].dwBufferLength)
          << "the header in the notification was full";
    }
    unprepareAndClose(h, four);
  }
}

// From inside its own data notification a device can be reset (every header is back
// when the reset returns) but not closed: the close would wait for the notification
// that makes it.
TEST_P(DriverContract, InsideItsNotificationADeviceResetsButDoesNotClose) {
  const WaveCalls& c = calls();
  Headers four(4, kTenthOfASecond);
  std::atomic<MMRESULT> closeInside{MMSYSERR_ERROR};
  std::atomic<MMRESULT> resetInside{MMSYSERR_ERROR};
  std::atomic<bool> allBack{false};
  std::atomic<int> handedBack{0};
  notes.onData = [&](void* h, WAVEHDR*) {
    if (handedBack.fetch_add(1) != 0) return;
    closeInside = c.close(h);
    resetInside = c.reset(h);
    allBack = std::all_of(four.headers.begin(), four.headers.end(),
                          [](const WAVEHDR& hdr) { return (hdr.dwFlags & WHDR_INQUEUE) == 0; });
  };
  void* h = open();
  prepareAndQueue(h, four);
  ASSERT_EQ(c.start(h), MMSYSERR_NOERROR);
  ASSERT_TRUE(notes.waitHandedBack(4));
  EXPECT_EQ(closeInside.load(), MMSYSERR_NOTSUPPORTED);
  EXPECT_EQ(resetInside.load(), MMSYSERR_NOERROR);
  EXPECT_TRUE(allBack.load());
  unprepareAndClose(h, four);
}

// A handle that is not an open device of the call's kind is refused by every call, and
// the device it was mistaken for goes on as before.
TEST_P(DriverContract, EveryCallRefusesAHandleThatIsNotAnOpenDeviceOfItsKind) {
  const WaveCalls& c = calls();
  const WaveCalls& otherWay = input() ? kOutput : kInput;
  void* h = open();
  Headers one(1, kHalfAMinute);
  prepareAndQueue(h, one);
  ASSERT_EQ(c.start(h), MMSYSERR_NOERROR);

  void* closed = open(&notes);
  ASSERT_EQ(c.close(closed), MMSYSERR_NOERROR);
  int local = 0;
  std::vector<void*> strangers{nullptr, &local, closed};
  HMIXER mixer = nullptr;
  if (mixerGetNumDevs() > 0) {
    ASSERT_EQ(mixerOpen(&mixer, 0, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    strangers.push_back(mixer);
  }
  Headers mine(1, kTenthOfASecond);
  WAVEHDR& hdr = mine[0];
  for (void* stranger : strangers) {
    EXPECT_EQ(c.prepare(stranger, &hdr, sizeof hdr), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(c.queue(stranger, &hdr, sizeof hdr), MMSYSERR_INVALHANDLE);
    if (input()) {
      EXPECT_EQ(waveInStart(in(stranger)), MMSYSERR_INVALHANDLE);
    }
    EXPECT_EQ(c.reset(stranger), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(c.unprepare(stranger, &hdr, sizeof hdr), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(c.close(stranger), MMSYSERR_INVALHANDLE);
  }
  // This device's handle in the other direction's calls, and in the mixer's.
  EXPECT_EQ(otherWay.prepare(h, &hdr, sizeof hdr), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(otherWay.queue(h, &one[0], sizeof hdr), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(otherWay.reset(h), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(otherWay.unprepare(h, &one[0], sizeof hdr), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(otherWay.close(h), MMSYSERR_INVALHANDLE);
  MIXERLINEA line{};
  line.cbStruct = sizeof line;
  EXPECT_EQ(mixerGetLineInfoA(static_cast<HMIXEROBJ>(h), &line, MIXER_GETLINEINFOF_DESTINATION), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(mixerClose(static_cast<HMIXER>(h)), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(hdr.dwFlags, 0u);
  EXPECT_EQ(one[0].dwFlags, WHDR_PREPARED | WHDR_INQUEUE);

  if (mixer != nullptr) {
    EXPECT_EQ(mixerClose(mixer), MMSYSERR_NOERROR);
  }
  ASSERT_EQ(c.reset(h), MMSYSERR_NOERROR);
  unprepareAndClose(h, one);
  EXPECT_EQ(notes.messages(), (std::vector<UINT>{c.openMsg, c.openMsg, c.closeMsg, c.dataMsg, c.closeMsg}));
}

// A mixer opens with no notification or a window to post to, and its calls take only
// the flags and records they know.
TEST_P(MixerContract, CallsTakeOnlyKnownFlagsAndWholeRecords) {
  if (mixerGetNumDevs() == 0) GTEST_SKIP() << "no mixer";
  alsatest::Messages target;
  const auto window = reinterpret_cast<DWORD_PTR>(static_cast<HWND>(&target));
  HMIXER m = nullptr;
  EXPECT_EQ(mixerOpen(&m, 0, window, 0, CALLBACK_FUNCTION), MMSYSERR_INVALFLAG);
  EXPECT_EQ(mixerOpen(&m, 0, window, 0, CALLBACK_WINDOW | 0x0100), MMSYSERR_INVALFLAG);
  EXPECT_EQ(mixerOpen(&m, 0, 0, 0, CALLBACK_WINDOW), MMSYSERR_INVALPARAM) << "no window";
  EXPECT_EQ(mixerOpen(nullptr, 0, window, 0, CALLBACK_WINDOW), MMSYSERR_INVALPARAM);
  EXPECT_EQ(mixerOpen(&m, mixerGetNumDevs(), window, 0, CALLBACK_WINDOW), MMSYSERR_BADDEVICEID);
  ASSERT_EQ(mixerOpen(&m, 0, window, 0, CALLBACK_WINDOW), MMSYSERR_NOERROR);

  MIXERLINEA line{};
  line.cbStruct = sizeof line;
  EXPECT_EQ(mixerGetLineInfoA(m, &line, 0x0F), MMSYSERR_INVALFLAG);
  EXPECT_EQ(mixerGetLineInfoA(m, nullptr, MIXER_GETLINEINFOF_DESTINATION), MMSYSERR_INVALPARAM);
  MIXERLINEA shortLine = line;
  shortLine.cbStruct = sizeof line - 1;
  EXPECT_EQ(mixerGetLineInfoA(m, &shortLine, MIXER_GETLINEINFOF_DESTINATION), MMSYSERR_INVALPARAM);
  ASSERT_EQ(mixerGetLineInfoA(m, &line, MIXER_GETLINEINFOF_DESTINATION), MMSYSERR_NOERROR);
  EXPECT_STREQ(line.szName, "Recording");

  std::vector<MIXERCONTROLA> controls(line.cControls);
  MIXERLINECONTROLSA request{};
  request.cbStruct = sizeof request;
  request.dwLineID = line.dwLineID;
  request.cControls = line.cControls;
  request.cbmxctrl = sizeof(MIXERCONTROLA);
  request.pamxctrl = controls.data();
  EXPECT_EQ(mixerGetLineControlsA(m, &request, 0x2), MMSYSERR_INVALFLAG);
  MIXERLINECONTROLSA noArea = request;
  noArea.pamxctrl = nullptr;
  EXPECT_EQ(mixerGetLineControlsA(m, &noArea, MIXER_GETLINECONTROLSF_ALL), MMSYSERR_INVALPARAM);
  ASSERT_EQ(mixerGetLineControlsA(m, &request, MIXER_GETLINECONTROLSF_ALL), MMSYSERR_NOERROR);
  ASSERT_GT(line.cControls, 0u);

  DWORD values[2] = {};
  MIXERCONTROLDETAILS details{};
  details.cbStruct = sizeof details;
  details.dwControlID = controls[0].dwControlID;
  details.cChannels = 1;
  details.cbDetails = sizeof(DWORD);
  details.paDetails = values;
  EXPECT_EQ(mixerGetControlDetailsA(m, &details, 0x1), MMSYSERR_INVALFLAG);
  EXPECT_EQ(mixerSetControlDetails(m, &details, 0x1), MMSYSERR_INVALFLAG);
  for (auto spoil : std::initializer_list<std::function<void(MIXERCONTROLDETAILS&)>>{
           [](MIXERCONTROLDETAILS& d) { d.cChannels = 0; }, [](MIXERCONTROLDETAILS& d) { d.cbDetails = 2; },
           [](MIXERCONTROLDETAILS& d) { d.paDetails = nullptr; }, [](MIXERCONTROLDETAILS& d) { d.cMultipleItems = 2; },
           [](MIXERCONTROLDETAILS& d) { d.cbStruct = 4; }}) {
    MIXERCONTROLDETAILS spoilt = details;
    spoil(spoilt);
    EXPECT_EQ(mixerGetControlDetailsA(m, &spoilt, MIXER_GETCONTROLDETAILSF_VALUE), MMSYSERR_INVALPARAM);
    EXPECT_EQ(mixerSetControlDetails(m, &spoilt, MIXER_SETCONTROLDETAILSF_VALUE), MMSYSERR_INVALPARAM);
  }
  EXPECT_EQ(mixerGetControlDetailsA(m, &details, MIXER_GETCONTROLDETAILSF_VALUE), MMSYSERR_NOERROR);

  ASSERT_EQ(mixerClose(m), MMSYSERR_NOERROR);
  EXPECT_EQ(mixerClose(m), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(mixerGetLineInfoA(m, &line, MIXER_GETLINEINFOF_DESTINATION), MMSYSERR_INVALHANDLE);
}

std::string wayName(const ::testing::TestParamInfo<std::tuple<Card, Way>>& info) {
  return std::get<1>(info.param) == Way::In ? "Input" : "Output";
}

// The ALSA instances' names begin with "Alsa", as those of every other test of the
// sound server do.
INSTANTIATE_TEST_SUITE_P(Virtual, DriverContract,
                         ::testing::Combine(::testing::Values(Card::Virtual), ::testing::Values(Way::In, Way::Out)),
                         wayName);
INSTANTIATE_TEST_SUITE_P(Alsa, DriverContract,
                         ::testing::Combine(::testing::Values(Card::Alsa), ::testing::Values(Way::In, Way::Out)),
                         wayName);
// The sound server driver's instances begin with "Pulse" and name their server.
INSTANTIATE_TEST_SUITE_P(PulseOnPulseAudio, DriverContract,
                         ::testing::Combine(::testing::Values(Card::PulseAudio), ::testing::Values(Way::In, Way::Out)),
                         wayName);
INSTANTIATE_TEST_SUITE_P(PulseOnPipeWire, DriverContract,
                         ::testing::Combine(::testing::Values(Card::PipeWire), ::testing::Values(Way::In, Way::Out)),
                         wayName);
INSTANTIATE_TEST_SUITE_P(Virtual, MixerContract, ::testing::Values(Card::Virtual),
                         [](const ::testing::TestParamInfo<Card>&) { return "FirstMixer"; });
INSTANTIATE_TEST_SUITE_P(Alsa, MixerContract, ::testing::Values(Card::Alsa),
                         [](const ::testing::TestParamInfo<Card>&) { return "FirstMixer"; });
INSTANTIATE_TEST_SUITE_P(Pulse, MixerContract, ::testing::Values(Card::PulseAudio, Card::PipeWire),
                         [](const ::testing::TestParamInfo<Card>& info) {
                           return info.param == Card::PulseAudio ? "OnPulseAudio" : "OnPipeWire";
                         });

}  // namespace
