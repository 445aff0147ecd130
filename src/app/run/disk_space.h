// The free space of the file system a recording is written to, and what the window makes
// of it: the question before a recording of set length that will not fit, and the time
// left until the disk is full. Sizes are given to the user in MB of 1,000,000 bytes.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

struct DiskSpace {
  uint64_t freeBytes = 0;  // what a program without special rights may still write
  QString mountPoint;      // where the file system holding the path is mounted
};

// The free space and mount point of the file system that holds `path`, a file that need
// not exist yet (its nearest existing folder is asked). None when it cannot be read.
std::optional<DiskSpace> diskSpaceOf(const QString& path);

// Where the window reads free space from; tests put their own figures in its place.
using DiskSpaceSource = std::function<std::optional<DiskSpace>(const QString& path)>;

// The bytes a recording of `seconds` needs at `bytesPerSecond` in files with headers of
// `headerBytes` (one more for every 4 GiB of data, unless it is `oneFile` that goes on
// past 4 GiB), with 1 % to spare.
uint64_t bytesNeeded(uint64_t seconds, uint64_t bytesPerSecond, uint32_t headerBytes, bool oneFile = false);

// "Only <free> MB are free on <mount>; the recording needs <n> MB. Record anyway?" Free
// space is rounded down and the need up, so the two never show as equal.
QString diskSpaceQuestion(const DiskSpace& space, uint64_t needed);
