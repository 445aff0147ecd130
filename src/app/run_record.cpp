#include "app/run_record.h"

#include <QFileInfo>

namespace {

// The 44-byte header of the files a recording writes.
constexpr qint64 waveHeaderBytes = 44;

QString twoDigits(uint64_t v) { return QString::number(v).rightJustified(2, '0'); }

QString fileName(const QString& path) { return QFileInfo(path).fileName(); }

// The whole seconds of audio a complete WAV file holds.
uint64_t fileSeconds(const QString& path, uint64_t bytesPerSecond) {
  const qint64 data = QFileInfo(path).size() - waveHeaderBytes;
  return data > 0 && bytesPerSecond > 0 ? static_cast<uint64_t>(data) / bytesPerSecond : 0;
}

}  // namespace

QString runTimeText(uint64_t seconds) {
  return twoDigits(seconds / 3600) + ':' + twoDigits(seconds / 60 % 60) + ':' + twoDigits(seconds % 60);
}

QString dropoutText(const RunRecord& run) {
  if (run.overruns == 0) return {};
  const double lost = run.rate > 0 ? static_cast<double>(run.framesLost) / run.rate : 0.0;
  return QString("Dropouts: %1, %2 s lost, last at %3")
      .arg(run.overruns)
      .arg(lost, 0, 'f', 2)
      .arg(runTimeText(run.lastDropoutTenths / 10));
}

QString noSignalText(uint32_t quietBlocks) {
  if (quietBlocks < 100) return {};
  return QString("No signal for %1 s: is the input connected?").arg(quietBlocks / 10);
}

QString fileText(const QString& path) { return "File: " + fileName(path); }

QString diskFullText(uint64_t seconds) {
  const uint64_t minutes = seconds / 60;
  return QString("Disk full in about %1:%2").arg(minutes / 60).arg(twoDigits(minutes % 60));
}

QString summaryText(const RunRecord& run) {
  QString text = run.recording ? "Recording " : "Monitoring ";
  switch (run.ending) {
    case RunEnding::User: text += "stopped by the user"; break;
    case RunEnding::LengthReached: text += "ended: set length reached"; break;
    case RunEnding::Failure: text += "ended: " + run.failure.trimmed(); break;
  }
  text += " (" + runTimeText(run.tenths / 10) + ").";
  if (!run.files.isEmpty()) {
    QStringList files;
    for (const QString& path : run.files)
      files << fileName(path) + " (" + runTimeText(fileSeconds(path, run.bytesPerSecond())) + ")";
    text += " Files: " + files.join(", ") + '.';
  }
  const QString dropouts = dropoutText(run);
  text += dropouts.isEmpty() ? QString(" No dropouts.") : ' ' + dropouts + '.';
  return text;
}
