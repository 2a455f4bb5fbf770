#include "tools/soundtrack/effects.h"

#include <array>
#include <cmath>

#include "tools/soundtrack/timeline.h"

namespace soundtrack {

namespace {

// Lengths in frames at 44.1 kHz: mutually prime-ish so the echoes never line up.
constexpr std::array<int, 8> kCombFrames = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
constexpr std::array<int, 4> kAllpassFrames = {556, 441, 341, 225};
constexpr int kRightChannelSpreadFrames = 23;
constexpr double kAllpassFeedback = 0.5;
constexpr double kInputGain = 0.015;  // the eight combs sum loud; this keeps the tail near the send level

class DampedComb {
 public:
  DampedComb(int frames, double feedback, double damping)
      : line_(static_cast<size_t>(frames), 0.0), feedback_(feedback), damping_(damping) {}
  double Process(double input) {
    const double delayed = line_[position_];
    filterState_ = delayed * (1.0 - damping_) + filterState_ * damping_;
    line_[position_] = input + filterState_ * feedback_;
    if (++position_ == line_.size()) position_ = 0;
    return delayed;
  }

 private:
  std::vector<double> line_;
  size_t position_ = 0;
  double feedback_;
  double damping_;
  double filterState_ = 0.0;
};

class Allpass {
 public:
  explicit Allpass(int frames) : line_(static_cast<size_t>(frames), 0.0) {}
  double Process(double input) {
    const double delayed = line_[position_];
    line_[position_] = input + delayed * kAllpassFeedback;
    if (++position_ == line_.size()) position_ = 0;
    return delayed - input;
  }

 private:
  std::vector<double> line_;
  size_t position_ = 0;
};

// One channel of the room: parallel combs into series allpasses.
class ReverbChannel {
 public:
  ReverbChannel(const ReverbSettings& settings, int spreadFrames) {
    for (int frames : kCombFrames) combs_.emplace_back(frames + spreadFrames, settings.roomSize, settings.damping);
    for (int frames : kAllpassFrames) allpasses_.emplace_back(frames + spreadFrames);
  }
  double Process(double input) {
    double sum = 0.0;
    for (DampedComb& comb : combs_) sum += comb.Process(input);
    for (Allpass& allpass : allpasses_) sum = allpass.Process(sum);
    return sum;
  }

 private:
  std::vector<DampedComb> combs_;
  std::vector<Allpass> allpasses_;
};

}  // namespace

StereoBuffer StereoReverb::Process(const StereoBuffer& send) const {
  const size_t frames = send.Frames();
  StereoBuffer wet(frames);
  ReverbChannel left(settings_, 0);
  ReverbChannel right(settings_, kRightChannelSpreadFrames);
  OnePole lowCut(settings_.lowCutHz);
  const size_t preDelay = static_cast<size_t>(settings_.preDelaySeconds * kSampleRate);
  // Mixing each channel's tail a little into the other narrows the image as width falls.
  const double direct = 0.5 * (1.0 + settings_.width);
  const double cross = 0.5 * (1.0 - settings_.width);
  for (size_t i = 0; i < frames; ++i) {
    const double input =
        i >= preDelay ? lowCut.High(0.5 * (send.left[i - preDelay] + send.right[i - preDelay])) * kInputGain : 0.0;
    const double l = left.Process(input);
    const double r = right.Process(input);
    wet.left[i] = static_cast<float>(direct * l + cross * r);
    wet.right[i] = static_cast<float>(direct * r + cross * l);
  }
  return wet;
}

StereoBuffer PingPongDelay::Process(const StereoBuffer& send) const {
  const size_t frames = send.Frames();
  StereoBuffer wet(frames);
  const size_t delay = static_cast<size_t>(std::lround(settings_.delaySeconds * kSampleRate));
  OnePole toneLeft(settings_.toneHz);
  OnePole toneRight(settings_.toneHz);
  // The mono input enters on the left; each channel's echo feeds the other,
  // so successive repeats alternate sides.
  for (size_t i = delay; i < frames; ++i) {
    const size_t from = i - delay;
    const double input = 0.5 * (send.left[from] + send.right[from]);
    wet.left[i] = static_cast<float>(input + settings_.feedback * toneLeft.Low(wet.right[from]));
    wet.right[i] = static_cast<float>(settings_.feedback * toneRight.Low(wet.left[from]));
  }
  return wet;
}

}  // namespace soundtrack
