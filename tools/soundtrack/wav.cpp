#include "tools/soundtrack/wav.h"

#include <cerrno>
#include <cstring>
#include <fstream>

namespace soundtrack {

namespace {

// WAV is little-endian whatever the machine is.
void PutLittleEndian(std::vector<char>& bytes, uint32_t value, int size) {
  for (int i = 0; i < size; ++i) bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void PutTag(std::vector<char>& bytes, const char* tag) { bytes.insert(bytes.end(), tag, tag + 4); }

}  // namespace

bool WriteWav(const std::string& path, const std::vector<int16_t>& interleaved, int channels, int sampleRate,
              std::string& error) {
  constexpr int kBytesPerSample = 2;
  const uint32_t dataBytes = static_cast<uint32_t>(interleaved.size() * kBytesPerSample);
  std::vector<char> bytes;
  bytes.reserve(44 + dataBytes);
  PutTag(bytes, "RIFF");
  PutLittleEndian(bytes, 36 + dataBytes, 4);
  PutTag(bytes, "WAVE");
  PutTag(bytes, "fmt ");
  PutLittleEndian(bytes, 16, 4);  // size of the format chunk
  PutLittleEndian(bytes, 1, 2);   // integer PCM
  PutLittleEndian(bytes, static_cast<uint32_t>(channels), 2);
  PutLittleEndian(bytes, static_cast<uint32_t>(sampleRate), 4);
  PutLittleEndian(bytes, static_cast<uint32_t>(sampleRate * channels * kBytesPerSample), 4);  // bytes per second
  PutLittleEndian(bytes, static_cast<uint32_t>(channels * kBytesPerSample), 2);               // bytes per frame
  PutLittleEndian(bytes, 8 * kBytesPerSample, 2);                                             // bits per sample
  PutTag(bytes, "data");
  PutLittleEndian(bytes, dataBytes, 4);
  for (int16_t sample : interleaved) PutLittleEndian(bytes, static_cast<uint16_t>(sample), kBytesPerSample);

  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) {
    error = std::strerror(errno);
    return false;
  }
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file) {
    error = "write failed";
    return false;
  }
  return true;
}

}  // namespace soundtrack
