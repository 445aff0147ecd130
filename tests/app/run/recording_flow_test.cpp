// Whole recordings made from the window: speech as the virtual card's input file must
// reach the file unchanged, and speech played into the test sound server must reach the
// file through the ALSA driver.
#include <QCheckBox>
#include <QSlider>

#include "app/window_run.h"
#include "support/pulse_server.h"
#include "support/signal_match.h"

namespace {

using window_run::WindowRun;

// Speech made with espeak-ng (22050 Hz, mono, 16 bit) in `dir`; empty when it failed.
QString makeSpeech(const QTemporaryDir& dir) {
  const QString wav = dir.filePath("speech.wav");
  const testsupport::Run r =
      testsupport::run("espeak-ng", {"-w", wav, "Tessaron keeps the level right while the recording runs."});
  return r.exitCode == 0 ? wav : QString();
}

// The audio of a WAV file as written by espeak-ng or a recording (44-byte header).
std::string audioOf(const std::string& wav) { return wav.size() > 44 ? wav.substr(44) : std::string(); }

class RecordingFlow : public WindowRun {
 protected:
  void TearDown() override {
    qunsetenv("TESSARON_VIRTUAL_INPUT");
    WindowRun::TearDown();
  }
  // Records `blocks` blocks of the speech in its own format and returns the file.
  std::string recordSpeech(const QString& speech, bool triggered, int blocks) {
    qputenv("TESSARON_VIRTUAL_INPUT", speech.toLocal8Bit());
    VirtualCard card = VirtualCard::defaultCard();
    card.pacing = VirtualPacing::AsFastAsQueued;
    TForm1& f = open(std::move(card));
    f.recbits = 1;
    f.recchannels = 0;
    f.recsamplerate = 22050;
    f.CheckBox1->setChecked(triggered);
    f.TrackBar3->setValue(0);  // level 1000: silence does not start the recording
    chooseFile(triggered ? "triggered.wav" : "speech.wav");
    f.BitBtn1Click(f.BitBtn1);
    EXPECT_TRUE(waitBlocks(blocks));
    f.BitBtn3Click(f.BitBtn3);
    EXPECT_TRUE(prompts->messages.empty());
    return window_run::readFile(path(triggered ? "triggered.wav" : "speech.wav"));
  }
};

TEST_F(RecordingFlow, SpeechFromTheVirtualInputReachesTheFileUnchanged) {
  const QString speech = makeSpeech(dir);
  ASSERT_FALSE(speech.isEmpty()) << "espeak-ng could not make the speech file";
  const std::string input = audioOf(window_run::readFile(speech.toStdString()));
  ASSERT_EQ(window_run::readLE(window_run::readFile(speech.toStdString()), 24, 4), 22050u);
  ASSERT_GT(input.size(), 4410u * 4);
  const size_t blockBytes = 2205 * 2;

  // Untriggered: from the first sample on, the input looped.
  const std::string file = recordSpeech(speech, false, 40);
  const std::string audio = audioOf(file);
  ASSERT_GE(audio.size(), 40 * blockBytes);
  EXPECT_EQ(window_run::readLE(file, 40, 4), audio.size());
  size_t mismatches = 0;
  for (size_t i = 0; i < audio.size(); ++i) mismatches += audio[i] != input[i % input.size()];
  EXPECT_EQ(mismatches, 0u);
  form.reset();

  // Triggered, with a quiet start before the speech: the file starts with the block
  // that reached the level, then follows on.
  const std::string quiet = std::string(blockBytes * 7 / 2, '\0') + input;
  const QString quietSpeech = dir.filePath("quiet.wav");
  window_run::writeFile(quietSpeech.toStdString(), window_run::wavBytes(1, 22050, 16, quiet));
  const std::string later = audioOf(recordSpeech(quietSpeech, true, 20));
  ASSERT_GE(later.size(), 20 * blockBytes);
  const auto level = [&](size_t block) {
    int16_t peak = 0;
    for (size_t i = block * blockBytes; i + 1 < (block + 1) * blockBytes && i + 1 < quiet.size(); i += 2)
      peak = std::max<int16_t>(peak, static_cast<int16_t>(static_cast<uint8_t>(quiet[i]) | quiet[i + 1] << 8));
    return peak;
  };
  size_t first = 0;
  while (level(first) < 1000) ++first;
  ASSERT_GE(first, 3u);
  const std::string expected = quiet.substr(first * blockBytes);
  EXPECT_EQ(later.substr(0, std::min(later.size(), expected.size())),
            expected.substr(0, std::min(later.size(), expected.size())));
}

class RecordingFlowAlsa : public testsupport::PulseTest {
 protected:
  void TearDown() override {
    form.reset();
    testsupport::PulseTest::TearDown();
  }
  ScopedFakePrompts prompts;
  QTemporaryDir dir;
  std::unique_ptr<TForm1> form;
};

TEST_F(RecordingFlowAlsa, SpeechPlayedIntoTheSoundServerReachesTheFile) {
  if (testsupport::kThreadChecked) GTEST_SKIP() << "starts other programs (see support/programs.h)";
  const QString speech = makeSpeech(dir);
  ASSERT_FALSE(speech.isEmpty()) << "espeak-ng could not make the speech file";
  form = std::make_unique<TForm1>();
  TForm1& f = *form;
  window_run::useTestFormat(f);
  ASSERT_EQ(f.ComboBox1->itemText(0), "refer to wave data");
  const QString name = dir.filePath("alsa.wav");
  prompts->saveAnswer = name;
  f.BitBtn2Click(f.BitBtn2);
  f.BitBtn1Click(f.BitBtn1);
  ASSERT_TRUE(prompts->messages.empty()) << prompts->messages[0].text.toStdString();
  // The recording runs before the speech begins; the clock shows it.
  ASSERT_TRUE(window_run::waitFor([&] { return f.LEDDisplay1->Value() >= 0.01L; }, 30000));
  ASSERT_EQ(testsupport::runWhileServing("paplay", {"-d", testsupport::kSink, speech}), 0);
  const long double end = f.LEDDisplay1->Value() + 0.01L;
  ASSERT_TRUE(window_run::waitFor([&] { return f.LEDDisplay1->Value() >= end; }, 30000));
  f.BitBtn3Click(f.BitBtn3);

  const std::string file = window_run::readFile(name.toStdString());
  ASSERT_GT(file.size(), 44u);
  EXPECT_EQ(window_run::readLE(file, 40, 4), file.size() - 44);
  const std::vector<char> data(file.begin() + 44, file.end());
  const std::vector<double> recorded = testsupport::monoSamples(data, testsupport::pcmFormat(2, 44100, 16));

  const std::vector<double> reference = testsupport::decodeMono(speech, 44100, dir.filePath("reference.raw"));
  ASSERT_FALSE(reference.empty()) << "sox could not decode the speech";
  ASSERT_GT(recorded.size(), reference.size());
  EXPECT_GE(testsupport::bestCorrelation(reference, recorded), 0.9);
  EXPECT_TRUE(prompts->messages.empty());
}

}  // namespace
