// The child of the killed-recording test: records 16-bit stereo at 44100 Hz from a
// virtual card in real time into the file named by its argument, until it is killed;
// with "--rf64 LIMIT" into one file that turns RF64 past LIMIT bytes of data.
#include <QCoreApplication>
#include <cstdio>
#include <string>

#include "audio/recorder_test_support.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const bool rf64 = argc == 4 && std::string(argv[2]) == "--rf64";
  if (argc != 2 && !rf64) {
    std::fprintf(stderr, "usage: record_until_killed FILE.wav [--rf64 LIMIT]\n");
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
