#include "app/overview/take_history.h"

#include <algorithm>

namespace {

// Chunks the index has room for before it grows: 116 hours of run.
constexpr size_t kReservedChunks = 256;

}  // namespace

TakeHistory::TakeHistory() {
  chunks_.reserve(kReservedChunks);
  marks_.reserve(64);
}

void TakeHistory::begin(int channels, const QDateTime& start) {
  channels_ = channels == 1 ? 1 : 2;
  start_ = start;
  size_ = 0;
  marks_.clear();
  loudestPeak_ = 0;
  loudestAt_ = 0;
  clippedTenths_ = 0;
  lostTenths_ = 0;
  silentStretches_ = 0;
  silentTenths_ = 0;
  quietRun_ = 0;
  // The first chunk is there before the first block arrives.
  if (chunks_.empty()) chunks_.push_back(std::make_unique<TakeEntry[]>(kChunkEntries));
  ++revision_;
}

void TakeHistory::add(const TakeEntry& entry) {
  if (size_ == chunks_.size() * kChunkEntries) chunks_.push_back(std::make_unique<TakeEntry[]>(kChunkEntries));
  chunks_[size_ >> kChunkShift][size_ & (kChunkEntries - 1)] = entry;

  const uint16_t peak = std::max(entry.peak[0], entry.peak[1]);
  if (peak > loudestPeak_) {
    loudestPeak_ = peak;
    loudestAt_ = size_;
  }
  if (entry.flags & (TakeEntry::ClipLeft | TakeEntry::ClipRight)) ++clippedTenths_;
  if (entry.flags & TakeEntry::Lost) {
    // Lost input is no statement about the signal: a quiet stretch goes on across it.
    ++lostTenths_;
  } else if (entry.flags & TakeEntry::Heard) {
    if (quietRun_ >= kSilentStretchTenths) {
      ++silentStretches_;
      silentTenths_ += quietRun_;
    }
    quietRun_ = 0;
  } else {
    ++quietRun_;
  }
  ++size_;
  ++revision_;
}

void TakeHistory::addMark(TakeMarkKind kind, const QString& text) {
  marks_.push_back({size_, kind, text});
  ++revision_;
}

uint64_t TakeHistory::silentStretches() const { return silentStretches_ + (quietRun_ >= kSilentStretchTenths ? 1 : 0); }

uint64_t TakeHistory::silentTenths() const {
  return silentTenths_ + (quietRun_ >= kSilentStretchTenths ? quietRun_ : 0);
}

TakeStretch TakeHistory::columnStretch(int column, int count) const {
  if (count <= 0 || size_ == 0) return {};
  const auto c = static_cast<uint64_t>(column);
  const auto n = static_cast<uint64_t>(count);
  const uint64_t first = c * size_ / n;
  // A run shorter than the width gives each tenth several columns.
  return {first, std::max(first + 1, (c + 1) * size_ / n)};
}

TakeColumn TakeHistory::summarise(TakeStretch stretch) const {
  TakeColumn column;
  column.silent = stretch.first < stretch.last;
  for (uint64_t t = stretch.first; t < std::min(stretch.last, size_); ++t) {
    const TakeEntry& entry = at(t);
    column.peak[0] = std::max(column.peak[0], entry.peak[0]);
    column.peak[1] = std::max(column.peak[1], entry.peak[1]);
    column.clipped[0] = column.clipped[0] || (entry.flags & TakeEntry::ClipLeft);
    column.clipped[1] = column.clipped[1] || (entry.flags & TakeEntry::ClipRight);
    column.silent = column.silent && !(entry.flags & TakeEntry::Heard);
    column.lost = column.lost || (entry.flags & TakeEntry::Lost);
  }
  return column;
}

void TakeHistory::reduce(int count, std::vector<TakeColumn>& columns) const {
  columns.resize(size_ == 0 ? 0 : static_cast<size_t>(std::max(count, 0)));
  for (size_t c = 0; c < columns.size(); ++c) columns[c] = summarise(columnStretch(static_cast<int>(c), count));
}

size_t TakeHistory::memoryBytes() const {
  size_t bytes =
      sizeof(*this) + chunks_.capacity() * sizeof(chunks_[0]) + chunks_.size() * kChunkEntries * sizeof(TakeEntry);
  bytes += marks_.capacity() * sizeof(TakeMark);
  for (const TakeMark& mark : marks_) bytes += static_cast<size_t>(mark.text.capacity()) * sizeof(QChar);
  return bytes;
}
