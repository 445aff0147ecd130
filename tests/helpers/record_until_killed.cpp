// The child of the killed-recording tests: records stereo from a virtual card in real time
// into the file named by its first argument, until it is killed; 16-bit at 44100 Hz, or
// the sample width (the stored value: 0 8-bit .. 3 float) and rate given after the name.
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>

#include "audio/recorder_test_support.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 2 && argc != 4) {
    std::fprintf(stderr, "usage: record_until_killed FILE.wav [BITS RATE]\n");
    return 2;
  }
  const auto bits = argc == 4 ? static_cast<TBPS>(std::atoi(argv[2]) & 3) : TBPS::_16;
  const uint32_t rate = argc == 4 ? static_cast<uint32_t>(std::atol(argv[3])) : 44100;
  recorder_test::DriverScope scope(std::make_unique<VirtualDriver>(recorder_test::plainCard(VirtualPacing::RealTime)));
  TAudio audio;
  audio.setSeparateCtrls(true);
  TRecorder& rec = *audio.Recorder();
  rec.setBitsPerSample(bits);
  rec.setChannels(TChannels::Stereo);
  rec.setSampleRate(rate);
  rec.setNoSamples(rate / 10);
  rec.Triggered = true;
  rec.CreateWaveFile(argv[1], nullptr, nullptr);
  if (!rec.WaveFileOpen || !rec.Start()) {
    std::fprintf(stderr, "record_until_killed: %s\n", audio.ErrorMessage.c_str());
    return 1;
  }
  return app.exec();
}
