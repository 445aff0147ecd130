// The virtual card's mixer as a driver: lines, controls, values, change messages and
// fault injection, called through the multimedia service.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "mmsystem/virtual/virtual_driver.h"

namespace {

// A notification target that keeps what was posted to it.
class RecordingTarget : public MessageTarget {
 public:
  void post(UINT msg, WPARAM wParam, LPARAM lParam) override {
    std::lock_guard lock(mutex_);
    messages_.push_back({msg, wParam, lParam});
  }
  struct Message {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
  };
  std::vector<Message> messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Message> messages_;
};

VirtualCard cardWithWideLine() {
  VirtualCard card;
  VirtualMixer mixer;
  mixer.name = "Wide";
  VirtualDestination rec;
  rec.line = {.name = "Recording", .channels = 4, .peak = true, .feedsInput = true, .initialVolume = 65535};
  rec.sources.push_back({.name = "Mic", .channels = 1, .mute = false, .initialVolume = 1000});
  rec.sources.push_back({.name = "Bare", .volume = false, .mute = false});
  mixer.destinations.push_back(std::move(rec));
  card.mixers.push_back(std::move(mixer));
  VirtualMixer second;
  second.name = "Second";
  second.destinations.resize(1);
  second.destinations[0].line.name = "Out";
  card.mixers.push_back(std::move(second));
  return card;
}

class VirtualMixerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto owned = std::make_unique<VirtualDriver>(cardWithWideLine());
    card = owned.get();
    mmsystem::installDriver(std::move(owned));
  }
  void TearDown() override { mmsystem::installDriver(nullptr); }

  MIXERLINEA line(HMIXER h, DWORD destination, DWORD source, bool bySource) {
    MIXERLINEA info{};
    info.cbStruct = sizeof(info);
    info.dwDestination = destination;
    info.dwSource = source;
    EXPECT_EQ(mixerGetLineInfoA(h, &info, bySource ? MIXER_GETLINEINFOF_SOURCE : MIXER_GETLINEINFOF_DESTINATION),
              MMSYSERR_NOERROR);
    return info;
  }
  std::vector<MIXERCONTROLA> controls(HMIXER h, const MIXERLINEA& info) {
    std::vector<MIXERCONTROLA> out(info.cControls);
    MIXERLINECONTROLSA request{};
    request.cbStruct = sizeof(request);
    request.dwLineID = info.dwLineID;
    request.cControls = info.cControls;
    request.cbmxctrl = sizeof(MIXERCONTROLA);
    request.pamxctrl = out.data();
    EXPECT_EQ(mixerGetLineControlsA(h, &request, MIXER_GETLINECONTROLSF_ALL), MMSYSERR_NOERROR);
    return out;
  }
  MMRESULT details(HMIXER h, DWORD id, DWORD channels, DWORD* values, bool write) {
    MIXERCONTROLDETAILS d{};
    d.cbStruct = sizeof(d);
    d.dwControlID = id;
    d.cChannels = channels;
    d.cbDetails = sizeof(DWORD);
    d.paDetails = values;
    return write ? mixerSetControlDetails(h, &d, 0) : mixerGetControlDetailsA(h, &d, 0);
  }

  VirtualDriver* card = nullptr;
};

TEST_F(VirtualMixerTest, LinesAndControlsDescribeTheConfiguredCard) {
  HMIXER h = nullptr;
  ASSERT_EQ(mixerOpen(&h, 0, 0, 0, 0), MMSYSERR_NOERROR);
  MIXERLINEA dest = line(h, 0, 0, false);
  EXPECT_STREQ(dest.szName, "Recording");
  EXPECT_EQ(dest.cChannels, 4u);
  EXPECT_EQ(dest.cConnections, 2u);
  EXPECT_EQ(dest.cControls, 3u);
  std::vector<MIXERCONTROLA> c = controls(h, dest);
  ASSERT_EQ(c.size(), 3u);
  EXPECT_EQ(c[0].dwControlType, MIXERCONTROL_CONTROLTYPE_VOLUME);
  EXPECT_EQ(c[1].dwControlType, MIXERCONTROL_CONTROLTYPE_MUTE);
  EXPECT_EQ(c[2].dwControlType, MIXERCONTROL_CONTROLTYPE_PEAKMETER);
  // Ids are distinct and below the component's "absent" mark.
  EXPECT_NE(c[0].dwControlID, c[1].dwControlID);
  for (const MIXERCONTROLA& control : c) EXPECT_LT(control.dwControlID, 65535u);

  MIXERLINEA mic = line(h, 0, 0, true);
  EXPECT_STREQ(mic.szName, "Mic");
  EXPECT_EQ(mic.cChannels, 1u);
  EXPECT_EQ(mic.cControls, 1u);
  EXPECT_EQ(line(h, 0, 1, true).cControls, 0u);

  MIXERLINEA missing{};
  missing.cbStruct = sizeof(missing);
  missing.dwDestination = 0;
  missing.dwSource = 2;
  EXPECT_EQ(mixerGetLineInfoA(h, &missing, MIXER_GETLINEINFOF_SOURCE), MIXERR_INVALLINE);
  missing.dwDestination = 1;
  EXPECT_EQ(mixerGetLineInfoA(h, &missing, MIXER_GETLINEINFOF_DESTINATION), MIXERR_INVALLINE);

  // Asking for fewer controls than the line has is refused rather than overrunning.
  MIXERLINECONTROLSA shortRequest{};
  MIXERCONTROLA one{};
  shortRequest.cbStruct = sizeof(shortRequest);
  shortRequest.dwLineID = dest.dwLineID;
  shortRequest.cControls = 1;
  shortRequest.cbmxctrl = sizeof(MIXERCONTROLA);
  shortRequest.pamxctrl = &one;
  EXPECT_EQ(mixerGetLineControlsA(h, &shortRequest, 0), MMSYSERR_INVALPARAM);
  EXPECT_EQ(mixerClose(h), MMSYSERR_NOERROR);
  EXPECT_EQ(mixerClose(h), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(mixerOpen(&h, 2, 0, 0, 0), MMSYSERR_BADDEVICEID);
}

TEST_F(VirtualMixerTest, ValuesRespectTheLinesChannelCount) {
  HMIXER h = nullptr;
  ASSERT_EQ(mixerOpen(&h, 0, 0, 0, 0), MMSYSERR_NOERROR);
  std::vector<MIXERCONTROLA> c = controls(h, line(h, 0, 0, false));
  const DWORD volume = c[0].dwControlID, mute = c[1].dwControlID, peak = c[2].dwControlID;

  // Never more channels than the line has: the driver would write past the caller's area.
  DWORD values[5] = {};
  EXPECT_EQ(details(h, volume, 5, values, false), MMSYSERR_INVALPARAM);
  EXPECT_EQ(details(h, volume, 0, values, false), MMSYSERR_INVALPARAM);
  DWORD set[2] = {100, 200};
  ASSERT_EQ(details(h, volume, 2, set, true), MMSYSERR_NOERROR);
  EXPECT_EQ(card->lineVolume(0, 0, 0), (std::vector<WORD>{100, 200, 65535, 65535}));
  DWORD uniform = 300;
  ASSERT_EQ(details(h, volume, 1, &uniform, true), MMSYSERR_NOERROR);
  EXPECT_EQ(card->lineVolume(0, 0, 0), (std::vector<WORD>{300, 300, 300, 300}));
  DWORD tooLoud = 70000;
  EXPECT_EQ(details(h, volume, 1, &tooLoud, true), MIXERR_INVALVALUE);

  DWORD on = 1;
  ASSERT_EQ(details(h, mute, 1, &on, true), MMSYSERR_NOERROR);
  EXPECT_TRUE(card->lineMuted(0, 0, 0));
  EXPECT_EQ(card->recordGain()[0], 0.0);

  // Peak meters read the live input level and cannot be set.
  card->setInputLevel(1234, 4321);
  DWORD meter[2] = {};
  ASSERT_EQ(details(h, peak, 2, meter, false), MMSYSERR_NOERROR);
  EXPECT_EQ(meter[0], 1234u);
  EXPECT_EQ(meter[1], 4321u);
  EXPECT_EQ(details(h, peak, 1, meter, true), MMSYSERR_NOTSUPPORTED);

  // A control of another mixer is not reachable through this handle.
  HMIXER other = nullptr;
  ASSERT_EQ(mixerOpen(&other, 1, 0, 0, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(details(other, volume, 1, values, false), MIXERR_INVALCONTROL);
  mixerClose(other);
  mixerClose(h);
}

TEST_F(VirtualMixerTest, RecordGainFollowsTheFeedingLines) {
  EXPECT_DOUBLE_EQ(card->recordGain()[0], 1.0);
  card->setVolumeFromOutside(0, 0, 0, 32768, 65535);
  EXPECT_NEAR(card->recordGain()[0], 0.5, 0.001);
  EXPECT_DOUBLE_EQ(card->recordGain()[1], 1.0);
  card->setMuteFromOutside(0, 0, 0, true);
  EXPECT_EQ(card->recordGain(), (std::array<double, 2>{0.0, 0.0}));
  // Lines that do not feed the input do not matter.
  card->setMuteFromOutside(0, 0, 0, false);
  card->setVolumeFromOutside(0, 0, 1, 0, 0);
  EXPECT_NEAR(card->recordGain()[0], 0.5, 0.001);
}

TEST_F(VirtualMixerTest, ChangesArePostedToEveryOpenMixerOfTheDevice) {
  RecordingTarget a, b, elsewhere;
  HMIXER ha = nullptr, hb = nullptr, hc = nullptr, quiet = nullptr;
  ASSERT_EQ(mixerOpen(&ha, 0, reinterpret_cast<DWORD_PTR>(static_cast<HWND>(&a)), 0, CALLBACK_WINDOW), 0u);
  ASSERT_EQ(mixerOpen(&hb, 0, reinterpret_cast<DWORD_PTR>(static_cast<HWND>(&b)), 0, CALLBACK_WINDOW), 0u);
  ASSERT_EQ(mixerOpen(&hc, 1, reinterpret_cast<DWORD_PTR>(static_cast<HWND>(&elsewhere)), 0, CALLBACK_WINDOW), 0u);
  ASSERT_EQ(mixerOpen(&quiet, 0, 0, 0, 0), 0u);
  const DWORD volume = controls(ha, line(ha, 0, 0, false))[0].dwControlID;
  const DWORD mute = controls(ha, line(ha, 0, 0, false))[1].dwControlID;

  card->setVolumeFromOutside(0, 0, 0, 10, 20);
  card->setMuteFromOutside(0, 0, 0, true);
  // A change through a handle is reported too, also to the handle that made it.
  DWORD v = 5;
  ASSERT_EQ(details(quiet, volume, 1, &v, true), MMSYSERR_NOERROR);

  for (RecordingTarget* t : {&a, &b}) {
    const auto m = t->messages();
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[0].msg, MM_MIXM_CONTROL_CHANGE);
    EXPECT_EQ(static_cast<DWORD>(m[0].lParam), volume);
    EXPECT_EQ(static_cast<DWORD>(m[1].lParam), mute);
    EXPECT_EQ(static_cast<DWORD>(m[2].lParam), volume);
  }
  EXPECT_EQ(a.messages()[0].wParam, reinterpret_cast<WPARAM>(ha));
  EXPECT_TRUE(elsewhere.messages().empty());
  EXPECT_EQ(card->lineVolume(0, 0, 0), (std::vector<WORD>{5, 5, 5, 5}));
  // A line without a volume control ignores an outside volume change.
  card->setVolumeFromOutside(0, 0, 2, 1, 1);
  EXPECT_EQ(a.messages().size(), 3u);
  for (HMIXER h : {ha, hb, hc, quiet}) mixerClose(h);
}

TEST_F(VirtualMixerTest, NoChangeMessageArrivesAfterClose) {
  RecordingTarget target;
  std::atomic<bool> run{true};
  std::thread outside([&] {
    WORD v = 0;
    while (run) {
      ++v;
      card->setVolumeFromOutside(0, 0, 0, v, v);
    }
  });
  for (int round = 0; round < 50; ++round) {
    HMIXER h = nullptr;
    ASSERT_EQ(mixerOpen(&h, 0, reinterpret_cast<DWORD_PTR>(static_cast<HWND>(&target)), 0, CALLBACK_WINDOW), 0u);
    ASSERT_EQ(mixerClose(h), MMSYSERR_NOERROR);
    const size_t seen = target.messages().size();
    std::this_thread::yield();
    EXPECT_EQ(target.messages().size(), seen);
  }
  run = false;
  outside.join();
}

}  // namespace
