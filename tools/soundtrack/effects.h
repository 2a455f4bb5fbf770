// effects: the shared reverb and tempo delay that the mix sends into.
//
// What it does: StereoReverb is a Schroeder-Moorer room (eight damped
// feedback combs and four allpasses per channel, the right channel's delays
// slightly longer for width); PingPongDelay bounces echoes between left and
// right with a darkening feedback path. Both process a whole buffer at once
// and return only the wet signal.
// What it does not: mix dry and wet, or keep state between Process calls on
// different buffers (each call starts from silence).
// Lifetime: plain objects; Process allocates only its delay lines.
#pragma once

#include "tools/soundtrack/dsp.h"

namespace soundtrack {

struct ReverbSettings {
  double roomSize = 0.84;        // comb feedback, 0..1; longer tail when higher
  double damping = 0.35;         // 0..1; how fast the tail loses treble
  double preDelaySeconds = 0.025;
  double lowCutHz = 220.0;       // keeps the tail out of the kick and bass
  double width = 1.0;            // 0 = mono tail, 1 = fully decorrelated
};

class StereoReverb {
 public:
  explicit StereoReverb(const ReverbSettings& settings) : settings_(settings) {}
  StereoBuffer Process(const StereoBuffer& send) const;

 private:
  ReverbSettings settings_;
};

struct DelaySettings {
  double delaySeconds = 0.39;  // time between echoes
  double feedback = 0.4;       // 0..1, echo-to-echo gain
  double toneHz = 3500.0;      // low-pass in the feedback path
};

class PingPongDelay {
 public:
  explicit PingPongDelay(const DelaySettings& settings) : settings_(settings) {}
  StereoBuffer Process(const StereoBuffer& send) const;

 private:
  DelaySettings settings_;
};

}  // namespace soundtrack
