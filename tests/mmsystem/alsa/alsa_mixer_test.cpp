// The ALSA driver's mixers against a real PulseAudio server: "default" reaches the
// server's master (sink) and capture (source) volume through the pulse plugin.
#include "mmsystem/alsa/alsa_pulse.h"

namespace alsatest {
namespace {

struct Control {
  DWORD volumeId = 0;
  DWORD muteId = 0;
  DWORD channels = 0;
};

class AlsaMixer : public PulseTest {
 protected:
  void SetUp() override {
    PulseTest::SetUp();
    if (IsSkipped()) return;
    for (UINT m = 0; m < mixerGetNumDevs(); ++m) {
      if (alsa_->mixers()[m].ctl == "default") device_ = m;
    }
    ASSERT_NE(device_, kNone) << "the server's mixer is not listed";
    keepVolumes();
  }
  void TearDown() override {
    if (mixer_ != nullptr) {
      EXPECT_EQ(mixerClose(mixer_), MMSYSERR_NOERROR);
    }
    PulseTest::TearDown();
  }

  // The volume and mute controls of line (destination, source), 0 for the destination.
  Control controls(DWORD destination, DWORD source, std::string* name = nullptr) {
    MIXERLINEA line{};
    line.cbStruct = sizeof line;
    line.dwDestination = destination;
    line.dwSource = source - (source > 0 ? 1 : 0);
    EXPECT_EQ(
        mixerGetLineInfoA(mixer_, &line, source == 0 ? MIXER_GETLINEINFOF_DESTINATION : MIXER_GETLINEINFOF_SOURCE),
        MMSYSERR_NOERROR);
    if (name != nullptr) *name = line.szName;
    Control c;
    c.channels = line.cChannels;
    std::vector<MIXERCONTROLA> list(line.cControls);
    MIXERLINECONTROLSA lc{};
    lc.cbStruct = sizeof lc;
    lc.dwLineID = line.dwLineID;
    lc.cControls = line.cControls;
    lc.cbmxctrl = sizeof(MIXERCONTROLA);
    lc.pamxctrl = list.data();
    EXPECT_EQ(mixerGetLineControlsA(mixer_, &lc, MIXER_GETLINECONTROLSF_ALL), MMSYSERR_NOERROR);
    for (const MIXERCONTROLA& ctl : list) {
      EXPECT_LT(ctl.dwControlID, 65535u);
      if (ctl.dwControlType == MIXERCONTROL_CONTROLTYPE_VOLUME) c.volumeId = ctl.dwControlID;
      if (ctl.dwControlType == MIXERCONTROL_CONTROLTYPE_MUTE) c.muteId = ctl.dwControlID;
    }
    return c;
  }
  MMRESULT details(DWORD id, DWORD channels, DWORD* values, bool set) {
    MIXERCONTROLDETAILS d{};
    d.cbStruct = sizeof d;
    d.dwControlID = id;
    d.cChannels = channels;
    d.cbDetails = sizeof(DWORD);
    d.paDetails = values;
    return set ? mixerSetControlDetails(mixer_, &d, MIXER_SETCONTROLDETAILSF_VALUE)
               : mixerGetControlDetailsA(mixer_, &d, MIXER_GETCONTROLDETAILSF_VALUE);
  }
  static bool posted(const std::vector<Messages::Message>& all, DWORD id) {
    return std::any_of(all.begin(), all.end(), [&](const Messages::Message& m) {
      return m.msg == MM_MIXM_CONTROL_CHANGE && static_cast<DWORD>(m.lParam) == id;
    });
  }

  static constexpr UINT kNone = ~0u;
  UINT device_ = kNone;
  HMIXER mixer_ = nullptr;
  Messages messages_;
};

TEST_F(AlsaMixer, ListsTheServersMasterAndCaptureLines) {
  MIXERCAPSA caps{};
  ASSERT_EQ(mixerGetDevCapsA(device_, &caps, sizeof caps), MMSYSERR_NOERROR);
  EXPECT_EQ(caps.cDestinations, 2u);
  EXPECT_GT(std::strlen(caps.szPname), 0u);
  ASSERT_EQ(mixerOpen(&mixer_, device_, reinterpret_cast<DWORD_PTR>(&messages_), 0, CALLBACK_WINDOW), MMSYSERR_NOERROR);
  std::string playback, recording;
  const Control capture = controls(0, 0, &recording);
  const Control master = controls(1, 0, &playback);
  EXPECT_EQ(playback, "Playback");
  EXPECT_EQ(recording, "Recording");
  for (const Control& c : {master, capture}) {
    EXPECT_NE(c.volumeId, 0u);
    EXPECT_NE(c.muteId, 0u);
    EXPECT_NE(c.volumeId, c.muteId);
    EXPECT_EQ(c.channels, 2u);
  }
  EXPECT_NE(master.volumeId, capture.volumeId);
  MIXERLINEA beyond{};
  beyond.cbStruct = sizeof beyond;
  beyond.dwDestination = 2;
  EXPECT_EQ(mixerGetLineInfoA(mixer_, &beyond, MIXER_GETLINEINFOF_DESTINATION), MIXERR_INVALLINE);
  DWORD value = 0;
  EXPECT_EQ(details(0xFFFF, 1, &value, false), MIXERR_INVALCONTROL);
  EXPECT_EQ(details(capture.volumeId, 3, &value, false), MMSYSERR_INVALPARAM) << "more channels than the line has";
}

// What the mixer sets is what the server then reports, and reads back unchanged.
TEST_F(AlsaMixer, CaptureVolumeSetIsWhatTheServerReports) {
  ASSERT_EQ(mixerOpen(&mixer_, device_, 0, 0, 0), MMSYSERR_NOERROR);
  const Control capture = controls(0, 0);
  DWORD set[2] = {32768, 13107};  // 50 % and 20 %
  ASSERT_EQ(details(capture.volumeId, 2, set, true), MMSYSERR_NOERROR);
  const std::vector<long> reported = sourceVolume();
  ASSERT_EQ(reported.size(), 2u);
  // The server's scale is 0..65536 (100 %).
  EXPECT_NEAR(reported[0], 32768 * 65536.0 / 65535, 1);
  EXPECT_NEAR(reported[1], 13107 * 65536.0 / 65535, 1);
  DWORD got[2] = {0, 0};
  ASSERT_EQ(details(capture.volumeId, 2, got, false), MMSYSERR_NOERROR);
  EXPECT_EQ(got[0], 32768u);
  EXPECT_EQ(got[1], 13107u);
  DWORD one = 0;
  ASSERT_EQ(details(capture.volumeId, 1, &one, false), MMSYSERR_NOERROR);
  EXPECT_EQ(one, 32768u) << "one channel reads the louder side";

  DWORD mute = 1;
  ASSERT_EQ(details(capture.muteId, 1, &mute, true), MMSYSERR_NOERROR);
  EXPECT_TRUE(run("pactl", {"get-source-mute", kMonitor}).out.contains("yes"));
  mute = 0;
  ASSERT_EQ(details(capture.muteId, 1, &mute, false), MMSYSERR_NOERROR);
  EXPECT_EQ(mute, 1u);
  DWORD tooLoud[2] = {65536, 0};
  EXPECT_EQ(details(capture.volumeId, 2, tooLoud, true), MIXERR_INVALVALUE);
}

// Changes made by another program reach the mixer's window as change messages carrying
// the control that changed; after mixerClose nothing more is posted.
TEST_F(AlsaMixer, OutsideChangesArePostedUntilClose) {
  ASSERT_EQ(mixerOpen(&mixer_, device_, reinterpret_cast<DWORD_PTR>(&messages_), 0, CALLBACK_WINDOW), MMSYSERR_NOERROR);
  const Control capture = controls(0, 0);
  ASSERT_EQ(run("pactl", {"set-source-volume", kMonitor, "40%"}).exitCode, 0);
  EXPECT_TRUE(messages_.waitFor([&](const auto& all) { return posted(all, capture.volumeId); }, 5s));
  DWORD got[2] = {0, 0};
  ASSERT_EQ(details(capture.volumeId, 2, got, false), MMSYSERR_NOERROR);
  EXPECT_NEAR(got[0], 0.4 * 65535, 2);

  ASSERT_EQ(run("pactl", {"set-source-mute", kMonitor, "1"}).exitCode, 0);
  EXPECT_TRUE(messages_.waitFor([&](const auto& all) { return posted(all, capture.muteId); }, 5s));
  for (const auto& m : messages_.all()) {
    EXPECT_EQ(m.msg, MM_MIXM_CONTROL_CHANGE);
    EXPECT_EQ(m.wParam, reinterpret_cast<WPARAM>(mixer_));
  }

  ASSERT_EQ(mixerClose(mixer_), MMSYSERR_NOERROR);
  mixer_ = nullptr;
  messages_.clear();
  ASSERT_EQ(run("pactl", {"set-source-volume", kMonitor, "60%"}).exitCode, 0);
  EXPECT_FALSE(messages_.waitFor([](const auto& all) { return !all.empty(); }, 1s));
}

// The output volume of the default device is the server's master volume.
TEST_F(AlsaMixer, OutputVolumeIsTheMasterVolume) {
  DWORD saved = 0;
  ASSERT_EQ(waveOutGetVolume(static_cast<UINT_PTR>(-1), &saved), MMSYSERR_NOERROR);
  ASSERT_EQ(waveOutSetVolume(static_cast<UINT_PTR>(-1), 0x56781234), MMSYSERR_NOERROR);
  DWORD volume = 0;
  ASSERT_EQ(waveOutGetVolume(static_cast<UINT_PTR>(-1), &volume), MMSYSERR_NOERROR);
  EXPECT_EQ(volume, 0x56781234u) << "a set volume reads back as set";
  const QString reported = run("pactl", {"get-sink-volume", kSink}).out;
  EXPECT_TRUE(reported.contains(QString::number(std::lround(0x1234 * 65536.0 / 65535)))) << reported.toStdString();
  WAVEOUTCAPSA caps{};
  ASSERT_EQ(waveOutGetDevCapsA(static_cast<UINT_PTR>(-1), &caps, sizeof caps), MMSYSERR_NOERROR);
  EXPECT_EQ(caps.dwSupport & (WAVECAPS_VOLUME | WAVECAPS_LRVOLUME), WAVECAPS_VOLUME | WAVECAPS_LRVOLUME);
  EXPECT_EQ(waveOutSetVolume(static_cast<UINT_PTR>(-1), saved), MMSYSERR_NOERROR);
}

}  // namespace
}  // namespace alsatest
