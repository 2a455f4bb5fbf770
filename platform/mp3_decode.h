// mp3_decode: reads a whole MP3 file into 16-bit stereo PCM, the way the
// soundtrack stream plays it.
//
// What it does: opens the file with libmpg123, scans it completely first (so
// the length and every position are exact from the first sample), drops the
// encoder's delay and padding when the file carries a gapless tag, and returns
// interleaved signed 16-bit stereo frames at the file's own sample rate. A mono
// file comes out with both channels equal.
// What it does not: resample, stream, or play anything.
// Lifetime: the result owns its samples; nothing is kept between calls.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DecodedSound {
  std::vector<int16_t> samples;  // interleaved left, right; samples.size() / 2 frames
  long sampleRate = 0;           // frames per second, the file's own rate
};

// Returns false and sets error to a short reason (no file name) when the file
// cannot be opened or decoded.
bool DecodeMp3File(const char* path, DecodedSound& sound, std::string& error);
