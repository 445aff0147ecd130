// The analysis of every recorded block: lamp, peaks, clip runs, no-signal watch, and the
// run's clock and countdown, kept in the run record and shown from it. The scan runs on the service thread; everything
// else runs on the window thread, block after block, with the result the scan handed over.
#include <QString>

#include "app/overview/take_overview.h"
#include "app/run/display_time.h"
#include "app/run/status_line.h"
#include "app/tessaron1.h"

void TForm1::Audio1Record(TObject*, void* LP, void*, uint16_t BufferSize) {
  // Service thread: nothing here touches the window.
  blockhandover.post(LP, BufferSize);
}

void TForm1::blockAnalysed(const BlockScanResult& scan) {
  // Clip limits changed during the run apply to the blocks scanned from now on.
  blockhandover.setLimits(limit8, limit16);

  // The "Recording" lamp: unchanged by the first block of a run, then 0.1 s lit, 0.1 s dark.
  if (blinkcount == 1) LEDMeter3->setPosition(100);
  if (blinkcount == 2) {
    LEDMeter3->setPosition(0);
    blinkcount = 0;
  }
  ++blinkcount;

  // Peaks for the meters; the clip runs add up until the level control takes them.
  peakleft = scan.peak[0];
  peakright = scan.peak[1];
  overleft = static_cast<uint16_t>(overleft + scan.longestRun[0]);
  overright = static_cast<uint16_t>(overright + scan.longestRun[1]);

  // The labels change only when the run they show changes.
  TLabel* const runLabels[2] = {Label1, Label12};
  for (size_t c = 0; c < 2; ++c) {
    if (shownruns[c] == scan.longestRun[c]) continue;
    shownruns[c] = scan.longestRun[c];
    runLabels[c]->setText(QString::number(shownruns[c]));
  }

  // No signal: the warning comes after ten seconds of quiet blocks, counts the seconds up
  // and goes with the first block heard.
  if (runrecord.countQuiet(scan.heard)) StatusBar1->setItem(StatusLine::Signal, noSignalText(runrecord.quietBlocks));

  takeoverview->blockAnalysed(scan, limit8, limit16);
  runrecord.clockRunning = true;
  clockTenth();
}

void TForm1::clockTenth() {
  const RunTick tick = runrecord.countTenth();
  showRunClock(tick);
  if (!tick.second) return;
  if (runrecord.tenths % 100 == 0) showDiskEstimate();
  if (!tick.lengthReached) return;
  // At zero the run ends by itself, and the length shows the value taken at the start
  // again for the next run.
  endRun(RunEnding::LengthReached);
  showLength(runrecord.length);
}

void TForm1::showRunClock(const RunTick& tick) {
  const uint64_t tenths = runrecord.tenths;
  blockcount = static_cast<int32_t>(tenths % 10);
  elapsedsec = static_cast<int32_t>(tenths / 10 % 60);
  elapsedmin = static_cast<int32_t>(tenths / 600);
  lengthmin = static_cast<int32_t>(runrecord.length / 60);
  lengthsec = static_cast<int32_t>(runrecord.length % 60);
  if (tick.second) LEDDisplay1->setValue(displayTime(elapsedmin, elapsedsec));
  if (tick.countedDown) showLength(runrecord.countdown);
}

void TForm1::showLength(uint32_t seconds) {
  UpDown2->setPosition(static_cast<int16_t>(seconds / 60));
  UpDown1->setPosition(static_cast<int16_t>(seconds % 60));
  LEDDisplay2->setValue(displayTime(UpDown2->Position(), UpDown1->Position()));
}
