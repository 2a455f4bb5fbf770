#include "platform/dds.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/temp_directory.h"

namespace {

// Builds DDS files byte by byte from the published layout, independently of
// the writer, so reader and writer cannot share a mistake unnoticed.
struct HandMadeFile {
  std::vector<uint8_t> bytes = std::vector<uint8_t>(128, 0);

  void Set(size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = uint8_t(value >> (8 * i));
  }
  uint32_t Get(size_t offset) const {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= uint32_t(bytes[offset + i]) << (8 * i);
    return value;
  }

  static constexpr size_t kFlags = 8, kHeight = 12, kWidth = 16, kPitch = 20, kDepth = 24,
                          kMipCount = 28, kFormatSize = 76, kFormatFlags = 80, kFourCC = 84,
                          kBitCount = 88, kRedMask = 92, kGreenMask = 96, kBlueMask = 100,
                          kAlphaMask = 104, kCaps = 108, kCaps2 = 112;

  // A valid A8R8G8B8 2-D header with pixelBytes of zeroed pixels after it.
  static HandMadeFile Argb(uint32_t width, uint32_t height, uint32_t mipCount, size_t pixelBytes) {
    HandMadeFile file;
    file.Set(0, 0x20534444);  // "DDS "
    file.Set(4, 124);
    file.Set(kFlags, 0x1 | 0x2 | 0x4 | 0x1000 | 0x20000);
    file.Set(kHeight, height);
    file.Set(kWidth, width);
    file.Set(kMipCount, mipCount);
    file.Set(kFormatSize, 32);
    file.Set(kFormatFlags, 0x40 | 0x1);
    file.Set(kBitCount, 32);
    file.Set(kRedMask, 0x00ff0000);
    file.Set(kGreenMask, 0x0000ff00);
    file.Set(kBlueMask, 0x000000ff);
    file.Set(kAlphaMask, 0xff000000);
    file.Set(kCaps, 0x1000);
    file.bytes.resize(128 + pixelBytes);
    return file;
  }
};

uint32_t FourCC(const char (&name)[5]) {
  return uint32_t(uint8_t(name[0])) | uint32_t(uint8_t(name[1])) << 8 |
         uint32_t(uint8_t(name[2])) << 16 | uint32_t(uint8_t(name[3])) << 24;
}

// An image of the given info whose every byte differs from its neighbours, so
// any misplaced byte, row or level shows.
Image PatternedImage(const ImageInfo& info) {
  Image image;
  image.info = info;
  const uint32_t faces = info.kind == ResourceKind::Cube ? 6 : 1;
  uint8_t next = 1;
  for (uint32_t face = 0; face < faces; ++face) {
    for (uint32_t level = 0; level < info.mipLevels; ++level) {
      ImageLevel data;
      data.width = std::max(1u, info.width >> level);
      data.height = std::max(1u, info.height >> level);
      data.depth = std::max(1u, info.depth >> level);
      data.bytes.resize(size_t(data.width) * data.height * data.depth * 4);
      for (uint8_t& byte : data.bytes) byte = next += 37;
      image.levels.push_back(std::move(data));
    }
  }
  return image;
}

ImageLevel Level(uint32_t width, uint32_t height, std::vector<uint8_t> bytes) {
  return {width, height, 1, std::move(bytes)};
}

std::vector<uint8_t> Floats(std::initializer_list<float> values) {
  std::vector<uint8_t> bytes(values.size() * 4);
  std::memcpy(bytes.data(), std::data(values), bytes.size());
  return bytes;
}

std::vector<float> AsFloats(const std::vector<uint8_t>& bytes) {
  std::vector<float> values(bytes.size() / 4);
  std::memcpy(values.data(), bytes.data(), bytes.size());
  return values;
}

// ---- round trip ----

struct RoundTripCase {
  const char* name;
  ImageInfo info;
};

void PrintTo(const RoundTripCase& c, std::ostream* out) { *out << c.name; }

class RoundTrip : public testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTrip, ParseOfWriteGivesTheImageBack) {
  const Image original = PatternedImage(GetParam().info);
  const std::vector<uint8_t> file = WriteDds(original);
  size_t pixelBytes = 0;
  for (const ImageLevel& level : original.levels) pixelBytes += level.bytes.size();
  EXPECT_EQ(file.size(), 128 + pixelBytes);

  Image parsed;
  std::string error;
  ASSERT_TRUE(ParseDds(file.data(), file.size(), parsed, error)) << error;
  EXPECT_EQ(parsed, original);
}

INSTANTIATE_TEST_SUITE_P(
    Dds, RoundTrip,
    testing::Values(
        RoundTripCase{"Argb2dPartialChain",
                      {5, 3, 1, 2, PixelFormat::A8R8G8B8, ResourceKind::Texture2D}},
        RoundTripCase{"Xrgb2dSinglePixel",
                      {1, 1, 1, 1, PixelFormat::X8R8G8B8, ResourceKind::Texture2D}},
        RoundTripCase{"Float2dFullChain", {8, 2, 1, 4, PixelFormat::R32F, ResourceKind::Texture2D}},
        RoundTripCase{"ArgbVolumeFullChain",
                      {4, 2, 8, 4, PixelFormat::A8R8G8B8, ResourceKind::Volume}},
        RoundTripCase{"FloatVolumeOneLevel", {3, 5, 2, 1, PixelFormat::R32F, ResourceKind::Volume}},
        RoundTripCase{"XrgbCubeFullChain", {4, 4, 1, 3, PixelFormat::X8R8G8B8, ResourceKind::Cube}},
        RoundTripCase{"FloatCubeOneLevel", {2, 2, 1, 1, PixelFormat::R32F, ResourceKind::Cube}}),
    [](const testing::TestParamInfo<RoundTripCase>& info) { return info.param.name; });

// ---- reading files made by hand ----

TEST(DdsLayout, ReadsAHandMadeFileWithBytesInFileOrder) {
  HandMadeFile file = HandMadeFile::Argb(2, 2, 2, 4 * 4 + 4);
  for (size_t i = 128; i < file.bytes.size(); ++i) file.bytes[i] = uint8_t(i);
  Image image;
  std::string error;
  ASSERT_TRUE(ParseDds(file.bytes.data(), file.bytes.size(), image, error)) << error;
  EXPECT_EQ(image.info, (ImageInfo{2, 2, 1, 2, PixelFormat::A8R8G8B8, ResourceKind::Texture2D}));
  ASSERT_EQ(image.levels.size(), 2u);
  EXPECT_EQ(image.levels[0].bytes,
            std::vector<uint8_t>(file.bytes.begin() + 128, file.bytes.begin() + 144));
  EXPECT_EQ(image.levels[1], Level(1, 1, {144, 145, 146, 147}));
}

TEST(DdsLayout, WriterFillsTheHeaderFieldsOtherReadersNeed) {
  const std::vector<uint8_t> argb =
      WriteDds(PatternedImage({4, 2, 1, 3, PixelFormat::A8R8G8B8, ResourceKind::Texture2D}));
  HandMadeFile header;
  header.bytes.assign(argb.begin(), argb.begin() + 128);
  EXPECT_EQ(header.Get(0), 0x20534444u);
  EXPECT_EQ(header.Get(4), 124u);
  EXPECT_EQ(header.Get(HandMadeFile::kWidth), 4u);
  EXPECT_EQ(header.Get(HandMadeFile::kHeight), 2u);
  EXPECT_EQ(header.Get(HandMadeFile::kPitch), 16u);
  EXPECT_EQ(header.Get(HandMadeFile::kMipCount), 3u);
  EXPECT_EQ(header.Get(HandMadeFile::kFormatFlags), 0x41u);
  EXPECT_EQ(header.Get(HandMadeFile::kAlphaMask), 0xff000000u);
  EXPECT_EQ(header.Get(HandMadeFile::kCaps), 0x1000u | 0x8u | 0x400000u);

  const std::vector<uint8_t> cube =
      WriteDds(PatternedImage({2, 2, 1, 1, PixelFormat::R32F, ResourceKind::Cube}));
  header.bytes.assign(cube.begin(), cube.begin() + 128);
  EXPECT_EQ(header.Get(HandMadeFile::kFormatFlags), 0x4u);
  EXPECT_EQ(header.Get(HandMadeFile::kFourCC), 114u);
  EXPECT_EQ(header.Get(HandMadeFile::kCaps2), 0x200u | 0xfc00u);

  const std::vector<uint8_t> volume =
      WriteDds(PatternedImage({2, 2, 4, 1, PixelFormat::X8R8G8B8, ResourceKind::Volume}));
  header.bytes.assign(volume.begin(), volume.begin() + 128);
  EXPECT_EQ(header.Get(HandMadeFile::kAlphaMask), 0u);
  EXPECT_EQ(header.Get(HandMadeFile::kDepth), 4u);
  EXPECT_TRUE(header.Get(HandMadeFile::kFlags) & 0x800000u);
  EXPECT_EQ(header.Get(HandMadeFile::kCaps2), 0x200000u);
}

// Quirks of real writers that must still load.
struct TolerantCase {
  const char* name;
  std::function<void(HandMadeFile&)> change;
  uint32_t expectedMipLevels;
  PixelFormat expectedFormat;
};

void PrintTo(const TolerantCase& c, std::ostream* out) { *out << c.name; }

class Tolerant : public testing::TestWithParam<TolerantCase> {};

TEST_P(Tolerant, StillReads) {
  HandMadeFile file = HandMadeFile::Argb(4, 4, 3, 4 * (16 + 4 + 1));
  GetParam().change(file);
  Image image;
  std::string error;
  ASSERT_TRUE(ParseDds(file.bytes.data(), file.bytes.size(), image, error)) << error;
  EXPECT_EQ(image.info.mipLevels, GetParam().expectedMipLevels);
  EXPECT_EQ(image.levels.size(), GetParam().expectedMipLevels);
  EXPECT_EQ(image.info.format, GetParam().expectedFormat);
}

INSTANTIATE_TEST_SUITE_P(
    Dds, Tolerant,
    testing::Values(TolerantCase{"MipCountZeroMeansOne",
                                 [](HandMadeFile& f) { f.Set(HandMadeFile::kMipCount, 0); }, 1,
                                 PixelFormat::A8R8G8B8},
                    TolerantCase{"PackedPitchWithItsFlag",
                                 [](HandMadeFile& f) {
                                   f.Set(HandMadeFile::kFlags, f.Get(HandMadeFile::kFlags) | 0x8);
                                   f.Set(HandMadeFile::kPitch, 16);
                                 },
                                 3, PixelFormat::A8R8G8B8},
                    TolerantCase{"JunkPitchWithoutItsFlag",
                                 [](HandMadeFile& f) { f.Set(HandMadeFile::kPitch, 12345); }, 3,
                                 PixelFormat::A8R8G8B8},
                    TolerantCase{"JunkDepthWithoutItsFlag",
                                 [](HandMadeFile& f) { f.Set(HandMadeFile::kDepth, 99); }, 3,
                                 PixelFormat::A8R8G8B8},
                    TolerantCase{"TrailingBytesIgnored",
                                 [](HandMadeFile& f) { f.bytes.resize(f.bytes.size() + 7, 0xee); },
                                 3, PixelFormat::A8R8G8B8},
                    TolerantCase{"NoAlphaMaskIsX8R8G8B8",
                                 [](HandMadeFile& f) {
                                   f.Set(HandMadeFile::kAlphaMask, 0);
                                   f.Set(HandMadeFile::kFormatFlags, 0x40);
                                 },
                                 3, PixelFormat::X8R8G8B8},
                    TolerantCase{"FloatFourCC",
                                 [](HandMadeFile& f) {
                                   f.Set(HandMadeFile::kFormatFlags, 0x4);
                                   f.Set(HandMadeFile::kFourCC, 114);
                                   f.Set(HandMadeFile::kBitCount, 0);
                                 },
                                 3, PixelFormat::R32F}),
    [](const testing::TestParamInfo<TolerantCase>& info) { return info.param.name; });

// ---- hostile input ----

struct HostileCase {
  const char* name;
  std::function<void(HandMadeFile&)> damage;
  const char* expectedReason;  // must appear in the error
};

void PrintTo(const HostileCase& c, std::ostream* out) { *out << c.name; }

class Hostile : public testing::TestWithParam<HostileCase> {};

// Base: a valid 8x8 A8R8G8B8 file with 2 levels (256 + 64 bytes of pixels).
TEST_P(Hostile, IsRefusedWithAReasonAndLeavesTheImageAlone) {
  HandMadeFile file = HandMadeFile::Argb(8, 8, 2, 256 + 64);
  GetParam().damage(file);
  const Image untouched =
      PatternedImage({1, 1, 1, 1, PixelFormat::X8R8G8B8, ResourceKind::Texture2D});
  Image image = untouched;
  std::string error;
  // Copy into an exactly sized heap buffer so the sanitizer sees any overread.
  const std::vector<uint8_t> exact(file.bytes.begin(), file.bytes.end());
  EXPECT_FALSE(ParseDds(exact.empty() ? nullptr : exact.data(), exact.size(), image, error));
  EXPECT_NE(error.find(GetParam().expectedReason), std::string::npos) << "error was: " << error;
  EXPECT_EQ(image, untouched);
}

void SetCube(HandMadeFile& f, uint32_t faceBits) { f.Set(HandMadeFile::kCaps2, 0x200 | faceBits); }
void SetVolume(HandMadeFile& f, uint32_t depth) {
  f.Set(HandMadeFile::kCaps2, 0x200000);
  f.Set(HandMadeFile::kFlags, f.Get(HandMadeFile::kFlags) | 0x800000);
  f.Set(HandMadeFile::kDepth, depth);
}
void SetFourCC(HandMadeFile& f, uint32_t fourCC) {
  f.Set(HandMadeFile::kFormatFlags, 0x4);
  f.Set(HandMadeFile::kFourCC, fourCC);
}

INSTANTIATE_TEST_SUITE_P(
    Dds, Hostile,
    testing::Values(
        HostileCase{"Empty", [](HandMadeFile& f) { f.bytes.clear(); }, "truncated"},
        HostileCase{"ThreeBytes", [](HandMadeFile& f) { f.bytes.resize(3); }, "truncated"},
        HostileCase{"BadMagic", [](HandMadeFile& f) { f.bytes[3] = 'X'; }, "bad magic"},
        HostileCase{"CutInsideHeader", [](HandMadeFile& f) { f.bytes.resize(100); },
                    "ends inside the header, after 100 of 128 bytes"},
        HostileCase{"CutJustBeforePixels", [](HandMadeFile& f) { f.bytes.resize(127); },
                    "inside the header"},
        HostileCase{"HeaderSizeWrong", [](HandMadeFile& f) { f.Set(4, 128); },
                    "header size field is 128"},
        HostileCase{"FormatSizeWrong", [](HandMadeFile& f) { f.Set(HandMadeFile::kFormatSize, 0); },
                    "pixel format size field is 0"},
        HostileCase{"ZeroWidth", [](HandMadeFile& f) { f.Set(HandMadeFile::kWidth, 0); },
                    "zero side"},
        HostileCase{"ZeroHeight", [](HandMadeFile& f) { f.Set(HandMadeFile::kHeight, 0); },
                    "zero side"},
        HostileCase{"WidthOverLimit", [](HandMadeFile& f) { f.Set(HandMadeFile::kWidth, 16385); },
                    "exceeds the 16384 limit"},
        HostileCase{"HugeBothWays",
                    [](HandMadeFile& f) {
                      f.Set(HandMadeFile::kWidth, 0xffffffff);
                      f.Set(HandMadeFile::kHeight, 0xffffffff);
                    },
                    "exceeds"},
        HostileCase{"LargestSizeButTinyFile",
                    [](HandMadeFile& f) {
                      f.Set(HandMadeFile::kWidth, 16384);
                      f.Set(HandMadeFile::kHeight, 16384);
                      f.Set(HandMadeFile::kMipCount, 15);
                    },
                    "truncated: header says 16384x16384 with 15 levels but the file ends after 0 "
                    "rows of level 0"},
        HostileCase{"VolumeDepthZero", [](HandMadeFile& f) { SetVolume(f, 0); },
                    "volume depth is 0"},
        HostileCase{"VolumeDepthOverLimit", [](HandMadeFile& f) { SetVolume(f, 2049); },
                    "exceeds the 2048 limit"},
        HostileCase{"LargestVolumeButTinyFile",
                    [](HandMadeFile& f) {
                      f.Set(HandMadeFile::kWidth, 16384);
                      f.Set(HandMadeFile::kHeight, 16384);
                      f.Set(HandMadeFile::kMipCount, 1);
                      SetVolume(f, 2048);
                    },
                    "truncated"},
        HostileCase{"DepthWithoutVolumeFlag",
                    [](HandMadeFile& f) {
                      f.Set(HandMadeFile::kFlags, f.Get(HandMadeFile::kFlags) | 0x800000);
                      f.Set(HandMadeFile::kDepth, 4);
                    },
                    "not a volume"},
        HostileCase{"MipCountOneTooMany",
                    [](HandMadeFile& f) { f.Set(HandMadeFile::kMipCount, 5); },
                    "5 mip levels but 8x8 allows 1 to 4"},
        HostileCase{"MipCountHuge",
                    [](HandMadeFile& f) { f.Set(HandMadeFile::kMipCount, 0xffffffff); },
                    "mip levels"},
        HostileCase{
            "LastLevelOneByteShort", [](HandMadeFile& f) { f.bytes.pop_back(); },
            "truncated: header says 8x8 with 2 levels but the file ends after 3 rows of level 1"},
        HostileCase{"HalfOfLevelZero", [](HandMadeFile& f) { f.bytes.resize(128 + 128 + 20); },
                    "ends after 4 rows of level 0"},
        HostileCase{"VolumeCutInASlice",
                    [](HandMadeFile& f) {
                      SetVolume(f, 4);
                      f.Set(HandMadeFile::kMipCount, 1);
                      f.bytes.resize(128 + 256 * 2 + 32 * 5);
                    },
                    "ends after 5 rows of slice 2 of level 0"},
        HostileCase{"CubeCutInAFace",
                    [](HandMadeFile& f) {
                      SetCube(f, 0xfc00);
                      f.bytes.resize(128 + 320 + 64);
                    },
                    "8x8 cube with 2 levels but the file ends after 2 rows of face -x level 0"},
        HostileCase{"PartialCube", [](HandMadeFile& f) { SetCube(f, 0xfc00 & ~0x2000 & ~0x8000); },
                    "partial cube: faces -y, -z missing"},
        HostileCase{"CubeNotSquare",
                    [](HandMadeFile& f) {
                      SetCube(f, 0xfc00);
                      f.Set(HandMadeFile::kHeight, 4);
                    },
                    "not square"},
        HostileCase{"CubeAndVolume",
                    [](HandMadeFile& f) {
                      SetVolume(f, 2);
                      f.Set(HandMadeFile::kCaps2, 0x200000 | 0x200 | 0xfc00);
                    },
                    "both a cube and a volume"},
        HostileCase{"CompressedDxt1", [](HandMadeFile& f) { SetFourCC(f, FourCC("DXT1")); },
                    "compressed FourCC 'DXT1'"},
        HostileCase{"CompressedBc5", [](HandMadeFile& f) { SetFourCC(f, FourCC("BC5U")); },
                    "compressed"},
        HostileCase{"ExtendedHeader", [](HandMadeFile& f) { SetFourCC(f, FourCC("DX10")); },
                    "DX10"},
        HostileCase{"HalfFloatCode", [](HandMadeFile& f) { SetFourCC(f, 111); },
                    "pixel format FourCC 111 is not supported"},
        HostileCase{"TwentyFourBitRgb", [](HandMadeFile& f) { f.Set(HandMadeFile::kBitCount, 24); },
                    "24-bit RGB"},
        HostileCase{"SwappedRedAndBlue",
                    [](HandMadeFile& f) {
                      f.Set(HandMadeFile::kRedMask, 0xff);
                      f.Set(HandMadeFile::kBlueMask, 0xff0000);
                    },
                    "not supported"},
        HostileCase{"OddAlphaMask",
                    [](HandMadeFile& f) { f.Set(HandMadeFile::kAlphaMask, 0x0f000000); },
                    "not supported"},
        HostileCase{"Luminance",
                    [](HandMadeFile& f) { f.Set(HandMadeFile::kFormatFlags, 0x20000); },
                    "neither RGB nor FourCC"},
        HostileCase{"PaddedPitch",
                    [](HandMadeFile& f) {
                      f.Set(HandMadeFile::kFlags, f.Get(HandMadeFile::kFlags) | 0x8);
                      f.Set(HandMadeFile::kPitch, 64);
                    },
                    "row pitch 64 differs from the packed 32 bytes"}),
    [](const testing::TestParamInfo<HostileCase>& info) { return info.param.name; });

// ---- writer preconditions ----

TEST(DdsWrite, RefusesImagesWhoseLevelsDoNotMatchTheInfo) {
  const Image good = PatternedImage({4, 4, 1, 2, PixelFormat::A8R8G8B8, ResourceKind::Texture2D});
  Image shortLevel = good;
  shortLevel.levels[1].bytes.pop_back();
  EXPECT_THROW(WriteDds(shortLevel), std::invalid_argument);
  Image missingLevel = good;
  missingLevel.levels.pop_back();
  EXPECT_THROW(WriteDds(missingLevel), std::invalid_argument);
  Image unknownFormat = good;
  unknownFormat.info.format = PixelFormat::Unknown;
  EXPECT_THROW(WriteDds(unknownFormat), std::invalid_argument);
}

// ---- mip chains ----

TEST(DdsMipChain, FourByTwoAveragesEachByteWithRounding) {
  // Pixels are B, G, R, A. Blue varies, green and red are flat (red at 255 to
  // catch overflow), alpha checks that halves round up.
  Image image;
  image.info = {4, 2, 1, 1, PixelFormat::A8R8G8B8, ResourceKind::Texture2D};
  image.levels = {Level(4, 2, {10, 100, 255, 0,  20, 100, 255, 1,   30, 100, 255, 0,  41, 100, 255, 1,
                               0, 100, 255, 1,   255, 100, 255, 0,  7, 100, 255, 1,   8, 100, 255, 1})};
  CompleteMipChain(image);
  ASSERT_EQ(image.info.mipLevels, 3u);
  ASSERT_EQ(image.levels.size(), 3u);
  // (10+20+0+255)/4 = 71.25 -> 71; (30+41+7+8)/4 = 21.5 -> 22; alpha 2/4 and 3/4 -> 1.
  EXPECT_EQ(image.levels[1], Level(2, 1, {71, 100, 255, 1, 22, 100, 255, 1}));
  // (71+22)/2 = 46.5 -> 47: the last level comes from level 1, not level 0.
  EXPECT_EQ(image.levels[2], Level(1, 1, {47, 100, 255, 1}));
}

TEST(DdsMipChain, OddSizesFoldTheLastRowAndColumnIn) {
  Image floats;
  floats.info = {3, 3, 1, 1, PixelFormat::R32F, ResourceKind::Texture2D};
  floats.levels = {Level(3, 3, Floats({1, 2, 3, 4, 5, 6, 7, 8, 9}))};
  CompleteMipChain(floats);
  ASSERT_EQ(floats.levels.size(), 2u);
  EXPECT_EQ(floats.levels[1].width, 1u);
  EXPECT_EQ(AsFloats(floats.levels[1].bytes), std::vector<float>{5.0f});

  // 5x1: footprints {10, 20} and {30, 40, 50}; then (15 + 40) / 2 rounds up.
  Image strip;
  strip.info = {5, 1, 1, 1, PixelFormat::X8R8G8B8, ResourceKind::Texture2D};
  std::vector<uint8_t> bytes;
  for (uint8_t value : {10, 20, 30, 40, 50})
    bytes.insert(bytes.end(), {value, value, value, value});
  strip.levels = {Level(5, 1, bytes)};
  CompleteMipChain(strip);
  ASSERT_EQ(strip.levels.size(), 3u);
  EXPECT_EQ(strip.levels[1], Level(2, 1, {15, 15, 15, 15, 40, 40, 40, 40}));
  EXPECT_EQ(strip.levels[2], Level(1, 1, {28, 28, 28, 28}));
}

TEST(DdsMipChain, KeepsTheFileLevelsAndFiltersFromTheLastOne) {
  Image image;
  image.info = {4, 4, 1, 2, PixelFormat::A8R8G8B8, ResourceKind::Texture2D};
  image.levels = {Level(4, 4, std::vector<uint8_t>(64, 0)),
                  Level(2, 2, std::vector<uint8_t>(16, 200))};
  const Image before = image;
  CompleteMipChain(image);
  ASSERT_EQ(image.levels.size(), 3u);
  EXPECT_EQ(image.levels[0], before.levels[0]);
  EXPECT_EQ(image.levels[1], before.levels[1]);
  EXPECT_EQ(image.levels[2], Level(1, 1, {200, 200, 200, 200}));

  const Image full = image;
  CompleteMipChain(image);
  EXPECT_EQ(image, full);
}

TEST(DdsMipChain, CubeCompletesEveryFaceInFaceMajorOrder) {
  Image cube;
  cube.info = {4, 4, 1, 1, PixelFormat::X8R8G8B8, ResourceKind::Cube};
  for (uint8_t face = 0; face < 6; ++face) {
    cube.levels.push_back(Level(4, 4, std::vector<uint8_t>(64, uint8_t(10 * face + 10))));
  }
  CompleteMipChain(cube);
  ASSERT_EQ(cube.info.mipLevels, 3u);
  ASSERT_EQ(cube.levels.size(), 18u);
  for (uint32_t face = 0; face < 6; ++face) {
    for (uint32_t level = 0; level < 3; ++level) {
      const ImageLevel& data = cube.levels[face * 3 + level];
      EXPECT_EQ(data.width, 4u >> level);
      EXPECT_EQ(data.bytes, std::vector<uint8_t>(data.bytes.size(), uint8_t(10 * face + 10)))
          << "face " << face << " level " << level;
    }
  }
}

TEST(DdsMipChain, LeavesVolumesAlone) {
  Image volume = PatternedImage({4, 4, 4, 1, PixelFormat::A8R8G8B8, ResourceKind::Volume});
  const Image before = volume;
  CompleteMipChain(volume);
  EXPECT_EQ(volume, before);
}

// ---- resizing and power-of-two rounding ----

TEST(DdsResize, BilinearWithAlignedCentresAndClampedEdges) {
  Image bytes;
  bytes.info = {2, 1, 1, 1, PixelFormat::A8R8G8B8, ResourceKind::Texture2D};
  bytes.levels = {Level(2, 1, {0, 0, 0, 0, 100, 200, 40, 255})};
  ResizeLevelZero(bytes, 4, 1);
  EXPECT_EQ(bytes.info, (ImageInfo{4, 1, 1, 1, PixelFormat::A8R8G8B8, ResourceKind::Texture2D}));
  EXPECT_EQ(bytes.levels,
            std::vector<ImageLevel>{
                Level(4, 1, {0, 0, 0, 0, 25, 50, 10, 64, 75, 150, 30, 191, 100, 200, 40, 255})});

  Image floats;
  floats.info = {1, 2, 1, 1, PixelFormat::R32F, ResourceKind::Texture2D};
  floats.levels = {Level(1, 2, Floats({-1, 3}))};
  ResizeLevelZero(floats, 1, 4);
  EXPECT_EQ(AsFloats(floats.levels[0].bytes), (std::vector<float>{-1, 0, 2, 3}));
}

TEST(DdsResize, SameSizeKeepsLevelZeroAndDropsTheRest) {
  Image image = PatternedImage({4, 4, 1, 3, PixelFormat::A8R8G8B8, ResourceKind::Texture2D});
  const ImageLevel levelZero = image.levels[0];
  ResizeLevelZero(image, 4, 4);
  EXPECT_EQ(image.info.mipLevels, 1u);
  EXPECT_EQ(image.levels, std::vector<ImageLevel>{levelZero});
}

TEST(DdsResize, RefusesOtherKindsAndEmptySizes) {
  Image cube = PatternedImage({2, 2, 1, 1, PixelFormat::R32F, ResourceKind::Cube});
  EXPECT_THROW(ResizeLevelZero(cube, 4, 4), std::invalid_argument);
  Image flat = PatternedImage({2, 2, 1, 1, PixelFormat::R32F, ResourceKind::Texture2D});
  EXPECT_THROW(ResizeLevelZero(flat, 0, 4), std::invalid_argument);
}

TEST(DdsPowerOfTwo, RoundsUpAndReportsNoAnswerPastTheTopBit) {
  const std::pair<uint32_t, uint32_t> cases[] = {
      {0, 1},           {1, 1},          {2, 2},
      {3, 4},           {5, 8},          {300, 512},
      {16384, 16384},   {16385, 32768},  {0x80000000u, 0x80000000u},
      {0x80000001u, 0}, {0xffffffffu, 0}};
  for (const auto& [value, expected] : cases)
    EXPECT_EQ(RoundUpToPowerOfTwo(value), expected) << value;
}

// ---- files on disk ----

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr) << std::strerror(errno);
  ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
  ASSERT_EQ(std::fclose(file), 0);
}

TEST(DdsFile, ReadsBackWhatWasWrittenAndItsInfo) {
  TempDirectory directory;
  const Image original = PatternedImage({4, 4, 1, 3, PixelFormat::X8R8G8B8, ResourceKind::Cube});
  const std::string path = directory.path() + "/cube.dds";
  WriteFile(path, WriteDds(original));
  Image image;
  ImageInfo info;
  std::string error;
  ASSERT_TRUE(ReadDdsFile(path.c_str(), image, error)) << error;
  EXPECT_EQ(image, original);
  ASSERT_TRUE(ReadDdsInfo(path.c_str(), info, error)) << error;
  EXPECT_EQ(info, original.info);
}

TEST(DdsFile, ReportsTheCauseOfEachFailure) {
  TempDirectory directory;
  const std::string missing = directory.path() + "/missing.dds";
  const std::string truncated = directory.path() + "/truncated.dds";
  std::vector<uint8_t> bytes =
      WriteDds(PatternedImage({8, 8, 1, 1, PixelFormat::A8R8G8B8, ResourceKind::Texture2D}));
  bytes.resize(bytes.size() - 32);
  WriteFile(truncated, bytes);

  const std::pair<std::string, std::string> cases[] = {
      {missing, std::strerror(ENOENT)},
      {directory.path(), "not a regular file"},
      {truncated, "ends after 7 rows of level 0"},  // the header alone shows it
  };
  for (const auto& [path, reason] : cases) {
    Image image;
    ImageInfo info;
    std::string error;
    EXPECT_FALSE(ReadDdsFile(path.c_str(), image, error)) << path;
    EXPECT_NE(error.find(reason), std::string::npos) << path << ": " << error;
    error.clear();
    EXPECT_FALSE(ReadDdsInfo(path.c_str(), info, error)) << path;
    EXPECT_NE(error.find(reason), std::string::npos) << path << ": " << error;
  }
}

}  // namespace
