// signal_helpers: measurements the soundtrack tests share.
//
// What it does: makes test tones and measures a signal's level at one
// frequency (Hann-windowed Goertzel) or over a span (RMS).
// What it does not: anything the tool itself needs; only tests include it.
// Lifetime: pure functions over the caller's samples.
#pragma once

#include <cmath>
#include <vector>

#include "tools/soundtrack/dsp.h"
#include "tools/soundtrack/timeline.h"

namespace soundtrack::testing {

inline std::vector<double> Sine(double hz, double amplitude, double seconds, double phaseRadians = 0.0) {
  std::vector<double> samples(static_cast<size_t>(seconds * kSampleRate));
  for (size_t i = 0; i < samples.size(); ++i) {
    samples[i] = amplitude * std::sin(2.0 * kPi * hz * static_cast<double>(i) / kSampleRate + phaseRadians);
  }
  return samples;
}

// Amplitude of the component at hz, for a steady signal; the window keeps
// strong neighbours from leaking in.
inline double AmplitudeAt(const std::vector<double>& samples, double hz) {
  const double coefficient = 2.0 * std::cos(2.0 * kPi * hz / kSampleRate);
  double previous = 0.0, beforePrevious = 0.0, windowSum = 0.0;
  const size_t count = samples.size();
  for (size_t i = 0; i < count; ++i) {
    const double window = 0.5 - 0.5 * std::cos(2.0 * kPi * static_cast<double>(i) / static_cast<double>(count - 1));
    windowSum += window;
    const double current = samples[i] * window + coefficient * previous - beforePrevious;
    beforePrevious = previous;
    previous = current;
  }
  const double power = previous * previous + beforePrevious * beforePrevious - coefficient * previous * beforePrevious;
  return 2.0 * std::sqrt(std::max(power, 0.0)) / windowSum;
}

inline double Rms(const std::vector<double>& samples, size_t begin, size_t end) {
  double sum = 0.0;
  for (size_t i = begin; i < end; ++i) sum += samples[i] * samples[i];
  return std::sqrt(sum / static_cast<double>(end - begin));
}

}  // namespace soundtrack::testing
