// The audio component on the ALSA driver against a real PulseAudio server: recordings
// of speech played into the null sink (also one waiting for its trigger with pre-trigger
// time), a long recording on a busy machine, the server's
// mixer lines, the failure text of a device that does not exist, playback recorded back
// from the sink's monitor, and the device description.
#include <atomic>
#include <sstream>
#include <thread>

#include <QThread>

#include "alsa_test_support.h"
#include "fault_driver.h"
#include "support/driver_scope.h"

namespace pulse_test {
namespace {

using namespace std::chrono_literals;

class AlsaComponent : public PulseComponentTest {};

// Speech played into the sink while the recorder writes the monitor into a WAV file:
// sox reads the file in the chosen format, and the file holds the speech.
TEST_F(AlsaComponent, RecordsSpeechIntoAWaveFile) {
  QTemporaryDir work;
  const QString speech = work.filePath("speech.wav");
  ASSERT_EQ(
      run("espeak-ng", {"-w", speech, "Every block that the sound card delivers reaches the file in order."}).exitCode,
      0)
      << "espeak-ng could not make the speech file";
  struct Case {
    TBPS bits;
    TChannels channels;
    uint32_t rate;
    const char* info;  // what sox says: channels, rate, bits
  } cases[] = {
      {TBPS::_16, TChannels::Stereo, 44100, "2 44100 16"},
      {TBPS::_8, TChannels::Mono, 22050, "1 22050 8"},
      {TBPS::_24, TChannels::Stereo, 96000, "2 96000 24"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.info);
    audio = std::make_unique<TAudio>();
    setFormat(c.bits, c.channels, c.rate, c.rate / 10);
    Delivered delivered;
    delivered.attach(*audio);
    TRecorder& rec = *audio->Recorder();
    const std::string file = path("speech-recorded.wav");
    rec.Triggered = true;
    rec.CreateWaveFile(file, nullptr, nullptr);
    ASSERT_TRUE(rec.Start()) << audio->ErrorMessage;
    ASSERT_TRUE(delivered.waitBlocks(3));  // the recording runs before the speech begins
    ASSERT_EQ(runWhileServing("paplay", {"-d", kSink, speech}), 0);
    ASSERT_TRUE(delivered.waitBlocks(delivered.blocks() + 5));
    ASSERT_TRUE(rec.Stop()) << audio->ErrorMessage;
    EXPECT_FALSE(rec.WaveFileOpen);

    // The whole file decodes; its header gives the format and as many samples as OnRecord saw.
    const std::string info = soxInfo(file);
    ASSERT_FALSE(info.empty()) << "sox cannot read the recording";
    const size_t frames = delivered.bytes().size() / rec.WaveFormat()->nBlockAlign;
    EXPECT_EQ(info, std::string(c.info) + " " + std::to_string(frames));

    // Compared at no more than 44100 Hz, which holds all of the speech.
    const uint32_t compareRate = std::min<uint32_t>(c.rate, 44100);
    const std::vector<double> recorded =
        decodeMono(QString::fromStdString(file), compareRate, work.filePath("recorded.raw"));
    const std::vector<double> reference = decodeMono(speech, compareRate, work.filePath("reference.raw"));
    ASSERT_FALSE(reference.empty());
    ASSERT_GT(recorded.size(), reference.size());
    EXPECT_GE(bestCorrelation(reference, recorded), 0.9);
  }
}

// Speech played after more than a second of silence while a recording with a second of
// pre-trigger time waits for a level the speech reaches: the file begins exactly a second
// of input before the triggering block, so it holds the quiet lead-in and the whole speech
// from its onset.
TEST_F(AlsaComponent, PreTriggerKeepsTheOnsetOfTheSpeech) {
  QTemporaryDir work;
  const QString speech = work.filePath("speech.wav");
  ASSERT_EQ(run("espeak-ng", {"-w", speech, "Nothing of the first word is lost."}).exitCode, 0)
      << "espeak-ng could not make the speech file";
  // The same ALSA driver under a layer that counts the blocks handed back while the
  // recorder waits (nothing else tells them).
  audio.reset();
  auto owned = std::make_unique<fault_test::FaultDriver<AlsaDriver>>();
  auto* card = owned.get();
  DriverScope scope(std::move(owned));
  audio = std::make_unique<TAudio>();
  setFormat(TBPS::_16, TChannels::Stereo, 44100, 4410);
  Delivered delivered;
  delivered.attach(*audio);
  TRecorder& rec = *audio->Recorder();
  const std::string file = path("pre-trigger.wav");
  rec.setTrigLevel(3000);
  rec.setPreTrigger(1000);
  rec.Triggered = false;
  rec.CreateWaveFile(file, nullptr, nullptr);
  ASSERT_TRUE(rec.Start()) << audio->ErrorMessage;
  ASSERT_TRUE(waitFor([&] { return card->inputBlocks() >= 15; })) << "the silence did not arrive";
  EXPECT_EQ(delivered.blocks(), 0u) << "silence fired the trigger";
  ASSERT_EQ(runWhileServing("paplay", {"-d", kSink, speech}), 0);
  ASSERT_TRUE(delivered.waitBlocks(delivered.blocks() + 5));
  ASSERT_TRUE(rec.Stop()) << audio->ErrorMessage;
  audio.reset();

  // The first sample at the level lies in the triggering block, which follows exactly a
  // second (44100 frames) of kept input.
  const std::string bytes = readFile(file);
  ASSERT_GT(bytes.size(), 44u + 44100 * 4);
  EXPECT_EQ(readLE(bytes, 40, 4), bytes.size() - 44);
  size_t firstLoud = 0;
  while (44 + 2 * firstLoud + 1 < bytes.size() && static_cast<int16_t>(readLE(bytes, 44 + 2 * firstLoud, 2)) < 3000)
    ++firstLoud;
  EXPECT_GE(firstLoud / 2, 44100u);
  EXPECT_LT(firstLoud / 2, 44100u + 4410);

  // The whole speech is there, and its onset comes after a quiet lead-in within that second.
  const std::vector<double> recorded = decodeMono(QString::fromStdString(file), 44100, work.filePath("recorded.raw"));
  const std::vector<double> reference = decodeMono(speech, 44100, work.filePath("reference.raw"));
  ASSERT_FALSE(reference.empty());
  ASSERT_GT(recorded.size(), reference.size());
  EXPECT_GE(bestCorrelation(reference, recorded), 0.9);
  size_t onset = 0;
  while (onset < recorded.size() && std::fabs(recorded[onset]) < 300) ++onset;
  EXPECT_GE(onset, 44100u / 2) << "no quiet lead-in: the file does not begin before the speech";
  EXPECT_LT(onset, 44100u + 4410);
}

// Ten seconds of recording, with the other core kept busy, hold ten seconds of audio
// within one block: no block is lost and none over-ran. The time counts from the first
// block (a null sink idle before may take a while to deliver its first data).
TEST_F(AlsaComponent, LongRecordingLosesNoBlockWhileTheMachineIsBusy) {
  setFormat(TBPS::_16, TChannels::Stereo, 44100, 4410);
  Delivered delivered;
  delivered.attach(*audio);
  TRecorder& rec = *audio->Recorder();
  const std::string file = path("long.wav");
  rec.Triggered = true;
  rec.CreateWaveFile(file, nullptr, nullptr);
  std::atomic<bool> busy{true};
  std::thread load([&] {
    volatile uint64_t x = 0;
    while (busy.load(std::memory_order_relaxed)) x = x * 6364136223846793005ULL + 1;
  });
  ASSERT_TRUE(rec.Start()) << audio->ErrorMessage;
  const bool started = delivered.waitBlocks(1);
  if (started) {
    // The length of the recording, not a wait for a condition; the owner's messages are
    // delivered meanwhile, as the program's event loop would.
    const auto end = delivered.first() + 10s;
    waitFor([&] { return std::chrono::steady_clock::now() >= end; }, 30000);
  }
  const DWORD overruns = alsa_->waveInOverruns(rec.WaveIn);
  const auto stopped = std::chrono::steady_clock::now();
  ASSERT_TRUE(rec.Stop()) << audio->ErrorMessage;
  busy = false;
  load.join();
  ASSERT_TRUE(started) << "no block arrived";

  // Whole blocks only reach OnRecord and the file: the one being filled when the
  // recording stops is dropped, so the recording is up to one block shorter than the
  // audio that arrived until the stop.
  const WAVEFORMATEX& format = *rec.WaveFormat();
  const double block = 4410.0 / 44100;
  const double arrived = delivered.secondsUntil(stopped, block);
  const double recorded = static_cast<double>(delivered.bytes().size()) / format.nAvgBytesPerSec;
  EXPECT_GE(arrived, 10.0);
  EXPECT_LE(recorded, arrived + 0.05) << "blocks invented";
  EXPECT_GE(recorded, arrived - block - 0.05) << "blocks lost";
  EXPECT_EQ(overruns, 0u);
  EXPECT_EQ(delivered.bytes().size() % (4410 * 4), 0u) << "only whole blocks reach OnRecord";
  const std::string bytes = readFile(file);
  ASSERT_GE(bytes.size(), 44u);
  EXPECT_EQ(bytes.size() - 44, delivered.bytes().size()) << "the file holds every block OnRecord saw";
  EXPECT_EQ(readLE(bytes, 40, 4), delivered.bytes().size());
}

// The server's mixer through the component: its master and capture lines, a capture
// volume set here that the server then reports, and changes made with pactl that come
// back as OnMixerChange of the capture line.
TEST_F(AlsaComponent, MixerReachesTheServersMasterAndCaptureVolume) {
  int server = -1;
  for (size_t m = 0; m < alsa_->mixers().size(); ++m) {
    if (alsa_->mixers()[m].ctl == "default") server = static_cast<int>(m);
  }
  ASSERT_GE(server, 0) << "the server's mixer is not listed";
  audio->setMixerDeviceID(server);
  TMixerSettings& mixer = *audio->Mixer();
  ASSERT_TRUE(mixer.Valid);
  EXPECT_EQ(mixer.GetDestinations(), (std::vector<std::string>{"Recording", "Playback"}));
  std::string name, description;
  ASSERT_TRUE(mixer.GetMixerInfo(name, description));
  EXPECT_FALSE(name.empty());
  for (uint16_t destination : {0, 1}) {
    SCOPED_TRACE(destination);
    uint16_t left = 0, right = 0;
    bool mute = true;
    uint8_t flags = 0;
    ASSERT_TRUE(mixer.GetVolume(destination, 0, left, right, mute, flags));
    EXPECT_EQ(flags & 0x20, 0x20) << "the line has a volume";
    EXPECT_EQ(flags & 0x80, 0) << "the line has a mute";
    EXPECT_EQ(flags & 0x10, 0) << "ALSA elements have no peak meter";
    EXPECT_EQ(mixer.GetSources(destination).at(0), destination == 0 ? "Recording" : "Playback");
  }

  // 50 % and 20 %; the server's scale is 0..65536 (100 %).
  ASSERT_TRUE(mixer.SetVolume(0, 0, 32768, 13107, false)) << audio->ErrorMessage;
  const std::vector<long> reported = sourceVolume();
  ASSERT_EQ(reported.size(), 2u);
  EXPECT_NEAR(reported[0], 32768 * 65536.0 / 65535, 1);
  EXPECT_NEAR(reported[1], 13107 * 65536.0 / 65535, 1);
  uint16_t left = 0, right = 0;
  bool mute = true;
  uint8_t flags = 0;
  ASSERT_TRUE(mixer.GetVolume(0, 0, left, right, mute, flags));
  EXPECT_EQ(left, 32768);
  EXPECT_EQ(right, 13107);
  EXPECT_FALSE(mute);

  std::vector<std::pair<uint16_t, uint16_t>> changes;
  audio->OnMixerChange = [&](TObject* sender, uint16_t destination, uint16_t source) {
    EXPECT_EQ(sender, &mixer);
    changes.emplace_back(destination, source);
  };
  auto changedWithinASecond = [&](const QStringList& pactl) {
    // Change events of earlier changes (this test's own included) are let through
    // first, so that only the change made now can pass.
    size_t seen = ~size_t{0};
    waitFor(
        [&] {
          if (changes.size() == seen) return true;
          seen = changes.size();
          QThread::msleep(300);
          return false;
        },
        5000);
    changes.clear();
    if (run("pactl", pactl).exitCode != 0) return false;
    return waitFor([&] { return !changes.empty(); }, 1000) &&
           std::all_of(changes.begin(), changes.end(), [](const auto& c) { return c.first == 0 && c.second == 0; });
  };
  EXPECT_TRUE(changedWithinASecond({"set-source-volume", kMonitor, "40%"}));
  ASSERT_TRUE(mixer.GetVolume(0, 0, left, right, mute, flags));
  EXPECT_NEAR(left, 0.4 * 65535, 2);
  EXPECT_NEAR(right, 0.4 * 65535, 2);
  EXPECT_TRUE(changedWithinASecond({"set-source-mute", kMonitor, "1"}));
  ASSERT_TRUE(mixer.GetVolume(0, 0, left, right, mute, flags));
  EXPECT_TRUE(mute);
}

// A device number that does not exist fails with the component's text followed by the
// service's (which refuses it before ALSA sees it); the recorder then records from the
// default device as before.
TEST_F(AlsaComponent, MissingDeviceIsRefusedWithTheServicesText) {
  const UINT missing = alsa_->waveInGetNumDevs();
  if (missing > 9) GTEST_SKIP() << "every device number the component takes exists here";
  setFormat(TBPS::_16, TChannels::Stereo, 44100, 4410);
  audio->setAudioDeviceID(static_cast<int32_t>(missing));
  TRecorder& rec = *audio->Recorder();
  ASSERT_FALSE(rec.Start());
  const std::string& message = audio->ErrorMessage;
  const std::string prefix = "Could not open the input device for recording: ";
  EXPECT_EQ(message.rfind(prefix, 0), 0u) << message;
  EXPECT_EQ(message.substr(prefix.size()), std::string(" ") + mmsystem::resultText(MMSYSERR_BADDEVICEID)) << message;
  EXPECT_FALSE(rec.IsOpen);

  audio->setAudioDeviceID(-1);
  Delivered delivered;
  delivered.attach(*audio);
  rec.Triggered = true;
  ASSERT_TRUE(rec.Start()) << audio->ErrorMessage;
  EXPECT_TRUE(delivered.waitBlocks(2));
  EXPECT_TRUE(rec.Stop()) << audio->ErrorMessage;
}

// Ten blocks of a tone played through the player reach the sink: the recorder, open at
// the same time on the sink's monitor, hears the tone for about a second, so the end of
// the playback is not cut off when the player closes. A silent block leads in: when a
// stream starts, the null sink renders again what it had rendered ahead, which its
// monitor cannot take back, so the monitor misses up to the sink's latency of the
// beginning.
TEST_F(AlsaComponent, PlaybackReachesTheSink) {
  setFormat(TBPS::_16, TChannels::Stereo, 44100, 4410);
  constexpr int kFrames = 11 * 4410;
  std::string tone(kFrames * 4, '\0');
  for (int i = 4410; i < kFrames; ++i) {
    const auto v = static_cast<int16_t>(12000 * std::sin(2 * M_PI * 440 * i / 44100.0));
    std::memcpy(&tone[4 * i], &v, 2);
    std::memcpy(&tone[4 * i + 2], &v, 2);
  }
  int played = 0;
  audio->OnPlayed = [&](TObject* sender) {
    EXPECT_EQ(sender, audio->Player());
    ++played;
  };
  Delivered delivered;
  delivered.attach(*audio);
  TRecorder& rec = *audio->Recorder();
  rec.Triggered = true;
  ASSERT_TRUE(rec.Start()) << audio->ErrorMessage;
  ASSERT_TRUE(delivered.waitBlocks(3));

  ASSERT_TRUE(audio->Player()->Play(std::make_unique<std::istringstream>(tone), 0)) << audio->ErrorMessage;
  ASSERT_TRUE(waitFor([&] { return played > 0; }, 30000)) << "the playback did not end";
  EXPECT_FALSE(audio->Player()->IsOpen);
  ASSERT_TRUE(delivered.waitBlocks(delivered.blocks() + 5));
  ASSERT_TRUE(rec.Stop()) << audio->ErrorMessage;
  EXPECT_EQ(played, 1);

  const std::vector<char> bytes = delivered.bytes();
  const std::vector<double> recorded = mono16(bytes.data(), bytes.size(), 2);
  EXPECT_NEAR(loudSeconds(recorded, 44100, 4000), 1.0, 0.05);
}

// The default device's description: a name a user recognises, every format, the
// server's master volume as a separate left and right volume that follows a change,
// and both directions open at once. The probe leaves the master volume as it was.
TEST_F(AlsaComponent, DeviceInfoDescribesTheDefaultDevice) {
  // Without a sound card ALSA numbers no device, so (as for any card without devices)
  // the component has buffers only once a format is set, as the program does.
  setFormat(TBPS::_16, TChannels::Stereo, 44100, 4096);
  const QString volumeBefore = run("pactl", {"get-sink-volume", kSink}).out;
  std::string name, description;
  ASSERT_TRUE(audio->GetDeviceInfo(name, description)) << audio->ErrorMessage;
  EXPECT_EQ(name, "Default sound device");
  EXPECT_EQ(description,
            "Full-duplex support, 11.025/22.05/44.1 kHz, Mono/Stereo, 8/16-bit, Playback Controls: Separate L/R "
            "Volume");
  EXPECT_EQ(run("pactl", {"get-sink-volume", kSink}).out, volumeBefore);
  EXPECT_FALSE(audio->Recorder()->IsOpen);
  EXPECT_TRUE(waitFor([&] { return !audio->Player()->IsOpen; })) << "the probe left the player open";
}

}  // namespace
}  // namespace pulse_test
