// The texture and effect registries: keys by address, failures kept as null
// and retried, and the start-up check's report.
#include <filesystem>

#include "tests/render_core/render_test.h"

namespace {

class RenderCoreRegistries : public RenderCoreTest {
 protected:
  TempDirectory directory;
  // A small valid texture file.
  void WriteTexture(const char* path) { WriteFile(path, WriteDds(MakeImage(4, 4, DistinctPattern))); }
};

TEST_F(RenderCoreRegistries, TheSamePathConstantReturnsTheSameTextureWithoutReadingTheFileAgain) {
  const char* path = KeepPath(directory.path() + "/kept.dds");
  WriteTexture(path);
  TextureAsset* first = LookupTexture(path);
  BaseTexture* texture = first->texture;
  ASSERT_NE(texture, nullptr);
  std::filesystem::rename(path, directory.path() + "/moved.dds");
  TextureAsset* again = LookupTexture(path);
  EXPECT_EQ(again, first);
  EXPECT_EQ(again->texture, texture);
}

TEST_F(RenderCoreRegistries, TheSameCharactersAtAnotherAddressMakeASecondEntry) {
  const char* path = KeepPath(directory.path() + "/twice.dds");
  const char* copy = KeepPath(path);
  ASSERT_NE(copy, path);
  WriteTexture(path);
  const size_t entries = TextureRegistry.size();
  TextureAsset* first = LookupTexture(path);
  TextureAsset* second = LookupTexture(copy);
  EXPECT_NE(second, first);
  ASSERT_NE(second->texture, nullptr);
  EXPECT_NE(second->texture, first->texture);
  EXPECT_EQ(TextureRegistry.size(), entries + 2);
}

TEST_F(RenderCoreRegistries, AMissingTextureGivesAZeroRecordAndLoadsOnceTheFileAppears) {
  const char* path = KeepPath(directory.path() + "/late.dds");
  TextureAsset* missing = LookupTexture(path);
  EXPECT_EQ(missing->texture, nullptr);
  EXPECT_EQ(missing->size.x, 0);
  EXPECT_EQ(missing->size.y, 0);
  EXPECT_EQ(missing->size.z, 0);
  WriteTexture(path);
  TextureAsset* found = LookupTexture(path);
  EXPECT_EQ(found, missing);
  EXPECT_NE(found->texture, nullptr);
  EXPECT_EQ(found->size.x, 4);
}

constexpr char WorkingEffect[] = R"(#include "shared.fx"
glsl vertex VS { void main() { gl_Position = vec4(aPosition, 1.0) * mWorldViewProj; } }
glsl fragment PS { void main() { fragColor = vConstColour; } }
technique Flat { pass P0 { vertex = VS; fragment = PS; } }
)";

// The same with an undeclared name on line 3: it parses but does not compile.
std::string BrokenEffect() {
  std::string broken = WorkingEffect;
  return broken.replace(broken.find("vConstColour"), 12, "vConstColor");
}

TEST_F(RenderCoreRegistries, AnEffectThatFailsLeavesANullSlotThatTheNextLookupRetries) {
  std::filesystem::copy_file("fx/shared.fx", directory.path() + "/shared.fx");
  const char* path = KeepPath(directory.path() + "/flat.fx");
  WriteFile(path, BrokenEffect());
  Effect** failed = LookupEffect(path);
  EXPECT_EQ(*failed, nullptr);

  WriteFile(path, std::string(WorkingEffect));
  Effect** fixed = LookupEffect(path);
  EXPECT_EQ(fixed, failed);
  ASSERT_NE(*fixed, nullptr);
  EXPECT_TRUE((*fixed)->HasTechnique("Flat"));
}

// The start-up check, run in a copy of the content folders with one effect
// broken in its GLSL and one texture missing: one line each, naming the file
// (and the line, for the effect) as the program prints them.
TEST_F(RenderCoreRegistries, ContentProblemsNameTheBrokenEffectsFileAndLineAndTheMissingTexture) {
  namespace fs = std::filesystem;
  const fs::path repository = fs::current_path();
  fs::create_directories(directory.path() + "/fx");
  fs::create_directories(directory.path() + "/textures");
  for (const char* kept : {SharedEffectPath, SpriteEffectPath, DefaultEffectPath, WhiteTexturePath,
                           NoiseVolumeTexturePath})
    fs::create_symlink(repository / kept, fs::path(directory.path()) / kept);
  WriteFile(directory.path() + "/" + WaterEffectPath, BrokenEffect());

  fs::current_path(directory.path());
  const std::vector<std::string> problems = ContentProblems();
  fs::current_path(repository);

  ASSERT_EQ(problems.size(), 2u) << ::testing::PrintToString(problems);
  EXPECT_EQ(problems[0].rfind("fx/water.fx:3: ", 0), 0u) << problems[0];
  EXPECT_NE(problems[0].find("vConstColor"), std::string::npos) << problems[0];
  EXPECT_NE(problems[1].find(MosaicTexturePath), std::string::npos) << problems[1];
}

}  // namespace
