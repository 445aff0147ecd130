// The run record: what the main window keeps about the current or the last run (a
// recording or a monitoring run): its kind, its clock in tenths, the countdown of its set
// length, the quiet count, its dropouts and files, and how it ended; and the texts the
// status line shows from it. Everything here is touched on the window thread only.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

// What a run does with its input.
enum class RunKind {
  Monitoring,  // the meters move, nothing is written
  Recording,   // the input goes into the chosen file
};

// How a run ended.
enum class RunEnding {
  User,           // "Stop recording", or the monitor button
  LengthReached,  // the set length ran out
  Failure,        // the recorder ended the run by itself; the reason is kept
};

// Blocks of a tenth of a second in a row without signal before the status line warns.
inline constexpr uint32_t kNoSignalBlocks = 100;

// What one tenth on a run's clock changed.
struct RunTick {
  bool second = false;         // it completed a second of run time
  bool countedDown = false;    // that second counted the set length down
  bool lengthReached = false;  // and it was the length's last second
};

// The facts of one run, kept as they happen; whoever needs one asks here.
struct RunRecord {
  bool active = false;
  RunKind kind = RunKind::Monitoring;
  uint32_t rate = 0;        // frames per second
  uint32_t frameBytes = 0;  // bytes per frame
  QStringList files;        // the files written, in order; the last is the one being written
  // Run time in tenths of a second: delivered blocks plus the time lost in dropouts.
  uint64_t tenths = 0;
  bool clockRunning = false;  // a block has arrived (a triggered recording waits for one)
  // The set length in seconds as taken at the start, and the seconds of it still to run;
  // no countdown while that is 0.
  uint32_t length = 0;
  uint32_t countdown = 0;
  uint64_t overruns = 0;
  uint64_t framesLost = 0;
  uint64_t lastDropoutTenths = 0;  // run time at which the last dropout began
  uint64_t lostCarry = 0;          // lost frames not yet a whole tenth on the clock
  uint32_t quietBlocks = 0;        // blocks in a row without signal
  uint32_t markers = 0;            // markers set in the recording's files
  RunEnding ending = RunEnding::User;
  QString failure;  // the reason of a run ended by a failure

  // A new run of `kind` has started, with `length` seconds to run (0: no set length).
  void begin(RunKind kind, uint32_t rate, uint32_t frameBytes, uint32_t length);
  // The run has ended, as `how` says (with its reason for a failure).
  void end(RunEnding how, const QString& failure = {});
  // One tenth more on the clock; each whole second counts a set length down by one.
  RunTick countTenth();
  // A block heard or quiet; true when the no-signal warning changes with it.
  bool countQuiet(bool heard);

  bool recording() const { return kind == RunKind::Recording; }
  bool monitoring() const { return active && kind == RunKind::Monitoring; }
  uint64_t bytesPerSecond() const { return uint64_t{rate} * frameBytes; }
};

// A run time as "hh:mm:ss", hours counted on past 99.
QString runTimeText(uint64_t seconds);
// "Dropouts: 2, 0.31 s lost, last at 01:12:04"; empty while there were none.
QString dropoutText(const RunRecord& run);
// "No signal for 12 s: is the input connected?" after kNoSignalBlocks blocks without
// signal; empty before.
QString noSignalText(uint32_t quietBlocks);
// "Markers: 3" for that many markers; empty while there are none.
QString markerText(uint32_t markers);
// The file being written, by its name.
QString fileText(const QString& path);
// "Disk full in about 1:05" for that many seconds of recording left.
QString diskFullText(uint64_t seconds);
// The summary of an ended run: how it ended and after how long, the files with the time
// each holds (read from their size on disk), and the dropouts.
QString summaryText(const RunRecord& run);
