// limiter: the master's brick-wall, look-ahead peak limiter.
//
// What it does: from a per-frame peak envelope (see TruePeakEnvelope) and the
// gain the mix will be driven with, computes a smooth per-frame gain that
// keeps gain x drive x peak at or under the ceiling. It reads ahead by
// lookaheadSeconds, so the gain is already down when a peak arrives and never
// steps, and recovers with the release time constant. Stereo-linked: one gain
// for both channels keeps the image still.
// What it does not: apply the gain, colour the sound, or limit in real time
// (the whole track is known, so looking ahead costs no latency).
// Lifetime: a pure function.
#pragma once

#include <vector>

namespace soundtrack {

struct LimiterSettings {
  double ceiling = 0.84;             // linear full scale (0.84 = -1.5 dBFS)
  double lookaheadSeconds = 0.004;   // gain ramps down over this time before a peak
  double releaseSeconds = 0.08;      // time constant of the recovery
};

// Gain per frame, in (0, 1]; multiply it with drive into the mix.
std::vector<float> LimiterGain(const std::vector<float>& peakEnvelope, double drive,
                               const LimiterSettings& settings);

}  // namespace soundtrack
