// The WAV file writer on its own: creation and its failure, the header of each format,
// and the two stream forms.
#include <optional>
#include <sstream>

#include "audio/wave_file.h"
#include "recorder_test_support.h"

using namespace recorder_test;

namespace {

class WaveFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scope_.emplace(std::make_unique<VirtualDriver>(plainCard(VirtualPacing::AsFastAsQueued)));
    audio = std::make_unique<TAudio>();
    audio->setSeparateCtrls(true);
  }
  void TearDown() override { audio.reset(); }
  TRecorder& rec() { return *audio->Recorder(); }
  std::string path(const char* name) const { return dir_.filePath(name).toStdString(); }

  QTemporaryDir dir_;
  std::optional<DriverScope> scope_;
  std::unique_ptr<TAudio> audio;
};

TEST_F(WaveFileTest, HeaderDescribesTheFormatAtCreation) {
  rec().setBitsPerSample(TBPS::_8);
  rec().setChannels(TChannels::Mono);
  rec().setSampleRate(11025);
  const std::string file = path("mono8.wav");
  rec().CreateWaveFile(file, nullptr, nullptr);
  EXPECT_TRUE(rec().WaveFileOpen);
  // Open for recording: 44 bytes, both sizes still 0.
  std::string bytes = readFile(file);
  ASSERT_EQ(bytes.size(), 44u);
  EXPECT_EQ(bytes.substr(0, 4), "RIFF");
  EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(bytes.substr(36, 4), "data");
  EXPECT_EQ(readLE(bytes, 4, 4), 0u);
  EXPECT_EQ(readLE(bytes, 16, 4), 16u);
  EXPECT_EQ(readLE(bytes, 20, 2), 1u);
  EXPECT_EQ(readLE(bytes, 22, 2), 1u);
  EXPECT_EQ(readLE(bytes, 24, 4), 11025u);
  EXPECT_EQ(readLE(bytes, 28, 4), 11025u);
  EXPECT_EQ(readLE(bytes, 32, 2), 1u);
  EXPECT_EQ(readLE(bytes, 34, 2), 8u);
  EXPECT_EQ(readLE(bytes, 40, 4), 0u);
  // Changing the format afterwards leaves the header alone.
  rec().setBitsPerSample(TBPS::_16);
  EXPECT_TRUE(rec().Stop());
  bytes = readFile(file);
  EXPECT_EQ(readLE(bytes, 4, 4), 36u);
  EXPECT_EQ(readLE(bytes, 34, 2), 8u);
  EXPECT_FALSE(rec().WaveFileOpen);
}

TEST_F(WaveFileTest, AFileThatCannotBeCreatedRaisesEFCreateError) {
  const std::string file = path("missing/folder/x.wav");
  try {
    rec().CreateWaveFile(file, nullptr, nullptr);
    FAIL() << "no exception";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(std::string(e.what()), "Datei " + file + " kann nicht erstellt werden");
  }
  EXPECT_FALSE(rec().WaveFileOpen);
  rec().CreateWaveFile("", nullptr, nullptr);
  EXPECT_FALSE(rec().WaveFileOpen);
}

TEST_F(WaveFileTest, TwoMonoStreamsAreInterleavedThroughTheStagingArea) {
  rec().setChannels(TChannels::Stereo);
  rec().setBitsPerSample(TBPS::_16);
  // 501 samples per channel: two full 1000-byte chunks and one last frame.
  std::string left, right;
  for (int i = 0; i < 501; ++i) {
    putLE(left, static_cast<uint16_t>(i), 2);
    putLE(right, static_cast<uint16_t>(0x8000 + i), 2);
  }
  std::istringstream l(left), r(right);
  l.seekg(700);  // the streams are read from their start whatever their position
  const std::string file = path("inter16.wav");
  rec().CreateWaveFile(file, &l, &r);
  EXPECT_FALSE(rec().WaveFileOpen);
  std::string bytes = readFile(file);
  ASSERT_EQ(bytes.size(), 44u + 2004u);
  EXPECT_EQ(readLE(bytes, 4, 4), 2040u);
  EXPECT_EQ(readLE(bytes, 40, 4), 2004u);
  for (int i = 0; i < 501; ++i) {
    ASSERT_EQ(readLE(bytes, 44 + 4 * i, 2), static_cast<uint32_t>(i));
    ASSERT_EQ(readLE(bytes, 46 + 4 * i, 2), static_cast<uint32_t>(0x8000 + i));
  }

  // 8-bit: 750 bytes each give one full chunk and 500 bytes.
  rec().setBitsPerSample(TBPS::_8);
  std::istringstream l8(std::string(750, 'L')), r8(std::string(750, 'R'));
  rec().CreateWaveFile(file, &l8, &r8);
  bytes = readFile(file);
  ASSERT_EQ(bytes.size(), 44u + 1500u);
  EXPECT_EQ(bytes.substr(44, 6), "LRLRLR");
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "LR");
}

TEST_F(WaveFileTest, OneStreamOrStreamsOfDifferentSizeAreCopied) {
  rec().setChannels(TChannels::Stereo);
  rec().setBitsPerSample(TBPS::_16);
  const std::string payload(100000, 'x');
  std::istringstream data(payload), shorter(std::string(10, 'y'));
  const std::string file = path("copy.wav");
  rec().CreateWaveFile(file, &data, &shorter);
  std::string bytes = readFile(file);
  ASSERT_EQ(bytes.size(), 44u + payload.size());
  EXPECT_EQ(bytes.substr(44), payload);
  EXPECT_EQ(readLE(bytes, 40, 4), payload.size());

  std::istringstream alone("abcd");
  rec().CreateWaveFile(file, &alone, nullptr);
  bytes = readFile(file);
  EXPECT_EQ(bytes.substr(44), "abcd");
  EXPECT_EQ(readLE(bytes, 4, 4), 40u);
}

}  // namespace
