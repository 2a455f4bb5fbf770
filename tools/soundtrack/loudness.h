// loudness: the measurements the master is steered by.
//
// What it does: IntegratedLoudness follows ITU-R BS.1770 (K-weighting,
// 400 ms blocks every 100 ms, absolute gate -70 LUFS, relative gate -10 LU)
// for stereo at kSampleRate. TruePeakEnvelope estimates inter-sample peaks by
// 4x windowed-sinc interpolation, giving for every frame the largest magnitude
// of either channel between its neighbours, so a limiter can keep the
// reconstructed wave under its ceiling.
// What it does not: handle other sample rates or channel layouts, or measure
// short-term or momentary loudness.
// Lifetime: pure functions over the caller's buffer.
#pragma once

#include <vector>

#include "tools/soundtrack/dsp.h"

namespace soundtrack {

// LUFS; returns kSilentLoudness when no block passes the absolute gate.
inline constexpr double kSilentLoudness = -70.0;
double IntegratedLoudness(const StereoBuffer& audio);

// Per frame, linear full scale: max |sample| and |interpolated value| within
// half a frame either side, over both channels.
std::vector<float> TruePeakEnvelope(const StereoBuffer& audio);

// Largest value of TruePeakEnvelope, linear full scale.
double TruePeak(const StereoBuffer& audio);

}  // namespace soundtrack
