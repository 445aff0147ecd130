// The status line under the panel: the window's layout with it, and what it tells of a
// run (file, dropouts, no signal, disk space) and after it (the summary), driven through
// the window's handlers, with blocks and dropouts handed over from a service thread.
#include <QCheckBox>
#include <QLabel>
#include <QMenuBar>
#include <thread>

#include "app/run/status_line.h"
#include "app/window_run.h"
#include "support/event_wait.h"

namespace {

using window_run::kFrames;
using window_run::WindowRun;

// One block of 16-bit stereo samples (a tenth of a second at 44100 Hz): `left` and
// `right` at one frame each, silence elsewhere.
std::string block16(int16_t left, int16_t right) {
  std::vector<int16_t> samples(2 * kFrames, 0);
  samples[2 * 100] = left;
  samples[2 * 200 + 1] = right;
  return window_run::samples16(samples);
}

std::string repeat(const std::string& block, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += block;
  return out;
}

// One block of 8-bit mono samples: silence (128) with `values` in the middle.
std::string block8(std::initializer_list<uint8_t> values) {
  std::string block(kFrames, char(128));
  size_t at = 1000;
  for (uint8_t v : values) block[at++] = static_cast<char>(v);
  return block;
}

class StatusLineTest : public WindowRun {
 protected:
  // The window on the default card whose own blocks do not reach the block analysis, so
  // that only the blocks and dropouts a test hands over count.
  TForm1& openQuiet() {
    TForm1& f = openDefault(VirtualPacing::RealTime);
    f.Audio1->OnRecord = nullptr;
    return f;
  }
  // Hands `count` copies of `block` over from a service thread and lets the window
  // thread take them.
  void feed(const std::string& block, int count) {
    std::thread([&] {
      for (int i = 0; i < count; ++i)
        form->Audio1Record(form->Audio1->Recorder(), const_cast<char*>(block.data()), nullptr,
                           static_cast<uint16_t>(block.size()));
    }).join();
    QCoreApplication::sendPostedEvents();
  }
  // A dropout reported from a service thread, as the recorder reports it.
  void dropout(uint32_t overruns, uint32_t framesLost) {
    std::thread([&] { form->Audio1->OnDropout(form->Audio1->Recorder(), overruns, framesLost); }).join();
    QCoreApplication::sendPostedEvents();
  }
  // The text of an item; every shown item is also what a screen reader reads.
  QString item(StatusLine::Item which) const {
    QStringList shown;
    for (const QLabel* label : form->StatusBar1->findChildren<QLabel*>()) {
      if (label->text().isEmpty()) continue;
      EXPECT_EQ(label->accessibleName(), label->text());
      EXPECT_EQ(label->toolTip(), label->text());
      shown << label->text();
    }
    EXPECT_EQ(form->StatusBar1->accessibleDescription(), shown.join("; "));
    return form->StatusBar1->item(which);
  }
  static long double value(const TLEDDisplay* d) { return d->Value(); }

  const std::string loud = block16(12000, -12000);
};

TEST_F(StatusLineTest, WindowGrowsByTheStatusLineAndThePanelStaysPut) {
  TForm1& f = openDefault();
  f.show();
  QCoreApplication::processEvents();
  const int menu = f.menuBar()->height();
  const int line = f.StatusBar1->height();
  EXPECT_GT(line, 10);
  EXPECT_EQ(f.centralWidget()->geometry(), QRect(0, menu, 450, 410));
  EXPECT_EQ(f.ScrewPanel1->mapTo(&f, QPoint(0, 0)), QPoint(8, menu + 112));
  EXPECT_EQ(f.StatusBar1->geometry(), QRect(0, menu + 410, f.width(), line));
  EXPECT_EQ(f.height(), menu + 410 + line);

  // Long texts neither widen the window nor change the line's height.
  const QSize hint = f.sizeHint();
  const QSize minimum = f.minimumSize();
  for (int i = 0; i < StatusLine::itemCount; ++i)
    f.StatusBar1->setItem(StatusLine::Item(i), QString("A rather long status text %1 ").arg(i).repeated(6));
  QCoreApplication::processEvents();
  EXPECT_EQ(f.sizeHint(), hint);
  EXPECT_EQ(f.minimumSize(), minimum);
  EXPECT_EQ(f.StatusBar1->height(), line);
  f.StatusBar1->clearItems();
  QCoreApplication::processEvents();
  EXPECT_EQ(f.StatusBar1->height(), line);
  EXPECT_EQ(f.height(), menu + 410 + line);
}

TEST_F(StatusLineTest, DropoutsAreCountedAndTheirTimeRunsOnTheClockAndTheCountdown) {
  TForm1& f = openQuiet();
  for (int i = 0; i < 5; ++i) f.UpDown1->click(btNext);  // a length of five seconds
  chooseFile("drop.wav");
  f.BitBtn1Click(f.BitBtn1);
  ASSERT_TRUE(f.BitBtn3->isEnabled());
  EXPECT_EQ(item(StatusLine::File), "File: drop.wav");
  EXPECT_EQ(item(StatusLine::Dropouts), "");

  feed(loud, 12);
  dropout(2, 13671);  // 0.31 s: three tenths on the clock, 441 frames carried
  EXPECT_EQ(item(StatusLine::Dropouts), "Dropouts: 2, 0.31 s lost, last at 00:00:01");
  feed(loud, 10);
  dropout(0, 88200);  // lost frames without a counted overrun: two seconds
  EXPECT_EQ(item(StatusLine::Dropouts), "Dropouts: 3, 2.31 s lost, last at 00:00:02");
  // 12 + 3 + 10 + 20 tenths.
  EXPECT_DOUBLE_EQ(static_cast<double>(value(f.LEDDisplay1)), 0.04);
  EXPECT_DOUBLE_EQ(static_cast<double>(value(f.LEDDisplay2)), 0.01);

  feed(loud, 4);
  EXPECT_TRUE(f.BitBtn3->isEnabled());
  feed(loud, 1);
  EXPECT_FALSE(f.BitBtn3->isEnabled()) << "the set length is reached with the lost time";
  EXPECT_EQ(item(StatusLine::Dropouts), "");
  const QString summary = item(StatusLine::Summary);
  EXPECT_TRUE(summary.startsWith("Recording ended: set length reached (00:00:05). Files: drop.wav ("))
      << summary.toStdString();
  EXPECT_TRUE(summary.endsWith("Dropouts: 3, 2.31 s lost, last at 00:00:02.")) << summary.toStdString();

  // Results and dropouts still on their way from an ended run change nothing.
  f.blockhandover.postDropout(1, 4410);
  QCoreApplication::sendPostedEvents();
  EXPECT_EQ(item(StatusLine::Summary), summary);
}

TEST_F(StatusLineTest, NoSignalAfterTenQuietSecondsUntilALouderBlock) {
  TForm1& f = openQuiet();
  f.BitBtn4Click(f.BitBtn4);
  ASSERT_TRUE(f.Audio1->Recorder()->IsOpen);
  const std::string quiet = block16(327, -327);
  feed(quiet, 99);
  EXPECT_EQ(item(StatusLine::Signal), "");
  feed(quiet, 1);
  EXPECT_EQ(item(StatusLine::Signal), "No signal for 10 s: is the input connected?");
  feed(quiet, 19);
  EXPECT_EQ(item(StatusLine::Signal), "No signal for 11 s: is the input connected?");
  feed(block16(0, 328), 1);
  EXPECT_EQ(item(StatusLine::Signal), "") << "one loud channel is a signal";
  feed(quiet, 99);
  EXPECT_EQ(item(StatusLine::Signal), "") << "the quiet time counts afresh";
  feed(quiet, 1);
  EXPECT_EQ(item(StatusLine::Signal), "No signal for 10 s: is the input connected?");
  feed(block16(-328, 0), 1);
  EXPECT_EQ(item(StatusLine::Signal), "") << "a signal below silence is a signal too";
  f.BitBtn4Click(f.BitBtn4);
  EXPECT_EQ(item(StatusLine::Summary), "Monitoring stopped by the user (00:00:22). No dropouts.");

  // 8-bit data: within 2 of the centre 128 is no signal.
  f.recbits = 0;
  f.recchannels = 0;
  f.BitBtn4Click(f.BitBtn4);
  EXPECT_EQ(item(StatusLine::Summary), "") << "a new run clears the summary";
  feed(block8({130, 126}), 100);
  EXPECT_EQ(item(StatusLine::Signal), "No signal for 10 s: is the input connected?");
  feed(block8({125}), 1);
  EXPECT_EQ(item(StatusLine::Signal), "");
  feed(block8({126}), 100);
  EXPECT_EQ(item(StatusLine::Signal), "No signal for 10 s: is the input connected?");
  feed(block8({131}), 1);
  EXPECT_EQ(item(StatusLine::Signal), "");
  f.BitBtn4Click(f.BitBtn4);
}

TEST_F(StatusLineTest, NoSignalFromASilentInputOnTheVirtualCard) {
  // One second of near silence, looped.
  TForm1& f = openWithInput(window_run::wavBytes(2, 44100, 16, repeat(block16(300, -300), 10)));
  f.BitBtn4Click(f.BitBtn4);
  const QString first = "No signal for 10 s: is the input connected?";
  ASSERT_TRUE(window_run::waitFor([&] { return f.StatusBar1->item(StatusLine::Signal) == first; }));
  ASSERT_TRUE(window_run::waitFor([&] {
    const QString now = f.StatusBar1->item(StatusLine::Signal);
    return now != first && now.startsWith("No signal for ");
  })) << "the seconds count up";
  f.BitBtn4Click(f.BitBtn4);
  form.reset();

  TForm1& g = openWithInput(window_run::wavBytes(2, 44100, 16, repeat(block16(0, 0), 9) + block16(400, 0)));
  g.BitBtn4Click(g.BitBtn4);
  ASSERT_TRUE(waitBlocks(300));
  EXPECT_EQ(g.StatusBar1->item(StatusLine::Signal), "") << "a signal once a second is a signal";
  g.BitBtn4Click(g.BitBtn4);
}

TEST_F(StatusLineTest, ARecordingOfSetLengthThatWillNotFitAsksFirst) {
  TForm1& f = openQuiet();
  uint64_t freeBytes = 10'600'000;
  f.diskSpace = [&](const QString&) { return DiskSpace{freeBytes, "/media/card"}; };
  f.UpDown2->click(btNext);  // one minute of 16-bit stereo at 44100 Hz: 10,584,000 bytes
  const QString question = "Only 10 MB are free on /media/card; the recording needs 11 MB. Record anyway?";

  // No: nothing starts, and the monitoring run goes on.
  f.BitBtn4Click(f.BitBtn4);
  chooseFile("full.wav");
  prompts->answer = QMessageBox::No;
  f.BitBtn1Click(f.BitBtn1);
  ASSERT_EQ(prompts->messages.size(), 1u);
  EXPECT_EQ(prompts->messages[0].text, question);
  EXPECT_EQ(prompts->messages[0].caption, "Aufnahme");
  EXPECT_EQ(prompts->messages[0].buttons, QMessageBox::Yes | QMessageBox::No);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(path("full.wav"))));
  EXPECT_EQ(f.BitBtn4->Tag, 1);
  EXPECT_TRUE(f.Audio1->Recorder()->IsOpen);
  EXPECT_TRUE(f.BitBtn1->isEnabled());
  EXPECT_FALSE(f.BitBtn3->isEnabled());

  // Arming asks too; No leaves it unarmed.
  f.CheckBox2->setChecked(true);
  f.BitBtn1Click(f.BitBtn1);
  EXPECT_EQ(prompts->messages.size(), 2u);
  EXPECT_FALSE(f.Timer4->isActive());
  EXPECT_TRUE(f.BitBtn1->isEnabled());

  // Yes arms it, and the start at the set time asks nothing: nobody may be there.
  prompts->answer = QMessageBox::Yes;
  f.BitBtn1Click(f.BitBtn1);
  EXPECT_EQ(prompts->messages.size(), 3u);
  ASSERT_TRUE(f.Timer4->isActive());
  f.timeOfDay = [] { return QTime(0, 0, 1); };
  f.Timer4Timer(f.Timer4);
  EXPECT_EQ(prompts->messages.size(), 3u);
  EXPECT_TRUE(f.BitBtn3->isEnabled()) << "recording";
  EXPECT_TRUE(QFile::exists(QString::fromStdString(path("full.wav"))));
  f.BitBtn3Click(f.BitBtn3);

  // Room for the length with its file's header, and 1 % more: no question.
  freeBytes = 10'689'885;
  chooseFile("fits.wav");
  f.BitBtn1Click(f.BitBtn1);
  EXPECT_EQ(prompts->messages.size(), 3u);
  EXPECT_TRUE(f.BitBtn3->isEnabled());
  EXPECT_EQ(item(StatusLine::Disk), "") << "the length fits";
  f.BitBtn3Click(f.BitBtn3);
}

TEST_F(StatusLineTest, WithoutALengthTheLineTellsWhenTheDiskWillBeFull) {
  TForm1& f = openQuiet();
  const uint64_t perSecond = 176400;
  uint64_t freeBytes = perSecond * (59 * 60 + 59);
  int asked = 0;
  f.diskSpace = [&](const QString& path) {
    ++asked;
    EXPECT_EQ(QFileInfo(path).fileName(), "long.wav");
    return DiskSpace{freeBytes, "/"};
  };
  chooseFile("long.wav");
  f.BitBtn1Click(f.BitBtn1);
  EXPECT_TRUE(prompts->messages.empty());
  EXPECT_EQ(item(StatusLine::Disk), "Disk full in about 0:59");
  EXPECT_EQ(asked, 1);

  // Asked every ten seconds of the run, never per block.
  freeBytes = perSecond * 2 * 3600;
  feed(loud, 99);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(item(StatusLine::Disk), "Disk full in about 0:59");
  feed(loud, 1);
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(item(StatusLine::Disk), "") << "two hours left";
  freeBytes = perSecond * 125;
  feed(loud, 100);
  EXPECT_EQ(asked, 3);
  EXPECT_EQ(item(StatusLine::Disk), "Disk full in about 0:02");
  f.BitBtn3Click(f.BitBtn3);
  EXPECT_EQ(item(StatusLine::Disk), "");
}

TEST_F(StatusLineTest, NextFilesAreNamedWhileRecordingAndInTheSummary) {
  TForm1& f = openQuiet();
  chooseFile("take.wav");
  f.BitBtn1Click(f.BitBtn1);
  EXPECT_EQ(item(StatusLine::File), "File: take.wav");
  // Complete files of three seconds and one second, as the recorder leaves them.
  window_run::writeFile(path("take-2.wav"), window_run::wavBytes(2, 44100, 16, std::string(176400 * 3, '\0')));
  window_run::writeFile(path("take-3.wav"), window_run::wavBytes(2, 44100, 16, std::string(176400, '\0')));
  f.Audio1->OnRecordFileChanged(f.Audio1->Recorder(), path("take-2.wav"));
  EXPECT_EQ(item(StatusLine::File), "File: take-2.wav");
  f.Audio1->OnRecordFileChanged(f.Audio1->Recorder(), path("take-3.wav"));
  EXPECT_EQ(item(StatusLine::File), "File: take-3.wav");
  f.BitBtn3Click(f.BitBtn3);
  EXPECT_EQ(item(StatusLine::File), "");
  const QString summary = item(StatusLine::Summary);
  EXPECT_TRUE(summary.startsWith("Recording stopped by the user (00:00:00). Files: take.wav (00:00:0"))
      << summary.toStdString();
  EXPECT_TRUE(summary.endsWith("take-2.wav (00:00:03), take-3.wav (00:00:01). No dropouts.")) << summary.toStdString();
}

TEST_F(StatusLineTest, AFailedDeviceEndsTheRunWithItsReasonInTheBoxAndTheSummary) {
  TForm1& f = openQuiet();
  const std::string reason = "Input device \"Virtual Sound Card\" failed: device removed";
  // The component's self-stop: the recorder has stopped and completed the file, then
  // tells the window on the window thread.
  const auto failDevice = [&] {
    f.Audio1->Recorder()->Stop();
    f.Audio1->ErrorMessage = reason;
    f.Audio1->OnRecordStopped(f.Audio1->Recorder());
  };

  chooseFile("fail.wav");
  f.BitBtn1Click(f.BitBtn1);
  feed(loud, 20);
  dropout(1, 4410);
  failDevice();
  ASSERT_EQ(prompts->messages.size(), 1u);
  EXPECT_EQ(prompts->messages[0].text.toStdString(), reason);
  EXPECT_EQ(prompts->messages[0].caption, "Aufnahme");
  EXPECT_FALSE(f.BitBtn3->isEnabled());
  EXPECT_TRUE(f.BitBtn2->isEnabled());
  EXPECT_FALSE(f.Timer1->isActive());
  const QString summary = item(StatusLine::Summary);
  EXPECT_TRUE(summary.startsWith(QString::fromStdString("Recording ended: " + reason + " (00:00:02). Files: fail.wav")))
      << summary.toStdString();
  EXPECT_TRUE(summary.endsWith("Dropouts: 1, 0.10 s lost, last at 00:00:02.")) << summary.toStdString();

  // A monitoring run ends the same way.
  f.BitBtn4Click(f.BitBtn4);
  feed(loud, 10);
  failDevice();
  EXPECT_EQ(prompts->messages.size(), 2u);
  EXPECT_EQ(f.BitBtn4->Tag, 0);
  EXPECT_FALSE(f.Timer1->isActive());
  EXPECT_EQ(item(StatusLine::Summary),
            QString::fromStdString("Monitoring ended: " + reason + " (00:00:01). No dropouts."));
}

TEST(BlockHandoverDropouts, ArriveBetweenTheirBlocksAndNotAfterTheirRun) {
  std::vector<std::string> got;
  BlockHandover handover([&](const BlockScanResult& scan) { got.push_back("block " + std::to_string(scan.peak[0])); },
                         [&](uint32_t overruns, uint32_t frames) {
                           got.push_back("dropout " + std::to_string(overruns) + " " + std::to_string(frames));
                         });
  const std::string a = window_run::samples16({5, 0});
  const std::string b = window_run::samples16({7, 0});
  handover.postDropout(1, 1);  // no run yet
  handover.beginRun(TBPS::_16, TChannels::Mono, 0, 100);
  std::thread([&] {
    handover.post(a.data(), 4);
    handover.postDropout(3, 4000000000u);
    handover.post(b.data(), 4);
  }).join();
  QCoreApplication::sendPostedEvents();
  EXPECT_EQ(got, (std::vector<std::string>{"block 5", "dropout 3 4000000000", "block 7"}));
  handover.postDropout(1, 1);
  handover.endRun();
  QCoreApplication::sendPostedEvents();
  EXPECT_EQ(got.size(), 3u);
}

TEST(StatusLineReader, HearsChangesAtMostFourTimesASecondAndAlwaysTheLastState) {
  StatusLine line;
  QLabel* dropouts = nullptr;
  struct Reset {
    ~Reset() { AccessibleAnnouncer::setRecorder(nullptr); }
  } reset;
  AccessibleAnnouncer::setRecorder([](QAccessibleEvent*) {});  // a screen reader listens
  line.setItem(StatusLine::Dropouts, "Dropouts: 1");
  for (QLabel* label : line.findChildren<QLabel*>())
    if (label->text() == "Dropouts: 1") dropouts = label;
  ASSERT_NE(dropouts, nullptr);
  // The first change is told at once, those within the next quarter second at its end.
  EXPECT_EQ(dropouts->accessibleName(), "Dropouts: 1");
  EXPECT_EQ(line.accessibleDescription(), "Dropouts: 1");
  for (int i = 2; i <= 20; ++i) line.setItem(StatusLine::Dropouts, QString("Dropouts: %1").arg(i));
  line.setItem(StatusLine::Signal, "No signal for 10 s");
  EXPECT_EQ(dropouts->accessibleName(), "Dropouts: 1");
  EXPECT_TRUE(testsupport::waitFor([&] { return dropouts->accessibleName() == "Dropouts: 20"; }));
  EXPECT_EQ(line.accessibleDescription(), "Dropouts: 20; No signal for 10 s");

  // Without a reader the names follow at once.
  AccessibleAnnouncer::setRecorder(nullptr);
  line.clearItems();
  EXPECT_EQ(dropouts->accessibleName(), "");
  EXPECT_EQ(line.accessibleDescription(), "");
}

}  // namespace
