// The soundtrack stream's position, from each of its three clocks.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "engine/names.h"
#include "platform/audio.h"
#include "shell/shell.h"
#include "tests/support/headless.h"

namespace {

using Clock = std::chrono::steady_clock;

double PositionSeconds(AudioStream stream) {
  return AudioChannelBytes2Seconds(stream, AudioChannelGetPosition(stream));
}

// Plays for about half a second and compares the position with wall time:
// what has been played can lag by the device's buffer, never lead.
void ExpectPositionFollowsWallTime(AudioStream stream) {
  ASSERT_NE(stream, 0u) << AudioLastError();
  EXPECT_EQ(PositionSeconds(stream), 0.0) << "nothing is played before play";
  const Clock::time_point start = Clock::now();
  ASSERT_TRUE(AudioChannelPlay(stream, false));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const double position = PositionSeconds(stream);
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  EXPECT_LE(position, elapsed + 0.005);
  EXPECT_GE(position, elapsed - 0.1);
}

TEST(ShellAudio, DeviceClockCountsWhatWasPlayed) {
  UseHeadlessDrivers();  // SDL's dummy driver plays in real time
  ASSERT_TRUE(AudioInit(-1, 44100, 0, nullptr));
  ExpectPositionFollowsWallTime(AudioStreamCreateFile(false, SoundtrackPath, 0, 0, AudioStreamPrescan));
  AudioFree();
}

TEST(ShellAudio, SilentClockAdvancesAsIfPlaying) {
  AudioInitSilent();
  ExpectPositionFollowsWallTime(AudioStreamCreateFile(false, SoundtrackPath, 0, 0, AudioStreamPrescan));
  AudioFree();
}

TEST(ShellAudio, ManualClockIsExactAndStopsAtTheEnd) {
  AudioInitManual();
  const AudioStream stream = AudioStreamCreateFile(false, SoundtrackPath, 0, 0, AudioStreamPrescan);
  ASSERT_NE(stream, 0u) << AudioLastError();
  AudioChannelPlay(stream, false);
  AudioSetManualPosition(12.5);
  EXPECT_EQ(AudioChannelGetPosition(stream), uint64_t{551250} * 4) << "12.5 s at 44.1 kHz, 4 bytes a frame";
  EXPECT_EQ(PositionSeconds(stream), 12.5);
  AudioSetManualPosition(1e6);
  EXPECT_EQ(PositionSeconds(stream), AudioStreamLengthSeconds(stream)) << "the stream does not loop";
  AudioFree();
  EXPECT_EQ(AudioChannelGetPosition(stream), AudioPositionInvalid);
}

TEST(ShellAudio, MissingFileGivesNoStreamAndAReason) {
  AudioInitManual();
  static const char missing[] = "sound/no-such-file.mp3";
  EXPECT_EQ(AudioStreamCreateFile(false, missing, 0, 0, AudioStreamPrescan), 0u);
  EXPECT_STREQ(AudioLastError(), "No such file or directory");
  AudioFree();
}

}  // namespace
