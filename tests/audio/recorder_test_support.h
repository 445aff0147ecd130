// Shared helpers of the recorder and WAV file tests: a virtual card that counts the
// buffers queued to it, small WAV files with chosen samples, and reading results back.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "audio/Audio.h"
#include "mmsystem/driver.h"
#include "mmsystem/virtual_driver.h"

namespace recorder_test {

// The virtual card, counting every buffer queued to it (a re-queue means a block was
// delivered and handed back).
class CountingDriver : public VirtualDriver {
 public:
  explicit CountingDriver(VirtualCard card) : VirtualDriver(std::move(card)) {}
  MMRESULT waveInAddBuffer(HWAVEIN handle, WAVEHDR* header, UINT cb) override {
    ++added;
    return VirtualDriver::waveInAddBuffer(handle, header, cb);
  }
  std::atomic<int> added{0};
};

// A card with one input and one output and no mixer, so the signal is not scaled.
inline VirtualCard plainCard(VirtualPacing pacing, const std::string& inputFile = {}) {
  VirtualCard card;
  VirtualWaveDevice device;
  device.name = "Test Card";
  card.inputs.push_back(device);
  card.outputs.push_back(device);
  card.pacing = pacing;
  card.inputFile = inputFile;
  return card;
}

// Installs `driver` for the life of the object and puts the previous one back after.
class DriverScope {
 public:
  explicit DriverScope(std::unique_ptr<Driver> driver) : previous_(mmsystem::installDriver(std::move(driver))) {}
  ~DriverScope() { mmsystem::installDriver(std::move(previous_)); }

 private:
  std::unique_ptr<Driver> previous_;
};

inline void putLE(std::string& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A complete PCM WAV file holding `data`.
inline std::string wavBytes(uint16_t channels, uint32_t rate, uint16_t bits, const std::string& data) {
  std::string out = "RIFF";
  putLE(out, static_cast<uint32_t>(36 + data.size()), 4);
  out += "WAVEfmt ";
  putLE(out, 16, 4);
  putLE(out, 1, 2);
  putLE(out, channels, 2);
  putLE(out, rate, 4);
  putLE(out, rate * channels * bits / 8, 4);
  putLE(out, channels * bits / 8, 2);
  putLE(out, bits, 2);
  out += "data";
  putLE(out, static_cast<uint32_t>(data.size()), 4);
  return out + data;
}

inline std::string samples16(const std::vector<int16_t>& samples) {
  std::string out;
  for (int16_t s : samples) putLE(out, static_cast<uint16_t>(s), 2);
  return out;
}

inline void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline uint32_t readLE(const std::string& bytes, size_t offset, int width) {
  uint32_t v = 0;
  for (int i = width - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[offset + i]);
  return v;
}

// Lets the owner's thread run until `done` holds; false after `timeoutMs`.
inline bool waitFor(const std::function<bool()>& done, int timeoutMs = 20000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

// The thread checker reports false races in a process that has forked (QProcess), so the
// tests that start other programs skip under it.
#if defined(__SANITIZE_THREAD__)
constexpr bool kThreadChecked = true;
#else
constexpr bool kThreadChecked = false;
#endif

// What sox says about a file: "channels rate bits samples", or "" when it cannot read it.
inline std::string soxInfo(const std::string& path) {
  if (QStandardPaths::findExecutable("sox").isEmpty()) return "no sox";
  auto ask = [&](const char* option) {
    QProcess sox;
    sox.start("sox", {"--i", option, QString::fromStdString(path)});
    if (!sox.waitForFinished(30000) || sox.exitCode() != 0) return std::string("?");
    return sox.readAllStandardOutput().trimmed().toStdString();
  };
  // Decoding the whole file proves sox can read every sample, not only the header.
  QProcess decode;
  decode.start("sox", {QString::fromStdString(path), "-n", "stat"});
  if (!decode.waitForFinished(30000) || decode.exitCode() != 0) return "";
  return ask("-c") + " " + ask("-r") + " " + ask("-b") + " " + ask("-s");
}

}  // namespace recorder_test
