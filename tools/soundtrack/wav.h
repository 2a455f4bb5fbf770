// wav: writes interleaved 16-bit PCM as a canonical RIFF/WAVE file.
//
// What it does: one 44-byte header (format 1, little-endian) and the samples,
// so LAME and any player read it directly.
// What it does not: read WAV files, write other sample formats, or stream.
// Lifetime: the file is closed before the function returns.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace soundtrack {

// Returns false and sets error to a short reason when the file cannot be written.
bool WriteWav(const std::string& path, const std::vector<int16_t>& interleaved, int channels, int sampleRate,
              std::string& error);

}  // namespace soundtrack
