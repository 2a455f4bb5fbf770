// The texture loader's defaults as the program meets them through
// LookupTexture: 2-D files become power-of-two textures with full mip chains,
// volumes stay exactly as the file has them.
#include "platform/texture_file.h"
#include "tests/render_core/render_test.h"

namespace {

class RenderCoreTextureLoader : public RenderCoreTest {
 protected:
  TempDirectory directory;
};

TEST_F(RenderCoreTextureLoader, NonPowerOfTwoFilesBecomePowerOfTwoTexturesWithAFullChain) {
  const char* path = KeepPath(directory.path() + "/odd.dds");
  WriteFile(path, WriteDds(MakeImage(5, 3, DistinctPattern)));
  TextureAsset* record = LookupTexture(path);
  ASSERT_NE(record->texture, nullptr) << LastImageError();
  ASSERT_EQ(record->texture->GetType(), ResourceTexture);
  auto* texture = static_cast<Texture*>(record->texture);
  SurfaceDesc level0;
  texture->GetLevelDesc(0, &level0);
  EXPECT_EQ(level0.width, 8u);
  EXPECT_EQ(level0.height, 4u);
  EXPECT_EQ(texture->GetLevelCount(), 4u);  // 8x4, 4x2, 2x1, 1x1
  // The record keeps the file's own size.
  EXPECT_EQ(record->size.x, 5);
  EXPECT_EQ(record->size.y, 3);
  EXPECT_EQ(record->size.z, 1);
  EXPECT_EQ(record->size.w, 0);
}

// Quadrants of 2x2 texels averaging to (100, 200, 96, 160); a chain that is
// missing or left black shows at the last level.
TEST_F(RenderCoreTextureLoader, AFileWithOnlyLevelZeroGetsAChainEndingInItsAverage) {
  const char* path = KeepPath(directory.path() + "/quadrants.dds");
  WriteFile(path, WriteDds(MakeImage(4, 4, [](uint32_t x, uint32_t y) {
              const uint32_t quadrant = (y / 2) * 2 + x / 2;
              return Rgba8{uint8_t(40 + 40 * quadrant), 200, uint8_t(64 * quadrant), uint8_t(100 + 40 * quadrant)};
            })));
  TextureAsset* record = LookupTexture(path);
  ASSERT_NE(record->texture, nullptr) << LastImageError();
  auto* texture = static_cast<Texture*>(record->texture);
  ASSERT_EQ(texture->GetLevelCount(), 3u);
  Surface* middle = nullptr;
  Surface* last = nullptr;
  texture->GetSurfaceLevel(1, &middle);
  texture->GetSurfaceLevel(2, &last);
  EXPECT_EQ(ReadBytes(middle), (std::vector<Rgba8>{{40, 200, 0, 100}, {80, 200, 64, 140}, {120, 200, 128, 180},
                                                   {160, 200, 192, 220}}));
  EXPECT_EQ(ReadBytes(last), (std::vector<Rgba8>{{100, 200, 96, 160}}));
  middle->Release();
  last->Release();
}

// The show's noise volume and a small one of odd size: neither is resized or
// given levels the file does not have.
TEST_F(RenderCoreTextureLoader, VolumeFilesKeepTheirSizeAndLevels) {
  Image odd;
  odd.info = ImageInfo{5, 3, 2, 1, PixelFormat::A8R8G8B8, ResourceKind::Volume};
  odd.levels.push_back(ImageLevel{5, 3, 2, std::vector<uint8_t>(5 * 3 * 2 * 4, 0x7F)});
  const char* oddPath = KeepPath(directory.path() + "/odd_volume.dds");
  WriteFile(oddPath, WriteDds(odd));

  for (const char* path : {NoiseVolumeTexturePath, oddPath}) {
    SCOPED_TRACE(path);
    ImageFileInfo info;
    ASSERT_EQ(GetImageInfoFromFile(path, &info), ResultOk) << LastImageError();
    ASSERT_GT(info.depth, 1u);
    TextureAsset* record = LookupTexture(path);
    ASSERT_NE(record->texture, nullptr) << LastImageError();
    ASSERT_EQ(record->texture->GetType(), ResourceVolumeTexture);
    EXPECT_EQ(record->size.x, float(info.width));
    EXPECT_EQ(record->size.y, float(info.height));
    EXPECT_EQ(record->size.z, float(info.depth));
    EXPECT_EQ(record->size.w, 0);
    auto* volume = static_cast<VolumeTexture*>(record->texture);
    VolumeDesc level0;
    volume->GetLevelDesc(0, &level0);
    EXPECT_EQ(level0.width, info.width);
    EXPECT_EQ(level0.height, info.height);
    EXPECT_EQ(level0.depth, info.depth);
    EXPECT_EQ(volume->GetLevelCount(), info.mipLevels);
  }
}

}  // namespace
