// Checks the committed sound/slide2.mp3 through the decoder the show plays it with.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "platform/mp3_decode.h"
#include "tools/soundtrack/dsp.h"
#include "tools/soundtrack/loudness.h"
#include "tools/soundtrack/render.h"
#include "tools/soundtrack/timeline.h"

namespace soundtrack {
namespace {

constexpr const char* kTrackPath = "sound/slide2.mp3";

class SoundtrackTrack : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    decoded_ = DecodeMp3File(kTrackPath, sound_, error);
    decodeError_ = error;
  }
  void SetUp() override { ASSERT_TRUE(decoded_) << kTrackPath << ": " << decodeError_; }

  static size_t Frames() { return sound_.samples.size() / 2; }
  static double Left(size_t frame) { return sound_.samples[2 * frame] / 32768.0; }
  static double Right(size_t frame) { return sound_.samples[2 * frame + 1] / 32768.0; }
  static double Mono(size_t frame) { return 0.5 * (Left(frame) + Right(frame)); }
  static size_t FrameAt(double seconds) { return static_cast<size_t>(std::lround(seconds * kSampleRate)); }
  static double PeakBetween(size_t begin, size_t end) {
    double peak = 0.0;
    for (size_t i = begin; i < std::min(end, Frames()); ++i) {
      peak = std::max({peak, std::abs(Left(i)), std::abs(Right(i))});
    }
    return peak;
  }
  static StereoBuffer AsBuffer() {
    StereoBuffer buffer(Frames());
    for (size_t i = 0; i < Frames(); ++i) {
      buffer.left[i] = static_cast<float>(Left(i));
      buffer.right[i] = static_cast<float>(Right(i));
    }
    return buffer;
  }

  static inline DecodedSound sound_;
  static inline bool decoded_ = false;
  static inline std::string decodeError_;
};

TEST_F(SoundtrackTrack, DecodesGaplesslyToTheRenderedLength) {
  EXPECT_EQ(sound_.sampleRate, kSampleRate);
  // Exactly the rendered length means the encoder's delay and padding were both removed.
  EXPECT_EQ(Frames(), static_cast<size_t>(kTrackFrames));
  EXPECT_GE(Frames(), FrameAt(141.1)) << "shorter than the show";
}

TEST_F(SoundtrackTrack, PeakStaysUnderMinusOneDbfs) {
  EXPECT_LE(GainToDb(PeakBetween(0, Frames())), -1.0);
}

// The second part's first kick must start at 34.23 s, after the stop that
// precedes it. Its onset is where the signal first reaches a third of the
// kick's peak.
TEST_F(SoundtrackTrack, SecondPartDownbeatLandsAt3423Seconds) {
  const size_t downbeat = static_cast<size_t>(kPartTwoStartFrame);
  double kickPeak = 0.0;
  for (size_t i = downbeat; i < downbeat + FrameAt(0.1); ++i) kickPeak = std::max(kickPeak, std::abs(Mono(i)));
  ASSERT_GT(kickPeak, 0.3) << "no kick after the downbeat";
  const size_t searchFrom = downbeat - FrameAt(0.2);
  EXPECT_LT(PeakBetween(searchFrom, downbeat - FrameAt(0.005)), 0.1 * kickPeak) << "no stop before the downbeat";
  size_t onset = searchFrom;
  while (onset < downbeat + FrameAt(0.1) && std::abs(Mono(onset)) < kickPeak / 3.0) ++onset;
  const double errorMilliseconds = 1000.0 * (static_cast<double>(onset) - static_cast<double>(downbeat)) / kSampleRate;
  EXPECT_NEAR(errorMilliseconds, 0.0, 3.0);
}

TEST_F(SoundtrackTrack, SilentWhenTheShowEnds) {
  const size_t showEnd = FrameAt(SecondsAtBeat(BeatAtUnit(kShowEndUnit)));
  ASSERT_LT(showEnd, Frames());
  EXPECT_LT(GainToDb(PeakBetween(showEnd, Frames())), -60.0);
}

TEST_F(SoundtrackTrack, LoudnessIsNearTheTarget) {
  EXPECT_NEAR(IntegratedLoudness(AsBuffer()), MasterSettings{}.targetLoudness, 0.5);
}

// Guards against a stale file: the committed track must be an encoding of
// what this source renders now. The encoder reproduces the waveform closely
// only below a few kHz (above, it codes noise by its spectrum), so each
// second is compared there; a moved note or a changed sound sinks that
// second's match towards 0 dB.
TEST_F(SoundtrackTrack, IsWhatTheSourceRendersNow) {
  MasterReport report;
  const std::vector<int16_t> rendered = RenderSoundtrack(report);
  ASSERT_EQ(rendered.size(), sound_.samples.size());
  auto lowBand = [](const std::vector<int16_t>& interleaved) {
    std::vector<double> low(interleaved.size());
    for (size_t channel = 0; channel < 2; ++channel) {
      StateVariableFilter first, second;  // two in a row: a steep 24 dB/octave cut
      first.Set(2000.0, 0.7071);
      second.Set(2000.0, 0.7071);
      for (size_t i = channel; i < interleaved.size(); i += 2) {
        low[i] = second.Process(first.Process(interleaved[i]).low).low;
      }
    }
    return low;
  };
  const std::vector<double> expected = lowBand(rendered);
  const std::vector<double> actual = lowBand(sound_.samples);
  constexpr double kQuietMeanSquare = 100.0 * 100.0;  // under -50 dBFS RMS: too quiet to judge
  double worstDb = 1000.0, worstSecond = 0.0;
  for (size_t begin = 0; begin + kSampleRate <= expected.size() / 2; begin += kSampleRate) {
    double signal = 0.0, difference = 0.0;
    for (size_t i = 2 * begin; i < 2 * (begin + kSampleRate); ++i) {
      signal += expected[i] * expected[i];
      difference += (expected[i] - actual[i]) * (expected[i] - actual[i]);
    }
    if (signal < 2.0 * kSampleRate * kQuietMeanSquare) continue;
    const double matchDb = 10.0 * std::log10(signal / std::max(difference, 1.0));
    if (matchDb < worstDb) {
      worstDb = matchDb;
      worstSecond = static_cast<double>(begin) / kSampleRate;
    }
  }
  EXPECT_GT(worstDb, 25.0) << "the track differs from the render around " << worstSecond
                           << " s; rerun vantrel-soundtrack sound/slide2.mp3";
}

}  // namespace
}  // namespace soundtrack
