// The child of the killed-recording tests: records stereo from a virtual card in real time
// into the file named by its first argument, until it is killed: 16-bit at 44100 Hz; or
// the sample width (the stored value: 0 8-bit .. 3 float) and the rate given after the
// name; or with "--rf64 LIMIT" into one file that turns RF64 past LIMIT bytes of data.
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "audio/recorder_test_support.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const bool rf64 = argc == 4 && std::string(argv[2]) == "--rf64";
  if (argc != 2 && argc != 4) {
    std::fprintf(stderr, "usage: record_until_killed FILE.wav [--rf64 LIMIT | BITS RATE]\n");
    return 2;
  }
  const bool format = argc == 4 && !rf64;
  const auto bits = format ? static_cast<TBPS>(std::atoi(argv[2]) & 3) : TBPS::_16;
  const uint32_t rate = format ? static_cast<uint32_t>(std::atol(argv[3])) : 44100;
  recorder_test::DriverScope scope(std::make_unique<VirtualDriver>(recorder_test::plainCard(VirtualPacing::RealTime)));
  TAudio audio;
  audio.setSeparateCtrls(true);
  TRecorder& rec = *audio.Recorder();
  rec.setBitsPerSample(bits);
  rec.setChannels(TChannels::Stereo);
  rec.setSampleRate(rate);
  rec.setNoSamples(rate / 10);
  rec.Triggered = true;
  if (rf64) {
    WaveFileOptions options;
    options.rf64 = true;
    rec.setFileOptions(options);
    rec.setMaxDataBytes(std::stoull(argv[3]));
  }
  rec.CreateWaveFile(argv[1], nullptr, nullptr);
  if (!rec.WaveFileOpen || !rec.Start()) {
    std::fprintf(stderr, "record_until_killed: %s\n", audio.ErrorMessage.c_str());
    return 1;
  }
  return app.exec();
}
