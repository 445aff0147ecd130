// The WAV file writer on its own: creation and its failure, the header of each format,
// its sizes and its limit, a write that fails in part, reading the data size back, and
// the two stream forms.
#include <signal.h>
#include <sys/resource.h>

#include <cerrno>
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

// The writer on its own, in every sample format the multimedia service takes.
class WaveFileStreamTest : public ::testing::Test {
 protected:
  std::string path(const char* name) const { return dir_.filePath(name).toStdString(); }
  QTemporaryDir dir_;
};

std::string fmtBody(const WAVEFORMATEXTENSIBLE& f, size_t size) {
  return std::string(reinterpret_cast<const char*>(&f), size);
}

TEST_F(WaveFileStreamTest, EachFormatHasItsHeaderAndTheSizesOfWhatItHolds) {
  struct Case {
    WaveSample sample;
    WORD channels;
    size_t header;
  } cases[] = {
      {WaveSample::U8, 1, 44},  {WaveSample::S16, 2, 44}, {WaveSample::S24, 1, 68},
      {WaveSample::S24, 2, 68}, {WaveSample::F32, 1, 80}, {WaveSample::F32, 2, 80},
  };
  for (const Case& c : cases) {
    const WAVEFORMATEXTENSIBLE format = waveFormatFor(c.sample, c.channels, 96000);
    SCOPED_TRACE(testing::Message() << "bits " << format.Format.wBitsPerSample << " channels " << c.channels);
    const std::string file = path("format.wav");
    auto stream = WaveFileStream::create(file, format.Format);
    ASSERT_TRUE(stream);
    EXPECT_EQ(stream->headerBytes(), c.header);
    // Seven blocks of a tenth of a second, each byte its own.
    const uint32_t block = 9600 * format.Format.nBlockAlign;
    std::string data;
    for (uint32_t i = 0; i < 7 * block; ++i) data.push_back(static_cast<char>(i * 7 + i / 251));
    for (int b = 0; b < 7; ++b)
      ASSERT_EQ(stream->append(data.data() + b * block, block), WaveFileStream::Append::Written);
    stream->complete();
    stream.reset();

    std::string expected = "RIFF";
    putLE(expected, static_cast<uint32_t>(c.header - 8 + data.size()), 4);
    expected += "WAVEfmt ";
    if (c.header == 44) {
      putLE(expected, 16, 4);
      expected += fmtBody(format, 16);
    } else {
      putLE(expected, 40, 4);
      std::string body;
      putLE(body, WAVE_FORMAT_EXTENSIBLE, 2);
      putLE(body, c.channels, 2);
      putLE(body, 96000, 4);
      putLE(body, 96000 * format.Format.nBlockAlign, 4);
      putLE(body, format.Format.nBlockAlign, 2);
      putLE(body, format.Format.wBitsPerSample, 2);
      putLE(body, 22, 2);
      putLE(body, format.Format.wBitsPerSample, 2);  // every bit valid
      putLE(body, c.channels == 1 ? 0x4 : 0x3, 4);   // centre, or left and right
      putLE(body, c.sample == WaveSample::F32 ? 3 : 1, 4);
      body += std::string("\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 12);
      expected += body;
    }
    if (c.header == 80) {
      expected += "fact";
      putLE(expected, 4, 4);
      putLE(expected, 7 * 9600, 4);  // frames
    }
    expected += "data";
    putLE(expected, static_cast<uint32_t>(data.size()), 4);
    const std::string bytes = readFile(file);
    EXPECT_EQ(bytes.substr(0, c.header), expected);
    EXPECT_EQ(bytes.substr(c.header), data);
    EXPECT_EQ(WaveFileDataBytes(file), data.size());

    if (kThreadChecked || soxInfo("") == "no sox") continue;
    EXPECT_EQ(soxInfo(file), std::to_string(c.channels) + " 96000 " + std::to_string(format.Format.wBitsPerSample) +
                                 " " + std::to_string(7 * 9600));
    EXPECT_EQ(soxEncoding(file), c.sample == WaveSample::F32  ? "Floating Point PCM"
                                 : c.sample == WaveSample::U8 ? "Unsigned Integer PCM"
                                                              : "Signed Integer PCM");
  }
}

TEST_F(WaveFileStreamTest, EveryHeaderLeavesTheSameLimitForTheRiffSize) {
  for (WaveSample sample : {WaveSample::U8, WaveSample::S16, WaveSample::S24, WaveSample::F32}) {
    const WaveHeader header = waveHeaderFor(fileFormatOf(waveFormatFor(sample, 2, 192000).Format));
    EXPECT_EQ(header.maxDataBytes() + header.size() - 8, 0xFFFFFFFFull);
    // A file as large as the limit allows still tells its size; one past it keeps the largest.
    WaveHeader full = header;
    full.setSizes(header.maxDataBytes());
    EXPECT_EQ(readLE(std::string(full.bytes.begin(), full.bytes.end()), 4, 4), 0xFFFFFFFFu);
    EXPECT_EQ(readLE(std::string(full.bytes.begin(), full.bytes.end()), header.dataSizeAt, 4), header.maxDataBytes());
  }
  // The stream keeps to it whatever a test asks for.
  auto stream = WaveFileStream::create(path("limit.wav"), waveFormatFor(WaveSample::F32, 2, 8000).Format);
  stream->setMaxDataBytes(UINT64_MAX);
  EXPECT_EQ(stream->roomLeft(), 0xFFFFFFFFull - 72);
  stream->setMaxDataBytes(100);
  EXPECT_EQ(stream->append("0123456789", 8), WaveFileStream::Append::Written);
  EXPECT_EQ(stream->roomLeft(), 92u);
}

TEST_F(WaveFileStreamTest, AWriteThatFailsInPartIsTakenBackBehindTheHeader) {
  const WAVEFORMATEXTENSIBLE format = waveFormatFor(WaveSample::F32, 2, 48000);
  const std::string file = path("full.wav");
  auto stream = WaveFileStream::create(file, format.Format);
  ASSERT_TRUE(stream);
  const std::string block(4800 * 8, '\x11');
  // A file-size limit stands in for a full disk: the third block fits only in part.
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct sigaction ignore {
  }, previous{};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &previous);
  rlimit small = saved;
  small.rlim_cur = 80 + 2 * block.size() + 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  std::vector<WaveFileStream::Append> appended;
  for (int i = 0; i < 3; ++i) appended.push_back(stream->append(block.data(), block.size()));
  setrlimit(RLIMIT_FSIZE, &saved);
  sigaction(SIGXFSZ, &previous, nullptr);
  EXPECT_EQ(appended,
            (std::vector<WaveFileStream::Append>{WaveFileStream::Append::Written, WaveFileStream::Append::Written,
                                                 WaveFileStream::Append::Failed}));
  EXPECT_EQ(stream->error(), EFBIG);
  stream->complete();
  const std::string bytes = readFile(file);
  ASSERT_EQ(bytes.size(), 80 + 2 * block.size());
  EXPECT_EQ(readLE(bytes, 4, 4), 72 + 2 * block.size());
  EXPECT_EQ(readLE(bytes, 68, 4), 2 * 4800u);  // fact: frames
  EXPECT_EQ(readLE(bytes, 76, 4), 2 * block.size());
}

TEST_F(WaveFileStreamTest, DataBytesAreWhatFollowsTheDataChunksHeader) {
  const std::string file = path("chunks.wav");
  // A chunk of odd size (with its pad byte) before the data, and a size field that a cut
  // off recording left at 0: the samples reach to the end of the file.
  std::string bytes = testsupport::wavBytes(1, 8000, 16, "");
  std::string list = "LIST";
  putLE(list, 3, 4);
  list += std::string("abc\0", 4);
  bytes.insert(36, list);
  bytes += std::string(1234, 'd');
  writeFile(file, bytes);
  EXPECT_EQ(WaveFileDataBytes(file), 1234u);
  writeFile(file, "RIFF\0\0\0\0WAVEfmt ");
  EXPECT_EQ(WaveFileDataBytes(file), 0u);
  EXPECT_EQ(WaveFileDataBytes(path("missing.wav")), 0u);
  EXPECT_EQ(WaveHeaderBytes(TBPS::_16, TChannels::Stereo, 44100), 44u);
}

}  // namespace
