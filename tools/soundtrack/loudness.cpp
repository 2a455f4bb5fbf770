#include "tools/soundtrack/loudness.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "tools/soundtrack/timeline.h"

namespace soundtrack {

namespace {

struct Biquad {
  double b0, b1, b2, a1, a2;
  double z1 = 0.0, z2 = 0.0;
  double Process(double x) {
    const double y = b0 * x + z1;
    z1 = b1 * x - a1 * y + z2;
    z2 = b2 * x - a2 * y;
    return y;
  }
};

// The K-weighting pair (a high shelf for the head, then a high-pass),
// designed from its analogue prototype for our sample rate rather than the
// 48 kHz table in the recommendation.
Biquad HeadShelf() {
  const double gainDb = 3.999843853973347;
  const double centreHz = 1681.974450955533;
  const double q = 0.7071752369554196;
  const double k = std::tan(kPi * centreHz / kSampleRate);
  const double vh = std::pow(10.0, gainDb / 20.0);
  const double vb = std::pow(vh, 0.4996667741545416);
  const double a0 = 1.0 + k / q + k * k;
  return {(vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0,
          2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
}

Biquad LowCut() {
  const double cornerHz = 38.13547087602444;
  const double q = 0.5003270373238773;
  const double k = std::tan(kPi * cornerHz / kSampleRate);
  const double a0 = 1.0 + k / q + k * k;
  return {1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
}

std::vector<double> WeightedSquares(const std::vector<float>& channel) {
  Biquad shelf = HeadShelf();
  Biquad lowCut = LowCut();
  std::vector<double> squares(channel.size());
  for (size_t i = 0; i < channel.size(); ++i) {
    const double y = lowCut.Process(shelf.Process(channel[i]));
    squares[i] = y * y;
  }
  return squares;
}

double BlockLoudness(double meanSquare) { return -0.691 + 10.0 * std::log10(meanSquare); }

constexpr int kOversampling = 4;
constexpr int kInterpolationHalfTaps = 8;  // frames each side of the point being estimated

// Windowed-sinc weights for the three points between two frames.
using InterpolationTaps = std::array<std::array<double, 2 * kInterpolationHalfTaps>, kOversampling - 1>;

InterpolationTaps MakeInterpolationTaps() {
  InterpolationTaps taps{};
  for (int phase = 1; phase < kOversampling; ++phase) {
    const double fraction = static_cast<double>(phase) / kOversampling;
    for (int tap = 0; tap < 2 * kInterpolationHalfTaps; ++tap) {
      const double distance = (tap - kInterpolationHalfTaps + 1) - fraction;  // frames
      const double sinc = std::sin(kPi * distance) / (kPi * distance);
      const double window = 0.5 + 0.5 * std::cos(kPi * distance / kInterpolationHalfTaps);  // Hann
      taps[phase - 1][tap] = sinc * window;
    }
  }
  return taps;
}

}  // namespace

double IntegratedLoudness(const StereoBuffer& audio) {
  const size_t blockFrames = kSampleRate * 4 / 10;  // 400 ms
  const size_t stepFrames = kSampleRate / 10;       // 100 ms
  if (audio.Frames() < blockFrames) return kSilentLoudness;
  const std::vector<double> left = WeightedSquares(audio.left);
  const std::vector<double> right = WeightedSquares(audio.right);
  // Running sums make each block's mean square cheap to read off.
  std::vector<double> cumulative(audio.Frames() + 1, 0.0);
  for (size_t i = 0; i < audio.Frames(); ++i) cumulative[i + 1] = cumulative[i] + left[i] + right[i];
  std::vector<double> blockPowers;
  for (size_t start = 0; start + blockFrames <= audio.Frames(); start += stepFrames) {
    const double power = (cumulative[start + blockFrames] - cumulative[start]) / blockFrames;
    if (power > 0.0 && BlockLoudness(power) > kSilentLoudness) blockPowers.push_back(power);
  }
  if (blockPowers.empty()) return kSilentLoudness;
  double sum = 0.0;
  for (double power : blockPowers) sum += power;
  const double relativeGate = BlockLoudness(sum / blockPowers.size()) - 10.0;
  double gatedSum = 0.0;
  size_t gatedCount = 0;
  for (double power : blockPowers) {
    if (BlockLoudness(power) > relativeGate) {
      gatedSum += power;
      ++gatedCount;
    }
  }
  return BlockLoudness(gatedSum / gatedCount);
}

std::vector<float> TruePeakEnvelope(const StereoBuffer& audio) {
  static const InterpolationTaps taps = MakeInterpolationTaps();
  const size_t frames = audio.Frames();
  std::vector<float> envelope(frames, 0.0f);
  for (const std::vector<float>* channel : {&audio.left, &audio.right}) {
    const std::vector<float>& x = *channel;
    for (size_t i = 0; i < frames; ++i) {
      envelope[i] = std::max(envelope[i], std::abs(x[i]));
      if (i + 1 >= frames) continue;
      // Points between frame i and i + 1 belong to both.
      for (const auto& phaseTaps : taps) {
        double value = 0.0;
        for (int tap = 0; tap < 2 * kInterpolationHalfTaps; ++tap) {
          const int64_t source = static_cast<int64_t>(i) + tap - kInterpolationHalfTaps + 1;
          if (source >= 0 && source < static_cast<int64_t>(frames)) value += phaseTaps[tap] * x[source];
        }
        const float magnitude = static_cast<float>(std::abs(value));
        envelope[i] = std::max(envelope[i], magnitude);
        envelope[i + 1] = std::max(envelope[i + 1], magnitude);
      }
    }
  }
  return envelope;
}

double TruePeak(const StereoBuffer& audio) {
  const std::vector<float> envelope = TruePeakEnvelope(audio);
  return envelope.empty() ? 0.0 : *std::max_element(envelope.begin(), envelope.end());
}

}  // namespace soundtrack
