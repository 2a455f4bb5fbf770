#include "tools/soundtrack/limiter.h"

#include <algorithm>
#include <cmath>
#include <deque>

#include "tools/soundtrack/timeline.h"

namespace soundtrack {

std::vector<float> LimiterGain(const std::vector<float>& peakEnvelope, double drive,
                               const LimiterSettings& settings) {
  const size_t frames = peakEnvelope.size();
  const size_t window = std::max<size_t>(1, static_cast<size_t>(settings.lookaheadSeconds * kSampleRate));
  std::vector<double> needed(frames);
  for (size_t i = 0; i < frames; ++i) {
    const double peak = drive * peakEnvelope[i];
    needed[i] = peak > settings.ceiling ? settings.ceiling / peak : 1.0;
  }
  // Smallest gain needed anywhere in the next `window` frames (a monotonic
  // queue keeps this linear), then a release that only ever rises slowly.
  std::vector<double> held(frames);
  std::deque<size_t> candidates;
  size_t next = 0;
  const double release = 1.0 - std::exp(-1.0 / (settings.releaseSeconds * kSampleRate));
  double recovering = 1.0;
  for (size_t i = 0; i < frames; ++i) {
    for (; next < frames && next < i + window; ++next) {
      while (!candidates.empty() && needed[candidates.back()] >= needed[next]) candidates.pop_back();
      candidates.push_back(next);
    }
    while (candidates.front() < i) candidates.pop_front();
    recovering = std::min(needed[candidates.front()], recovering + (1.0 - recovering) * release);
    held[i] = recovering;
  }
  // Averaging over the same window makes the gain a smooth ramp; every value
  // averaged at frame i already looked ahead to i, so the mean is still low enough.
  std::vector<float> gain(frames);
  double sum = 0.0;
  for (size_t i = 0; i < frames; ++i) {
    sum += held[i];
    if (i >= window) sum -= held[i - window];
    const size_t count = std::min(i + 1, window);
    gain[i] = static_cast<float>(sum / count);
  }
  return gain;
}

}  // namespace soundtrack
