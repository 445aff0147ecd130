#include "app/overview/take_overview.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <algorithm>

#include "app/dialogs/prompts.h"
#include "app/dialogs/save_dialog.h"
#include "app/overview/take_overview_window.h"
#include "app/overview/take_picture.h"
#include "app/run/run_record.h"

namespace {

// A peak of the scan on the scale of full scale 0..32767: 8-bit peaks (0..128) count 256
// times as much, as on the meters.
uint16_t fullScale(uint16_t peak, TBPS bits) {
  return bits == TBPS::_8 ? static_cast<uint16_t>(std::min(peak * 256, 32767)) : peak;
}

QString secondsText(double seconds) { return QLocale().toString(seconds, 'f', 1); }

}  // namespace

TakeOverview::TakeOverview(QWidget* owner) : owner_(owner) {}

// The window goes first: it draws from the history.
TakeOverview::~TakeOverview() { delete window_.data(); }

void TakeOverview::runStarted(TBPS bits, TChannels channels, const QString& firstFile) {
  bits_ = bits;
  active_ = true;
  clockStarted_ = false;
  files_.clear();
  dropouts_ = 0;
  lostSeconds_ = 0;
  summary_.clear();
  firstFile_ = firstFile;
  history_.begin(channels == TChannels::Mono ? 1 : 2, now());
  if (!firstFile.isEmpty()) fileStarted(firstFile);
}

void TakeOverview::blockAnalysed(const BlockScanResult& scan, int32_t limit8, int32_t limit16) {
  if (!clockStarted_) {
    // Run time 0 is the start of the first block, a tenth of a second before it arrived.
    clockStarted_ = true;
    history_.setStart(now().addMSecs(-100));
  }
  TakeEntry entry;
  const int32_t limit = bits_ == TBPS::_8 ? limit8 : limit16;
  for (size_t c = 0; c < 2; ++c) {
    entry.peak[c] = fullScale(scan.peak[c], bits_);
    // A run of clipped samples still open at the block's end is not in the block's
    // longest run, but the peak beyond the limit tells of it.
    if (scan.longestRun[c] > 0 || scan.peak[c] > limit)
      entry.flags |= c == 0 ? TakeEntry::ClipLeft : TakeEntry::ClipRight;
  }
  if (scan.heard) entry.flags |= TakeEntry::Heard;
  history_.add(entry);
}

void TakeOverview::dropout(double seconds) {
  ++dropouts_;
  lostSeconds_ += seconds;
  history_.addMark(TakeMarkKind::Dropout, tr("Dropout %1 s").arg(seconds, 0, 'f', 2));
}

void TakeOverview::fileStarted(const QString& path) {
  const QString name = QFileInfo(path).fileName();
  files_ << name;
  history_.addMark(TakeMarkKind::FileStart, tr("Start of %1").arg(name));
}

void TakeOverview::runEnded(const QString& summary) {
  active_ = false;
  summary_ = summary;
  if (window_ != nullptr) {
    window_->invalidate();
    window_->refresh();
  }
}

void TakeOverview::show() {
  if (window_ == nullptr) {
    window_ = new TakeOverviewWindow(
        history_, [this] { return factsText(); }, [this] { savePicture(); }, owner_);
    window_->resize(windowSize_);
  }
  window_->show();
  window_->raise();
  window_->activateWindow();
}

QSize TakeOverview::windowSize() const { return window_ != nullptr ? window_->size() : windowSize_; }

void TakeOverview::setWindowSize(const QSize& size) {
  windowSize_ = size;
  if (window_ != nullptr) window_->resize(size);
}

void TakeOverview::savePicture() {
  if (window_ == nullptr) return;
  // Beside the recording: "take.wav" proposes "take-overview.png".
  const QFileInfo first(firstFile_);
  TSaveDialog dialog;
  dialog.setTitle(tr("Save picture"));
  dialog.setFilter(tr("PNG picture|*.png|All files|*.*"));
  dialog.setDefaultExt("png");
  dialog.setOptions(ofOverwritePrompt | ofHideReadOnly | ofNoReadOnlyReturn | ofEnableSizing);
  dialog.setFileName(firstFile_.isEmpty() ? QDir::home().filePath("take-overview.png")
                                          : first.dir().filePath(first.completeBaseName() + "-overview.png"));
  if (!dialog.Execute(window_)) return;
  if (!window_->image().save(dialog.FileName(), "PNG"))
    prompts().messageBox(window_, tr("The picture cannot be saved as %1.").arg(dialog.FileName()), tr("Take overview"),
                         QMessageBox::Ok, QMessageBox::Warning);
}

TakeOverviewWindow* TakeOverview::window() const { return window_.data(); }

bool TakeOverview::isOpen() const { return window_ != nullptr && window_->isVisible(); }

QString TakeOverview::factsText() const {
  const TakeHistory& h = history_;
  if (h.size() == 0 && !active_ && summary_.isEmpty()) return tr("No run yet.");
  QStringList facts;
  facts << tr("Length %1.").arg(runTimeText(h.size() / 10));
  if (h.loudestPeak() == 0) {
    facts << tr("No signal.");
  } else {
    const QDateTime at = h.start().addMSecs(static_cast<qint64>(h.loudestAt()) * 100);
    facts << tr("Loudest %1 at %2 (%3).")
                 .arg(levelText(h.loudestPeak()), runTimeText(h.loudestAt() / 10), at.toString("HH:mm:ss"));
  }
  facts << (h.clippedTenths() == 0 ? tr("No clips.") : tr("Clipped %1 s.").arg(secondsText(h.clippedTenths() / 10.0)));
  facts << (h.silentStretches() == 0
                ? tr("No silent stretches.")
                : tr("Silent stretches: %1, %2 s.").arg(h.silentStretches()).arg(secondsText(h.silentTenths() / 10.0)));
  facts << (dropouts_ == 0 ? tr("No dropouts.")
                           : tr("Dropouts: %1, %2 s lost.").arg(dropouts_).arg(lostSeconds_, 0, 'f', 2));
  if (!files_.isEmpty()) facts << tr("Files: %1.").arg(files_.join(", "));
  QString text = facts.join(' ');
  if (!active_ && !summary_.isEmpty()) text += '\n' + summary_;
  return text;
}
