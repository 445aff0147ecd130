// The ALSA driver's conversions that need no server: element ranges to 0..65535 and
// back, remembered levels, and names cut to the fixed fields of the records.
#include <gtest/gtest.h>

#include "mmsystem/alsa/alsa_common.h"
#include "mmsystem/alsa/alsa_mixer.h"

namespace {

TEST(AlsaLevels, ScaleLinearlyBetweenTheRawRangeAndTheMixerRange) {
  struct Range {
    long min, max;
  };
  // A coarse hardware range, the server's range, and a range of hundredths of a dB.
  for (const Range r : {Range{0, 31}, Range{0, 65536}, Range{-6400, 0}, Range{-17, 46}}) {
    SCOPED_TRACE(std::to_string(r.min) + ".." + std::to_string(r.max));
    EXPECT_EQ(alsa::rawToLevel(r.min, r.min, r.max), 0u);
    EXPECT_EQ(alsa::rawToLevel(r.max, r.min, r.max), 65535u);
    EXPECT_EQ(alsa::levelToRaw(0, r.min, r.max), r.min);
    EXPECT_EQ(alsa::levelToRaw(65535, r.min, r.max), r.max);
    // Out-of-range raw values (a driver reporting beyond its range) are clamped.
    EXPECT_EQ(alsa::rawToLevel(r.max + 5, r.min, r.max), 65535u);
    EXPECT_EQ(alsa::rawToLevel(r.min - 5, r.min, r.max), 0u);
    // Every raw step survives the way to the mixer range and back.
    for (long raw = r.min; raw <= r.max; raw += std::max<long>(1, (r.max - r.min) / 97))
      EXPECT_EQ(alsa::levelToRaw(alsa::rawToLevel(raw, r.min, r.max), r.min, r.max), raw);
    // Raising the level never lowers the raw value.
    long previous = r.min;
    for (DWORD level = 0; level <= 65535; level += 251) {
      const long raw = alsa::levelToRaw(level, r.min, r.max);
      EXPECT_GE(raw, previous);
      previous = raw;
    }
  }
  EXPECT_EQ(alsa::levelToRaw(32768, 0, 65536), 32769);  // 32768.5000076 rounds up
  EXPECT_EQ(alsa::rawToLevel(5, 5, 5), 0u) << "an empty range reads as silent";
}

TEST(AlsaLevels, RememberedLevelsHoldOnlyWhileTheRawValuesAreUnchanged) {
  alsa::LevelMemory memory;
  std::array<DWORD, 2> levels{};
  EXPECT_FALSE(memory.recall("hw:0|Capture|0|c", {12, 12}, levels));
  memory.remember("hw:0|Capture|0|c", {12, 12}, {25000, 25010});
  ASSERT_TRUE(memory.recall("hw:0|Capture|0|c", {12, 12}, levels));
  EXPECT_EQ(levels, (std::array<DWORD, 2>{25000, 25010}));
  EXPECT_FALSE(memory.recall("hw:0|Capture|0|c", {12, 13}, levels)) << "changed from outside";
  EXPECT_FALSE(memory.recall("hw:0|Capture|0|c", {12}, levels)) << "fewer channels";
  EXPECT_FALSE(memory.recall("hw:0|Capture|0|p", {12, 12}, levels)) << "another element side";
}

TEST(AlsaLevels, NamesAreCutToTheFieldWithoutSplittingACharacter) {
  char name[8];
  alsa::copyName(name, sizeof name, "Line");
  EXPECT_STREQ(name, "Line");
  alsa::copyName(name, sizeof name, "Loopback Mixer");
  EXPECT_STREQ(name, "Loopbac");
  // "Mikrofön": the two bytes of "ö" would straddle the end of the field.
  alsa::copyName(name, sizeof name, "Mikrof\xc3\xb6n");
  EXPECT_STREQ(name, "Mikrof");
}

}  // namespace
