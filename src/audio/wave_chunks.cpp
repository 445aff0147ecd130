// Byte layouts of the broadcast chunk, the cue chunks with their labels, and the texts the
// broadcast chunk carries.
#include "audio/wave_chunks.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>

WaveOrigination WaveOrigination::after(uint64_t frames) const {
  if (!valid()) return *this;
  using namespace std::chrono;
  const uint64_t dayLength = uint64_t{rate} * 86400;
  const uint64_t total = samplesSinceMidnight + frames;
  const sys_days date = sys_days{std::chrono::year{year} / std::chrono::month{month} / std::chrono::day{day}} +
                        days{static_cast<int64_t>(total / dayLength)};
  const year_month_day ymd{date};
  WaveOrigination next = *this;
  next.year = static_cast<int>(ymd.year());
  next.month = static_cast<unsigned>(ymd.month());
  next.day = static_cast<unsigned>(ymd.day());
  next.samplesSinceMidnight = total % dayLength;
  return next;
}

WaveOrigination originationAt(std::chrono::system_clock::time_point time, uint32_t rate) {
  using namespace std::chrono;
  const auto since = time.time_since_epoch();
  const auto whole = floor<seconds>(since);
  const std::time_t t = static_cast<std::time_t>(whole.count());
  std::tm local{};
  localtime_r(&t, &local);
  WaveOrigination o;
  o.year = local.tm_year + 1900;
  o.month = static_cast<unsigned>(local.tm_mon + 1);
  o.day = static_cast<unsigned>(local.tm_mday);
  o.rate = rate;
  const uint64_t second = uint64_t(local.tm_hour) * 3600 + uint64_t(local.tm_min) * 60 + uint64_t(local.tm_sec);
  const auto fraction = duration_cast<nanoseconds>(since - whole).count();
  o.samplesSinceMidnight = second * rate + static_cast<uint64_t>(fraction) * rate / 1000000000;
  return o;
}

namespace wave_chunks {

namespace {

void putLE(unsigned char* p, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

void appendLE(std::vector<unsigned char>& out, uint64_t v, int bytes) {
  out.resize(out.size() + bytes);
  putLE(out.data() + out.size() - bytes, v, bytes);
}

void appendId(std::vector<unsigned char>& out, const char* id) { out.insert(out.end(), id, id + 4); }

// Copies `text` into a field of `size` bytes, cut to fit; the rest stays zero.
void putText(unsigned char* field, size_t size, const std::string& text) {
  std::memcpy(field, text.data(), std::min(size, text.size()));
}

}  // namespace

std::vector<unsigned char> bextBody(const BroadcastInfo& info) {
  std::vector<unsigned char> body(kBextFixedBytes, 0);
  putText(body.data() + kBextDescriptionAt, 256, info.description);
  putText(body.data() + kBextOriginatorAt, 32, info.originator);
  putText(body.data() + kBextOriginatorReferenceAt, 32, info.originatorReference);
  putLE(body.data() + kBextVersionAt, 1, 2);
  body.insert(body.end(), info.codingHistory.begin(), info.codingHistory.end());
  if (body.size() % 2 != 0) body.push_back(0);
  return body;
}

void setBextOrigination(unsigned char* body, const WaveOrigination& o) {
  const uint64_t seconds = o.rate > 0 ? o.samplesSinceMidnight / o.rate : 0;
  // 11 and 9 bytes with the terminating zero, which the fields do not keep.
  char date[32];
  char time[32];
  std::snprintf(date, sizeof date, "%04d-%02u-%02u", o.year % 10000, o.month % 100, o.day % 100);
  std::snprintf(time, sizeof time, "%02u:%02u:%02u", static_cast<unsigned>(seconds / 3600 % 100),
                static_cast<unsigned>(seconds / 60 % 60), static_cast<unsigned>(seconds % 60));
  std::memcpy(body + kBextOriginationDateAt, date, 10);
  std::memcpy(body + kBextOriginationTimeAt, time, 8);
  putLE(body + kBextTimeReferenceAt, o.samplesSinceMidnight, 8);
}

std::string codingHistory(uint32_t rate, unsigned bits, unsigned channels, const std::string& software) {
  const char* mode = channels == 1 ? "mono" : channels == 2 ? "stereo" : "multichannel";
  return "A=PCM,F=" + std::to_string(rate) + ",W=" + std::to_string(bits) + ",M=" + mode + ",T=" + software + "\r\n";
}

std::string uniqueReference() {
  // Random digits from a generator of each thread, and a count of the process, so that
  // two files made in the same second differ.
  thread_local std::mt19937_64 random{std::random_device{}()};
  static std::atomic<uint64_t> made{0};
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[96];
  const unsigned long long digits = (random() + made.fetch_add(1)) & 0xFFFFFFFFFFFFFFFull;
  std::snprintf(text, sizeof text, "TSR%04d%02d%02d%02d%02d%02d%015llX", (local.tm_year + 1900) % 10000,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, digits);
  return std::string(text, 32);
}

std::vector<unsigned char> cueChunks(const std::vector<CuePoint>& points) {
  std::vector<const CuePoint*> kept;
  for (const CuePoint& p : points)
    if (p.frame <= 0xFFFFFFFFull) kept.push_back(&p);
  std::vector<unsigned char> out;
  if (kept.empty()) return out;

  appendId(out, "cue ");
  appendLE(out, 4 + 24 * kept.size(), 4);
  appendLE(out, kept.size(), 4);
  for (size_t i = 0; i < kept.size(); ++i) {
    appendLE(out, i + 1, 4);  // the point's name, which its label refers to
    appendLE(out, kept[i]->frame, 4);
    appendId(out, "data");
    appendLE(out, 0, 4);  // chunk start and block start: uncompressed data
    appendLE(out, 0, 4);
    appendLE(out, kept[i]->frame, 4);
  }

  const size_t listAt = out.size();
  appendId(out, "LIST");
  appendLE(out, 0, 4);
  appendId(out, "adtl");
  for (size_t i = 0; i < kept.size(); ++i) {
    const std::string& text = kept[i]->label;
    appendId(out, "labl");
    appendLE(out, 4 + text.size() + 1, 4);
    appendLE(out, i + 1, 4);
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
    if (out.size() % 2 != 0) out.push_back(0);  // every chunk starts on an even offset
  }
  putLE(out.data() + listAt + 4, out.size() - listAt - 8, 4);
  return out;
}

}  // namespace wave_chunks
