// The sound server driver against real servers, PulseAudio and PipeWire's front end: its
// inputs by name, recording from a chosen one, the mixer's volumes, mutes, change messages
// and peak meters, and the end of a recording whose source goes away.
#include <QProcess>
#include <algorithm>
#include <atomic>
#include <cmath>

#include "mmsystem/alsa/alsa_pulse.h"
#include "support/sound_servers.h"

namespace pulsetest {
namespace {

using namespace std::chrono_literals;
using namespace testsupport;
using alsatest::Capture;
using alsatest::Messages;

class PulseDriverTest : public OnSoundServer {
 protected:
  void TearDown() override {
    if (mixer_ != nullptr) {
      EXPECT_EQ(mixerClose(mixer_), MMSYSERR_NOERROR);
    }
    OnSoundServer::TearDown();
  }

  // Loads `module` and waits until the driver lists the input named `input`.
  void loadInput(LoadedModule& module, const QStringList& arguments, const std::string& input) {
    ASSERT_TRUE(module.load(arguments)) << arguments.join(' ').toStdString();
    ASSERT_TRUE(waitFor([&] { return inputNumber(input) >= 0; }, 10000)) << input << " is not listed";
  }

  struct Line {
    DWORD volume = 0, mute = 0, peak = 0, channels = 0;
  };
  // The controls of the recording source line named `name` of the open mixer.
  Line recordingLine(const std::string& name) {
    MIXERLINEA destination{};
    destination.cbStruct = sizeof destination;
    EXPECT_EQ(mixerGetLineInfoA(mixer_, &destination, MIXER_GETLINEINFOF_DESTINATION), MMSYSERR_NOERROR);
    for (DWORD s = 0; s < destination.cConnections; ++s) {
      MIXERLINEA line{};
      line.cbStruct = sizeof line;
      line.dwDestination = 0;
      line.dwSource = s;
      EXPECT_EQ(mixerGetLineInfoA(mixer_, &line, MIXER_GETLINEINFOF_SOURCE), MMSYSERR_NOERROR);
      if (name != line.szName) continue;
      std::vector<MIXERCONTROLA> list(line.cControls);
      MIXERLINECONTROLSA lc{};
      lc.cbStruct = sizeof lc;
      lc.dwLineID = line.dwLineID;
      lc.cControls = line.cControls;
      lc.cbmxctrl = sizeof(MIXERCONTROLA);
      lc.pamxctrl = list.data();
      EXPECT_EQ(mixerGetLineControlsA(mixer_, &lc, MIXER_GETLINECONTROLSF_ALL), MMSYSERR_NOERROR);
      Line found;
      found.channels = line.cChannels;
      for (const MIXERCONTROLA& c : list) {
        EXPECT_LT(c.dwControlID, 65535u) << "ids from 65535 on count as none";
        if (c.dwControlType == MIXERCONTROL_CONTROLTYPE_VOLUME) found.volume = c.dwControlID;
        if (c.dwControlType == MIXERCONTROL_CONTROLTYPE_MUTE) found.mute = c.dwControlID;
        if (c.dwControlType == MIXERCONTROL_CONTROLTYPE_PEAKMETER) found.peak = c.dwControlID;
      }
      return found;
    }
    ADD_FAILURE() << "no recording line " << name;
    return {};
  }
  MMRESULT details(DWORD id, DWORD channels, void* values, bool set) {
    MIXERCONTROLDETAILS d{};
    d.cbStruct = sizeof d;
    d.dwControlID = id;
    d.cChannels = channels;
    d.cbDetails = sizeof(DWORD);
    d.paDetails = values;
    return set ? mixerSetControlDetails(mixer_, &d, MIXER_SETCONTROLDETAILSF_VALUE)
               : mixerGetControlDetailsA(mixer_, &d, MIXER_GETCONTROLDETAILSF_VALUE);
  }
  static bool posted(const std::vector<Messages::Message>& all, UINT msg, LPARAM param) {
    return std::any_of(all.begin(), all.end(), [&](const Messages::Message& m) {
      return m.msg == msg && (msg == MM_MIXM_LINE_CHANGE || m.lParam == param);
    });
  }
  void openMixer() {
    ASSERT_EQ(mixerOpen(&mixer_, 0, reinterpret_cast<DWORD_PTR>(&messages_), 0, CALLBACK_WINDOW), MMSYSERR_NOERROR);
  }

  HMIXER mixer_ = nullptr;
  Messages messages_;
};

// Three inputs (the test sink's monitor, a second null sink's monitor standing for a USB
// turntable, a source standing for a webcam's microphone) are listed by their
// descriptions, the real input before the monitors; the server's name is the mixer's.
// A source loaded while the mixer is open is announced as a line change and listed; one
// unloaded leaves the list.
TEST_P(PulseDriverTest, ListsEveryInputByItsDescriptionAndFollowsTheServer) {
  LoadedModule turntable;
  loadInput(turntable, nullSink("USB_Turntable"), "Monitor of USB_Turntable");
  openMixer();
  MIXERCAPSA caps{};
  ASSERT_EQ(mixerGetDevCapsA(0, &caps, sizeof caps), MMSYSERR_NOERROR);
  EXPECT_EQ(std::string(caps.szPname), pulse_->serverName());
  EXPECT_EQ(mixerGetNumDevs(), 1u);

  LoadedModule webcam;
  loadInput(webcam, nullSource(GetParam(), "webcam_mic"), "webcam_mic");
  EXPECT_TRUE(messages_.waitFor([](const auto& all) { return posted(all, MM_MIXM_LINE_CHANGE, 0); }, 5s))
      << "the mixer's owner was not told that the lines changed";
  // The test sink's monitor is listed too (the server names it).
  EXPECT_GE(waveInGetNumDevs(), 3u);
  EXPECT_LT(inputNumber("webcam_mic"), inputNumber("Monitor of USB_Turntable")) << "a real input comes first";

  webcam.unload();
  EXPECT_TRUE(waitFor([&] { return inputNumber("webcam_mic") < 0; }, 10000)) << "an unloaded source stays listed";
}

// A recording from the turntable's input while speech plays into it and a tone into the
// default sink holds the speech, not the tone: the device records from its own source.
TEST_P(PulseDriverTest, RecordsTheChosenInputNotTheDefault) {
  LoadedModule turntable;
  loadInput(turntable, nullSink("USB_Turntable"), "Monitor of USB_Turntable");
  QTemporaryDir dir;
  const QString speech = dir.filePath("speech.wav");
  ASSERT_EQ(run("espeak-ng", {"-w", speech, "The turntable plays while the microphone waits."}).exitCode, 0);
  std::vector<int16_t> tone(44100 * 4);
  for (size_t i = 0; i < tone.size(); ++i)
    tone[i] = static_cast<int16_t>(12000 * std::sin(2 * M_PI * 440 * i / 44100.0));
  const QString toneFile = dir.filePath("tone.wav");
  writeFile(toneFile.toStdString(), wavBytes(1, 44100, 16, samples16(tone)));

  const WAVEFORMATEX format = pcmFormat(2, 44100, 16);
  Capture capture(format);
  ASSERT_EQ(capture.open(static_cast<UINT>(inputNumber("Monitor of USB_Turntable"))), MMSYSERR_NOERROR);
  ASSERT_EQ(capture.start(), MMSYSERR_NOERROR);
  ASSERT_TRUE(capture.waitBlocks(3, 10s));  // recording runs before the speech begins
  QProcess toneIntoDefault;
  toneIntoDefault.start("paplay", {"-d", kSink, toneFile});
  ASSERT_EQ(run("paplay", {"-d", "USB_Turntable", speech}, 60000).exitCode, 0);
  const size_t after = capture.fullBlocks() + 5;
  ASSERT_TRUE(capture.waitBlocks(after, 20s));
  EXPECT_EQ(capture.stop(), MMSYSERR_NOERROR);
  capture.close();
  toneIntoDefault.waitForFinished(10000);

  const std::vector<double> recorded = monoSamples(capture.data(), format);
  const std::vector<double> reference = decodeMono(speech, 44100, dir.filePath("ref.raw"));
  ASSERT_FALSE(reference.empty());
  ASSERT_GT(recorded.size(), reference.size());
  EXPECT_GE(bestCorrelation(reference, recorded), 0.9);
}

// A volume set through the mixer is what the server reports and reads back as set; the
// balance works through the two channels; a change made outside (pactl) is posted for
// the control that changed within half a second; nothing is posted after the close.
TEST_P(PulseDriverTest, VolumesAreTheServersAndOutsideChangesArePosted) {
  LoadedModule turntable;
  loadInput(turntable, nullSink("USB_Turntable"), "Monitor of USB_Turntable");
  openMixer();
  const Line line = recordingLine("Monitor of USB_Turntable");
  ASSERT_NE(line.volume, 0u);
  ASSERT_NE(line.mute, 0u);
  EXPECT_EQ(line.channels, 2u);

  DWORD set[2] = {32768, 13107};  // 50 % and 20 %
  ASSERT_EQ(details(line.volume, 2, set, true), MMSYSERR_NOERROR);
  const std::vector<long> reported = pactlVolume("source", "USB_Turntable.monitor");
  ASSERT_EQ(reported.size(), 2u);
  EXPECT_NEAR(reported[0], 32768 * 65536.0 / 65535, 1) << "0..65535 is 0..100 % of the server's scale";
  EXPECT_NEAR(reported[1], 13107 * 65536.0 / 65535, 1);
  DWORD got[2] = {0, 0};
  ASSERT_EQ(details(line.volume, 2, got, false), MMSYSERR_NOERROR);
  EXPECT_EQ(got[0], 32768u);
  EXPECT_EQ(got[1], 13107u);
  DWORD tooLoud[2] = {65536, 0};
  EXPECT_EQ(details(line.volume, 2, tooLoud, true), MIXERR_INVALVALUE);

  messages_.clear();
  ASSERT_EQ(run("pactl", {"set-source-volume", "USB_Turntable.monitor", "40%"}).exitCode, 0);
  const auto changed = std::chrono::steady_clock::now();
  EXPECT_TRUE(messages_.waitFor([&](const auto& all) { return posted(all, MM_MIXM_CONTROL_CHANGE, line.volume); }, 5s));
  EXPECT_LT(std::chrono::steady_clock::now() - changed, 500ms) << "the sliders would follow late";
  ASSERT_EQ(details(line.volume, 2, got, false), MMSYSERR_NOERROR);
  EXPECT_NEAR(got[0], 0.4 * 65535, 2);
  EXPECT_NEAR(got[1], 0.4 * 65535, 2);

  ASSERT_EQ(run("pactl", {"set-source-mute", "USB_Turntable.monitor", "1"}).exitCode, 0);
  EXPECT_TRUE(messages_.waitFor([&](const auto& all) { return posted(all, MM_MIXM_CONTROL_CHANGE, line.mute); }, 5s));
  DWORD mute = 0;
  ASSERT_EQ(details(line.mute, 1, &mute, false), MMSYSERR_NOERROR);
  EXPECT_EQ(mute, 1u);
  for (const auto& m : messages_.all()) EXPECT_EQ(m.wParam, reinterpret_cast<WPARAM>(mixer_));

  ASSERT_EQ(mixerClose(mixer_), MMSYSERR_NOERROR);
  mixer_ = nullptr;
  messages_.clear();
  ASSERT_EQ(run("pactl", {"set-source-volume", "USB_Turntable.monitor", "60%"}).exitCode, 0);
  EXPECT_FALSE(messages_.waitFor([](const auto& all) { return !all.empty(); }, 1s));
}

// A tone at half of full scale played into a sink reads on its monitor's peak meter
// within 5 % of full scale of that level. The meter's stream exists only while the meter
// is read: a second after the last read nothing of this program records any more.
TEST_P(PulseDriverTest, PeakMeterReadsAPlayedToneAndRecordsOnlyWhileRead) {
  LoadedModule turntable;
  loadInput(turntable, nullSink("USB_Turntable"), "Monitor of USB_Turntable");
  openMixer();
  const Line line = recordingLine("Monitor of USB_Turntable");
  ASSERT_NE(line.peak, 0u);
  auto ourStreams = [] {
    const QString list = run("pactl", {"list", "source-outputs"}).out;
    return list.count("Tessaron peak meter");
  };

  QTemporaryDir dir;
  std::vector<int16_t> tone(44100 * 3);
  for (size_t i = 0; i < tone.size(); ++i)
    tone[i] = static_cast<int16_t>(16384 * std::sin(2 * M_PI * 440 * i / 44100.0));
  const QString toneFile = dir.filePath("tone.wav");
  writeFile(toneFile.toStdString(), wavBytes(1, 44100, 16, samples16(tone)));
  QProcess player;
  player.start("paplay", {"-d", "USB_Turntable", toneFile});
  ASSERT_TRUE(player.waitForStarted(10000));
  int32_t highest[2] = {0, 0};
  const auto until = std::chrono::steady_clock::now() + 2500ms;
  while (std::chrono::steady_clock::now() < until) {
    int32_t peak[2] = {0, 0};
    ASSERT_EQ(details(line.peak, 2, peak, false), MMSYSERR_NOERROR);
    highest[0] = std::max(highest[0], peak[0]);
    highest[1] = std::max(highest[1], peak[1]);
    std::this_thread::sleep_for(25ms);
  }
  EXPECT_GE(ourStreams(), 1) << "the meter is read, so its stream is there";
  player.waitForFinished(10000);
  for (int32_t h : highest) EXPECT_NEAR(h, 16384, 0.05 * 32767);

  EXPECT_TRUE(waitFor([&] { return ourStreams() == 0; }, 5000)) << "the meter's stream outlived its reads";
}

// A source unloaded during a recording (a USB microphone unplugged) ends it: every header
// comes back, the failure is reported once naming the device, and the device closes.
TEST_P(PulseDriverTest, ASourceThatGoesAwayEndsTheRecording) {
  LoadedModule webcam;
  loadInput(webcam, nullSource(GetParam(), "webcam_mic"), "webcam_mic");
  const WAVEFORMATEX format = pcmFormat(1, 48000, 16);
  Capture capture(format);
  ASSERT_EQ(capture.open(static_cast<UINT>(inputNumber("webcam_mic"))), MMSYSERR_NOERROR);
  ASSERT_EQ(capture.start(), MMSYSERR_NOERROR);
  ASSERT_TRUE(capture.waitBlocks(3, 10s));
  webcam.unload();
  ASSERT_TRUE(capture.waitError(10s)) << "the device did not report the failure";
  EXPECT_EQ(capture.error(), MMSYSERR_NODRIVER);
  EXPECT_NE(capture.errorText().find("\"webcam_mic\""), std::string::npos) << capture.errorText();
  std::vector<UINT> messages = capture.messages();
  const auto error = std::find(messages.begin(), messages.end(), WIM_ERROR);
  EXPECT_EQ(std::count(error, messages.end(), WIM_DATA), 0) << "every header came back before the failure";
  EXPECT_EQ(capture.stop(), MMSYSERR_NOERROR);
  EXPECT_EQ(waveInStart(capture.handle()), capture.error()) << "a failed device does not start again";
  capture.close();
  EXPECT_EQ(capture.closeResult(), MMSYSERR_NOERROR);
  messages = capture.messages();
  EXPECT_EQ(std::count(messages.begin(), messages.end(), WIM_ERROR), 1);
  EXPECT_EQ(messages.back(), WIM_CLOSE);
}

// The whole process stopped for longer than the server keeps for it: what the recording
// holds and what the headers report as lost add up to the wall clock's time, so a file
// written from them keeps its timeline. At 192 kHz the server's room for a client that
// does not read lasts a few seconds.
TEST_P(PulseDriverTest, AStallLongerThanTheServerKeepsIsReportedAsLost) {
  if (kThreadChecked) GTEST_SKIP() << "stops the process from a forked child (see support/programs.h)";
  QProcess reader;
  ASSERT_TRUE(readMonitor(reader));
  const WAVEFORMATEX format = pcmFormat(2, 192000, 16);
  Capture capture(format, 19200);
  ASSERT_EQ(capture.open(), MMSYSERR_NOERROR);
  ASSERT_EQ(capture.start(), MMSYSERR_NOERROR);
  ASSERT_TRUE(capture.waitBlocks(20, 10s));
  ASSERT_TRUE(stopThisProcessFor(10));
  // What the server held arrives at once; the shortfall then takes two windows of the
  // finder to settle. The length of the recording, not a wait for a condition.
  std::this_thread::sleep_for(5s);
  EXPECT_EQ(capture.stop(), MMSYSERR_NOERROR);
  capture.close();
  reader.kill();
  reader.waitForFinished(5000);

  const double recorded = static_cast<double>(capture.data().size()) / format.nAvgBytesPerSec;
  const double lost = static_cast<double>(capture.framesLost()) / format.nSamplesPerSec;
  EXPECT_GE(capture.secondsDelivered(), 10.0 + 2.0);
  EXPECT_NEAR(recorded + lost, capture.secondsDelivered(), 0.4)
      << recorded << " s recorded, " << lost << " s lost, " << capture.overruns() << " overruns";
}

INSTANTIATE_TEST_SUITE_P(Pulse, PulseDriverTest, ::testing::Values(Server::PulseAudio, Server::PipeWire), serverLabel);

}  // namespace
}  // namespace pulsetest
