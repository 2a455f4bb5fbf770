#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/temp_directory.h"
#include "tools/textures/texture_maker.h"

namespace {

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Runs the built tool with the given arguments; returns its exit status.
int RunTool(const std::string& arguments) {
  const std::string command =
      std::string("'") + VANTREL_TEXTURES_TOOL + "' " + arguments + " 2>/dev/null";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct ExpectedFile {
  const char* name;
  ImageInfo info;
};

const ExpectedFile kShowTextures[] = {
    {"white.dds", {8, 8, 1, 4, PixelFormat::A8R8G8B8, ResourceKind::Texture2D}},
    {"mosaic.dds", {256, 256, 1, 9, PixelFormat::A8R8G8B8, ResourceKind::Texture2D}},
    {"noisevolume2.dds", {64, 64, 64, 1, PixelFormat::A8R8G8B8, ResourceKind::Volume}},
};

TEST(TexturesTool, WritesTheSameLoadableFilesOnEveryRun) {
  TempDirectory first, second;
  // A directory that does not exist yet must be created.
  const std::string firstOutput = first.path() + "/new/textures";
  ASSERT_EQ(RunTool("'" + firstOutput + "'"), 0);
  ASSERT_EQ(RunTool("'" + second.path() + "'"), 0);
  for (const ExpectedFile& expected : kShowTextures) {
    SCOPED_TRACE(expected.name);
    const std::string path = firstOutput + "/" + expected.name;
    const std::vector<uint8_t> bytes = ReadBytes(path);
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(bytes, ReadBytes(second.path() + "/" + expected.name));
    Image image;
    std::string error;
    ASSERT_TRUE(ReadDdsFile(path.c_str(), image, error)) << error;
    EXPECT_EQ(image.info, expected.info);
  }
}

TEST(TexturesTool, FailsWithoutAUsableDirectory) {
  TempDirectory directory;
  const std::string plainFile = directory.path() + "/plain";
  std::ofstream(plainFile) << "not a directory";
  EXPECT_EQ(RunTool(""), 2);
  EXPECT_EQ(RunTool("'" + plainFile + "/textures'"), 1);
}

// The files in the repository must be exactly what the tool makes now, or the
// show runs on stale textures.
TEST(TexturesTool, RepositoryTexturesMatchTheGenerators) {
  const std::pair<const char*, Image> generated[] = {
      {"white.dds", MakeWhiteTexture()},
      {"mosaic.dds", MakeMosaicTexture()},
      {"noisevolume2.dds", MakeNoiseVolume()},
  };
  for (const auto& [name, image] : generated) {
    EXPECT_EQ(ReadBytes(std::string(VANTREL_SOURCE_DIR) + "/textures/" + name), WriteDds(image))
        << name;
  }
}

TEST(TexturesContent, WhiteIsWhiteAtEveryLevel) {
  const Image white = MakeWhiteTexture();
  for (const ImageLevel& level : white.levels) {
    EXPECT_TRUE(
        std::all_of(level.bytes.begin(), level.bytes.end(), [](uint8_t b) { return b == 0xff; }));
  }
}

// Mean absolute step between neighbouring lines along one axis of a periodic
// grid. A seamless texture steps across the wrap like it does between the
// lines beside the wrap; one that does not tile jumps there. Comparing with
// the nearby lines, not the whole texture, keeps a grout line or a cloud that
// happens to run along the wrap from looking like a seam.
struct Steps {
  double interior = 0;    // mean over all pairs of neighbouring lines
  double nearWrap = 0;    // mean over the kNearLines pairs each side of the wrap
  double acrossWrap = 0;  // between the last line and the first
};

constexpr uint32_t kNearLines = 4;

template <typename Sample>
Steps MeasureSteps(uint32_t size, uint32_t crossCount, Sample sample) {
  Steps steps;
  for (uint32_t along = 0; along < size; ++along) {
    const uint32_t next = (along + 1) % size;
    double lineStep = 0;
    for (uint32_t cross = 0; cross < crossCount; ++cross) {
      lineStep += std::abs(sample(next, cross) - sample(along, cross));
    }
    lineStep /= crossCount;
    if (next == 0) {
      steps.acrossWrap = lineStep;
      continue;
    }
    steps.interior += lineStep / (size - 1);
    if (along < kNearLines || along + 1 + kNearLines >= size)
      steps.nearWrap += lineStep / (2 * kNearLines);
  }
  return steps;
}

TEST(TexturesContent, MosaicIsOpaqueColourfulGroutedAndSeamless) {
  const Image mosaic = MakeMosaicTexture();
  const std::vector<uint8_t>& bytes = mosaic.levels[0].bytes;
  const uint32_t size = mosaic.info.width;
  size_t dark = 0, vivid = 0, opaque = 0;
  for (size_t i = 0; i < bytes.size(); i += 4) {
    const uint8_t brightest = std::max({bytes[i], bytes[i + 1], bytes[i + 2]});
    const uint8_t dimmest = std::min({bytes[i], bytes[i + 1], bytes[i + 2]});
    dark += brightest < 48;
    vivid += brightest >= 128 && dimmest * 2 <= brightest;
    opaque += bytes[i + 3] == 255;
  }
  const double pixels = bytes.size() / 4.0;
  EXPECT_EQ(opaque, bytes.size() / 4);
  EXPECT_GT(dark / pixels, 0.05) << "grout should show";
  EXPECT_LT(dark / pixels, 0.35) << "grout should not swamp the tiles";
  EXPECT_GT(vivid / pixels, 0.5) << "tiles should be saturated";

  auto brightness = [&](uint32_t x, uint32_t y) {
    const uint8_t* pixel = &bytes[(size_t(y) * size + x) * 4];
    return double(pixel[0]) + pixel[1] + pixel[2];
  };
  const Steps horizontal = MeasureSteps(size, size, brightness);
  const Steps vertical =
      MeasureSteps(size, size, [&](uint32_t y, uint32_t x) { return brightness(x, y); });
  EXPECT_LT(horizontal.acrossWrap, 1.5 * horizontal.nearWrap);
  EXPECT_LT(vertical.acrossWrap, 1.5 * vertical.nearWrap);
}

TEST(TexturesContent, NoiseVolumeIsSoftWellSpreadAndSeamlessOnEveryAxis) {
  const Image volume = MakeNoiseVolume();
  const std::vector<uint8_t>& bytes = volume.levels[0].bytes;
  constexpr uint32_t kSize = 64;
  std::vector<uint8_t> values;
  for (size_t i = 0; i < bytes.size(); i += 4) {
    ASSERT_TRUE(bytes[i] == bytes[i + 1] && bytes[i] == bytes[i + 2] && bytes[i] == bytes[i + 3])
        << "voxel " << i / 4 << " differs between channels";
    values.push_back(bytes[i]);
  }
  std::vector<uint8_t> sorted = values;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_LE(sorted[sorted.size() / 100], 24);
  EXPECT_GE(sorted[sorted.size() * 99 / 100], 231);
  EXPECT_NEAR(sorted[sorted.size() / 2], 128, 24);

  auto voxel = [&](uint32_t x, uint32_t y, uint32_t z) {
    return double(values[(size_t(z) * kSize + y) * kSize + x]);
  };
  const Steps axes[] = {
      MeasureSteps(kSize, kSize * kSize,
                   [&](uint32_t a, uint32_t c) { return voxel(a, c % kSize, c / kSize); }),
      MeasureSteps(kSize, kSize * kSize,
                   [&](uint32_t a, uint32_t c) { return voxel(c % kSize, a, c / kSize); }),
      MeasureSteps(kSize, kSize * kSize,
                   [&](uint32_t a, uint32_t c) { return voxel(c % kSize, c / kSize, a); }),
  };
  for (const Steps& steps : axes) {
    EXPECT_LT(steps.interior, 16) << "neighbouring voxels should differ gently";
    EXPECT_LT(steps.acrossWrap, 1.5 * steps.nearWrap);
  }
}

}  // namespace
