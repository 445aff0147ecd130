// The sound server driver's parts that need no server: finding input the server dropped
// from the stream's timing, the wave formats it records in, and the volume scale.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "mmsystem/pulse/gap_finder.h"
#include "mmsystem/pulse/pulse_format.h"
#include "mmsystem/wave_format.h"
#include "support/wave_files.h"

namespace {

using pulse::GapFinder;

constexpr double kRate = 44100 * 4;  // 16-bit stereo, bytes a second
constexpr uint32_t kFrame = 4;

// A source delivering `rate` bytes a second in fragments every `period` seconds, each
// arriving up to `jitter` late (a busy machine), over `seconds`. `drop` bytes vanish at
// `dropAt` seconds, after a stall of `stall` seconds whose held input arrives at once.
struct Delivery {
  double period = 0.05;
  double jitter = 0.03;
  double rateFactor = 1.0;  // the card's clock against the machine's
  double dropAt = -1;
  double stall = 0;
  uint64_t drop = 0;
};

// What the finder reports over the run: total bytes lost and the position of the first.
std::pair<uint64_t, uint64_t> runFinder(const Delivery& d, double seconds) {
  GapFinder finder(kRate, kFrame);
  std::mt19937 random(7);
  std::uniform_real_distribution<double> late(0, d.jitter);
  uint64_t lost = 0;
  uint64_t firstAt = 0;
  bool dropped = false;
  for (double t = 0; t < seconds; t += d.period) {
    double now = t + late(random);
    uint64_t produced = static_cast<uint64_t>(t * kRate * d.rateFactor) / kFrame * kFrame;
    if (d.dropAt >= 0 && t >= d.dropAt) {
      if (t < d.dropAt + d.stall) continue;  // the process is stopped: nothing is observed
      if (!dropped) {
        dropped = true;
        now = d.dropAt + d.stall;
      }
      produced -= d.drop;
    }
    uint64_t at = 0;
    if (const uint64_t n = finder.observe(now, produced, at)) {
      if (lost == 0) firstAt = at;
      lost += n;
    }
  }
  return {lost, firstAt};
}

TEST(PulseGapFinder, ReportsNothingForADeliveryThatKeepsUp) {
  Delivery steady;
  EXPECT_EQ(runFinder(steady, 120).first, 0u) << "jitter of a busy machine";
  Delivery coarse;
  coarse.period = 0.5;  // long fragments
  coarse.jitter = 0.2;
  EXPECT_EQ(runFinder(coarse, 120).first, 0u);
  // A card's clock 0.05 % slow or fast drifts by 1.8 s an hour: followed, never a loss.
  for (double factor : {0.9995, 1.0005}) {
    Delivery drifting;
    drifting.rateFactor = factor;
    EXPECT_EQ(runFinder(drifting, 3600).first, 0u) << factor;
  }
  // A stall the server held completely: the input arrives late, but all of it.
  Delivery held;
  held.dropAt = 10;
  held.stall = 8;
  EXPECT_EQ(runFinder(held, 40).first, 0u);
}

TEST(PulseGapFinder, FindsInputDroppedDuringAStallOnce) {
  for (double stall : {3.0, 32.0}) {
    SCOPED_TRACE(stall);
    Delivery d;
    d.dropAt = 10;
    d.stall = stall;
    d.drop = static_cast<uint64_t>(2.5 * kRate) / kFrame * kFrame;
    const auto [lost, at] = runFinder(d, stall + 30);
    EXPECT_NEAR(static_cast<double>(lost), static_cast<double>(d.drop), 0.06 * kRate) << "within a fragment or so";
    EXPECT_EQ(lost % kFrame, 0u) << "whole frames";
    // Placed after the input held through the stall, within the second the shortfall
    // settled in.
    const double resumed = (d.dropAt + stall) * kRate - static_cast<double>(d.drop);
    EXPECT_GE(static_cast<double>(at), resumed - 0.1 * kRate);
    EXPECT_LE(static_cast<double>(at), resumed + 3 * kRate);
  }
  // A drop too short to tell from the latency's ups and downs goes unreported rather
  // than inventing silence.
  Delivery small;
  small.dropAt = 10;
  small.stall = 1;
  small.drop = static_cast<uint64_t>(0.05 * kRate) / kFrame * kFrame;
  EXPECT_EQ(runFinder(small, 30).first, 0u);
}

TEST(PulseGapFinder, StartsAnewAfterARestart) {
  GapFinder finder(kRate, kFrame);
  uint64_t at = 0;
  for (int i = 0; i <= 40; ++i) finder.observe(i * 0.05, static_cast<uint64_t>(i * 0.05 * kRate), at);
  finder.restart();
  // A pause between a reset and the next start is no loss.
  uint64_t lost = 0;
  for (int i = 0; i <= 100; ++i) lost += finder.observe(100 + i * 0.05, static_cast<uint64_t>(i * 0.05 * kRate), at);
  EXPECT_EQ(lost, 0u);
}

// What each format record the service lets through asks the server for.
TEST(PulseFormat, EveryRecordedFormatHasTheServersSampleFormat) {
  pa_sample_spec samples{};
  pa_channel_map map{};
  struct Case {
    WAVEFORMATEX format;
    pa_sample_format_t expected;
  };
  WAVEFORMATEX float32 = testsupport::pcmFormat(2, 48000, 32);
  float32.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
  for (const Case& c :
       {Case{testsupport::pcmFormat(1, 8000, 8), PA_SAMPLE_U8},
        Case{testsupport::pcmFormat(2, 44100, 16), PA_SAMPLE_S16LE},
        Case{testsupport::pcmFormat(2, 96000, 24), PA_SAMPLE_S24LE},
        Case{testsupport::pcmFormat(1, 48000, 32), PA_SAMPLE_S32LE}, Case{float32, PA_SAMPLE_FLOAT32LE}}) {
    ASSERT_TRUE(pulse::sampleSpec(c.format, samples, map)) << c.format.wBitsPerSample;
    EXPECT_EQ(samples.format, c.expected);
    EXPECT_EQ(samples.channels, c.format.nChannels);
    EXPECT_EQ(samples.rate, c.format.nSamplesPerSec);
    EXPECT_EQ(map.channels, c.format.nChannels);
    EXPECT_EQ(pa_frame_size(&samples), c.format.nBlockAlign) << "the server's frames are the record's";
  }

  // An extensible record says what it holds in its sub-format.
  WAVEFORMATEXTENSIBLE ext = waveFormatFor(WaveSample::F32, 2, 48000);
  ASSERT_TRUE(pulse::sampleSpec(ext.Format, samples, map));
  EXPECT_EQ(samples.format, PA_SAMPLE_FLOAT32LE);
  ext = waveFormatFor(WaveSample::S24, 1, 96000);
  ASSERT_TRUE(pulse::sampleSpec(ext.Format, samples, map));
  EXPECT_EQ(samples.format, PA_SAMPLE_S24LE);
  ext.Format.cbSize = 0;
  EXPECT_FALSE(pulse::sampleSpec(ext.Format, samples, map)) << "a record too short for its sub-format";

  WAVEFORMATEX odd = testsupport::pcmFormat(1, 44100, 12);
  EXPECT_FALSE(pulse::sampleSpec(odd, samples, map));
  WAVEFORMATEX tooFast = testsupport::pcmFormat(1, 10000000, 16);
  EXPECT_FALSE(pulse::sampleSpec(tooFast, samples, map));
}

// 0..65535 is 0..100 % of the server's scale in both directions, every value exactly;
// the two levels reach the channels by their positions.
TEST(PulseFormat, VolumesMapLinearlyAndByChannelPosition) {
  EXPECT_EQ(pulse::toVolume(0), PA_VOLUME_MUTED);
  EXPECT_EQ(pulse::toVolume(65535), PA_VOLUME_NORM);
  EXPECT_EQ(pulse::toVolume(32768), 32769u);
  EXPECT_EQ(pulse::toLevel(PA_VOLUME_NORM * 3 / 2), 65535u) << "above 100 % reads as full";
  for (DWORD level = 0; level <= 65535; ++level) ASSERT_EQ(pulse::toLevel(pulse::toVolume(level)), level);

  pa_channel_map surround;
  pa_channel_map_init_auto(&surround, 6, PA_CHANNEL_MAP_ALSA);  // FL FR RL RR FC LFE
  const pa_cvolume v = pulse::volumeFor(1000, 60000, surround);
  ASSERT_EQ(v.channels, 6);
  EXPECT_EQ(pulse::toLevel(v.values[0]), 1000u);
  EXPECT_EQ(pulse::toLevel(v.values[1]), 60000u);
  EXPECT_EQ(pulse::toLevel(v.values[2]), 1000u) << "rear left follows left";
  EXPECT_EQ(pulse::toLevel(v.values[3]), 60000u);
  EXPECT_EQ(pulse::toLevel(v.values[4]), 60000u) << "centre takes the louder";
  const std::array<DWORD, 2> back = pulse::levels(v, surround);
  EXPECT_EQ(back[0], 1000u);
  EXPECT_EQ(back[1], 60000u);

  pa_channel_map mono;
  pa_channel_map_init_mono(&mono);
  const pa_cvolume m = pulse::volumeFor(1000, 60000, mono);
  ASSERT_EQ(m.channels, 1);
  const std::array<DWORD, 2> monoBack = pulse::levels(m, mono);
  EXPECT_EQ(monoBack[0], monoBack[1]) << "one channel reads as both";
}

}  // namespace
