// Archive files from the writer on its own: the broadcast chunk, a file that goes on past
// 4 GiB (plain below its limit, RF64 past it, also while it is still being written), and
// the cue points after the data; each read back by our own walk through the chunks, by
// sndfile-info and by sox. The origination's day arithmetic and the cue points' split
// into the files of a recording.
#include <QStandardPaths>
#include <QThread>
#include <ctime>
#include <map>

#include "audio/recording_marks.h"
#include "audio/wave_file.h"
#include "recorder_test_support.h"

using namespace recorder_test;
using testsupport::readLE64;
using testsupport::sndfileInfo;

namespace {

// The chunks of a RIFF file by id (the first of each), with where its body starts.
struct Chunk {
  size_t at = 0;  // offset of the body
  uint32_t size = 0;
};
std::map<std::string, Chunk> chunksOf(const std::string& bytes, std::vector<std::string>* order = nullptr) {
  std::map<std::string, Chunk> chunks;
  for (size_t at = 12; at + 8 <= bytes.size();) {
    const std::string id = bytes.substr(at, 4);
    const uint32_t size = readLE(bytes, at + 4, 4);
    chunks.emplace(id, Chunk{at + 8, size});
    if (order != nullptr) order->push_back(id);
    // A data chunk of an RF64 file says 0xFFFFFFFF; its size is in the 'ds64' chunk.
    uint64_t length = size;
    if (id == "data" && size == 0xFFFFFFFFu && chunks.count("ds64") != 0)
      length = readLE(bytes, chunks["ds64"].at + 8, 4) | uint64_t{readLE(bytes, chunks["ds64"].at + 12, 4)} << 32;
    at += 8 + length + (length & 1);
  }
  return chunks;
}

// A text field of the broadcast chunk, without its trailing zeros.
std::string field(const std::string& bytes, size_t at, size_t size) {
  std::string text = bytes.substr(at, size);
  return text.substr(0, text.find('\0'));
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string blockData(size_t bytes) {
  std::string data;
  for (size_t i = 0; i < bytes; ++i) data.push_back(static_cast<char>(i * 7 + i / 251));
  return data;
}

class ArchiveWaveTest : public ::testing::Test {
 protected:
  std::string path(const char* name) const { return dir_.filePath(name).toStdString(); }
  QTemporaryDir dir_;
};

TEST_F(ArchiveWaveTest, TheBroadcastChunkSaysWhichFileWhoWhenAndHow) {
  WaveFileOptions options;
  options.broadcast = true;
  options.software = "Tessaron 9.8";
  const WaveOrigination origination{2026, 12, 9, (uint64_t{15} * 3600 + 24 * 60 + 31) * 96000 + 4800, 96000};
  std::string references;
  for (WaveSample sample : {WaveSample::S16, WaveSample::S24}) {
    const WAVEFORMATEXTENSIBLE format = waveFormatFor(sample, 2, 96000);
    const unsigned bits = format.Format.wBitsPerSample;
    SCOPED_TRACE(bits);
    const std::string file = path(bits == 16 ? "take16.wav" : "take24.wav");
    auto stream = WaveFileStream::create(file, format.Format, false, options);
    ASSERT_TRUE(stream);
    const std::string data = blockData(9600 * format.Format.nBlockAlign);
    ASSERT_EQ(stream->append(data.data(), data.size()), WaveFileStream::Append::Written);
    stream->setOrigination(origination);
    stream->complete();
    stream.reset();

    const std::string bytes = readFile(file);
    std::vector<std::string> order;
    auto chunks = chunksOf(bytes, &order);
    EXPECT_EQ(order.back(), "data");
    EXPECT_EQ(bytes.substr(chunks["data"].at), data);
    EXPECT_EQ(readLE(bytes, 4, 4), bytes.size() - 8);
    if (bits == 16) {
      EXPECT_EQ(chunks["data"].at, WaveHeaderBytes(TBPS::_16, TChannels::Stereo, 96000, options));
    }
    const size_t b = chunks["bext"].at;
    ASSERT_NE(b, 0u);
    EXPECT_EQ(chunks["bext"].size % 2, 0u);
    EXPECT_EQ(field(bytes, b, 256), bits == 16 ? "take16.wav" : "take24.wav");
    EXPECT_EQ(field(bytes, b + 256, 32), "Tessaron");
    const std::string reference = field(bytes, b + 288, 32);
    EXPECT_EQ(reference.size(), 32u);
    EXPECT_FALSE(has(references, reference)) << "two files share " << reference;
    references += reference;
    EXPECT_EQ(bytes.substr(b + 320, 18), "2026-12-0915:24:31");
    EXPECT_EQ(readLE64(bytes, b + 338), origination.samplesSinceMidnight);
    EXPECT_EQ(readLE(bytes, b + 346, 2), 1u);
    const std::string history = "A=PCM,F=96000,W=" + std::to_string(bits) + ",M=stereo,T=Tessaron 9.8\r\n";
    EXPECT_EQ(field(bytes, b + 602, chunks["bext"].size - 602), history);

    const std::string info = sndfileInfo(file, "--broadcast");
    if (!info.empty()) {
      EXPECT_TRUE(has(info, "Originator               : Tessaron")) << info;
      EXPECT_TRUE(has(info, "Origination ref          : " + reference)) << info;
      EXPECT_TRUE(has(info, "Origination date         : 2026-12-09")) << info;
      EXPECT_TRUE(has(info, "Origination time         : 15:24:31")) << info;
      EXPECT_TRUE(has(info, "(55471.050000 seconds)")) << info;
      EXPECT_TRUE(has(info, "BWF version              : 1")) << info;
      EXPECT_TRUE(has(info, "Coding history           : " + history.substr(0, history.size() - 2))) << info;
    }
    if (kThreadChecked || soxInfo("") == "no sox") continue;
    EXPECT_EQ(soxInfo(file), "2 96000 " + std::to_string(bits) + " 9600");
  }
}

TEST_F(ArchiveWaveTest, AFileThatGoesOnIsPlainBelowItsLimitAndRf64PastIt) {
  WaveFileOptions options;
  options.rf64 = true;
  for (WaveSample sample : {WaveSample::S16, WaveSample::F32}) {
    const WAVEFORMATEXTENSIBLE format = waveFormatFor(sample, 2, 8000);
    SCOPED_TRACE(format.Format.wBitsPerSample);
    const uint32_t block = 800 * format.Format.nBlockAlign;
    const std::string data = blockData(5 * block);
    for (int blocks : {3, 5}) {
      SCOPED_TRACE(blocks);
      const std::string file = path("long.wav");
      auto stream = WaveFileStream::create(file, format.Format, false, options);
      ASSERT_TRUE(stream);
      EXPECT_TRUE(stream->goesOnPast4GiB());
      // Three blocks stand in for 4 GiB: the limit only says where the file turns RF64.
      stream->setMaxDataBytes(3 * block);
      for (int i = 0; i < blocks; ++i) {
        // Past the limit the sizes on disk, brought up to date while the file is written
        // (as a killed recording leaves them), are the 64-bit ones.
        if (i == 4) QThread::msleep(WaveFileStream::kPatchInterval.count() + 20);
        ASSERT_EQ(stream->append(data.data() + i * block, block), WaveFileStream::Append::Written);
      }
      if (blocks == 5) {
        const std::string written = readFile(file);
        EXPECT_EQ(written.substr(0, 4), "RF64");
        EXPECT_EQ(written.substr(12, 4), "ds64");
        EXPECT_EQ(readLE64(written, 28), 5u * block);
      }
      stream->complete();
      const std::string bytes = readFile(file);
      std::vector<std::string> order;
      auto chunks = chunksOf(bytes, &order);
      EXPECT_EQ(bytes.substr(chunks["data"].at), data.substr(0, blocks * block));
      EXPECT_EQ(WaveFileDataBytes(file), static_cast<uint64_t>(blocks) * block);
      const std::string info = sndfileInfo(file);
      if (blocks == 3) {
        // Every reader opens it: a RIFF file whose first chunk is one to skip.
        EXPECT_EQ(bytes.substr(0, 4), "RIFF");
        EXPECT_EQ(order.front(), "JUNK");
        EXPECT_EQ(chunks["JUNK"].size, 28u);
        EXPECT_EQ(bytes.substr(20, 28), std::string(28, '\0'));
        EXPECT_EQ(readLE(bytes, 4, 4), bytes.size() - 8);
        EXPECT_EQ(chunks["data"].size, 3u * block);
        if (!info.empty()) {
          EXPECT_TRUE(has(info, "JUNK : 28")) << info;
        }
      } else {
        EXPECT_EQ(bytes.substr(0, 4), "RF64");
        EXPECT_EQ(readLE(bytes, 4, 4), 0xFFFFFFFFu);
        EXPECT_EQ(order.front(), "ds64");
        EXPECT_EQ(chunks["data"].size, 0xFFFFFFFFu);
        const size_t d = chunks["ds64"].at;
        EXPECT_EQ(readLE64(bytes, d), bytes.size() - 8);
        EXPECT_EQ(readLE64(bytes, d + 8), 5u * block);
        EXPECT_EQ(readLE64(bytes, d + 16), 5u * 800);
        EXPECT_EQ(readLE(bytes, d + 24, 4), 0u);
        if (chunks.count("fact") != 0) {
          EXPECT_EQ(readLE(bytes, chunks["fact"].at, 4), 5u * 800);
        }
        if (!info.empty()) {
          EXPECT_TRUE(has(info, "RF64")) << info;
          EXPECT_TRUE(has(info, "Riff size : " + std::to_string(bytes.size() - 8))) << info;
          EXPECT_TRUE(has(info, "Data size : " + std::to_string(5 * block))) << info;
          EXPECT_TRUE(has(info, "Frames    : 4000")) << info;
        }
      }
      if (kThreadChecked || soxInfo("") == "no sox") continue;
      EXPECT_EQ(soxInfo(file),
                "2 8000 " + std::to_string(format.Format.wBitsPerSample) + " " + std::to_string(blocks * 800));
    }
  }
}

TEST_F(ArchiveWaveTest, CuePointsAndTheirLabelsFollowTheData) {
  // 8-bit mono of an odd length: the data gets its pad byte before the cue chunk.
  const WAVEFORMATEXTENSIBLE format = waveFormatFor(WaveSample::U8, 1, 8000);
  const std::string data = blockData(1001);
  for (bool rf64 : {false, true}) {
    SCOPED_TRACE(rf64);
    WaveFileOptions options;
    options.rf64 = rf64;
    const std::string file = path("cues.wav");
    auto stream = WaveFileStream::create(file, format.Format, false, options);
    ASSERT_TRUE(stream);
    if (rf64) stream->setMaxDataBytes(1000);
    ASSERT_EQ(stream->append(data.data(), data.size()), WaveFileStream::Append::Written);
    stream->complete({{0, "Marker 1"}, {777, "Dropout 0.31 s"}, {1001, "Marker 2"}});

    const std::string bytes = readFile(file);
    std::vector<std::string> order;
    auto chunks = chunksOf(bytes, &order);
    EXPECT_EQ(std::vector<std::string>(order.end() - 3, order.end()),
              (std::vector<std::string>{"data", "cue ", "LIST"}));
    EXPECT_EQ(bytes.substr(chunks["data"].at, 1001), data);
    EXPECT_EQ(bytes[chunks["data"].at + 1001], '\0');
    EXPECT_EQ(WaveFileDataBytes(file), 1001u);
    if (rf64) {
      EXPECT_EQ(readLE64(bytes, chunks["ds64"].at), bytes.size() - 8);
    } else {
      EXPECT_EQ(readLE(bytes, 4, 4), bytes.size() - 8);
      EXPECT_EQ(chunks["data"].size, 1001u);
    }
    const size_t c = chunks["cue "].at;
    ASSERT_EQ(readLE(bytes, c, 4), 3u);
    const uint32_t frames[] = {0, 777, 1001};
    for (uint32_t i = 0; i < 3; ++i) {
      const size_t p = c + 4 + 24 * i;
      EXPECT_EQ(readLE(bytes, p, 4), i + 1);
      EXPECT_EQ(readLE(bytes, p + 4, 4), frames[i]);
      EXPECT_EQ(bytes.substr(p + 8, 4), "data");
      EXPECT_EQ(readLE(bytes, p + 20, 4), frames[i]);
    }
    const size_t l = chunks["LIST"].at;
    EXPECT_EQ(bytes.substr(l, 4), "adtl");
    EXPECT_EQ(l + chunks["LIST"].size, bytes.size());
    std::string labels;
    for (size_t at = l + 4; at + 12 <= l + chunks["LIST"].size;) {
      EXPECT_EQ(bytes.substr(at, 4), "labl");
      const uint32_t size = readLE(bytes, at + 4, 4);
      labels += std::to_string(readLE(bytes, at + 8, 4)) + "=" + field(bytes, at + 12, size - 4) + ";";
      at += 8 + size + (size & 1);
    }
    EXPECT_EQ(labels, "1=Marker 1;2=Dropout 0.31 s;3=Marker 2;");

    const std::string info = sndfileInfo(file);
    // The reader walks the chunks of a plain file only; of an RF64 file it reads the sizes.
    if (!info.empty() && !rf64) {
      EXPECT_TRUE(has(info, "Count : 3")) << info;
      EXPECT_TRUE(has(info, "Pos :   777  Chunk : data")) << info;
      EXPECT_TRUE(has(info, "labl : 2 : Dropout 0.31 s")) << info;
      EXPECT_TRUE(has(info, "labl : 3 : Marker 2")) << info;
    }
    if (kThreadChecked || soxInfo("") == "no sox") continue;
    EXPECT_EQ(soxInfo(file), "1 8000 8 1001");
  }
}

TEST(RecordingMarks, OriginationsFollowOnAcrossMidnightAndPointsGoToTheirFiles) {
  // 23:59:59.5 local time, at 48000 samples a second.
  std::tm late{};
  late.tm_year = 2026 - 1900;
  late.tm_mon = 11;
  late.tm_mday = 31;
  late.tm_hour = 23;
  late.tm_min = 59;
  late.tm_sec = 59;
  late.tm_isdst = -1;
  const auto time = std::chrono::system_clock::from_time_t(std::mktime(&late)) + std::chrono::milliseconds(500);
  const WaveOrigination o = originationAt(time, 48000);
  EXPECT_EQ(o, (WaveOrigination{2026, 12, 31, 86399ull * 48000 + 24000, 48000}));
  EXPECT_EQ(o.after(23999), (WaveOrigination{2026, 12, 31, 86400ull * 48000 - 1, 48000}));
  EXPECT_EQ(o.after(24000), (WaveOrigination{2027, 1, 1, 0, 48000}));
  EXPECT_EQ(o.after(24000 + 3 * 86400ull * 48000 + 5), (WaveOrigination{2027, 1, 4, 5, 48000}));

  RecordingMarks marks;
  marks.reset(8000);
  EXPECT_FALSE(marks.hasOrigin());
  EXPECT_TRUE(marks.setOrigin(time));
  EXPECT_FALSE(marks.setOrigin(time + std::chrono::seconds(5))) << "the first kept frame stays the origin";
  EXPECT_EQ(marks.addMarker(), 1u);  // frame 0
  marks.addFrames(2480);
  marks.addDropout(2480);  // 0.31 s
  marks.addFrames(2800 - 2480);
  EXPECT_EQ(marks.addMarker(), 2u);  // the first frame of the next file
  marks.addDropout(0);
  marks.addDropout(4);  // 0.0005 s
  EXPECT_EQ(marks.markerCount(), 2u);
  auto labels = [](const std::vector<CuePoint>& points) {
    std::string text;
    for (const CuePoint& p : points) text += std::to_string(p.frame) + " " + p.label + ";";
    return text;
  };
  EXPECT_EQ(labels(marks.take(0, 2800, false)), "0 Marker 1;2480 Dropout 0.31 s;");
  EXPECT_EQ(labels(marks.take(2800, 5600, true)), "0 Marker 2;0 Dropout;0 Dropout 0.00 s;");
  EXPECT_EQ(labels(marks.take(5600, 8400, true)), "");
}

}  // namespace
