// The child of the killed-recording test: records 16-bit stereo at 44100 Hz from a
// virtual card in real time into the file named by its argument, until it is killed.
#include <QCoreApplication>
#include <cstdio>

#include "audio/recorder_test_support.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: record_until_killed FILE.wav\n");
    return 2;
  }
  recorder_test::DriverScope scope(std::make_unique<VirtualDriver>(recorder_test::plainCard(VirtualPacing::RealTime)));
  TAudio audio;
  audio.setSeparateCtrls(true);
  TRecorder& rec = *audio.Recorder();
  rec.setBitsPerSample(TBPS::_16);
  rec.setChannels(TChannels::Stereo);
  rec.setSampleRate(44100);
  rec.setNoSamples(4410);
  rec.Triggered = true;
  rec.CreateWaveFile(argv[1], nullptr, nullptr);
  if (!rec.WaveFileOpen || !rec.Start()) {
    std::fprintf(stderr, "record_until_killed: %s\n", audio.ErrorMessage.c_str());
    return 1;
  }
  return app.exec();
}
