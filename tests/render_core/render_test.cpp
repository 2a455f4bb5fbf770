#include "tests/render_core/render_test.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <fstream>
#include <ostream>

void RenderCoreTest::SetUp() {
  ASSERT_TRUE(OpenHeadlessDevice());
  RememberBackBuffer();
  // Start-up resets the shared transforms before anything sets one.
  ResetTransforms();
  probe = LookupEffect(ProbeEffectPath);
  ASSERT_NE(*probe, nullptr) << "the probe effect does not load";
}

void RenderCoreTest::TearDown() {
  if (Device) {
    UseBackBuffer();
    if (backBuffer) backBuffer->Release();
    backBuffer = nullptr;
  }
  CloseHeadlessDevice();
}

void RenderCoreTest::UseTarget(Surface* surface) { ASSERT_EQ(Device->SetRenderTarget(0, surface), ResultOk); }

void RenderCoreTest::UseBackBuffer() { UseTarget(backBuffer); }

void RenderCoreTest::RememberBackBuffer() {
  if (backBuffer) backBuffer->Release();
  ASSERT_EQ(Device->GetRenderTarget(0, &backBuffer), ResultOk);
}

std::ostream& operator<<(std::ostream& out, const Rgba8& pixel) {
  return out << "(" << int(pixel.r) << ", " << int(pixel.g) << ", " << int(pixel.b) << ", " << int(pixel.a) << ")";
}

std::vector<Rgba8> ReadBytes(Surface* surface) {
  const auto toByte = [](float value) {
    return static_cast<uint8_t>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255));
  };
  std::vector<Rgba8> bytes;
  for (const Rgba& pixel : ReadPixels(surface))
    bytes.push_back(Rgba8{toByte(pixel.r), toByte(pixel.g), toByte(pixel.b), toByte(pixel.a)});
  return bytes;
}

Rgba8 ReadPixel(Surface* surface, uint32_t x, uint32_t y) {
  SurfaceDesc desc;
  surface->GetDesc(&desc);
  return ReadBytes(surface).at(size_t{y} * desc.width + x);
}

bool IsUniform(Surface* surface, Rgba8 expected) {
  const std::vector<Rgba8> pixels = ReadBytes(surface);
  return !pixels.empty() && std::all_of(pixels.begin(), pixels.end(), [&](Rgba8 pixel) { return pixel == expected; });
}

void DrawClipQuad(Effect** effect, const char* technique, float left, float bottom, float right, float top) {
  struct Vertex {
    float x, y, z, u, v;
  };
  const Vertex corners[4] = {
      {left, top, 0, 0, 0}, {right, top, 0, 1, 0}, {left, bottom, 0, 0, 1}, {right, bottom, 0, 1, 1}};
  // Clockwise on screen, the front faces' winding.
  const uint16_t indices[6] = {0, 1, 2, 2, 1, 3};
  Device->SetFVF(FvfXyz | FvfTex1);
  DrawEffectIndexedUP(effect, technique, corners, sizeof(Vertex), indices, 4, 2);
}

Texture* MakePatternTexture(uint32_t width, uint32_t height, const std::function<Rgba8(uint32_t, uint32_t)>& pattern) {
  Texture* texture = nullptr;
  if (Failed(Device->CreateTexture(width, height, 1, 0, FormatA8R8G8B8, PoolManaged, &texture, nullptr)))
    return nullptr;
  const Image image = MakeImage(width, height, pattern);
  const uint8_t* source = image.levels[0].bytes.data();
  const size_t rowBytes = size_t{width} * 4;
  LockedRect locked;
  texture->LockRect(0, &locked, nullptr, 0);
  for (uint32_t y = 0; y < height; ++y)
    std::memcpy(static_cast<uint8_t*>(locked.bits) + ptrdiff_t{locked.pitch} * y, source + rowBytes * y, rowBytes);
  texture->UnlockRect(0);
  return texture;
}

Rgba8 DistinctPattern(uint32_t x, uint32_t y) {
  return Rgba8{static_cast<uint8_t>(x), static_cast<uint8_t>(y), static_cast<uint8_t>(x * 7 + y * 13),
               static_cast<uint8_t>(128 + ((x + y) & 127))};
}

Image MakeImage(uint32_t width, uint32_t height, const std::function<Rgba8(uint32_t, uint32_t)>& pattern) {
  Image image;
  image.info = ImageInfo{width, height, 1, 1, PixelFormat::A8R8G8B8, ResourceKind::Texture2D};
  ImageLevel level{width, height, 1, {}};
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const Rgba8 pixel = pattern(x, y);
      // A8R8G8B8 keeps blue first in memory.
      level.bytes.insert(level.bytes.end(), {pixel.b, pixel.g, pixel.r, pixel.a});
    }
  }
  image.levels.push_back(std::move(level));
  return image;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(file.good()) << "cannot write " << path;
}

void WriteFile(const std::string& path, const std::string& text) {
  WriteFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

const char* KeepPath(const std::string& path) {
  // A deque never moves its elements, so each string's characters stay put.
  static std::deque<std::string> kept;
  return kept.emplace_back(path).c_str();
}
