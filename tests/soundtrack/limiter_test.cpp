#include "tools/soundtrack/limiter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "tools/soundtrack/dsp.h"
#include "tools/soundtrack/timeline.h"

namespace soundtrack {
namespace {

// Peaks of a quiet bed with a few loud hits, some of them back to back.
std::vector<float> PeaksWithHits() {
  std::vector<float> peaks(kSampleRate, 0.3f);
  Random random(7);
  for (size_t hit : {1000u, 1010u, 5000u, 5300u}) {
    for (size_t i = hit; i < hit + 40; ++i) peaks[i] = static_cast<float>(1.5 + 2.5 * random.Uniform());
  }
  return peaks;
}

TEST(SoundtrackLimiter, HoldsTheCeilingWithASmoothGain) {
  const LimiterSettings settings;
  const double drive = 1.3;
  const std::vector<float> peaks = PeaksWithHits();
  const std::vector<float> gain = LimiterGain(peaks, drive, settings);
  ASSERT_EQ(gain.size(), peaks.size());
  const size_t window = static_cast<size_t>(settings.lookaheadSeconds * kSampleRate);  // frames
  for (size_t i = 0; i < gain.size(); ++i) {
    ASSERT_LE(drive * gain[i] * peaks[i], settings.ceiling * (1.0 + 1e-5)) << "over the ceiling at frame " << i;
    ASSERT_GT(gain[i], 0.0f);
    ASSERT_LE(gain[i], 1.0f);
    // Full range over one look-ahead window is the steepest a ramp may be.
    if (i > 0) {
      ASSERT_LE(std::abs(gain[i] - gain[i - 1]), 1.0 / static_cast<double>(window) + 1e-6)
          << "gain steps at frame " << i;
    }
  }
  EXPECT_EQ(gain[1000 - window], 1.0f) << "limits before the look-ahead reaches the first hit";
  EXPECT_NEAR(gain[30000], 1.0f, 1e-3) << "has not recovered seven release times after the last hit";
}

TEST(SoundtrackLimiter, LeavesQuietMaterialAlone) {
  const std::vector<float> peaks(10000, 0.5f);
  const std::vector<float> gain = LimiterGain(peaks, 1.5, LimiterSettings{});
  EXPECT_TRUE(std::all_of(gain.begin(), gain.end(), [](float g) { return g == 1.0f; }));
}

}  // namespace
}  // namespace soundtrack
