// The analysis of every recorded block: lamp, peaks, clip runs, no-signal watch, elapsed
// time, countdown. The scan runs on the service thread; everything else runs on the
// window thread, block after block, with the result the scan handed over.
#include <QString>

#include "app/overview/take_overview.h"
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
  if (scan.heard) {
    if (runrecord.quietBlocks >= 100) StatusBar1->setItem(StatusLine::Signal, {});
    runrecord.quietBlocks = 0;
  } else if (runrecord.active && ++runrecord.quietBlocks % 10 == 0) {
    StatusBar1->setItem(StatusLine::Signal, noSignalText(runrecord.quietBlocks));
  }

  takeoverview->blockAnalysed(scan, limit8, limit16);
  runrecord.clockRunning = true;
  clockTenth();
}

void TForm1::clockTenth() {
  ++runrecord.tenths;
  // Ten tenths make a second of elapsed time.
  if (++blockcount < 10) return;
  blockcount = 0;
  if (++elapsedsec > 59) {
    elapsedsec = 0;
    ++elapsedmin;
  }
  LEDDisplay1->setValue(elapsedmin + elapsedsec / 100.0L);
  if (runrecord.tenths % 100 == 0) showDiskEstimate();

  // The set length counts down by the second; at zero the run ends by itself, and the
  // length shows the value taken at the start again for the next run.
  if (LEDDisplay2->Value() <= 0) return;
  if (UpDown1->Position() != 0) {
    UpDown1->setPosition(static_cast<int16_t>(UpDown1->Position() - 1));
  } else {
    UpDown2->setPosition(static_cast<int16_t>(UpDown2->Position() - 1));
    UpDown1->setPosition(59);
  }
  LEDDisplay2->setValue(UpDown2->Position() + UpDown1->Position() / 100.0L);
  if (UpDown1->Position() != 0 || UpDown2->Position() != 0) return;
  runrecord.ending = RunEnding::LengthReached;
  if (BitBtn4->isEnabled()) {
    BitBtn4Click(BitBtn4);  // only a monitoring run leaves the monitor button enabled
  } else {
    BitBtn3Click(BitBtn3);
  }
  UpDown2->setPosition(static_cast<int16_t>(lengthmin));
  UpDown1->setPosition(static_cast<int16_t>(lengthsec));
  LEDDisplay2->setValue(UpDown2->Position() + UpDown1->Position() / 100.0L);
}
