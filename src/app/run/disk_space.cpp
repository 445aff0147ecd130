// Reading the free space of a recording's file system (statvfs on the nearest existing
// folder), the room a recording of set length needs, and the texts about it.
#include "app/run/disk_space.h"

#include <sys/statvfs.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

namespace {

constexpr uint64_t bytesPerMB = 1000000;

// The folder of `path`, or the nearest existing folder above it.
QString existingFolder(const QString& path) {
  QDir dir = QFileInfo(path).absoluteDir();
  while (!dir.exists() && !dir.isRoot()) {
    if (!dir.cdUp()) break;
  }
  return dir.absolutePath();
}

}  // namespace

std::optional<DiskSpace> diskSpaceOf(const QString& path) {
  const QString folder = existingFolder(path);
  struct statvfs fs {};
  if (statvfs(QFile::encodeName(folder).constData(), &fs) != 0) return std::nullopt;
  DiskSpace space;
  space.freeBytes = uint64_t{fs.f_bavail} * fs.f_frsize;
  space.mountPoint = QStorageInfo(folder).rootPath();
  if (space.mountPoint.isEmpty()) space.mountPoint = folder;
  return space;
}

uint64_t bytesNeeded(uint64_t seconds, uint64_t bytesPerSecond, uint32_t headerBytes, bool oneFile) {
  const uint64_t data = seconds * bytesPerSecond;
  // A file's RIFF size, everything after its first 8 bytes, fits 32 bits.
  const uint64_t perFile = 0xFFFFFFFFull - (headerBytes - 8);
  const uint64_t bytes = data + (oneFile ? 1 : data / perFile + 1) * headerBytes;
  return bytes + (bytes + 99) / 100;
}

QString diskSpaceQuestion(const DiskSpace& space, uint64_t needed) {
  return QCoreApplication::translate("DiskSpace",
                                     "Only %1 MB are free on %2; the recording needs %3 MB. Record anyway?")
      .arg(space.freeBytes / bytesPerMB)
      .arg(space.mountPoint)
      .arg((needed + bytesPerMB - 1) / bytesPerMB);
}
