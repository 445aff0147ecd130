// Whole recordings on the virtual card into archive files: one file across the (lowered)
// 4 GiB limit, a plain file below it, markers and dropouts as cue points at their exact
// frames, the broadcast times of continuation files and of a triggered recording's first
// kept frame, cue points after the shutdown query, and a killed RF64 recording.
#include <signal.h>

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <atomic>
#include <map>

#include "audio/recording_marks.h"
#include "audio/wave_file.h"
#include "recorder_test_support.h"

using namespace recorder_test;
using testsupport::readLE64;
using testsupport::sndfileInfo;

namespace {

// Offset of the body of chunk `id` (the first one), 0 when the file has none.
size_t chunkAt(const std::string& bytes, const char* id) {
  uint64_t ds64Data = 0;
  for (size_t at = 12; at + 8 <= bytes.size();) {
    uint64_t size = readLE(bytes, at + 4, 4);
    if (bytes.compare(at, 4, "ds64") == 0) ds64Data = readLE64(bytes, at + 16);
    if (bytes.compare(at, 4, id) == 0) return at + 8;
    if (bytes.compare(at, 4, "data") == 0 && size == 0xFFFFFFFFu) size = ds64Data;
    at += 8 + size + (size & 1);
  }
  return 0;
}

// The cue points of a file as "frame label;" in order.
std::string cuesOf(const std::string& bytes) {
  const size_t cue = chunkAt(bytes, "cue ");
  const size_t list = chunkAt(bytes, "LIST");
  if (cue == 0 || list == 0) return "";
  std::map<uint32_t, std::string> labels;
  for (size_t at = list + 4; at + 12 <= bytes.size() && bytes.compare(at, 4, "labl") == 0;) {
    const uint32_t size = readLE(bytes, at + 4, 4);
    labels[readLE(bytes, at + 8, 4)] = bytes.substr(at + 12, size - 5);
    at += 8 + size + (size & 1);
  }
  std::string text;
  for (uint32_t i = 0; i < readLE(bytes, cue, 4); ++i) {
    const size_t p = cue + 4 + 24 * i;
    text += std::to_string(readLE(bytes, p + 20, 4)) + " " + labels[readLE(bytes, p, 4)] + ";";
  }
  return text;
}

// The samples of a file's data chunk (to its size; an RF64 file's from its 'ds64' chunk).
std::string dataOf(const std::string& bytes) {
  const size_t data = chunkAt(bytes, "data");
  if (data == 0) return "";
  uint64_t size = readLE(bytes, data - 4, 4);
  if (size == 0xFFFFFFFFu) size = readLE64(bytes, chunkAt(bytes, "ds64") + 8);
  return bytes.substr(data, size);
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class ArchiveRecording : public RecorderFixture {
 protected:
  void setOptions(bool broadcast, bool rf64) {
    WaveFileOptions options;
    options.broadcast = broadcast;
    options.rf64 = rf64;
    rec().setFileOptions(options);
  }
  // Records `blocks` blocks, setting a marker from OnRecord right after each block of
  // `markAt` (counted from 1) is in the file.
  bool recordMarked(int blocks, std::vector<int> markAt) {
    std::atomic<int> count{0};  // counted on the service thread
    audio->OnRecord = [&, blocks](TObject*, void*, void*, uint32_t) {
      ++count;
      if (std::find(markAt.begin(), markAt.end(), count) != markAt.end()) rec().AddMarker();
      if (count == blocks) rec().Stop();
    };
    if (!rec().Start()) return false;
    const bool done = waitFor([&] { return !rec().IsOpen; });
    audio->OnRecord = nullptr;
    return done && count.load() == blocks;
  }
};

// The continuation's own test, with one file past the limit instead: the same input and
// dropout give one file holding all of it, with the dropout a cue point where its
// silence begins.
TEST_F(ArchiveRecording, OneFileGoesOnPastTheLimitWithTheDropoutAsACuePoint) {
  const std::string data = useQuietStereo(10 * 800, 800);
  rec().Triggered = true;
  setOptions(false, true);
  rec().setMaxDataBytes(3 * 3200 + 1600);
  // Half a second lost before block 3 (counted from 0): after 2400 frames.
  card_->dropoutAt(3, 1, 4000);
  rec().CreateWaveFile(path("take.wav"), nullptr, nullptr);
  int changes = 0;
  audio->OnRecordFileChanged = [&](TObject*, const std::string&) { ++changes; };
  ASSERT_TRUE(recordMarked(7, {})) << audio->ErrorMessage;
  QCoreApplication::processEvents();

  const std::string expected = data.substr(0, 3 * 3200) + silence(4000 * 4, 16) + data.substr(3 * 3200, 4 * 3200);
  EXPECT_EQ(changes, 0);
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(path("take-2.wav"))));
  const std::string bytes = readFile(path("take.wav"));
  EXPECT_EQ(bytes.substr(0, 4), "RF64");
  EXPECT_EQ(readLE64(bytes, chunkAt(bytes, "ds64")), bytes.size() - 8);
  EXPECT_EQ(dataOf(bytes), expected);
  EXPECT_EQ(cuesOf(bytes), "2400 Dropout 0.50 s;");
  EXPECT_EQ(WaveFileDataBytes(path("take.wav")), expected.size());
  const std::string info = sndfileInfo(path("take.wav"));
  if (!info.empty()) {
    EXPECT_TRUE(has(info, "Data size : " + std::to_string(expected.size()))) << info;
    EXPECT_TRUE(has(info, "Frames    : " + std::to_string(expected.size() / 4))) << info;
  }
  if (kThreadChecked || soxInfo("") == "no sox") return;
  EXPECT_EQ(soxInfo(path("take.wav")), "2 8000 16 " + std::to_string(expected.size() / 4));
}

TEST_F(ArchiveRecording, ARecordingThatEndsBelowTheLimitIsAPlainWavFile) {
  const std::string data = useQuietStereo(10 * 800, 800);
  rec().Triggered = true;
  setOptions(false, true);
  rec().setMaxDataBytes(3 * 3200 + 1600);
  rec().CreateWaveFile(path("short.wav"), nullptr, nullptr);
  ASSERT_TRUE(recordMarked(3, {})) << audio->ErrorMessage;
  const std::string bytes = readFile(path("short.wav"));
  // The plain file with the room for the 64-bit sizes kept by a chunk every reader skips.
  std::string expected = wavBytes(2, 8000, 16, data.substr(0, 3 * 3200));
  expected.insert(12, std::string("JUNK\x1c\0\0\0", 8) + std::string(28, '\0'));
  std::string riffSize;
  putLE(riffSize, 36 + 36 + 3 * 3200, 4);
  expected.replace(4, 4, riffSize);
  EXPECT_EQ(bytes, expected);
  if (kThreadChecked || soxInfo("") == "no sox") return;
  EXPECT_EQ(soxInfo(path("short.wav")), "2 8000 16 2400");
}

// Continuation files each with their own broadcast chunk, whose time follows on from the
// file before to the sample, and with their own markers, at the frames they were set at.
TEST_F(ArchiveRecording, ContinuationFilesHaveTheirOwnTimesAndMarkers) {
  const std::string data = useQuietStereo(10 * 800, 800);
  rec().Triggered = true;
  setOptions(true, false);
  rec().setMaxDataBytes(3 * 3200 + 1600);  // 2800 frames a file
  rec().CreateWaveFile(path("take.wav"), nullptr, nullptr);
  ASSERT_TRUE(recordMarked(7, {2, 5, 7})) << audio->ErrorMessage;
  QCoreApplication::processEvents();
  EXPECT_EQ(rec().MarkerCount(), 3u);

  const std::string first = readFile(path("take.wav"));
  const std::string second = readFile(path("take-2.wav"));
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(path("take-3.wav"))));
  EXPECT_EQ(dataOf(first) + dataOf(second), data.substr(0, 7 * 3200));
  EXPECT_EQ(dataOf(first).size(), 2800u * 4);
  // Block 7 ends the second file: its marker is that file's last position.
  EXPECT_EQ(cuesOf(first), "1600 Marker 1;");
  EXPECT_EQ(cuesOf(second), "1200 Marker 2;2800 Marker 3;");

  const size_t b1 = chunkAt(first, "bext");
  const size_t b2 = chunkAt(second, "bext");
  ASSERT_TRUE(b1 != 0 && b2 != 0);
  EXPECT_EQ(first.substr(b1, 9), std::string("take.wav\0", 9));
  EXPECT_EQ(second.substr(b2, 11), std::string("take-2.wav\0", 11));
  EXPECT_NE(first.substr(b1 + 288, 32), second.substr(b2 + 288, 32));
  const uint64_t reference1 = readLE64(first, b1 + 338);
  const uint64_t reference2 = readLE64(second, b2 + 338);
  // Unless the take crossed midnight, the second file begins 2800 samples later.
  if (first.compare(b1 + 320, 10, second, b2 + 320, 10) == 0) {
    EXPECT_EQ(reference2, reference1 + 2800);
  }
  const auto timeOf = [](uint64_t samples) {
    char text[32];
    const uint64_t s = samples / 8000;
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", unsigned(s / 3600), unsigned(s / 60 % 60), unsigned(s % 60));
    return std::string(text);
  };
  EXPECT_EQ(first.substr(b1 + 330, 8), timeOf(reference1));
  EXPECT_EQ(second.substr(b2 + 330, 8), timeOf(reference2));

  const std::string info = sndfileInfo(path("take-2.wav"));
  if (!info.empty()) {
    EXPECT_TRUE(has(info, "Pos :  1200")) << info;
    EXPECT_TRUE(has(info, "labl : 2 : Marker 3")) << info;
    EXPECT_TRUE(has(sndfileInfo(path("take-2.wav"), "--broadcast"), "Description              : take-2.wav"));
  }
  if (kThreadChecked || soxInfo("") == "no sox") return;
  EXPECT_EQ(soxInfo(path("take.wav")), "2 8000 16 2800");
  EXPECT_EQ(soxInfo(path("take-2.wav")), "2 8000 16 2800");
}

// A triggered recording in real time with a second of input kept before its trigger: the
// file's origination is when its first kept frame was taken, not when the trigger fired.
TEST_F(ArchiveRecording, TheOriginationIsTheFirstKeptFrameOfATriggeredRecording) {
  // Three seconds of quiet input, then a loud block.
  std::string input = quietFrames16(3 * 8000, 2);
  input += samples16(std::vector<int16_t>(2 * 800 * 2, 30000));
  writeFile(path("input.wav"), wavBytes(2, 8000, 16, input));
  useCard(plainCard(VirtualPacing::RealTime, path("input.wav")));
  setFormat(TBPS::_16, TChannels::Stereo, 8000, 800);
  setOptions(true, false);
  rec().setTrigLevel(20000);
  rec().setPreTrigger(1000);
  rec().Triggered = false;
  rec().CreateWaveFile(path("triggered.wav"), nullptr, nullptr);
  const auto started = std::chrono::system_clock::now();
  ASSERT_TRUE(recordMarked(1, {})) << audio->ErrorMessage;
  const std::string bytes = readFile(path("triggered.wav"));
  ASSERT_EQ(dataOf(bytes).size(), (8000u + 800) * 4);  // a second kept and the triggering block
  const size_t b = chunkAt(bytes, "bext");
  ASSERT_NE(b, 0u);
  // Frame 16000 of the input, two seconds after the start; a busy machine delivers late.
  const WaveOrigination expected = originationAt(started, 8000).after(16000);
  char date[48];
  std::snprintf(date, sizeof date, "%04d-%02u-%02u", expected.year, expected.month, expected.day);
  if (bytes.compare(b + 320, 10, date) != 0) GTEST_SKIP() << "the take crossed midnight";
  const auto reference = static_cast<int64_t>(readLE64(bytes, b + 338));
  const auto wanted = static_cast<int64_t>(expected.samplesSinceMidnight);
  EXPECT_GE(reference, wanted - 1600) << "origination before the first kept frame";
  EXPECT_LE(reference, wanted + 8000) << "origination is the trigger's time, not the first kept frame's";
}

// What a terminating signal asks for: the open file is completed with its cue points.
TEST_F(ArchiveRecording, TheShutdownQueryWritesTheCuePoints) {
  useQuietStereo(10 * 800, 800);
  rec().Triggered = true;
  rec().CreateWaveFile(path("ended.wav"), nullptr, nullptr);
  std::atomic<int> count{0};  // counted on the service thread, read on this one
  audio->OnRecord = [&](TObject*, void*, void*, uint32_t) {
    if (++count == 2) rec().AddMarker();
  };
  ASSERT_TRUE(rec().Start());
  ASSERT_TRUE(waitFor([&] { return count.load() >= 4; }));
  audio->ShutdownQuery();
  audio->OnRecord = nullptr;
  EXPECT_FALSE(rec().WaveFileOpen);
  const std::string bytes = readFile(path("ended.wav"));
  EXPECT_EQ(cuesOf(bytes), "1600 Marker 1;");
  EXPECT_EQ(readLE(bytes, 4, 4), bytes.size() - 8);
  EXPECT_EQ(rec().AddMarker(), 0u) << "no marker without a file";
}

TEST_F(ArchiveRecording, AKilledRecordingPastTheLimitOpensWithItsWholeBlocks) {
  if (kThreadChecked) GTEST_SKIP() << "starts a child process, which the thread checker cannot follow";
  const std::string file = path("killed.wav");
  // The child records 16-bit stereo at 44100 Hz in blocks of 17640 bytes into one file
  // that turns RF64 past one second.
  QProcess child;
  child.start(QCoreApplication::applicationDirPath() + "/helpers/record_until_killed",
              {QString::fromStdString(file), "--rf64", "176400"});
  ASSERT_TRUE(child.waitForStarted(30000)) << "build the record_until_killed target";
  const qint64 threeSeconds = 80 + 3 * 176400;
  const bool recorded = waitFor([&] { return QFileInfo(QString::fromStdString(file)).size() >= threeSeconds; }, 60000);
  ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
  child.waitForFinished(30000);
  ASSERT_TRUE(recorded) << child.readAllStandardError().toStdString();

  const std::string bytes = readFile(file);
  ASSERT_EQ(bytes.substr(0, 4), "RF64");
  const size_t ds64 = chunkAt(bytes, "ds64");
  const uint64_t data = readLE64(bytes, ds64 + 8);
  EXPECT_EQ(data % 17640, 0u) << "sizes of whole blocks";
  EXPECT_GE(data, 2u * 176400);
  EXPECT_LE(data, bytes.size() - chunkAt(bytes, "data"));
  EXPECT_EQ(readLE64(bytes, ds64), data + chunkAt(bytes, "data") - 8);
  const std::string info = soxInfo(file);
  if (info != "no sox") {
    ASSERT_FALSE(info.empty());
    EXPECT_GE(std::stoul(info.substr(info.rfind(' ') + 1)), 2u * 44100);
  }
}

}  // namespace
