// What the main window keeps about the current or the last run (a recording or a
// monitoring run) for its status line, and the texts the status line shows from it.
// Everything here is touched on the window thread only.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

// How a run ended.
enum class RunEnding {
  User,           // "Stop recording", or the monitor button
  LengthReached,  // the set length ran out
  Failure,        // the recorder ended the run by itself; the reason is kept
};

struct RunRecord {
  bool active = false;
  bool recording = false;   // false: a monitoring run, which writes no file
  uint32_t rate = 0;        // frames per second
  uint32_t frameBytes = 0;  // bytes per frame
  QStringList files;        // the files written, in order; the last is the one being written
  // Run time in tenths of a second: delivered blocks plus the time lost in dropouts.
  uint64_t tenths = 0;
  bool clockRunning = false;  // a block has arrived (a triggered recording waits for one)
  uint64_t overruns = 0;
  uint64_t framesLost = 0;
  uint64_t lastDropoutTenths = 0;  // run time at which the last dropout began
  uint64_t lostCarry = 0;          // lost frames not yet a whole tenth on the clock
  uint32_t quietBlocks = 0;        // blocks in a row without signal
  RunEnding ending = RunEnding::User;
  QString failure;  // the reason of a run ended by a failure

  uint64_t bytesPerSecond() const { return uint64_t{rate} * frameBytes; }
};

// A run time as "hh:mm:ss", hours counted on past 99.
QString runTimeText(uint64_t seconds);
// "Dropouts: 2, 0.31 s lost, last at 01:12:04"; empty while there were none.
QString dropoutText(const RunRecord& run);
// "No signal for 12 s: is the input connected?" after ten seconds without signal (100
// blocks of a tenth); empty before.
QString noSignalText(uint32_t quietBlocks);
// The file being written, by its name.
QString fileText(const QString& path);
// "Disk full in about 1:05" for that many seconds of recording left.
QString diskFullText(uint64_t seconds);
// The summary of an ended run: how it ended and after how long, the files with the time
// each holds (read from their size on disk), and the dropouts.
QString summaryText(const RunRecord& run);
