// The history of a take: what the block analysis found in every tenth of a second of the
// current run (or of the last one, until the next starts), and the marks along it (file
// starts, dropouts, markers). It is fed on the window thread from the per-block results,
// never from the samples, and kept in chunks of memory that are allocated rarely: one
// chunk holds 16384 tenths (27 minutes), so an eight-hour run takes 18 of them.
#pragma once

#include <QDateTime>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// What one tenth of a second of the run held.
struct TakeEntry {
  enum Flag : uint8_t {
    ClipLeft = 1,   // a sample of the left (or only) channel lay beyond the clip limit
    ClipRight = 2,  // the same for the right channel
    Heard = 4,      // some sample lay beyond the quiet limit
    Lost = 8,       // input lost in a dropout; the file holds silence there
  };
  // Per channel the peak as a share of full scale, 0..32767.
  std::array<uint16_t, 2> peak{};
  uint8_t flags = 0;
};

enum class TakeMarkKind { FileStart, Dropout, Marker };

// A point of the run worth a mark: where it is in run time and what it says.
struct TakeMark {
  uint64_t tenths = 0;
  TakeMarkKind kind = TakeMarkKind::Marker;
  QString text;
};

// A stretch of the run as one column of the picture: the largest peak and whether a clip
// fell into it per channel, whether none of it held a signal, whether input was lost in it.
struct TakeColumn {
  std::array<uint16_t, 2> peak{};
  std::array<bool, 2> clipped{};
  bool silent = true;
  bool lost = false;
};

// A stretch of tenths [first, last).
struct TakeStretch {
  uint64_t first = 0;
  uint64_t last = 0;
};

class TakeHistory {
 public:
  static constexpr unsigned kChunkShift = 14;
  static constexpr uint64_t kChunkEntries = uint64_t{1} << kChunkShift;
  // Silence shorter than this many tenths is a pause, not a silent stretch.
  static constexpr uint64_t kSilentStretchTenths = 10;

  TakeHistory();

  // A new run of `channels` (1 or 2) channels begins: the last one is forgotten, the
  // memory it used is kept for this one. `start` is the local time at run time 0.
  void begin(int channels, const QDateTime& start);
  void setStart(const QDateTime& start) { start_ = start; }

  // One tenth of the run: a block with these peaks (0..32767) and flags.
  void add(const TakeEntry& entry);
  // One tenth of input lost in a dropout.
  void addLost() { add(TakeEntry{{0, 0}, TakeEntry::Lost}); }
  // A mark at the present end of the run.
  void addMark(TakeMarkKind kind, const QString& text);

  int channels() const { return channels_; }
  QDateTime start() const { return start_; }
  // Run time so far, in tenths.
  uint64_t size() const { return size_; }
  const TakeEntry& at(uint64_t tenths) const { return chunks_[tenths >> kChunkShift][tenths & (kChunkEntries - 1)]; }
  const std::vector<TakeMark>& marks() const { return marks_; }
  // Grows by one with every change, so a picture knows whether it is still current.
  uint64_t revision() const { return revision_; }

  // The run reduced to `count` columns of equal stretches of time, the whole run filling
  // them however long it is; `columns` is resized to `count` (none while the run is empty).
  void reduce(int count, std::vector<TakeColumn>& columns) const;
  // The stretch of tenths that column `column` of `count` covers.
  TakeStretch columnStretch(int column, int count) const;
  // A stretch of tenths as one column.
  TakeColumn summarise(TakeStretch stretch) const;

  // Facts of the whole run, kept up to date with every tenth.
  uint16_t loudestPeak() const { return loudestPeak_; }
  uint64_t loudestAt() const { return loudestAt_; }  // the first tenth that reached it
  uint64_t clippedTenths() const { return clippedTenths_; }
  uint64_t lostTenths() const { return lostTenths_; }
  // The stretches without signal of at least kSilentStretchTenths, the one still going on
  // at the end included.
  uint64_t silentStretches() const;
  uint64_t silentTenths() const;

  // Bytes the history holds in memory.
  size_t memoryBytes() const;

 private:
  int channels_ = 2;
  QDateTime start_;
  std::vector<std::unique_ptr<TakeEntry[]>> chunks_;
  uint64_t size_ = 0;
  std::vector<TakeMark> marks_;
  uint64_t revision_ = 0;
  uint16_t loudestPeak_ = 0;
  uint64_t loudestAt_ = 0;
  uint64_t clippedTenths_ = 0;
  uint64_t lostTenths_ = 0;
  uint64_t silentStretches_ = 0;  // closed ones
  uint64_t silentTenths_ = 0;     // in closed ones
  uint64_t quietRun_ = 0;         // tenths without signal up to the end
};
