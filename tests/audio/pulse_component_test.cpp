// The audio component on the sound server driver, on PulseAudio and on PipeWire's front
// end: a WAV file recorded from a second input that is not the default holds the speech
// played into it, and its header agrees with its data; a recording whose input goes away
// ends by itself with the device named, and its file is complete.
#include <QProcess>

#include "audio/Audio.h"
#include "support/delivered_blocks.h"
#include "support/event_wait.h"
#include "support/signal_match.h"
#include "support/sound_servers.h"
#include "support/wave_files.h"

namespace pulse_component {
namespace {

using namespace testsupport;

class PulseComponent : public OnSoundServer {
 protected:
  void SetUp() override {
    OnSoundServer::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_TRUE(turntable.load(nullSink("USB_Turntable")));
    ASSERT_TRUE(waitFor([] { return inputNumber("Monitor of USB_Turntable") >= 0; }, 10000));
    audio = std::make_unique<TAudio>();
    TRecorder& rec = *audio->Recorder();
    rec.setBitsPerSample(TBPS::_16);
    rec.setChannels(TChannels::Stereo);
    rec.setSampleRate(44100);
    rec.setNoSamples(4410);
    audio->setAudioDeviceID(inputNumber("Monitor of USB_Turntable"));
    delivered.attach(*audio);
  }
  void TearDown() override {
    audio.reset();
    turntable.unload();
    OnSoundServer::TearDown();
  }
  std::string path(const char* name) const { return dir.filePath(name).toStdString(); }

  QTemporaryDir dir;
  LoadedModule turntable;
  std::unique_ptr<TAudio> audio;
  DeliveredBlocks delivered;
};

TEST_P(PulseComponent, RecordsTheSecondInputIntoAWaveFile) {
  const QString speech = dir.filePath("speech.wav");
  ASSERT_EQ(run("espeak-ng", {"-w", speech, "Every block that the turntable delivers reaches the file."}).exitCode, 0);
  TRecorder& rec = *audio->Recorder();
  const std::string file = path("turntable.wav");
  rec.Triggered = true;
  rec.CreateWaveFile(file, nullptr, nullptr);
  ASSERT_TRUE(rec.Start()) << audio->ErrorMessage;
  ASSERT_TRUE(delivered.waitBlocks(3));  // the recording runs before the speech begins
  ASSERT_EQ(runWhileServing("paplay", {"-d", "USB_Turntable", speech}), 0);
  ASSERT_TRUE(delivered.waitBlocks(delivered.blocks() + 5));
  ASSERT_TRUE(rec.Stop()) << audio->ErrorMessage;

  // The header's sizes are the data's, and sox reads every sample of it.
  const std::string bytes = readFile(file);
  ASSERT_GT(bytes.size(), 44u);
  EXPECT_EQ(readLE(bytes, 4, 4), bytes.size() - 8);
  EXPECT_EQ(readLE(bytes, 40, 4), bytes.size() - 44);
  EXPECT_EQ(readLE(bytes, 40, 4), delivered.bytes().size()) << "the file holds what OnRecord saw";
  EXPECT_EQ(soxInfo(file), "2 44100 16 " + std::to_string(delivered.bytes().size() / 4));
  const std::vector<double> recorded = decodeMono(QString::fromStdString(file), 44100, dir.filePath("rec.raw"));
  const std::vector<double> reference = decodeMono(speech, 44100, dir.filePath("ref.raw"));
  ASSERT_FALSE(reference.empty());
  ASSERT_GT(recorded.size(), reference.size());
  EXPECT_GE(bestCorrelation(reference, recorded), 0.9);
}

TEST_P(PulseComponent, ARecordingWhoseInputGoesAwayEndsWithItsName) {
  bool stopped = false;
  audio->OnRecordStopped = [&](TObject*) { stopped = true; };
  TRecorder& rec = *audio->Recorder();
  const std::string file = path("unplugged.wav");
  rec.Triggered = true;
  rec.CreateWaveFile(file, nullptr, nullptr);
  ASSERT_TRUE(rec.Start()) << audio->ErrorMessage;
  ASSERT_TRUE(delivered.waitBlocks(3));
  turntable.unload();
  ASSERT_TRUE(waitFor([&] { return stopped; }, 10000)) << "the run did not end";
  EXPECT_NE(audio->ErrorMessage.find("\"Monitor of USB_Turntable\""), std::string::npos) << audio->ErrorMessage;
  EXPECT_FALSE(rec.WaveFileOpen);
  EXPECT_FALSE(rec.IsOpen);
  const std::string bytes = readFile(file);
  ASSERT_GE(bytes.size(), 44u);
  EXPECT_EQ(readLE(bytes, 40, 4), bytes.size() - 44) << "the file was completed";
  EXPECT_FALSE(soxInfo(file).empty());
}

INSTANTIATE_TEST_SUITE_P(Pulse, PulseComponent, ::testing::Values(Server::PulseAudio, Server::PipeWire), serverLabel);

}  // namespace
}  // namespace pulse_component
