// What the status line tells of a run: the file being written, dropouts and the time they
// cost, the no-signal warning and the disk estimate while it runs, its summary after it.
#include <QFile>
#include <algorithm>
#include <limits>

#include "app/dialogs/prompts.h"
#include "app/overview/take_overview.h"
#include "app/run/status_line.h"
#include "app/tessaron1.h"

void TForm1::Audio1Dropout(TObject*, uint32_t Overruns, uint32_t FramesLost) {
  // Service thread: nothing here touches the window.
  blockhandover.postDropout(Overruns, FramesLost);
}

void TForm1::dropoutArrived(uint32_t Overruns, uint32_t FramesLost) {
  if (!runrecord.active || (Overruns == 0 && FramesLost == 0)) return;
  // Lost frames are a dropout even where the driver counted no overrun.
  runrecord.overruns += std::max<uint32_t>(Overruns, 1);
  runrecord.framesLost += FramesLost;
  runrecord.lastDropoutTenths = runrecord.tenths;
  StatusBar1->setItem(StatusLine::Dropouts, dropoutText(runrecord));
  takeoverview->dropout(runrecord.rate > 0 ? static_cast<double>(FramesLost) / runrecord.rate : 0.0);

  // The file holds the lost input as silence, so the clock and the countdown count it.
  // Before the first block (a recording waiting for its trigger) nothing is written and
  // the clock stands.
  if (!runrecord.clockRunning) return;
  const uint32_t tenth = std::max<uint32_t>(runrecord.rate / 10, 1);
  runrecord.lostCarry += FramesLost;
  while (runrecord.lostCarry >= tenth && runrecord.active) {
    runrecord.lostCarry -= tenth;
    takeoverview->lostTenth();
    clockTenth();
  }
}

void TForm1::Audio1RecordFileChanged(TObject*, const std::string& FileName) {
  if (!runrecord.recording()) return;
  runrecord.files << QFile::decodeName(FileName.c_str());
  takeoverview->fileStarted(runrecord.files.last());
  if (runrecord.active) {
    StatusBar1->setItem(StatusLine::File, fileText(runrecord.files.last()));
  } else {
    // The change was still on its way when the recording ended: the summary names it too.
    StatusBar1->setItem(StatusLine::Summary, summaryText(runrecord));
    takeoverview->runEnded(StatusBar1->item(StatusLine::Summary));
  }
}

void TForm1::runStarted(RunKind kind) {
  const TRecorder& recorder = *Audio1->Recorder();
  runrecord.begin(kind, recorder.SampleRate(), frameBytesOf(recorder.BitsPerSample(), recorder.Channels()),
                  lengthSet());
  takeoverview->runStarted(recorder.BitsPerSample(), recorder.Channels(),
                           kind == RunKind::Recording ? recfilename : QString());
  // The fields start afresh; the displays show the last run's time until the first second.
  showRunClock();
  StatusBar1->clearItems();
  Marker1->setEnabled(kind == RunKind::Recording);
  if (kind != RunKind::Recording) return;
  runrecord.files << recfilename;
  StatusBar1->setItem(StatusLine::File, fileText(recfilename));
  showDiskEstimate();
}

void TForm1::runEnded(RunEnding how, const QString& failure) {
  if (!runrecord.active) return;
  runrecord.end(how, failure);
  Marker1->setEnabled(false);
  StatusBar1->clearItems();
  StatusBar1->setItem(StatusLine::Summary, summaryText(runrecord));
  takeoverview->runEnded(StatusBar1->item(StatusLine::Summary));
}

bool TForm1::diskSpaceAllows() {
  const uint64_t seconds = lengthSet();
  if (seconds == 0) return true;
  const auto bits = static_cast<TBPS>(recbits);
  const auto channels = static_cast<TChannels>(recchannels);
  const uint64_t rate = uint64_t{recsamplerate} * frameBytesOf(bits, channels);
  const uint64_t needed =
      bytesNeeded(seconds, rate, WaveHeaderBytes(bits, channels, recsamplerate, fileoptions), fileoptions.rf64);
  const std::optional<DiskSpace> space = diskSpace(recfilename);
  // Free space that cannot be read does not stand in the way of a recording.
  if (!space || space->freeBytes >= needed) return true;
  return prompts().question(this, diskSpaceQuestion(*space, needed), tr("Aufnahme"));
}

void TForm1::showDiskEstimate() {
  QString text;
  const uint64_t rate = runrecord.bytesPerSecond();
  if (runrecord.active && runrecord.recording() && rate > 0) {
    if (const std::optional<DiskSpace> space = diskSpace(runrecord.files.last())) {
      const uint64_t left = space->freeBytes / rate;
      // With a set length only what the rest of the length will not fit is worth a line.
      const uint64_t lengthLeft = runrecord.countdown > 0 ? runrecord.countdown : std::numeric_limits<uint64_t>::max();
      if (left < 3600 && left < lengthLeft) text = diskFullText(left);
    }
  }
  StatusBar1->setItem(StatusLine::Disk, text);
}
