// Damaged and hostile content through the registries: every file here must
// fail cleanly, leaving a null record or slot, and never crash. Run under
// AddressSanitizer as well (VANTREL_SANITIZE).
#include <filesystem>

#include "platform/texture_file.h"
#include "tests/render_core/render_test.h"

namespace {

class RenderCoreHostileInput : public RenderCoreTest {
 protected:
  TempDirectory directory;
};

// Offsets into a DDS file: the 4-byte magic, then the 124-byte header.
constexpr size_t HeaderSizeOffset = 4, FlagsOffset = 8, HeightOffset = 12, WidthOffset = 16, PitchOffset = 20,
                 DepthOffset = 24, MipCountOffset = 28, FormatFlagsOffset = 80, FourCCOffset = 84,
                 BitCountOffset = 88, Caps2Offset = 112, PixelsOffset = 128;
// Header flags (caps, height, width and pixel format are always set), the
// pixel format's FourCC flag, and the cube and volume bits of the second caps.
constexpr uint32_t BasicFlags = 0x1007, PitchFlag = 0x8, FourCCFlag = 0x4;
constexpr uint32_t CubeCaps = 0x200, PositiveXFace = 0x400, AllFaces = 0xFC00, VolumeCaps = 0x200000;

std::vector<uint8_t> Patched(std::vector<uint8_t> bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.at(offset + i) = uint8_t(value >> (8 * i));
  return bytes;
}

std::vector<uint8_t> Cut(std::vector<uint8_t> bytes, size_t size) {
  bytes.resize(size);
  return bytes;
}

std::vector<uint8_t> VolumeFile(uint32_t width, uint32_t height, uint32_t depth) {
  Image volume;
  volume.info = ImageInfo{width, height, depth, 1, PixelFormat::A8R8G8B8, ResourceKind::Volume};
  volume.levels.push_back(ImageLevel{width, height, depth, std::vector<uint8_t>(size_t{width} * height * depth * 4)});
  return WriteDds(volume);
}

std::vector<uint8_t> CubeFile(uint32_t edge) {
  Image cube;
  cube.info = ImageInfo{edge, edge, 1, 1, PixelFormat::A8R8G8B8, ResourceKind::Cube};
  for (int face = 0; face < 6; ++face)
    cube.levels.push_back(ImageLevel{edge, edge, 1, std::vector<uint8_t>(size_t{edge} * edge * 4, uint8_t(40 * face))});
  return WriteDds(cube);
}

TEST_F(RenderCoreHostileInput, DamagedTextureFilesGiveANullRecord) {
  const std::vector<uint8_t> valid = WriteDds(MakeImage(8, 8, DistinctPattern));
  std::vector<uint8_t> noise(valid.begin(), valid.begin() + 4);
  for (uint32_t i = 0; i < 400; ++i) noise.push_back(uint8_t(i * 2654435761u >> 24));
  // Damaged files leave a zero record. Well-formed files that the device or
  // the loader cannot take leave no texture but keep the size their header
  // gave, as a file of another kind does.
  const struct {
    const char* label;
    std::vector<uint8_t> bytes;
    Vec4 size;  // the record's size afterwards
  } files[] = {
      {"empty", {}, {}},
      {"magic only", Cut(valid, 4), {}},
      {"ends inside the header", Cut(valid, 100), {}},
      {"last pixel byte missing", Cut(valid, valid.size() - 1), {}},
      {"noise after the magic", noise, {}},
      {"header size field wrong", Patched(valid, HeaderSizeOffset, 100), {}},
      {"claims 16384 x 16384",
       Patched(Patched(Patched(valid, FlagsOffset, BasicFlags), WidthOffset, 16384), HeightOffset, 16384), {}},
      {"claims 2^31 - 1 wide", Patched(valid, WidthOffset, 0x7FFFFFFF), {}},
      {"zero height", Patched(valid, HeightOffset, 0), {}},
      {"more levels than the size allows", Patched(valid, MipCountOffset, 40), {}},
      {"levels the file does not hold", Patched(valid, MipCountOffset, 4), {}},
      {"24-bit pixels", Patched(valid, BitCountOffset, 24), {}},
      {"compressed", Patched(Patched(valid, FormatFlagsOffset, FourCCFlag), FourCCOffset, 0x31545844), {}},
      {"padded rows", Patched(Patched(valid, FlagsOffset, BasicFlags | PitchFlag), PitchOffset, 64), {}},
      {"partial cube", Patched(valid, Caps2Offset, CubeCaps | PositiveXFace), {}},
      {"cube and volume", Patched(valid, Caps2Offset, CubeCaps | AllFaces | VolumeCaps), {}},
      {"volume of depth 0", Patched(Patched(valid, Caps2Offset, VolumeCaps), DepthOffset, 0), {}},
      {"volume deeper than its data", Patched(Patched(valid, Caps2Offset, VolumeCaps), DepthOffset, 2048), {}},
      {"volume wider than the device allows", VolumeFile(4096, 1, 1), Vec4{4096, 1, 1, 0}},
      {"cube of 6 x 6 faces", CubeFile(6), Vec4{6, 6, 1, 0}},
  };
  ASSERT_EQ(valid.size(), PixelsOffset + 8 * 8 * 4);
  for (const auto& file : files) {
    SCOPED_TRACE(file.label);
    const char* path = KeepPath(directory.path() + "/" + file.label + ".dds");
    WriteFile(path, file.bytes);
    TextureAsset* record = LookupTexture(path);
    EXPECT_EQ(record->texture, nullptr);
    EXPECT_EQ(record->size.x, file.size.x);
    EXPECT_EQ(record->size.y, file.size.y);
    EXPECT_EQ(record->size.z, file.size.z);
  }
  // A directory where a file should be.
  EXPECT_EQ(LookupTexture(KeepPath(directory.path()))->texture, nullptr);
  // The device is still sound: a good file loads after all that.
  const char* good = KeepPath(directory.path() + "/good.dds");
  WriteFile(good, valid);
  EXPECT_NE(LookupTexture(good)->texture, nullptr) << LastImageError();
}

constexpr char Passes[] = R"(
glsl vertex VS { void main() { gl_Position = vec4(aPosition, 1.0); } }
glsl fragment PS { void main() { fragColor = vec4(1.0); } }
)";

TEST_F(RenderCoreHostileInput, MalformedEffectFilesLeaveANullSlot) {
  // The pool holds shared.fx's types, so a clash with them is caught.
  ASSERT_NE(*LookupEffect(SharedEffectPath), nullptr);
  std::filesystem::copy_file("fx/shared.fx", directory.path() + "/shared.fx");
  WriteFile(directory.path() + "/loop_a.fx", std::string("#include \"loop_b.fx\"\n"));
  WriteFile(directory.path() + "/loop_b.fx", std::string("#include \"loop_a.fx\"\n"));
  const std::string nested = "glsl vertex VS {" + std::string(100000, '{');
  const struct {
    const char* label;
    std::string text;
  } files[] = {
      {"binary bytes", std::string("\0\xff\xfe glsl \x01{{\x80", 12)},
      {"unterminated code block", "glsl vertex VS {\n  void main() {\n"},
      {"unterminated comment", "/* never closed\nfloat4 vColour;\n"},
      {"100000 nested braces", nested},
      {"a pass naming an unknown shader",
       std::string(Passes) + "technique T { pass P { vertex = VS; fragment = Nope; } }"},
      {"a fragment shader used as vertex shader",
       std::string(Passes) + "technique T { pass P { vertex = PS; fragment = PS; } }"},
      {"a technique with no pass", std::string(Passes) + "technique T { }"},
      {"GLSL that does not compile",
       "glsl vertex VS { void main() { gl_Position = undefinedName; } }\n"
       "glsl fragment PS { void main() { fragColor = vec4(1.0); } }\n"
       "technique T { pass P { vertex = VS; fragment = PS; } }"},
      {"stages that do not link",
       "glsl vertex VS { out vec3 vExtra; void main() { vExtra = aPosition; gl_Position = vec4(aPosition, 1.0); } }\n"
       "glsl fragment PS { in vec4 vExtra; void main() { fragColor = vExtra; } }\n"
       "technique T { pass P { vertex = VS; fragment = PS; } }"},
      {"an array larger than the GPU holds",
       "float4 vHuge[65536];\n"
       "glsl vertex VS { void main() { gl_Position = vHuge[gl_VertexID]; } }\n"
       "glsl fragment PS { void main() { fragColor = vec4(1.0); } }\n"
       "technique T { pass P { vertex = VS; fragment = PS; } }"},
      {"an array past the format's limit", "float4 vTaps[70000];\n"},
      {"a parameter redeclared with another type", "#include \"shared.fx\"\nshared float4 mWorld;\n"},
      {"a shared parameter of another type than the pool's",
       "shared float4x4 vEyePos;\n" + std::string(Passes) + "technique T { pass P { vertex = VS; fragment = PS; } }"},
      {"a missing include", "#include \"nowhere.fx\"\n"},
      {"an include cycle", "#include \"loop_a.fx\"\n"},
  };
  for (const auto& file : files) {
    SCOPED_TRACE(file.label);
    const char* path = KeepPath(directory.path() + "/" + file.label + ".fx");
    WriteFile(path, file.text);
    EXPECT_EQ(*LookupEffect(path), nullptr);
  }
  EXPECT_EQ(*LookupEffect(KeepPath(directory.path())), nullptr) << "a directory loads as an effect";
  // A sound effect still compiles after all that.
  const char* sound = KeepPath(directory.path() + "/sound.fx");
  WriteFile(sound, std::string(Passes) + "technique T { pass P { vertex = VS; fragment = PS; } }");
  EXPECT_NE(*LookupEffect(sound), nullptr);
}

}  // namespace
