#include "platform/dds.h"

#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <utility>

namespace {

// File layout: a 4-byte magic, then a 124-byte header; pixels follow at byte 128.
constexpr uint32_t kMagic = 0x20534444;  // "DDS " little-endian
constexpr uint32_t kHeaderSize = 124;
constexpr uint32_t kPixelFormatSize = 32;
constexpr size_t kFileHeaderBytes = 128;

// Byte offsets from the start of the file.
constexpr size_t kOffsetHeaderSize = 4;
constexpr size_t kOffsetFlags = 8;
constexpr size_t kOffsetHeight = 12;
constexpr size_t kOffsetWidth = 16;
constexpr size_t kOffsetPitch = 20;
constexpr size_t kOffsetDepth = 24;
constexpr size_t kOffsetMipCount = 28;
constexpr size_t kOffsetFormatSize = 76;
constexpr size_t kOffsetFormatFlags = 80;
constexpr size_t kOffsetFourCC = 84;
constexpr size_t kOffsetBitCount = 88;
constexpr size_t kOffsetRedMask = 92;
constexpr size_t kOffsetGreenMask = 96;
constexpr size_t kOffsetBlueMask = 100;
constexpr size_t kOffsetAlphaMask = 104;
constexpr size_t kOffsetCaps = 108;
constexpr size_t kOffsetCaps2 = 112;

// Header flags.
constexpr uint32_t kFlagCaps = 0x1;
constexpr uint32_t kFlagHeight = 0x2;
constexpr uint32_t kFlagWidth = 0x4;
constexpr uint32_t kFlagPitch = 0x8;
constexpr uint32_t kFlagPixelFormat = 0x1000;
constexpr uint32_t kFlagMipCount = 0x20000;
constexpr uint32_t kFlagDepth = 0x800000;

// Pixel format flags.
constexpr uint32_t kFormatAlphaPixels = 0x1;
constexpr uint32_t kFormatFourCC = 0x4;
constexpr uint32_t kFormatRgb = 0x40;
constexpr uint32_t kFourCCFloat32 = 114;  // the format code doubles as FourCC
constexpr uint32_t kRedMask = 0x00ff0000;
constexpr uint32_t kGreenMask = 0x0000ff00;
constexpr uint32_t kBlueMask = 0x000000ff;
constexpr uint32_t kAlphaMask = 0xff000000;

// Caps.
constexpr uint32_t kCapsComplex = 0x8;
constexpr uint32_t kCapsTexture = 0x1000;
constexpr uint32_t kCapsMipmap = 0x400000;
constexpr uint32_t kCaps2Cube = 0x200;
constexpr uint32_t kCaps2CubeFaces[6] = {0x400, 0x800, 0x1000, 0x2000, 0x4000, 0x8000};
constexpr uint32_t kCaps2AllCubeFaces = 0xfc00;
constexpr uint32_t kCaps2Volume = 0x200000;
constexpr const char* kCubeFaceNames[6] = {"+x", "-x", "+y", "-y", "+z", "-z"};

// Far beyond anything the show loads; they bound the arithmetic, and the
// file-size check bounds the allocation.
constexpr uint32_t kMaxDimension = 16384;  // pixels
constexpr uint32_t kMaxDepth = 2048;       // slices

uint32_t ReadU32(const uint8_t* bytes, size_t offset) {
  return uint32_t(bytes[offset]) | uint32_t(bytes[offset + 1]) << 8 |
         uint32_t(bytes[offset + 2]) << 16 | uint32_t(bytes[offset + 3]) << 24;
}

void WriteU32(uint8_t* bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = uint8_t(value >> (8 * i));
}

// One stored level, in file order.
struct LevelShape {
  uint32_t width, height, depth;  // pixels, pixels, slices
  uint32_t face;                  // 0 unless cube
  uint32_t level;
};

uint32_t FullChainLength(uint32_t width, uint32_t height, uint32_t depth) {
  return uint32_t(std::bit_width(std::max({width, height, depth})));
}

std::vector<LevelShape> LevelShapes(const ImageInfo& info) {
  const uint32_t faces = info.kind == ResourceKind::Cube ? 6 : 1;
  std::vector<LevelShape> shapes;
  shapes.reserve(size_t(faces) * info.mipLevels);
  for (uint32_t face = 0; face < faces; ++face) {
    for (uint32_t level = 0; level < info.mipLevels; ++level) {
      shapes.push_back({std::max(1u, info.width >> level), std::max(1u, info.height >> level),
                        std::max(1u, info.depth >> level), face, level});
    }
  }
  return shapes;
}

uint64_t LevelByteCount(const LevelShape& shape, PixelFormat format) {
  return uint64_t(shape.width) * shape.height * shape.depth * BytesPerPixel(format);
}

std::string DescribeSize(const ImageInfo& info) {
  std::string text = std::to_string(info.width) + "x" + std::to_string(info.height);
  if (info.kind == ResourceKind::Volume) text += "x" + std::to_string(info.depth) + " volume";
  if (info.kind == ResourceKind::Cube) text += " cube";
  if (info.mipLevels > 1) text += " with " + std::to_string(info.mipLevels) + " levels";
  return text;
}

// Checks an info for internal consistency and our limits; shared by the reader
// and the writer so that everything written can be read back.
bool CheckInfo(const ImageInfo& info, std::string& error) {
  if (BytesPerPixel(info.format) == 0) {
    error = "unsupported pixel format";
    return false;
  }
  if (info.kind != ResourceKind::Texture2D && info.kind != ResourceKind::Volume &&
      info.kind != ResourceKind::Cube) {
    error = "unknown resource kind";
    return false;
  }
  if (info.width == 0 || info.height == 0) {
    error = "size " + std::to_string(info.width) + "x" + std::to_string(info.height) +
            " has a zero side";
    return false;
  }
  if (info.width > kMaxDimension || info.height > kMaxDimension) {
    error = "size " + std::to_string(info.width) + "x" + std::to_string(info.height) +
            " exceeds the " + std::to_string(kMaxDimension) + " limit";
    return false;
  }
  if (info.kind == ResourceKind::Volume) {
    if (info.depth == 0) {
      error = "volume depth is 0";
      return false;
    }
    if (info.depth > kMaxDepth) {
      error = "volume depth " + std::to_string(info.depth) + " exceeds the " +
              std::to_string(kMaxDepth) + " limit";
      return false;
    }
  } else if (info.depth != 1) {
    error = "depth " + std::to_string(info.depth) + " on a texture that is not a volume";
    return false;
  }
  if (info.kind == ResourceKind::Cube && info.width != info.height) {
    error = "cube faces are " + std::to_string(info.width) + "x" + std::to_string(info.height) +
            ", not square";
    return false;
  }
  const uint32_t longestChain = FullChainLength(info.width, info.height, info.depth);
  if (info.mipLevels == 0 || info.mipLevels > longestChain) {
    error = std::to_string(info.mipLevels) + " mip levels but " +
            DescribeSize({info.width, info.height, info.depth, 1, info.format, info.kind}) +
            " allows 1 to " + std::to_string(longestChain);
    return false;
  }
  return true;
}

uint64_t TotalPixelBytes(const ImageInfo& info) {
  uint64_t total = 0;
  for (const LevelShape& shape : LevelShapes(info)) total += LevelByteCount(shape, info.format);
  return total;
}

// Says where the pixel data runs out, so a truncated file is easy to diagnose.
std::string DescribeTruncation(const ImageInfo& info, uint64_t availableBytes) {
  for (const LevelShape& shape : LevelShapes(info)) {
    const uint64_t levelBytes = LevelByteCount(shape, info.format);
    if (availableBytes >= levelBytes) {
      availableBytes -= levelBytes;
      continue;
    }
    const uint64_t completeRows =
        availableBytes / (uint64_t(shape.width) * BytesPerPixel(info.format));
    std::string where = "level " + std::to_string(shape.level);
    if (info.kind == ResourceKind::Cube) {
      where = "face " + std::string(kCubeFaceNames[shape.face]) + " " + where;
    }
    if (info.kind == ResourceKind::Volume) {
      where = "slice " + std::to_string(completeRows / shape.height) + " of " + where;
    }
    return "truncated: header says " + DescribeSize(info) + " but the file ends after " +
           std::to_string(completeRows % shape.height) + " rows of " + where;
  }
  return "truncated";  // only reached if the caller had enough bytes after all
}

std::string DescribeFourCC(uint32_t fourCC) {
  std::string text;
  for (int i = 0; i < 4; ++i) {
    const char c = char(fourCC >> (8 * i));
    if (c < 0x20 || c > 0x7e) return "FourCC " + std::to_string(fourCC);
    text += c;
  }
  return "FourCC '" + text + "'";
}

bool ReadPixelFormat(const uint8_t* header, PixelFormat& format, std::string& error) {
  const uint32_t flags = ReadU32(header, kOffsetFormatFlags);
  if (flags & kFormatFourCC) {
    const uint32_t fourCC = ReadU32(header, kOffsetFourCC);
    if (fourCC == kFourCCFloat32) {
      format = PixelFormat::R32F;
      return true;
    }
    const std::string name = DescribeFourCC(fourCC);
    if (name == "FourCC 'DX10'") {
      error = "the DX10 extended header is not supported";
    } else if (name.starts_with("FourCC 'DXT") || name.starts_with("FourCC 'BC") ||
               name.starts_with("FourCC 'ATI")) {
      error = "compressed " + name + " is not supported";
    } else {
      error = "pixel format " + name + " is not supported";
    }
    return false;
  }
  if (!(flags & kFormatRgb)) {
    char description[64];
    std::snprintf(description, sizeof description,
                  "pixel format is neither RGB nor FourCC (flags 0x%x)", flags);
    error = description;
    return false;
  }
  const uint32_t bitCount = ReadU32(header, kOffsetBitCount);
  const uint32_t alphaMask = ReadU32(header, kOffsetAlphaMask);
  const bool colourMasksMatch = ReadU32(header, kOffsetRedMask) == kRedMask &&
                                ReadU32(header, kOffsetGreenMask) == kGreenMask &&
                                ReadU32(header, kOffsetBlueMask) == kBlueMask;
  if (bitCount != 32 || !colourMasksMatch || (alphaMask != kAlphaMask && alphaMask != 0)) {
    char description[96];
    std::snprintf(description, sizeof description,
                  "%u-bit RGB with masks %08x %08x %08x %08x is not supported", bitCount,
                  ReadU32(header, kOffsetRedMask), ReadU32(header, kOffsetGreenMask),
                  ReadU32(header, kOffsetBlueMask), alphaMask);
    error = description;
    return false;
  }
  format = alphaMask ? PixelFormat::A8R8G8B8 : PixelFormat::X8R8G8B8;
  return true;
}

// Validates the fixed header of a file of fileSize bytes. header holds the
// first min(fileSize, 128) bytes. Sets info and the byte count of all levels.
bool ParseHeader(const uint8_t* header, uint64_t fileSize, ImageInfo& info, uint64_t& pixelBytes,
                 std::string& error) {
  if (fileSize < 4) {
    error = "truncated: " + std::to_string(fileSize) + " bytes, too short for a DDS file";
    return false;
  }
  if (ReadU32(header, 0) != kMagic) {
    error = "not a DDS file (bad magic)";
    return false;
  }
  if (fileSize < kFileHeaderBytes) {
    error = "truncated: the file ends inside the header, after " + std::to_string(fileSize) +
            " of " + std::to_string(kFileHeaderBytes) + " bytes";
    return false;
  }
  if (const uint32_t size = ReadU32(header, kOffsetHeaderSize); size != kHeaderSize) {
    error = "header size field is " + std::to_string(size) + ", expected " +
            std::to_string(kHeaderSize);
    return false;
  }
  if (const uint32_t size = ReadU32(header, kOffsetFormatSize); size != kPixelFormatSize) {
    error = "pixel format size field is " + std::to_string(size) + ", expected " +
            std::to_string(kPixelFormatSize);
    return false;
  }
  ImageInfo parsed;
  if (!ReadPixelFormat(header, parsed.format, error)) return false;

  const uint32_t flags = ReadU32(header, kOffsetFlags);
  const uint32_t caps2 = ReadU32(header, kOffsetCaps2);
  parsed.width = ReadU32(header, kOffsetWidth);
  parsed.height = ReadU32(header, kOffsetHeight);
  const bool isCube = caps2 & kCaps2Cube;
  const bool isVolume = caps2 & kCaps2Volume;
  if (isCube && isVolume) {
    error = "header claims both a cube and a volume";
    return false;
  }
  if (isCube) {
    std::string missing;
    for (int face = 0; face < 6; ++face) {
      if (caps2 & kCaps2CubeFaces[face]) continue;
      missing += std::string(missing.empty() ? "" : ", ") + kCubeFaceNames[face];
    }
    if (!missing.empty()) {
      error = "partial cube: faces " + missing + " missing";
      return false;
    }
    parsed.kind = ResourceKind::Cube;
  } else if (isVolume) {
    parsed.kind = ResourceKind::Volume;
  }
  // Writers often leave the depth field as junk or 0 on flat textures, so it
  // counts only on volumes or when its flag claims it.
  const uint32_t depthField = ReadU32(header, kOffsetDepth);
  if (isVolume || ((flags & kFlagDepth) && depthField > 1)) parsed.depth = depthField;
  // The count is read even without its flag, as some writers omit the flag; a
  // wrong count still fails the chain limit or the file length below.
  parsed.mipLevels = std::max(1u, ReadU32(header, kOffsetMipCount));
  if (!CheckInfo(parsed, error)) return false;

  const uint64_t packedPitch = uint64_t(parsed.width) * BytesPerPixel(parsed.format);
  if (const uint32_t pitch = ReadU32(header, kOffsetPitch);
      (flags & kFlagPitch) && pitch != packedPitch) {
    error = "row pitch " + std::to_string(pitch) + " differs from the packed " +
            std::to_string(packedPitch) + " bytes; padded rows are not supported";
    return false;
  }
  const uint64_t needed = TotalPixelBytes(parsed);
  const uint64_t available = fileSize - kFileHeaderBytes;
  if (available < needed) {
    error = DescribeTruncation(parsed, available);
    return false;
  }
  info = parsed;
  pixelBytes = needed;
  return true;
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Reads exactly count bytes, naming the cause when it cannot.
bool ReadExactly(std::FILE* file, uint8_t* destination, size_t count, std::string& error) {
  if (std::fread(destination, 1, count, file) == count) return true;
  error = std::ferror(file) ? std::strerror(errno) : "the file shrank while being read";
  return false;
}

// Opens path and validates its header; the file is left positioned at the pixels.
bool OpenAndReadHeader(const char* path, FileHandle& file, uint8_t (&header)[kFileHeaderBytes],
                       ImageInfo& info, uint64_t& pixelBytes, std::string& error) {
  file.reset(std::fopen(path, "rb"));
  if (!file) {
    error = std::strerror(errno);
    return false;
  }
  struct stat status {};
  if (fstat(fileno(file.get()), &status) != 0) {
    error = std::strerror(errno);
    return false;
  }
  if (!S_ISREG(status.st_mode)) {
    error = "not a regular file";
    return false;
  }
  const uint64_t fileSize = uint64_t(status.st_size);
  std::memset(header, 0, kFileHeaderBytes);
  if (!ReadExactly(file.get(), header, size_t(std::min<uint64_t>(fileSize, kFileHeaderBytes)),
                   error)) {
    return false;
  }
  return ParseHeader(header, fileSize, info, pixelBytes, error);
}

// Checks that levels match info exactly; the entry points that take an Image
// from our own code refuse a malformed one loudly rather than write garbage.
void RequireWellFormed(const Image& image) {
  std::string error;
  if (!CheckInfo(image.info, error)) throw std::invalid_argument("malformed image: " + error);
  const std::vector<LevelShape> shapes = LevelShapes(image.info);
  if (image.levels.size() != shapes.size()) {
    throw std::invalid_argument("malformed image: " + std::to_string(image.levels.size()) +
                                " levels, info needs " + std::to_string(shapes.size()));
  }
  for (size_t i = 0; i < shapes.size(); ++i) {
    const ImageLevel& level = image.levels[i];
    if (level.width != shapes[i].width || level.height != shapes[i].height ||
        level.depth != shapes[i].depth ||
        level.bytes.size() != LevelByteCount(shapes[i], image.info.format)) {
      throw std::invalid_argument("malformed image: level " + std::to_string(i) +
                                  " does not match its expected size");
    }
  }
}

float LoadFloat(const uint8_t* bytes) {
  float value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

void StoreFloat(uint8_t* bytes, float value) { std::memcpy(bytes, &value, sizeof value); }

// The source span [first, last) that destination index i of size destinationSize
// averages; the last span absorbs the odd row or column.
std::pair<uint32_t, uint32_t> Footprint(uint32_t i, uint32_t destinationSize, uint32_t sourceSize) {
  const uint32_t last = i + 1 == destinationSize ? sourceSize : 2 * i + 2;
  return {2 * i, last};
}

ImageLevel HalveLevel(const ImageLevel& source, PixelFormat format) {
  const uint32_t bytesPerPixel = BytesPerPixel(format);
  ImageLevel result;
  result.width = std::max(1u, source.width / 2);
  result.height = std::max(1u, source.height / 2);
  result.bytes.resize(size_t(result.width) * result.height * bytesPerPixel);
  for (uint32_t y = 0; y < result.height; ++y) {
    const auto [firstRow, lastRow] = Footprint(y, result.height, source.height);
    for (uint32_t x = 0; x < result.width; ++x) {
      const auto [firstColumn, lastColumn] = Footprint(x, result.width, source.width);
      const uint32_t count = (lastRow - firstRow) * (lastColumn - firstColumn);
      uint8_t* out = &result.bytes[(size_t(y) * result.width + x) * bytesPerPixel];
      auto sourcePixel = [&](uint32_t sx, uint32_t sy) {
        return &source.bytes[(size_t(sy) * source.width + sx) * bytesPerPixel];
      };
      if (format == PixelFormat::R32F) {
        double sum = 0;
        for (uint32_t sy = firstRow; sy < lastRow; ++sy)
          for (uint32_t sx = firstColumn; sx < lastColumn; ++sx)
            sum += LoadFloat(sourcePixel(sx, sy));
        StoreFloat(out, float(sum / count));
        continue;
      }
      for (uint32_t channel = 0; channel < bytesPerPixel; ++channel) {
        uint32_t sum = 0;
        for (uint32_t sy = firstRow; sy < lastRow; ++sy)
          for (uint32_t sx = firstColumn; sx < lastColumn; ++sx)
            sum += sourcePixel(sx, sy)[channel];
        out[channel] = uint8_t((sum + count / 2) / count);
      }
    }
  }
  return result;
}

// Bilinear sample position along one axis: the two neighbours and the weight
// of the second, with pixel centres aligned and the edges clamped.
struct AxisSample {
  uint32_t first, second;
  double weight;
};

AxisSample SampleAxis(uint32_t i, uint32_t destinationSize, uint32_t sourceSize) {
  const double position = (i + 0.5) * sourceSize / destinationSize - 0.5;
  const double clamped = std::clamp(position, 0.0, double(sourceSize - 1));
  const uint32_t first = uint32_t(clamped);
  return {first, std::min(first + 1, sourceSize - 1), clamped - first};
}

}  // namespace

uint32_t BytesPerPixel(PixelFormat format) {
  switch (format) {
    case PixelFormat::A8R8G8B8:
    case PixelFormat::X8R8G8B8:
    case PixelFormat::R32F:
      return 4;
    case PixelFormat::Unknown:
      break;
  }
  return 0;
}

bool ParseDds(const uint8_t* data, size_t size, Image& image, std::string& error) {
  ImageInfo info;
  uint64_t pixelBytes = 0;
  if (!ParseHeader(data, size, info, pixelBytes, error)) return false;
  Image parsed;
  parsed.info = info;
  const uint8_t* cursor = data + kFileHeaderBytes;
  for (const LevelShape& shape : LevelShapes(info)) {
    const size_t count = size_t(LevelByteCount(shape, info.format));
    parsed.levels.push_back({shape.width, shape.height, shape.depth, {cursor, cursor + count}});
    cursor += count;
  }
  image = std::move(parsed);
  return true;
}

bool ReadDdsFile(const char* path, Image& image, std::string& error) {
  FileHandle file;
  uint8_t header[kFileHeaderBytes];
  ImageInfo info;
  uint64_t pixelBytes = 0;
  if (!OpenAndReadHeader(path, file, header, info, pixelBytes, error)) return false;
  std::vector<uint8_t> contents;
  try {
    contents.resize(kFileHeaderBytes + size_t(pixelBytes));
  } catch (const std::bad_alloc&) {
    error = "not enough memory for " + std::to_string(pixelBytes) + " bytes of pixels";
    return false;
  }
  std::memcpy(contents.data(), header, kFileHeaderBytes);
  if (!ReadExactly(file.get(), contents.data() + kFileHeaderBytes, size_t(pixelBytes), error)) {
    return false;
  }
  return ParseDds(contents.data(), contents.size(), image, error);
}

bool ReadDdsInfo(const char* path, ImageInfo& info, std::string& error) {
  FileHandle file;
  uint8_t header[kFileHeaderBytes];
  uint64_t pixelBytes = 0;
  return OpenAndReadHeader(path, file, header, info, pixelBytes, error);
}

std::vector<uint8_t> WriteDds(const Image& image) {
  RequireWellFormed(image);
  const ImageInfo& info = image.info;
  std::vector<uint8_t> file(kFileHeaderBytes);
  uint8_t* header = file.data();
  const bool hasMips = info.mipLevels > 1;
  const bool isVolume = info.kind == ResourceKind::Volume;
  const bool isCube = info.kind == ResourceKind::Cube;

  WriteU32(header, 0, kMagic);
  WriteU32(header, kOffsetHeaderSize, kHeaderSize);
  WriteU32(header, kOffsetFlags,
           kFlagCaps | kFlagHeight | kFlagWidth | kFlagPitch | kFlagPixelFormat |
               (hasMips ? kFlagMipCount : 0) | (isVolume ? kFlagDepth : 0));
  WriteU32(header, kOffsetHeight, info.height);
  WriteU32(header, kOffsetWidth, info.width);
  WriteU32(header, kOffsetPitch, info.width * BytesPerPixel(info.format));
  WriteU32(header, kOffsetDepth, isVolume ? info.depth : 0);
  WriteU32(header, kOffsetMipCount, info.mipLevels);

  WriteU32(header, kOffsetFormatSize, kPixelFormatSize);
  if (info.format == PixelFormat::R32F) {
    WriteU32(header, kOffsetFormatFlags, kFormatFourCC);
    WriteU32(header, kOffsetFourCC, kFourCCFloat32);
  } else {
    const bool hasAlpha = info.format == PixelFormat::A8R8G8B8;
    WriteU32(header, kOffsetFormatFlags, kFormatRgb | (hasAlpha ? kFormatAlphaPixels : 0));
    WriteU32(header, kOffsetBitCount, 32);
    WriteU32(header, kOffsetRedMask, kRedMask);
    WriteU32(header, kOffsetGreenMask, kGreenMask);
    WriteU32(header, kOffsetBlueMask, kBlueMask);
    WriteU32(header, kOffsetAlphaMask, hasAlpha ? kAlphaMask : 0);
  }
  WriteU32(header, kOffsetCaps,
           kCapsTexture | (hasMips ? kCapsComplex | kCapsMipmap : 0) |
               (isCube || isVolume ? kCapsComplex : 0));
  WriteU32(header, kOffsetCaps2,
           (isCube ? kCaps2Cube | kCaps2AllCubeFaces : 0) | (isVolume ? kCaps2Volume : 0));

  for (const ImageLevel& level : image.levels) {
    file.insert(file.end(), level.bytes.begin(), level.bytes.end());
  }
  return file;
}

void CompleteMipChain(Image& image) {
  RequireWellFormed(image);
  ImageInfo& info = image.info;
  if (info.kind == ResourceKind::Volume) return;
  const uint32_t fullLength = FullChainLength(info.width, info.height, 1);
  if (info.mipLevels == fullLength) return;
  const uint32_t faces = info.kind == ResourceKind::Cube ? 6 : 1;
  std::vector<ImageLevel> levels;
  levels.reserve(size_t(faces) * fullLength);
  for (uint32_t face = 0; face < faces; ++face) {
    for (uint32_t level = 0; level < info.mipLevels; ++level) {
      levels.push_back(std::move(image.levels[size_t(face) * info.mipLevels + level]));
    }
    for (uint32_t level = info.mipLevels; level < fullLength; ++level) {
      levels.push_back(HalveLevel(levels.back(), info.format));
    }
  }
  image.levels = std::move(levels);
  info.mipLevels = fullLength;
}

void ResizeLevelZero(Image& image, uint32_t width, uint32_t height) {
  RequireWellFormed(image);
  if (image.info.kind != ResourceKind::Texture2D) {
    throw std::invalid_argument("ResizeLevelZero works on 2-D images only");
  }
  if (width == 0 || height == 0 || width > kMaxDimension || height > kMaxDimension) {
    throw std::invalid_argument("ResizeLevelZero: size out of range");
  }
  const PixelFormat format = image.info.format;
  const uint32_t bytesPerPixel = BytesPerPixel(format);
  const ImageLevel& source = image.levels[0];
  ImageLevel result;
  result.width = width;
  result.height = height;
  result.bytes.resize(size_t(width) * height * bytesPerPixel);
  for (uint32_t y = 0; y < height; ++y) {
    const AxisSample row = SampleAxis(y, height, source.height);
    for (uint32_t x = 0; x < width; ++x) {
      const AxisSample column = SampleAxis(x, width, source.width);
      uint8_t* out = &result.bytes[(size_t(y) * width + x) * bytesPerPixel];
      auto corner = [&](uint32_t sx, uint32_t sy) {
        return &source.bytes[(size_t(sy) * source.width + sx) * bytesPerPixel];
      };
      auto blend = [&](auto load) {
        const double top = load(corner(column.first, row.first)) * (1 - column.weight) +
                           load(corner(column.second, row.first)) * column.weight;
        const double bottom = load(corner(column.first, row.second)) * (1 - column.weight) +
                              load(corner(column.second, row.second)) * column.weight;
        return top * (1 - row.weight) + bottom * row.weight;
      };
      if (format == PixelFormat::R32F) {
        StoreFloat(out, float(blend(LoadFloat)));
        continue;
      }
      for (uint32_t channel = 0; channel < bytesPerPixel; ++channel) {
        const double value =
            blend([channel](const uint8_t* pixel) { return double(pixel[channel]); });
        out[channel] = uint8_t(std::floor(value + 0.5));
      }
    }
  }
  image.levels.assign(1, std::move(result));
  image.info.width = width;
  image.info.height = height;
  image.info.mipLevels = 1;
}

uint32_t RoundUpToPowerOfTwo(uint32_t value) {
  if (value > (1u << 31)) return 0;
  return std::bit_ceil(value);
}
