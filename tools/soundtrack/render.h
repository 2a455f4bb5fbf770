// render: from the score to the finished, mastered 16-bit track.
//
// What it does: RenderMix renders every part of ComposeSoundtrack into its
// own buffer, balances it, ducks the sustained parts under the kick, feeds
// the reverb and delay sends and applies the master automation (the stop
// before the second part and the closing fade). MasterMix then drives the
// mix to the loudness target through the true-peak limiter. RenderSoundtrack
// does both and returns interleaved stereo 16-bit PCM at kSampleRate,
// kTrackFrames long. Same source, same samples: there is no randomness but
// the seeded generators and no threads.
// What it does not: write files or encode (see wav.h and the tool's main).
// Lifetime: every call renders from scratch and returns owned buffers;
// a full render takes a few seconds and about 400 MB.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/soundtrack/dsp.h"

namespace soundtrack {

struct MasterSettings {
  double targetLoudness = -14.0;  // LUFS, integrated
  double ceiling = 0.79;          // linear true peak (-2 dBTP): leaves room for the MP3 encoder's overshoot
};

struct MasterReport {
  double loudness = 0.0;           // LUFS, integrated, of the mastered track
  double truePeak = 0.0;           // linear full scale, of the mastered track
  double driveDb = 0.0;            // gain into the limiter
  double largestReductionDb = 0.0; // deepest limiter gain reduction, positive
};

StereoBuffer RenderMix();
StereoBuffer MasterMix(const StereoBuffer& mix, const MasterSettings& settings, MasterReport& report);
std::vector<int16_t> ToPcm16(const StereoBuffer& audio);  // interleaved left, right; rounds and saturates

std::vector<int16_t> RenderSoundtrack(MasterReport& report);

}  // namespace soundtrack
