#include "tools/soundtrack/render.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "tools/soundtrack/loudness.h"
#include "tools/soundtrack/timeline.h"
#include "tools/soundtrack/wav.h"

namespace soundtrack {
namespace {

TEST(SoundtrackRender, SameSourceGivesSamePcm) {
  MasterReport firstReport, secondReport;
  const std::vector<int16_t> first = RenderSoundtrack(firstReport);
  const std::vector<int16_t> second = RenderSoundtrack(secondReport);
  ASSERT_EQ(first.size(), static_cast<size_t>(kTrackFrames) * 2);
  EXPECT_TRUE(first == second) << "two renders of the same source differ";
}

// A dense, spiky mix must come out at the loudness target with its true
// peaks under the ceiling, whatever level it went in at.
TEST(SoundtrackRender, MasterReachesTheTargetUnderTheCeiling) {
  const MasterSettings settings;
  for (double inputLevel : {0.05, 2.0}) {
    StereoBuffer mix(10 * kSampleRate);
    Random random(3);
    for (size_t i = 0; i < mix.Frames(); ++i) {
      const bool onBeat = i % static_cast<size_t>(kFramesPerBeat) < 2000;  // a loud hit every beat
      const double value = inputLevel * random.Bipolar() * (onBeat ? 1.0 : 0.3);
      mix.left[i] = static_cast<float>(value);
      mix.right[i] = static_cast<float>(0.8 * value);
    }
    MasterReport report;
    const StereoBuffer mastered = MasterMix(mix, settings, report);
    EXPECT_NEAR(IntegratedLoudness(mastered), settings.targetLoudness, 0.1) << "input level " << inputLevel;
    EXPECT_LE(TruePeak(mastered), settings.ceiling * DbToGain(0.1)) << "input level " << inputLevel;
    EXPECT_NEAR(report.loudness, IntegratedLoudness(mastered), 1e-9);
  }
}

TEST(SoundtrackRender, WavHeaderDescribesTheSamples) {
  const std::string path = ::testing::TempDir() + "soundtrack_header.wav";
  const std::vector<int16_t> samples = {1, -2, 300, -32768, 32767, 0};
  std::string error;
  ASSERT_TRUE(WriteWav(path, samples, 2, kSampleRate, error)) << error;
  std::ifstream file(path, std::ios::binary);
  const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::remove(path.c_str());
  ASSERT_EQ(bytes.size(), 44u + 2 * samples.size());
  auto read = [&](size_t offset, int size) {
    uint32_t value = 0;
    for (int i = 0; i < size; ++i) value |= static_cast<uint32_t>(bytes[offset + i]) << (8 * i);
    return value;
  };
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
  EXPECT_EQ(read(4, 4), bytes.size() - 8);
  EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(read(20, 2), 1u);   // integer PCM
  EXPECT_EQ(read(22, 2), 2u);   // channels
  EXPECT_EQ(read(24, 4), static_cast<uint32_t>(kSampleRate));
  EXPECT_EQ(read(28, 4), static_cast<uint32_t>(kSampleRate * 4));  // bytes per second
  EXPECT_EQ(read(32, 2), 4u);   // bytes per frame
  EXPECT_EQ(read(34, 2), 16u);  // bits per sample
  EXPECT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 40), "data");
  EXPECT_EQ(read(40, 4), 2 * samples.size());
  for (size_t i = 0; i < samples.size(); ++i) {
    EXPECT_EQ(static_cast<int16_t>(read(44 + 2 * i, 2)), samples[i]) << "sample " << i;
  }
}

}  // namespace
}  // namespace soundtrack
