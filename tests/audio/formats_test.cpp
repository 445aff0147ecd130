// Recordings in every sample width, channel count and a spread of rates on the virtual
// card: the file holds the input sample for sample and sox reads it as recorded; the
// header agrees with the data after a stop, after the recording process was killed, and
// in every file of a recording that goes on past the size limit.
#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <csignal>
#include <cstring>
#include <limits>
#include <string>
#include <tuple>

#include "recorder_test_support.h"

namespace {

using namespace recorder_test;

int bitsOf(TBPS bits) { return static_cast<int>(sampleBytesOf(bits)) * 8; }

std::string widthName(TBPS bits) { return bits == TBPS::_32Float ? "float" : std::to_string(bitsOf(bits)) + "bit"; }

// A WAV file of `data` in the width: plain PCM, or the float format tag.
std::string inputFile(TBPS bits, uint16_t channels, uint32_t rate, const std::string& data) {
  std::string wav = wavBytes(channels, rate, static_cast<uint16_t>(bitsOf(bits)), data);
  if (bits == TBPS::_32Float) wav[20] = 3;
  return wav;
}

// Samples that tell every frame from its neighbours and reach both ends of the range:
// full scale, one step inside it, and for float samples beyond +-1.0 and a denormal.
std::string distinctSamples(TBPS bits, size_t samples) {
  std::string out;
  for (size_t i = 0; i < samples; ++i) {
    const size_t k = i % 101;
    switch (bits) {
      case TBPS::_8: out.push_back(static_cast<char>(k == 0 ? 0 : k == 1 ? 255 : (i * 37) % 256)); break;
      case TBPS::_16:
        putLE(out, static_cast<uint16_t>(k == 0 ? -32768 : k == 1 ? 32767 : (i * 7919) % 65536), 2);
        break;
      case TBPS::_24: {
        const int32_t v = k == 0 ? -8388608 : k == 1 ? 8388607 : k == 2 ? 8388606 : int32_t((i * 104729) % 16777216);
        putLE(out, static_cast<uint32_t>(v), 3);
        break;
      }
      case TBPS::_32Float: {
        const float special[] = {-1.0f, 1.0f, 1.25f, -3.0f, std::numeric_limits<float>::denorm_min()};
        const float f =
            k < 5 ? special[k] : static_cast<float>((static_cast<double>((i * 7919) % 20001) - 10000) / 10001.0);
        uint32_t bitsOfF;
        std::memcpy(&bitsOfF, &f, 4);
        putLE(out, bitsOfF, 4);
        break;
      }
    }
  }
  return out;
}

// Where the data chunk's body begins, from the chunks before it.
size_t dataOffset(const std::string& file) {
  size_t at = 12;
  while (at + 8 <= file.size() && file.compare(at, 4, "data") != 0) at += 8 + readLE(file, at + 4, 4);
  return at + 8;
}

// The size fields agree with the bytes on disk: RIFF with the file, data with what follows.
void expectSizesMatch(const std::string& file, const std::string& what) {
  const size_t data = dataOffset(file);
  ASSERT_LE(data, file.size()) << what;
  EXPECT_EQ(readLE(file, 4, 4), file.size() - 8) << what;
  EXPECT_EQ(readLE(file, data - 4, 4), file.size() - data) << what;
}

using Format = std::tuple<TBPS, TChannels, uint32_t>;

class FormatRecording : public RecorderFixture, public testing::WithParamInterface<Format> {};

TEST_P(FormatRecording, TheFileHoldsTheInputSampleForSample) {
  const auto [bits, channels, rate] = GetParam();
  const uint16_t channelCount = channels == TChannels::Stereo ? 2 : 1;
  const size_t frameBytes = frameBytesOf(bits, channels);
  // A quarter second and a few frames of input, looped through three blocks of a tenth.
  const size_t inputFrames = rate / 4 + 7, blockFrames = rate / 10;
  const std::string input = distinctSamples(bits, inputFrames * channelCount);
  writeFile(path("input.wav"), inputFile(bits, channelCount, rate, input));
  useInput(path("input.wav"));
  setFormat(bits, channels, rate, static_cast<uint32_t>(blockFrames));
  EXPECT_EQ(rec().BufferSize(), blockFrames * frameBytes);
  rec().Triggered = true;
  rec().CreateWaveFile(path("take.wav"), nullptr, nullptr);
  std::vector<std::string> blocks;
  ASSERT_TRUE(recordBlocks(3, &blocks)) << audio->ErrorMessage;

  std::string expected;
  while (expected.size() < 3 * blockFrames * frameBytes) expected += input;
  expected.resize(3 * blockFrames * frameBytes);
  const std::string file = readFile(path("take.wav"));
  expectSizesMatch(file, "after the stop");
  EXPECT_TRUE(file.substr(dataOffset(file)) == expected) << "the recorded data differs from the input";
  EXPECT_TRUE(blocks.size() == 3 && blocks[2] == expected.substr(2 * blockFrames * frameBytes))
      << "OnRecord is handed each whole block";
  if (soxInfo("") == "no sox" || kThreadChecked) return;
  EXPECT_EQ(soxInfo(path("take.wav")), std::to_string(channelCount) + " " + std::to_string(rate) + " " +
                                           std::to_string(bitsOf(bits)) + " " + std::to_string(3 * blockFrames));
  EXPECT_EQ(soxEncoding(path("take.wav")), bits == TBPS::_32Float ? "Floating Point PCM"
                                           : bits == TBPS::_8     ? "Unsigned Integer PCM"
                                                                  : "Signed Integer PCM");
}

INSTANTIATE_TEST_SUITE_P(Formats, FormatRecording,
                         testing::Combine(testing::Values(TBPS::_8, TBPS::_16, TBPS::_24, TBPS::_32Float),
                                          testing::Values(TChannels::Mono, TChannels::Stereo),
                                          testing::Values(8000u, 44100u, 96000u, 192000u)),
                         [](const testing::TestParamInfo<Format>& info) {
                           return widthName(std::get<0>(info.param)) +
                                  (std::get<1>(info.param) == TChannels::Stereo ? "_stereo_" : "_mono_") +
                                  std::to_string(std::get<2>(info.param));
                         });

class WideFileTest : public RecorderFixture, public testing::WithParamInterface<TBPS> {};

TEST_P(WideFileTest, ARecordingPastTheLimitGoesOnInThreeFilesWithoutSplittingAFrame) {
  const TBPS bits = GetParam();
  const uint32_t rate = 96000, blockFrames = 960;
  const size_t frameBytes = frameBytesOf(bits, TChannels::Stereo);
  const std::string input = distinctSamples(bits, 2 * 10 * blockFrames);
  writeFile(path("input.wav"), inputFile(bits, 2, rate, input));
  useInput(path("input.wav"));
  setFormat(bits, TChannels::Stereo, rate, blockFrames);
  rec().Triggered = true;
  // A limit of no whole number of frames (or blocks): each file takes the whole frames
  // that fit it.
  const uint64_t limit = 3 * blockFrames * frameBytes + frameBytes * 7 + frameBytes / 2 + 1;
  rec().setMaxDataBytes(limit);
  rec().CreateWaveFile(path("take.wav"), nullptr, nullptr);
  ASSERT_TRUE(recordBlocks(8)) << audio->ErrorMessage;

  const std::string first = readFile(path("take.wav")), second = readFile(path("take-2.wav")),
                    third = readFile(path("take-3.wav"));
  const size_t perFile = limit / frameBytes * frameBytes;
  std::string data;
  for (const std::string* file : {&first, &second, &third}) {
    expectSizesMatch(*file, "a file of the recording");
    data += file->substr(dataOffset(*file));
  }
  EXPECT_EQ(first.size() - dataOffset(first), perFile);
  EXPECT_EQ(second.size() - dataOffset(second), perFile);
  EXPECT_TRUE(data == input.substr(0, 8 * blockFrames * frameBytes)) << "a frame was lost, split or repeated";
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(path("take-4.wav"))));
  if (soxInfo("") == "no sox" || kThreadChecked) return;
  EXPECT_EQ(soxInfo(path("take-3.wav")), "2 96000 " + std::to_string(bitsOf(bits)) + " " +
                                             std::to_string(8 * blockFrames - 2 * perFile / frameBytes));
}

TEST_P(WideFileTest, AKilledRecordingLeavesAHeaderThatAgreesWithWholeFrames) {
  if (kThreadChecked) GTEST_SKIP() << "starts a child process, which the thread checker cannot follow";
  const TBPS bits = GetParam();
  const std::string file = path("killed.wav");
  QProcess child;
  child.start(QCoreApplication::applicationDirPath() + "/helpers/record_until_killed",
              {QString::fromStdString(file), QString::number(static_cast<int>(bits)), "96000"});
  ASSERT_TRUE(child.waitForStarted(30000)) << "build the record_until_killed target";
  const qint64 perSecond = 96000 * frameBytesOf(bits, TChannels::Stereo);
  const bool recorded = waitFor([&] { return QFileInfo(QString::fromStdString(file)).size() >= 2 * perSecond; }, 60000);
  ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
  child.waitForFinished(30000);
  ASSERT_TRUE(recorded) << child.readAllStandardError().toStdString();

  // The sizes were patched within the last half second, to whole frames.
  const std::string bytes = readFile(file);
  const size_t data = dataOffset(bytes);
  const uint32_t dataSize = readLE(bytes, data - 4, 4);
  EXPECT_EQ(readLE(bytes, 4, 4), dataSize + data - 8);
  EXPECT_EQ(dataSize % frameBytesOf(bits, TChannels::Stereo), 0u);
  EXPECT_LE(dataSize, bytes.size() - data);
  EXPECT_GE(dataSize, uint64_t(perSecond));
  if (bits == TBPS::_32Float) {
    EXPECT_EQ(readLE(bytes, data - 12, 4), dataSize / 8) << "the fact chunk's frames";
  }
  const std::string info = soxInfo(file);
  if (info == "no sox") return;
  EXPECT_EQ(info.substr(0, info.rfind(' ')), "2 96000 " + std::to_string(bitsOf(bits)));
  EXPECT_GE(std::stoul(info.substr(info.rfind(' ') + 1)), 96000u);
}

INSTANTIATE_TEST_SUITE_P(Widths, WideFileTest, testing::Values(TBPS::_24, TBPS::_32Float),
                         [](const testing::TestParamInfo<TBPS>& info) { return widthName(info.param); });

}  // namespace
