// The block scan: peaks and longest closed clip runs per channel, on every scan path
// this processor has, and the vector paths held to the plain loop on random blocks.
#include "scan/block_scan.h"

#include <gtest/gtest.h>

#include <cstring>
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

std::string pathName(BlockScanPath p) {
  switch (p) {
    case BlockScanPath::Reference: return "Reference";
    case BlockScanPath::Sse2: return "Sse2";
    case BlockScanPath::Avx2: return "Avx2";
  }
  return "?";
}

std::string paramName(const testing::TestParamInfo<BlockScanPath>& info) { return pathName(info.param); }

// A result; a block whose peak lies beyond the quiet limit is heard.
BlockScanResult result(uint16_t peak0, uint16_t peak1, uint16_t run0, uint16_t run1, bool heard) {
  BlockScanResult r;
  r.peak = {peak0, peak1};
  r.longestRun = {run0, run1};
  r.heard = heard;
  return r;
}

class BlockScanTest : public testing::TestWithParam<BlockScanPath> {
 protected:
  void SetUp() override {
    if (!blockScanPathAvailable(GetParam())) GTEST_SKIP() << pathName(GetParam()) << " is not available here";
  }
  BlockScanResult scan(const Bytes& b, TBPS bits, TChannels ch, int32_t limit8 = 120, int32_t limit16 = 32700) {
    return scanBlockOn(GetParam(), b.data(), static_cast<uint16_t>(b.size()), bits, ch, limit8, limit16);
  }
};

TEST_P(BlockScanTest, PeaksFollowTheSignedAndCentredRules) {
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

TEST_P(BlockScanTest, LongestRunCountsOnlyRunsClosedInsideTheBlock) {
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

TEST_P(BlockScanTest, LimitBoundsAreExactForBothWidths) {
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

TEST_P(BlockScanTest, MonoLeavesTheRightChannelAtZeroAndEmptyBlocksFindNothing) {
  std::vector<int16_t> s(4410, 32767);
  s[6] = 0;
  EXPECT_EQ(scan(samples16(s), TBPS::_16, TChannels::Mono), result(32767, 0, 6, 0, true));
  Bytes b(4410, 255);
  b[10] = 128;
  EXPECT_EQ(scan(b, TBPS::_8, TChannels::Mono), result(127, 0, 10, 0, true));

  for (TBPS bits : {TBPS::_8, TBPS::_16})
    for (TChannels ch : {TChannels::Mono, TChannels::Stereo})
      EXPECT_EQ(scanBlockOn(GetParam(), nullptr, 0, bits, ch, 0, 0), result(0, 0, 0, 0, false));
}

TEST_P(BlockScanTest, TrailingBytesOfAnIncompleteFrameAreIgnored) {
  // 16-bit stereo, 7 bytes: one whole frame; the loud right sample after it is not read.
  Bytes b = stereo16({0, 0}, {0, 32767});
  b.resize(7);
  EXPECT_EQ(scan(b, TBPS::_16, TChannels::Stereo), result(0, 0, 0, 0, false));
  // 8-bit stereo, 129 bytes: the last byte would be a lone left sample of 0.
  Bytes c(129, 128);
  c[128] = 0;
  EXPECT_EQ(scan(c, TBPS::_8, TChannels::Stereo), result(0, 0, 0, 0, false));
}

TEST_P(BlockScanTest, HeardIsASampleBeyondOnePercentOfFullScaleOnEitherSideOfSilence) {
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

TEST_P(BlockScanTest, EveryRunLengthAtEveryPositionAroundChunkEdges) {
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

// Random blocks in every format: runs of over-limit samples of many lengths between
// in-limit stretches, values at and around the bounds, extreme samples, quiet input with
// or without one sample beyond the quiet limit, and sizes from empty to the largest a
// block can have, placed at odd addresses.
class RandomBlocks {
 public:
  explicit RandomBlocks(uint32_t seed) : rng_(seed) {}

  int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

  int32_t limit16() {
    static const int32_t edges[] = {0, 1, 100, 16384, 32000, 32700, 32766, 32767, 32768, -1, -32768, 100000};
    return pick(0, 3) == 0 ? pick(0, 32767) : edges[pick(0, 11)];
  }
  int32_t limit8() {
    static const int32_t edges[] = {0, 1, 64, 120, 122, 126, 127, 128, 255, -1, -128, -129};
    return pick(0, 3) == 0 ? pick(0, 255) : edges[pick(0, 11)];
  }

  uint16_t size() {
    switch (pick(0, 9)) {
      case 0: return static_cast<uint16_t>(pick(0, 8));
      case 1: return static_cast<uint16_t>(pick(60000, 65535));
      default: return static_cast<uint16_t>(pick(0, 9000));
    }
  }

  // A sample of the given width: in limit or over as asked, except for a share of
  // `strayPercent` that is anything, right at a bound, or a full-scale extreme.
  int sample(bool wide, bool over, int32_t limit, int strayPercent) {
    const int lo = wide ? -32768 : 0, hi = wide ? 32767 : 255;
    auto clamp = [&](int64_t v) { return static_cast<int>(v < lo ? lo : (v > hi ? hi : v)); };
    const int64_t up = wide ? int64_t{limit} : 128 + int64_t{limit};
    const int64_t down = wide ? -int64_t{limit} : 127 - int64_t{limit};
    if (pick(0, 99) < strayPercent) {
      switch (pick(0, 2)) {
        case 0: return pick(lo, hi);
        case 1: return clamp(pick(0, 1) ? up + pick(-1, 1) : down + pick(-1, 1));
        default: return pick(0, 1) ? lo : hi;
      }
    }
    if (over) return clamp(pick(0, 1) ? up + 1 + pick(0, 50) : down - 1 - pick(0, 50));
    const int inLo = clamp(down), inHi = clamp(up);
    return inLo <= inHi ? pick(inLo, inHi) : pick(lo, hi);
  }

  // Input around the quiet limit: every sample within it, or one sample (sometimes) just
  // beyond it or at full scale, so that the heard flag is put to the test both ways.
  Bytes quietBlock(uint16_t size, bool wide) {
    Bytes b(size);
    const size_t width = wide ? 2 : 1, count = size / width;
    const int centre = wide ? 0 : 128, limit = wide ? 327 : 2;
    for (size_t i = 0; i < count; ++i) put(b, i, wide, centre + pick(-limit, limit));
    if (count > 0 && pick(0, 1)) {
      const int beyond = pick(0, 3) ? limit + 1 : (wide ? 32767 : 127);
      put(b, static_cast<size_t>(pick(0, static_cast<int>(count) - 1)), wide,
          centre + (pick(0, 1) ? beyond : -beyond - (beyond == limit + 1 ? 0 : 1)));
    }
    for (size_t i = count * width; i < size; ++i) b[i] = static_cast<uint8_t>(pick(0, 255));
    return b;
  }

  Bytes block(uint16_t size, bool wide, bool stereo, int32_t limit) {
    Bytes b(size);
    const size_t width = wide ? 2 : 1, count = size / width;
    const int meanRun = std::vector<int>{1, 2, 5, 40, 200}[pick(0, 4)];
    const int strayPercent = std::vector<int>{0, 1, 10, 30}[pick(0, 3)];
    const int rightBreaks = std::vector<int>{0, 5, 25}[pick(0, 2)];
    bool over = pick(0, 1);
    int left = 0;
    for (size_t i = 0; i < count; ++i) {
      // One pattern of runs for the block; the right channel strays from it at random.
      if (left-- <= 0) {
        over = !over;
        left = pick(0, 2 * meanRun);
      }
      const bool thisOver = stereo && (i % 2) && pick(0, 99) < rightBreaks ? !over : over;
      put(b, i, wide, sample(wide, thisOver, limit, strayPercent));
    }
    for (size_t i = count * width; i < size; ++i) b[i] = static_cast<uint8_t>(pick(0, 255));
    return b;
  }

 private:
  static void put(Bytes& b, size_t i, bool wide, int v) {
    if (wide) {
      b[2 * i] = static_cast<uint8_t>(v & 0xFF);
      b[2 * i + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
    } else {
      b[i] = static_cast<uint8_t>(v);
    }
  }

  std::mt19937 rng_;
};

// The vector paths, held to the reference.
class BlockScanAgreement : public BlockScanTest {};

TEST_P(BlockScanAgreement, AgreesWithTheReferenceOnRandomBlocks) {
  for (uint32_t seed = 1; seed <= 1500; ++seed) {
    RandomBlocks gen(seed);
    const bool wide = gen.pick(0, 1), stereo = gen.pick(0, 1);
    const int32_t limit8 = gen.limit8(), limit16 = gen.limit16();
    const uint16_t size = gen.size();
    const Bytes content =
        gen.pick(0, 3) == 0 ? gen.quietBlock(size, wide) : gen.block(size, wide, stereo, wide ? limit16 : limit8);
    // An exact-size buffer at an odd offset: a read past the block or an aligned-load
    // assumption shows up under the address sanitizer.
    const size_t offset = static_cast<size_t>(gen.pick(0, 31));
    std::vector<uint8_t> storage(offset + size);
    if (size) std::memcpy(storage.data() + offset, content.data(), size);
    const uint8_t* data = storage.data() + offset;
    const TBPS bits = wide ? TBPS::_16 : TBPS::_8;
    const TChannels ch = stereo ? TChannels::Stereo : TChannels::Mono;
    ASSERT_EQ(scanBlockOn(GetParam(), data, size, bits, ch, limit8, limit16),
              scanBlockReference(data, size, bits, ch, limit8, limit16))
        << "seed " << seed << ", " << (wide ? 16 : 8) << "-bit " << (stereo ? "stereo" : "mono") << ", size " << size
        << ", limit8 " << limit8 << ", limit16 " << limit16;
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, BlockScanTest,
                         testing::Values(BlockScanPath::Reference, BlockScanPath::Sse2, BlockScanPath::Avx2),
                         paramName);
INSTANTIATE_TEST_SUITE_P(VectorPaths, BlockScanAgreement, testing::Values(BlockScanPath::Sse2, BlockScanPath::Avx2),
                         paramName);

TEST(BlockScanDispatch, ScanBlockTakesTheFastestAvailablePath) {
  const BlockScanPath fastest = blockScanFastestPath();
  EXPECT_TRUE(blockScanPathAvailable(fastest));
  EXPECT_TRUE(blockScanPathAvailable(BlockScanPath::Reference));
#if defined(__x86_64__)
  EXPECT_NE(fastest, BlockScanPath::Reference);
#endif
  std::vector<int16_t> s(1000, 0);
  for (int i = 10; i < 14; ++i) s[i] = 32767;
  const Bytes b = samples16(s);
  EXPECT_EQ(scanBlock(b.data(), static_cast<uint16_t>(b.size()), TBPS::_16, TChannels::Stereo, 0, 32000),
            result(32767, 32767, 2, 2, true));
}

}  // namespace
