// render_test: the fixture and small drawing helpers the render-core tests
// share.
//
// What it does: RenderCoreTest opens the program's device headless before
// each test, resets the shared transforms as start-up does and loads the
// probe effect (tests/render_core/fx/probe.fx). It shuts the device down
// after, with the back buffer bound again: a device holding one of our
// targets, which holds the device, would never be destroyed. The helpers
// draw clip-space quads, make patterned textures, read targets back as bytes
// and write files.
// What it does not: keep anything between tests; every test runs in its own
// process because the registries and the device are process-wide.
// Lifetime: the fixture's device lives from SetUp to TearDown; pointers the
// helpers return follow the render core's own rules (registry records stay
// put, textures made here belong to the caller).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "platform/dds.h"
#include "tests/support/temp_directory.h"
#include "tests/support/headless.h"

// The test effects, by address like every registry key.
inline constexpr char ProbeEffectPath[] = "tests/render_core/fx/probe.fx";
inline constexpr char OtherProbeEffectPath[] = "tests/render_core/fx/probe_other.fx";

class RenderCoreTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Binds a colour surface as render target 0 (the device's depth surface stays).
  void UseTarget(Surface* surface);
  void UseBackBuffer();
  // Takes render target 0 as the back buffer UseBackBuffer binds; call it
  // again after a reset, which makes a new back buffer.
  void RememberBackBuffer();
  Surface* backBuffer = nullptr;  // a reference held from SetUp to TearDown
  Effect** probe = nullptr;       // the probe effect's registry slot, loaded in SetUp
};

// One byte per channel in the order red, green, blue, alpha, as read back.
struct Rgba8 {
  uint8_t r = 0, g = 0, b = 0, a = 0;
  bool operator==(const Rgba8&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Rgba8& pixel);

// Reads a colour surface back, row 0 at the top, rounded to bytes.
std::vector<Rgba8> ReadBytes(Surface* surface);
Rgba8 ReadPixel(Surface* surface, uint32_t x, uint32_t y);
// The same value in every pixel of the surface.
bool IsUniform(Surface* surface, Rgba8 expected);

// A quad from (left, bottom) to (right, top) in clip units, texture
// coordinates 0 at the top left, drawn through every pass of technique.
void DrawClipQuad(Effect** effect, const char* technique, float left = -1, float bottom = -1, float right = 1,
                  float top = 1);

// A managed A8R8G8B8 texture of width x height pixels whose pixel (x, y),
// row 0 at the top, is pattern(x, y). The caller releases it.
Texture* MakePatternTexture(uint32_t width, uint32_t height, const std::function<Rgba8(uint32_t, uint32_t)>& pattern);
// A pattern with a different value in every pixel of images up to 256 x 256
// pixels, alpha included.
Rgba8 DistinctPattern(uint32_t x, uint32_t y);

// A one-level A8R8G8B8 2-D image whose pixel (x, y) is pattern(x, y).
Image MakeImage(uint32_t width, uint32_t height, const std::function<Rgba8(uint32_t, uint32_t)>& pattern);
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
void WriteFile(const std::string& path, const std::string& text);

// Registry keys are addresses: keeps a copy of path at one address until the
// process ends and returns that address.
const char* KeepPath(const std::string& path);
