// dds: reads and writes DDS texture files in memory, and builds the mip chains
// the texture loader expects.
//
// What it does: parses uncompressed 2-D, volume and cube DDS files in three
// pixel formats (A8R8G8B8, X8R8G8B8, R32F) into tightly packed levels, strictly:
// any header it cannot read exactly is refused with a short reason, and hostile
// sizes never cause an out-of-bounds read or an allocation larger than the
// file. It writes the same layout back (for our tools), completes a mip chain
// by box filtering, and resamples level 0 for power-of-two rounding.
// What it does not: compressed formats, the DX10 extended header, padded rows,
// any GPU work, or colour-space conversion. Bytes after the last level are
// ignored.
// Lifetime: every result is a plain value owning its bytes; nothing is kept
// between calls and every function is safe to call from several threads on
// different images.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Numeric codes are the platform's own, kept because the program compares them.
enum class PixelFormat : uint32_t {
  Unknown = 0,
  A8R8G8B8 = 21,  // 32 bits; bytes in memory B, G, R, A
  X8R8G8B8 = 22,  // as A8R8G8B8, the fourth byte ignored
  R32F = 114,     // one little-endian 32-bit float
};

// Resource-type codes, likewise the platform's own.
enum class ResourceKind : uint32_t { Texture2D = 3, Volume = 4, Cube = 5 };

struct ImageInfo {
  uint32_t width = 0;      // pixels, level 0
  uint32_t height = 0;     // pixels, level 0
  uint32_t depth = 1;      // slices, level 0; 1 for 2-D and cube
  uint32_t mipLevels = 1;  // levels per face, at least 1
  PixelFormat format = PixelFormat::Unknown;
  ResourceKind kind = ResourceKind::Texture2D;
  bool operator==(const ImageInfo&) const = default;
};

struct ImageLevel {
  uint32_t width = 0;          // pixels
  uint32_t height = 0;         // pixels
  uint32_t depth = 1;          // slices
  std::vector<uint8_t> bytes;  // tightly packed rows, top row first, slice 0 first
  bool operator==(const ImageLevel&) const = default;
};

// 2-D and volume: mipLevels entries, largest first.
// Cube: 6 faces x mipLevels, face-major (+x, -x, +y, -y, +z, -z), as in the file.
struct Image {
  ImageInfo info;
  std::vector<ImageLevel> levels;
  bool operator==(const Image&) const = default;
};

// Bytes per pixel of a supported format; 0 for Unknown.
uint32_t BytesPerPixel(PixelFormat format);

// Parses a whole DDS file held in memory. On failure returns false, sets error
// to a short reason (for example "truncated: header says 1024x1024 but the
// file ends after 512 rows of level 0") and leaves image unchanged.
// Mip count 0 in the header means one level.
bool ParseDds(const uint8_t* data, size_t size, Image& image, std::string& error);

// Reads and parses a file; only the bytes the header accounts for are read.
// error names the cause (strerror for I/O failures); the caller adds the path.
bool ReadDdsFile(const char* path, Image& image, std::string& error);

// Reads the header only, validated exactly as ReadDdsFile would (including that
// the file is long enough for every level).
bool ReadDdsInfo(const char* path, ImageInfo& info, std::string& error);

// Serialises a well-formed image (levels matching info, as ParseDds produces);
// ParseDds(WriteDds(x)) == x. Throws std::invalid_argument on a malformed image.
std::vector<uint8_t> WriteDds(const Image& image);

// 2-D and cube: extends the chain down to 1x1, keeping the levels already
// present and box-filtering each missing level from the one above it. Each
// destination pixel averages its 2x2 footprint; on an odd size the last row
// or column folds into the last footprint, so every source pixel counts once.
// 8-bit formats average per byte with rounding, R32F averages floats.
// Volumes are left as they are. Throws std::invalid_argument on a malformed image.
void CompleteMipChain(Image& image);

// 2-D only: resamples level 0 to width x height pixels with a bilinear filter
// (pixel centres aligned, edges clamped) and drops the other levels, leaving
// mipLevels 1. Meant for rounding up to a power of two; shrinking by more than
// half aliases. Throws std::invalid_argument for other kinds, a zero size or a
// malformed image.
void ResizeLevelZero(Image& image, uint32_t width, uint32_t height);

// Smallest power of two >= value; 1 for 0, and 0 when value exceeds 2^31
// (no 32-bit answer).
uint32_t RoundUpToPowerOfTwo(uint32_t value);
