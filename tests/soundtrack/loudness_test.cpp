#include "tools/soundtrack/loudness.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/soundtrack/signal_helpers.h"

namespace soundtrack {
namespace {

using testing::Sine;

StereoBuffer Stereo(const std::vector<double>& left, const std::vector<double>& right) {
  StereoBuffer buffer(left.size());
  std::copy(left.begin(), left.end(), buffer.left.begin());
  std::copy(right.begin(), right.end(), buffer.right.begin());
  return buffer;
}

std::vector<double> Concatenate(std::vector<double> first, const std::vector<double>& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

// Calibration points of BS.1770: a full-scale 997 Hz tone in one channel reads
// -3.01 LUFS; the gates must ignore silence and passages 10 LU under the rest.
TEST(SoundtrackLoudness, ReadsTheCalibrationTonesAndGates) {
  const std::vector<double> tone = Sine(997.0, 1.0, 10.0);
  const std::vector<double> silence(tone.size(), 0.0);
  const std::vector<double> quietTone = Sine(997.0, 0.1, 10.0);
  const std::vector<double> veryQuietTone = Sine(997.0, 0.01, 10.0);
  struct Case {
    const char* name;
    StereoBuffer audio;
    double expectedLufs;
  };
  const Case cases[] = {
      {"full scale, left only", Stereo(tone, silence), -3.01},
      {"full scale, both", Stereo(tone, tone), 0.0},
      {"-20 dB, both", Stereo(quietTone, quietTone), -20.0},
      {"silence after the tone is gated out", Stereo(Concatenate(tone, silence), Concatenate(tone, silence)), 0.0},
      {"a passage 20 dB down is gated out",
       Stereo(Concatenate(quietTone, veryQuietTone), Concatenate(quietTone, veryQuietTone)), -20.0},
  };
  for (const Case& c : cases) EXPECT_NEAR(IntegratedLoudness(c.audio), c.expectedLufs, 0.1) << c.name;
  EXPECT_EQ(IntegratedLoudness(Stereo(silence, silence)), kSilentLoudness);
}

// A quarter-sample-rate tone sampled 45 degrees off its crests: every sample
// is at 0.707 while the wave between them reaches 1.0.
TEST(SoundtrackLoudness, TruePeakFindsThePeakBetweenSamples) {
  const std::vector<double> tone = Sine(kSampleRate / 4.0, 1.0, 0.1, kPi / 4.0);
  const StereoBuffer audio = Stereo(tone, tone);
  const double samplePeak = *std::max_element(audio.left.begin(), audio.left.end());
  ASSERT_NEAR(samplePeak, 0.7071, 0.001);
  EXPECT_NEAR(TruePeak(audio), 1.0, 0.03);
}

}  // namespace
}  // namespace soundtrack
