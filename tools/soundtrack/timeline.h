// timeline: the soundtrack's fixed musical grid and where it sits in the track.
//
// What it does: names the track's sample rate and length, the tempo, and turns
// beats and show units into frames. Beat 0 is the downbeat of the second part,
// at exactly 34.23 s (frame 1 509 543); the first part uses the same grid, so
// its beats are negative and the cut lands on a bar line. One show unit is 16
// beats and unit 5 starts at beat 0.
// What it does not: know anything about notes or instruments.
// Lifetime: constants and pure functions only.
#pragma once

#include <cmath>
#include <cstdint>

namespace soundtrack {

inline constexpr int kSampleRate = 44100;                  // frames per second
inline constexpr double kBeatsPerMinute = 115.0;
inline constexpr double kSecondsPerBeat = 60.0 / kBeatsPerMinute;
inline constexpr double kFramesPerBeat = kSampleRate * kSecondsPerBeat;  // 23 008.7 frames, not whole
inline constexpr double kPartTwoStartSeconds = 34.23;
inline constexpr int64_t kPartTwoStartFrame = 1'509'543;  // 34.23 s x 44 100, exact
inline constexpr int kBeatsPerBar = 4;
inline constexpr int kBeatsPerUnit = 16;
inline constexpr double kPartTwoFirstUnit = 5.0;           // the show's unit at beat 0
inline constexpr double kShowEndUnit = 17.8;               // the show ends itself here (141.08 s)
inline constexpr double kTrackSeconds = 142.5;             // file length: show end plus a short silent tail
inline constexpr int64_t kTrackFrames = static_cast<int64_t>(kTrackSeconds * kSampleRate);

static_assert(kPartTwoStartFrame == 1'509'543, "the second part starts on this exact frame");

inline constexpr double BeatAtUnit(double unit) { return (unit - kPartTwoFirstUnit) * kBeatsPerUnit; }

// Beats may be negative (first part) or fractional; the result is rounded to
// the nearest frame, so every event lands on the same frame on every run.
inline int64_t FrameAtBeat(double beat) {
  return kPartTwoStartFrame + static_cast<int64_t>(std::llround(beat * kFramesPerBeat));
}

inline double SecondsAtBeat(double beat) { return kPartTwoStartSeconds + beat * kSecondsPerBeat; }

inline double BeatAtFrame(int64_t frame) {
  return static_cast<double>(frame - kPartTwoStartFrame) / kFramesPerBeat;
}

}  // namespace soundtrack
