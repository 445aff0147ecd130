// The run record's bookkeeping (the clock, the countdown, the quiet count) and the
// status line's texts about a run.
#include "app/run/run_record.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include "audio/Audio.h"

namespace {

QString twoDigits(uint64_t v) { return QString::number(v).rightJustified(2, '0'); }

QString fileName(const QString& path) { return QFileInfo(path).fileName(); }

// The whole seconds of audio a complete WAV file holds.
uint64_t fileSeconds(const QString& path, uint64_t bytesPerSecond) {
  const uint64_t data = WaveFileDataBytes(QFile::encodeName(path).toStdString());
  return bytesPerSecond > 0 ? data / bytesPerSecond : 0;
}

}  // namespace

void RunRecord::begin(RunKind runKind, uint32_t runRate, uint32_t runFrameBytes, uint32_t runLength) {
  *this = RunRecord{};
  active = true;
  kind = runKind;
  rate = runRate;
  frameBytes = runFrameBytes;
  length = runLength;
  countdown = runLength;
}

void RunRecord::end(RunEnding how, const QString& reason) {
  active = false;
  ending = how;
  failure = reason;
}

RunTick RunRecord::countTenth() {
  RunTick tick;
  tick.second = ++tenths % 10 == 0;
  if (!tick.second || countdown == 0) return tick;
  tick.countedDown = true;
  tick.lengthReached = --countdown == 0;
  return tick;
}

bool RunRecord::countQuiet(bool heard) {
  if (heard) {
    const bool warned = quietBlocks >= kNoSignalBlocks;
    quietBlocks = 0;
    return warned;
  }
  // Between runs nothing is counted: there is no run to warn about.
  return active && ++quietBlocks % 10 == 0;
}

QString runTimeText(uint64_t seconds) {
  return twoDigits(seconds / 3600) + ':' + twoDigits(seconds / 60 % 60) + ':' + twoDigits(seconds % 60);
}

QString dropoutText(const RunRecord& run) {
  if (run.overruns == 0) return {};
  const double lost = run.rate > 0 ? static_cast<double>(run.framesLost) / run.rate : 0.0;
  return QCoreApplication::translate("RunRecord", "Dropouts: %1, %2 s lost, last at %3")
      .arg(run.overruns)
      .arg(lost, 0, 'f', 2)
      .arg(runTimeText(run.lastDropoutTenths / 10));
}

QString noSignalText(uint32_t quietBlocks) {
  if (quietBlocks < kNoSignalBlocks) return {};
  return QCoreApplication::translate("RunRecord", "No signal for %1 s: is the input connected?").arg(quietBlocks / 10);
}

QString markerText(uint32_t markers) {
  if (markers == 0) return {};
  return QCoreApplication::translate("RunRecord", "Markers: %1").arg(markers);
}

QString fileText(const QString& path) {
  return QCoreApplication::translate("RunRecord", "File: %1").arg(fileName(path));
}

QString diskFullText(uint64_t seconds) {
  const uint64_t minutes = seconds / 60;
  return QCoreApplication::translate("RunRecord", "Disk full in about %1:%2")
      .arg(minutes / 60)
      .arg(twoDigits(minutes % 60));
}

QString summaryText(const RunRecord& run) {
  const QString time = runTimeText(run.tenths / 10);
  QString text;
  switch (run.ending) {
    case RunEnding::User:
      text = run.recording() ? QCoreApplication::translate("RunRecord", "Recording stopped by the user (%1).")
                             : QCoreApplication::translate("RunRecord", "Monitoring stopped by the user (%1).");
      text = text.arg(time);
      break;
    case RunEnding::LengthReached:
      text = run.recording() ? QCoreApplication::translate("RunRecord", "Recording ended: set length reached (%1).")
                             : QCoreApplication::translate("RunRecord", "Monitoring ended: set length reached (%1).");
      text = text.arg(time);
      break;
    case RunEnding::Failure:
      // Both at once, so that a reason holding "%2" stays as it is.
      text = run.recording() ? QCoreApplication::translate("RunRecord", "Recording ended: %1 (%2).")
                             : QCoreApplication::translate("RunRecord", "Monitoring ended: %1 (%2).");
      text = text.arg(run.failure.trimmed(), time);
      break;
  }
  if (!run.files.isEmpty()) {
    QStringList files;
    for (const QString& path : run.files)
      files << fileName(path) + " (" + runTimeText(fileSeconds(path, run.bytesPerSecond())) + ")";
    text += ' ' + QCoreApplication::translate("RunRecord", "Files: %1.").arg(files.join(", "));
  }
  if (run.markers > 0) text += ' ' + markerText(run.markers) + '.';
  const QString dropouts = dropoutText(run);
  text += ' ' + (dropouts.isEmpty() ? QCoreApplication::translate("RunRecord", "No dropouts.") : dropouts + '.');
  return text;
}
