// The block scan: peaks and longest closed clip runs per channel and the heard flag, in
// every sample width, and the scan held to a sample-by-sample reading of its rules on
// random blocks.
#include "scan/block_scan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <vector>

std::ostream& operator<<(std::ostream& os, const BlockScanResult& r) {
  return os << "{peak " << r.peak[0] << "/" << r.peak[1] << ", run " << r.longestRun[0] << "/" << r.longestRun[1]
            << (r.heard ? ", heard" : ", quiet") << "}";
}

namespace {

using Bytes = std::vector<uint8_t>;

Bytes samples16(const std::vector<int16_t>& s) {
  Bytes b(s.size() * 2);
  for (size_t i = 0; i < s.size(); ++i) {
    b[2 * i] = static_cast<uint8_t>(s[i] & 0xFF);
    b[2 * i + 1] = static_cast<uint8_t>((static_cast<uint16_t>(s[i]) >> 8) & 0xFF);
  }
  return b;
}

// Left and right channels interleaved into one 16-bit stereo block.
Bytes stereo16(const std::vector<int16_t>& left, const std::vector<int16_t>& right) {
  std::vector<int16_t> s;
  for (size_t i = 0; i < left.size(); ++i) {
    s.push_back(left[i]);
    s.push_back(right[i]);
  }
  return samples16(s);
}

// A result; a block whose peak lies beyond the quiet limit is heard.
BlockScanResult result(uint16_t peak0, uint16_t peak1, uint16_t run0, uint16_t run1, bool heard) {
  BlockScanResult r;
  r.peak = {peak0, peak1};
  r.longestRun = {run0, run1};
  r.heard = heard;
  return r;
}

class BlockScanTest : public testing::Test {
 protected:
  BlockScanResult scan(const Bytes& b, TBPS bits, TChannels ch, int32_t limit8 = 120, int32_t limit16 = 32700) {
    return scanBlock(b.data(), static_cast<uint32_t>(b.size()), bits, ch, limit8, limit16);
  }
};

TEST_F(BlockScanTest, PeaksFollowTheSignedAndCentredRules) {
  // 16-bit peaks are the largest sample compared as signed from 0: negatives never count,
  // not even -32768, whose magnitude does not fit the positive range.
  std::vector<int16_t> negative(300, -5000);
  negative[17] = -32768;
  EXPECT_EQ(scan(stereo16(negative, negative), TBPS::_16, TChannels::Stereo).peak, (std::array<uint16_t, 2>{0, 0}));
  std::vector<int16_t> left(300, -100), right(300, 7);
  left[250] = 32767;
  right[3] = 12345;
  EXPECT_EQ(scan(stereo16(left, right), TBPS::_16, TChannels::Stereo).peak, (std::array<uint16_t, 2>{32767, 12345}));

  // 8-bit peaks are the distance from 128: silence 0, a single 0 byte 128, 255 only 127.
  Bytes silence(4410, 128);
  EXPECT_EQ(scan(silence, TBPS::_8, TChannels::Mono), result(0, 0, 0, 0, false));
  Bytes one = silence;
  one[2000] = 0;
  EXPECT_EQ(scan(one, TBPS::_8, TChannels::Mono).peak[0], 128);
  one[2000] = 255;
  EXPECT_EQ(scan(one, TBPS::_8, TChannels::Mono).peak[0], 127);
  // Stereo keeps the channels apart: byte 2001 is right.
  Bytes pair = silence;
  pair[2001] = 0;
  pair[100] = 200;
  EXPECT_EQ(scan(pair, TBPS::_8, TChannels::Stereo).peak, (std::array<uint16_t, 2>{72, 128}));
}

TEST_F(BlockScanTest, LongestRunCountsOnlyRunsClosedInsideTheBlock) {
  std::vector<int16_t> s(4410, 1000);
  for (int i = 2000; i < 2005; ++i) s[i] = (i % 2) ? 32701 : -32701;
  EXPECT_EQ(scan(samples16(s), TBPS::_16, TChannels::Mono), result(32701, 0, 5, 0, true));

  // The same burst at the very end stays open and counts nothing.
  std::vector<int16_t> end(4410, 1000);
  for (int i = 4405; i < 4410; ++i) end[i] = 32767;
  EXPECT_EQ(scan(samples16(end), TBPS::_16, TChannels::Mono).longestRun[0], 0);

  // Bursts of 3 and 7, in either order, and a longer one left open at the end.
  for (bool sevenFirst : {false, true}) {
    std::vector<int16_t> b(4410, 0);
    const int first = sevenFirst ? 7 : 3, second = sevenFirst ? 3 : 7;
    for (int i = 0; i < first; ++i) b[100 + i] = -32768;
    for (int i = 0; i < second; ++i) b[3000 + i] = 32701;
    for (int i = 4300; i < 4410; ++i) b[i] = 32701;
    EXPECT_EQ(scan(samples16(b), TBPS::_16, TChannels::Mono).longestRun[0], 7) << "seven first: " << sevenFirst;
  }

  // A run from the block's first sample counts once an in-limit sample closes it.
  std::vector<int16_t> start(1000, 0);
  for (int i = 0; i < 130; ++i) start[i] = 32767;
  EXPECT_EQ(scan(samples16(start), TBPS::_16, TChannels::Mono).longestRun[0], 130);
}

TEST_F(BlockScanTest, LimitBoundsAreExactForBothWidths) {
  // 16-bit: s > limit16 or s < -limit16; with 32767 only -32768 is over.
  const std::vector<int16_t> edge = {0, 32767, 0, -32767, 0, -32768, 0, 100, 101, -101, -100, 0};
  EXPECT_EQ(scan(samples16(edge), TBPS::_16, TChannels::Mono, 0, 32767).longestRun[0], 1);
  EXPECT_EQ(scan(samples16(edge), TBPS::_16, TChannels::Mono, 0, 100).longestRun[0], 2);  // 101, -101
  EXPECT_EQ(scan(samples16(edge), TBPS::_16, TChannels::Mono, 0, 0).longestRun[0], 4);    // 100 .. -100

  // 8-bit: u > 128 + limit8 or u < 127 - limit8, so with 122 the bytes 251..255 and 0..4
  // are over and 5 and 250 are not.
  for (int u = 0; u < 256; ++u) {
    const Bytes b = {128, static_cast<uint8_t>(u), 128};
    const bool over = u >= 251 || u <= 4;
    EXPECT_EQ(scan(b, TBPS::_8, TChannels::Mono, 122).longestRun[0], over ? 1 : 0) << "byte " << u;
  }
  // limit8 0 leaves only 127 and 128 in the limit.
  const Bytes narrow = {128, 129, 126, 128, 127, 128};
  EXPECT_EQ(scan(narrow, TBPS::_8, TChannels::Mono, 0).longestRun[0], 2);
}

TEST_F(BlockScanTest, MonoLeavesTheRightChannelAtZeroAndEmptyBlocksFindNothing) {
  std::vector<int16_t> s(4410, 32767);
  s[6] = 0;
  EXPECT_EQ(scan(samples16(s), TBPS::_16, TChannels::Mono), result(32767, 0, 6, 0, true));
  Bytes b(4410, 255);
  b[10] = 128;
  EXPECT_EQ(scan(b, TBPS::_8, TChannels::Mono), result(127, 0, 10, 0, true));

  for (TBPS bits : {TBPS::_8, TBPS::_16, TBPS::_24, TBPS::_32Float})
    for (TChannels ch : {TChannels::Mono, TChannels::Stereo})
      EXPECT_EQ(scanBlock(nullptr, 0, bits, ch, 0, 0), result(0, 0, 0, 0, false));
}

TEST_F(BlockScanTest, TrailingBytesOfAnIncompleteFrameAreIgnored) {
  // 16-bit stereo, 7 bytes: one whole frame; the loud right sample after it is not read.
  Bytes b = stereo16({0, 0}, {0, 32767});
  b.resize(7);
  EXPECT_EQ(scan(b, TBPS::_16, TChannels::Stereo), result(0, 0, 0, 0, false));
  // 8-bit stereo, 129 bytes: the last byte would be a lone left sample of 0.
  Bytes c(129, 128);
  c[128] = 0;
  EXPECT_EQ(scan(c, TBPS::_8, TChannels::Stereo), result(0, 0, 0, 0, false));
}

TEST_F(BlockScanTest, HeardIsASampleBeyondOnePercentOfFullScaleOnEitherSideOfSilence) {
  // A block of loud negative samples peaks at 0 and is heard all the same.
  const std::vector<int16_t> negative(4410, -5000);
  EXPECT_EQ(scan(stereo16(negative, negative), TBPS::_16, TChannels::Stereo), result(0, 0, 0, 0, true));

  // One sample in quiet input (samples right at the quiet limit, both sides), at the
  // first sample, inside, and last (in the padded last chunk; in stereo the right
  // channel): heard exactly when it lies beyond the limit, whatever the clip limits.
  struct Value {
    int16_t wide;
    uint8_t narrow;
    bool heard;
  } values[] = {{327, 130, false}, {-327, 126, false}, {328, 131, true},
                {-328, 125, true}, {32767, 255, true}, {-32768, 0, true}};
  const size_t frames = 300;
  for (TChannels ch : {TChannels::Mono, TChannels::Stereo}) {
    const size_t samples = frames * (ch == TChannels::Stereo ? 2 : 1);
    for (size_t at : {size_t{0}, size_t{131}, samples - 1}) {
      for (const Value& v : values) {
        std::vector<int16_t> wide(samples);
        Bytes narrow(samples);
        for (size_t i = 0; i < samples; ++i) {
          wide[i] = i % 3 ? int16_t{-327} : int16_t{327};
          narrow[i] = i % 3 ? 126 : 130;
        }
        wide[at] = v.wide;
        narrow[at] = v.narrow;
        for (int32_t limit : {0, 32767}) {
          EXPECT_EQ(scan(samples16(wide), TBPS::_16, ch, limit, limit).heard, v.heard)
              << v.wide << " at " << at << ", limit " << limit;
          EXPECT_EQ(scan(narrow, TBPS::_8, ch, limit, limit).heard, v.heard)
              << int{v.narrow} << " at " << at << ", limit " << limit;
        }
      }
    }
  }
}

TEST_F(BlockScanTest, EveryRunLengthAtEveryPositionAroundChunkEdges) {
  // One run of length n from sample `at`, the rest silent: it counts n unless it reaches
  // the block's end. Covers runs across 64-sample chunks and the padded last chunk.
  const size_t frames = 300;
  for (TChannels ch : {TChannels::Mono, TChannels::Stereo}) {
    const size_t channel = ch == TChannels::Stereo ? 1 : 0, stride = channel + 1;
    for (size_t n = 1; n <= 140; n += (n < 70 ? 1 : 7)) {
      for (size_t at = 0; at + n <= frames; at += (at < 140 ? 1 : 13)) {
        std::vector<int16_t> s(frames * stride, -3);
        Bytes bytes8(frames * stride, 128);
        for (size_t i = at; i < at + n; ++i) {
          s[i * stride + channel] = -32000;
          bytes8[i * stride + channel] = 2;
        }
        const uint16_t expected = at + n < frames ? static_cast<uint16_t>(n) : 0;
        const auto r16 = scan(samples16(s), TBPS::_16, ch, 120, 31999);
        const auto r8 = scan(bytes8, TBPS::_8, ch, 120);
        ASSERT_EQ(r16.longestRun[channel], expected) << "16-bit n " << n << " at " << at;
        ASSERT_EQ(r8.longestRun[channel], expected) << "8-bit n " << n << " at " << at;
        ASSERT_EQ(r16.longestRun[1 - channel], 0);
        ASSERT_EQ(r8.peak[channel], 126);
      }
    }
  }
}

// --- 24-bit and float samples ---

Bytes samples24(const std::vector<int32_t>& s) {
  Bytes b(s.size() * 3);
  for (size_t i = 0; i < s.size(); ++i)
    for (int k = 0; k < 3; ++k) b[3 * i + k] = static_cast<uint8_t>(static_cast<uint32_t>(s[i]) >> (8 * k));
  return b;
}

Bytes samplesF(const std::vector<float>& s) {
  Bytes b(s.size() * 4);
  if (!s.empty()) std::memcpy(b.data(), s.data(), b.size());
  return b;
}

constexpr float kNan = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kDenormal = std::numeric_limits<float>::denorm_min() * 1000;

// One sample `v` among in-limit samples, away from the block's end: 1 if it is over.
uint16_t overRun24(int32_t v, int32_t limit16) {
  const Bytes b = samples24({0, v, 0});
  return scanBlock(b.data(), static_cast<uint32_t>(b.size()), TBPS::_24, TChannels::Mono, 0, limit16).longestRun[0];
}
uint16_t overRunF(float v, int32_t limit16) {
  const Bytes b = samplesF({0, v, 0});
  return scanBlock(b.data(), static_cast<uint32_t>(b.size()), TBPS::_32Float, TChannels::Mono, 0, limit16)
      .longestRun[0];
}

TEST_F(BlockScanTest, WideSamplesPeakOnTheSixteenBitScale) {
  // 24-bit: value / 256, from 0 up; full scale 8388607 is 32767, negatives never count.
  EXPECT_EQ(scan(samples24({-8388608, 8388607, 0}), TBPS::_24, TChannels::Mono).peak[0], 32767);
  EXPECT_EQ(scan(samples24({-8388608, 255, 0}), TBPS::_24, TChannels::Mono).peak[0], 0);
  EXPECT_EQ(scan(samples24({256 * 1000 + 255, -5}), TBPS::_24, TChannels::Stereo).peak,
            (std::array<uint16_t, 2>{1000, 0}));
  // Float: value x 32767, clamped; -1.0 and below count nothing, beyond +1.0 is full scale.
  EXPECT_EQ(scan(samplesF({0.5f, -1.0f}), TBPS::_32Float, TChannels::Stereo).peak, (std::array<uint16_t, 2>{16383, 0}));
  EXPECT_EQ(scan(samplesF({1.0f, 1.5f}), TBPS::_32Float, TChannels::Stereo).peak,
            (std::array<uint16_t, 2>{32767, 32767}));
  EXPECT_EQ(scan(samplesF({kInf, -kInf}), TBPS::_32Float, TChannels::Stereo).peak, (std::array<uint16_t, 2>{32767, 0}));
  // A NaN is full scale on its own channel only.
  EXPECT_EQ(scan(samplesF({0.25f, kNan, 0.25f, 0.0f}), TBPS::_32Float, TChannels::Stereo).peak,
            (std::array<uint16_t, 2>{8191, 32767}));
}

TEST_F(BlockScanTest, WideSamplesMeetTheClipLimitAtTheirOwnResolution) {
  for (int32_t limit : {0, 1, 16384, 32000, 32766, 32767}) {
    // 24-bit: over beyond limit x 256 on either side, one step counts.
    const int32_t bound = limit * 256;
    EXPECT_EQ(overRun24(bound, limit), 0) << limit;
    EXPECT_EQ(overRun24(-bound, limit), 0) << limit;
    EXPECT_EQ(overRun24(bound + 1, limit), bound + 1 <= 8388607 ? 1 : 0) << limit;
    EXPECT_EQ(overRun24(-bound - 1, limit), 1) << limit;

    // Float: over beyond limit / 32767 taken in double: the largest float not above it
    // is in, the next float up is over.
    const double exact = limit / 32767.0;
    float in = static_cast<float>(exact);
    if (static_cast<double>(in) > exact) in = std::nextafter(in, 0.0f);
    // (At limit 0 the next float up is a denormal, which is silence: the smallest normal.)
    const float out = limit == 0 ? std::numeric_limits<float>::min() : std::nextafter(in, 2.0f);
    if (limit > 0) {
      EXPECT_EQ(overRunF(in, limit), 0) << limit;
      EXPECT_EQ(overRunF(-in, limit), 0) << limit;
    }
    EXPECT_EQ(overRunF(out, limit), 1) << limit;
    EXPECT_EQ(overRunF(-out, limit), 1) << limit;
  }
  // Beyond +-1.0, infinities and NaN are over every limit, even one above full scale;
  // denormals are silence even at limit 0.
  for (int32_t limit : {0, 32000, 32767, 40000, 100000}) {
    EXPECT_EQ(overRunF(1.0f, limit), limit >= 32767 ? 0 : 1) << limit;
    EXPECT_EQ(overRunF(-1.0f, limit), limit >= 32767 ? 0 : 1) << limit;
    for (float beyond : {std::nextafter(1.0f, 2.0f), -std::nextafter(1.0f, 2.0f), 1.5f, kInf, -kInf, kNan, -kNan})
      EXPECT_EQ(overRunF(beyond, limit), 1) << beyond << " at " << limit;
    EXPECT_EQ(overRunF(kDenormal, limit), 0) << limit;
    EXPECT_EQ(overRunF(-kDenormal, limit), 0) << limit;
  }
  // A negative limit puts every sample over, as it does at 16 bit.
  EXPECT_EQ(scan(samplesF({0, 0, 0, 1}), TBPS::_32Float, TChannels::Mono, 0, -1).longestRun[0], 0);
  EXPECT_EQ(scan(samples24({0, 0, 0, 0}), TBPS::_24, TChannels::Mono, 0, -1), result(0, 0, 0, 0, false));
}

TEST_F(BlockScanTest, WideSamplesAreHeardBeyondOnePercentOfFullScale) {
  auto heard24 = [&](int32_t v) { return scan(samples24({0, v, 0}), TBPS::_24, TChannels::Mono).heard; };
  EXPECT_FALSE(heard24(327 * 256));
  EXPECT_FALSE(heard24(-327 * 256));
  EXPECT_TRUE(heard24(327 * 256 + 1));
  EXPECT_TRUE(heard24(-327 * 256 - 1));

  auto heardF = [&](float v) { return scan(samplesF({0, v, 0}), TBPS::_32Float, TChannels::Mono).heard; };
  const float quiet = static_cast<float>(327 / 32767.0);
  const float below = static_cast<double>(quiet) > 327 / 32767.0 ? std::nextafter(quiet, 0.0f) : quiet;
  EXPECT_FALSE(heardF(below));
  EXPECT_FALSE(heardF(-below));
  EXPECT_TRUE(heardF(std::nextafter(below, 1.0f)));
  EXPECT_TRUE(heardF(-std::nextafter(below, 1.0f)));
  EXPECT_TRUE(heardF(kNan));
  EXPECT_FALSE(heardF(kDenormal));
  // A block of denormals is silence through and through.
  const std::vector<float> denormals(1000, kDenormal);
  EXPECT_EQ(scan(samplesF(denormals), TBPS::_32Float, TChannels::Stereo, 0, 0), result(0, 0, 0, 0, false));
}

// The rules read sample by sample, as plainly as they are stated, for any width: the
// measure the scan is held to on random blocks.
BlockScanResult readByRule(const Bytes& b, TBPS bits, TChannels ch, int32_t limit8, int32_t limit16) {
  const size_t width = sampleBytesOf(bits), channels = ch == TChannels::Stereo ? 2 : 1;
  const size_t frames = b.size() / (width * channels);
  BlockScanResult r;
  uint32_t current[2] = {0, 0}, longest[2] = {0, 0};
  double peak[2] = {0, 0};
  bool nan[2] = {false, false};
  for (size_t f = 0; f < frames; ++f) {
    for (size_t c = 0; c < channels; ++c) {
      const uint8_t* p = b.data() + (f * channels + c) * width;
      bool over = false, heard = false;
      switch (bits) {
        case TBPS::_8: {
          const int u = p[0];
          peak[c] = std::max<double>(peak[c], std::abs(128 - u));
          over = u > 128 + int64_t{limit8} || u < 127 - int64_t{limit8};
          heard = std::abs(128 - u) > 2;
          break;
        }
        case TBPS::_16:
        case TBPS::_24: {
          int32_t v = bits == TBPS::_16 ? int16_t(p[0] | p[1] << 8) : (p[0] | p[1] << 8 | int8_t(p[2]) << 16);
          const int64_t scale = bits == TBPS::_16 ? 1 : 256;
          peak[c] = std::max<double>(peak[c], v / scale);
          over = v > int64_t{limit16} * scale || v < -int64_t{limit16} * scale;
          heard = std::abs(v) > 327 * scale;
          break;
        }
        case TBPS::_32Float: {
          float v;
          std::memcpy(&v, p, 4);
          const bool denormal = std::fpclassify(v) == FP_SUBNORMAL;
          if (std::isnan(v))
            nan[c] = true;
          else
            peak[c] = std::max<double>(peak[c], std::min(v * 32767.0, 32767.0));
          over = std::isnan(v) || std::abs(v) > 1.0 ||
                 (!denormal && (v > limit16 / 32767.0 || v < -limit16 / 32767.0)) || limit16 < 0;
          heard = std::isnan(v) || std::abs(v) > 327 / 32767.0;
          break;
        }
      }
      r.heard = r.heard || heard;
      if (over) {
        ++current[c];
      } else {
        longest[c] = std::max(longest[c], current[c]);
        current[c] = 0;
      }
    }
  }
  for (size_t c = 0; c < 2; ++c) {
    r.peak[c] = nan[c] ? 32767 : static_cast<uint16_t>(peak[c]);
    r.longestRun[c] = static_cast<uint16_t>(longest[c]);
  }
  return r;
}

TEST(BlockScanRandom, EveryWidthAgreesWithTheRulesReadSampleBySample) {
  // Runs of over-limit samples of many lengths between in-limit stretches, with samples
  // at and around the bounds, full scale and (for float) beyond it, NaN and denormals, in
  // sizes up to a tenth of a second at 192000 Hz, at odd addresses.
  std::mt19937 rng(25);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const TBPS widths[] = {TBPS::_8, TBPS::_16, TBPS::_24, TBPS::_32Float};
  for (int round = 0; round < 1200; ++round) {
    const TBPS bits = widths[round % 4];
    const TChannels ch = pick(0, 1) ? TChannels::Stereo : TChannels::Mono;
    static const int32_t limits16[] = {0, 1, 100, 16384, 32000, 32700, 32767, 40000, -1};
    static const int32_t limits8[] = {0, 1, 64, 120, 122, 127, 128, -1};
    const int32_t limit16 = pick(0, 3) ? limits16[pick(0, 8)] : pick(0, 32767);
    const int32_t limit8 = limits8[pick(0, 7)];
    const size_t width = sampleBytesOf(bits);
    const size_t samples = pick(0, 9) == 0 ? pick(0, 10) : (pick(0, 5) == 0 ? 38400 : pick(0, 9000));
    const double bound = bits == TBPS::_8 ? limit8 / 128.0 : limit16 / 32767.0;
    const int meanRun = std::vector<int>{1, 3, 40, 300}[pick(0, 3)];
    const int stray = std::vector<int>{0, 2, 20}[pick(0, 2)];
    Bytes b(samples * width + pick(0, width - 1) + 64);
    const size_t offset = pick(0, 31);
    bool over = pick(0, 1);
    int left = 0;
    for (size_t i = 0; i < samples; ++i) {
      if (left-- <= 0) {
        over = !over;
        left = pick(0, 2 * meanRun);
      }
      // A value on the scale -1..1 (float may go beyond), then encoded at the width.
      double v = over ? std::min(bound + 0.0001 * pick(1, 50), 1.0) : bound * pick(-100, 100) / 100.0;
      if (pick(0, 1)) v = -v;
      uint8_t* p = b.data() + offset + i * width;
      const int special = pick(0, 99) < stray ? pick(0, 6) : -1;
      switch (bits) {
        case TBPS::_8: p[0] = static_cast<uint8_t>(std::clamp<long>(std::lround(v * 128) + 128, 0, 255)); break;
        case TBPS::_16:
        case TBPS::_24: {
          const double scale = bits == TBPS::_16 ? 32768.0 : 8388608.0;
          long s = std::clamp<long>(std::lround(v * scale), -scale, scale - 1);
          if (special == 0) s = -static_cast<long>(scale);
          if (special == 1) s = static_cast<long>(scale) - 1;
          if (special == 2)
            s = (bits == TBPS::_16 ? long{limit16} : 256L * limit16) * (pick(0, 1) ? 1 : -1) + pick(-1, 1);
          s = std::clamp<long>(s, -scale, scale - 1);
          for (size_t k = 0; k < width; ++k) p[k] = static_cast<uint8_t>(static_cast<unsigned long>(s) >> (8 * k));
          break;
        }
        case TBPS::_32Float: {
          float f = static_cast<float>(v);
          const float edges[] = {kNan, 1.0f, -1.0f, std::nextafter(1.0f, 2.0f), kDenormal, -kInf, 3.0f};
          if (special >= 0) f = edges[special];
          std::memcpy(p, &f, 4);
          break;
        }
      }
    }
    const Bytes block(b.begin() + offset, b.begin() + offset + samples * width + pick(0, width - 1));
    // The scan reads the block in place, at its odd address.
    ASSERT_EQ(scanBlock(b.data() + offset, static_cast<uint32_t>(block.size()), bits, ch, limit8, limit16),
              readByRule(block, bits, ch, limit8, limit16))
        << "round " << round << ", " << sampleBytesOf(bits) * 8 << " bit" << (bits == TBPS::_32Float ? " float" : "")
        << (ch == TChannels::Stereo ? " stereo" : " mono") << ", " << samples << " samples, limit16 " << limit16
        << ", limit8 " << limit8;
  }
}

}  // namespace
