#include "tools/soundtrack/effects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "tools/soundtrack/timeline.h"

namespace soundtrack {
namespace {

StereoBuffer Click(size_t frames) {
  StereoBuffer buffer(frames);
  buffer.left[0] = buffer.right[0] = 1.0f;
  return buffer;
}

double PeakIn(const std::vector<float>& channel, size_t begin, size_t end) {
  double peak = 0.0;
  for (size_t i = begin; i < end; ++i) peak = std::max(peak, static_cast<double>(std::abs(channel[i])));
  return peak;
}

// A 5 ms tone burst: unlike a click, the feedback's gentle low-pass leaves it intact.
StereoBuffer Burst(size_t frames) {
  StereoBuffer buffer(frames);
  const size_t length = kSampleRate / 200;
  for (size_t i = 0; i < length; ++i) {
    const double window = std::sin(kPi * static_cast<double>(i) / length);
    buffer.left[i] = buffer.right[i] = static_cast<float>(window * std::sin(2.0 * kPi * 500.0 * i / kSampleRate));
  }
  return buffer;
}

TEST(SoundtrackEffects, EchoesAlternateSidesAndDieAway) {
  const DelaySettings settings{0.1, 0.5, 3500.0};
  const size_t delay = static_cast<size_t>(std::lround(settings.delaySeconds * kSampleRate));
  const StereoBuffer wet = PingPongDelay(settings).Process(Burst(7 * delay));
  EXPECT_EQ(PeakIn(wet.left, 0, delay), 0.0) << "nothing before the first echo";
  EXPECT_EQ(PeakIn(wet.right, 0, 2 * delay), 0.0) << "the right side only hears the left's echo";
  double previous = 2.0;
  for (size_t echo = 1; echo <= 6; ++echo) {
    const std::vector<float>& side = echo % 2 == 1 ? wet.left : wet.right;
    const std::vector<float>& other = echo % 2 == 1 ? wet.right : wet.left;
    const size_t begin = echo * delay;
    const double peak = PeakIn(side, begin, begin + delay / 2);
    EXPECT_GT(peak, 0.01) << "echo " << echo;
    EXPECT_LT(peak, previous) << "echo " << echo << " is not quieter than the one before";
    EXPECT_LT(PeakIn(other, begin, begin + delay / 2), peak * 0.1) << "echo " << echo << " leaks to the other side";
    previous = peak;
  }
}

TEST(SoundtrackEffects, ReverbTailIsWideAndDecays) {
  const StereoBuffer wet = StereoReverb(ReverbSettings{}).Process(Click(8 * kSampleRate));
  const double early = PeakIn(wet.left, 0, kSampleRate / 2);
  ASSERT_GT(early, 0.0);
  EXPECT_LT(PeakIn(wet.left, 7 * kSampleRate, 8 * kSampleRate), early * DbToGain(-60.0)) << "tail still ringing";
  double product = 0.0, leftPower = 0.0, rightPower = 0.0;
  for (size_t i = 0; i < wet.Frames(); ++i) {
    product += static_cast<double>(wet.left[i]) * wet.right[i];
    leftPower += static_cast<double>(wet.left[i]) * wet.left[i];
    rightPower += static_cast<double>(wet.right[i]) * wet.right[i];
  }
  EXPECT_LT(std::abs(product) / std::sqrt(leftPower * rightPower), 0.5) << "left and right tails are too alike";
}

}  // namespace
}  // namespace soundtrack
