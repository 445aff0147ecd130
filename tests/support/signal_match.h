// Comparing recorded signals: interleaved PCM as mono samples, the best normalised
// cross-correlation of a reference inside a recording, and how long a signal is loud.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "mmsystem/mmsystem.h"

namespace testsupport {

// Interleaved 8- or 16-bit PCM as mono doubles (channels averaged, 8-bit centred and
// scaled to the 16-bit range).
inline std::vector<double> monoSamples(const char* bytes, size_t size, int channels, int bits) {
  std::vector<double> out;
  const size_t frameBytes = static_cast<size_t>(channels) * (bits / 8);
  const size_t frames = size / frameBytes;
  out.reserve(frames);
  for (size_t i = 0; i < frames; ++i) {
    double sum = 0;
    for (int c = 0; c < channels; ++c) {
      const char* p = bytes + i * frameBytes + c * (bits / 8);
      if (bits == 8) {
        sum += (static_cast<unsigned char>(*p) - 128) * 256.0;
      } else {
        int16_t s;
        std::memcpy(&s, p, 2);
        sum += s;
      }
    }
    out.push_back(sum / channels);
  }
  return out;
}

inline std::vector<double> monoSamples(const std::vector<char>& bytes, const WAVEFORMATEX& f) {
  return monoSamples(bytes.data(), bytes.size(), f.nChannels, f.wBitsPerSample);
}

// Interleaved 16-bit PCM as mono doubles (channels averaged).
inline std::vector<double> mono16(const char* bytes, size_t size, int channels) {
  return monoSamples(bytes, size, channels, 16);
}

// The best normalised cross-correlation of `reference` against `signal` over every lag
// at which `reference` lies inside `signal`: a coarse search on decimated signals, then
// a fine search around the best coarse lag.
inline double bestCorrelation(const std::vector<double>& reference, const std::vector<double>& signal) {
  if (reference.empty() || signal.size() < reference.size()) return 0;
  auto ncc = [](const double* a, const double* b, size_t n) {
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < n; ++i) {
      ab += a[i] * b[i];
      aa += a[i] * a[i];
      bb += b[i] * b[i];
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0.0;
  };
  constexpr size_t kStep = 8;
  auto decimate = [](const std::vector<double>& x) {
    std::vector<double> y(x.size() / kStep);
    for (size_t i = 0; i < y.size(); ++i) {
      double s = 0;
      for (size_t k = 0; k < kStep; ++k) s += x[i * kStep + k];
      y[i] = s / kStep;
    }
    return y;
  };
  const std::vector<double> r = decimate(reference);
  const std::vector<double> s = decimate(signal);
  size_t bestLag = 0;
  double best = -2;
  for (size_t lag = 0; lag + r.size() <= s.size(); ++lag) {
    const double c = ncc(r.data(), s.data() + lag, r.size());
    if (c > best) best = c, bestLag = lag;
  }
  const size_t centre = bestLag * kStep;
  best = -2;
  for (size_t lag = centre > 2 * kStep ? centre - 2 * kStep : 0;
       lag <= centre + 2 * kStep && lag + reference.size() <= signal.size(); ++lag)
    best = std::max(best, ncc(reference.data(), signal.data() + lag, reference.size()));
  return best;
}

// Seconds of `samples` (at `rate`) in 10 ms windows whose level exceeds `threshold`.
inline double loudSeconds(const std::vector<double>& samples, unsigned rate, double threshold) {
  const size_t window = rate / 100;
  size_t loud = 0;
  for (size_t i = 0; i + window <= samples.size(); i += window) {
    double energy = 0;
    for (size_t k = 0; k < window; ++k) energy += samples[i + k] * samples[i + k];
    if (std::sqrt(energy / window) > threshold) loud += window;
  }
  return static_cast<double>(loud) / rate;
}

}  // namespace testsupport
