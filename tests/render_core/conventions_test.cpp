// The conventions the program's numbers assume: texel-exact copies through a
// target's uvTransform, row 0 at the top, white new targets, clockwise front
// faces, unmasked clears and copies, and R32F sampling.
#include <algorithm>

#include "tests/render_core/render_test.h"

namespace {

constexpr Rgba8 Black{0, 0, 0, 255};
constexpr Rgba8 White{255, 255, 255, 255};

class RenderCoreConventions : public RenderCoreTest {};

// A point-sampled full-target copy through the target's uvTransform must land
// every texel on its own pixel; with the pixel-centre shift missing or the
// wrong way round each pixel reads its neighbour. Odd sizes, a very flat
// target and the back buffer.
constexpr char OddTarget[] = "TEST_37x23";
constexpr char FlatTarget[] = "TEST_200x3";

TEST_F(RenderCoreConventions, PointCopyThroughTheUVTransformReproducesTheSourceTexelForTexel) {
  struct CopyCase {
    const char* name;  // a render-target name, or null for the back buffer
    uint32_t width, height;
  };
  const CopyCase cases[] = {{OddTarget, 37, 23}, {FlatTarget, 200, 3}, {nullptr, 1024, 768}};
  ASSERT_TRUE(BeginFrame());
  for (const CopyCase& copy : cases) {
    SCOPED_TRACE(copy.name ? copy.name : "back buffer");
    Surface* target = FrameBackBuffer;
    Matrix uvTransform = BackBufferUVTransform;
    if (copy.name) {
      RenderTarget* made = LookupRenderTarget(copy.name, int32_t(copy.width), int32_t(copy.height), FormatA8R8G8B8);
      ASSERT_NE(made->surface, nullptr);
      target = made->surface;
      uvTransform = made->uvTransform;
    }
    SurfaceDesc desc;
    target->GetDesc(&desc);
    ASSERT_EQ(desc.width, copy.width);
    ASSERT_EQ(desc.height, copy.height);
    Texture* source = MakePatternTexture(copy.width, copy.height, DistinctPattern);
    ASSERT_NE(source, nullptr);
    (*probe)->SetTexture("tSource", source);
    SetTransforms(nullptr, nullptr, nullptr, &uvTransform);
    UseTarget(target);
    DrawClipQuad(probe, "Copy");
    (*probe)->SetTexture("tSource", nullptr);
    source->Release();

    const std::vector<Rgba8> pixels = ReadBytes(target);
    int mismatches = 0;
    for (uint32_t y = 0; y < copy.height; ++y) {
      for (uint32_t x = 0; x < copy.width; ++x) {
        const Rgba8 expected = DistinctPattern(x, y), got = pixels[size_t{y} * copy.width + x];
        if (got != expected && ++mismatches <= 3)
          ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << got << ", its texel is " << expected;
      }
    }
    EXPECT_EQ(mismatches, 0);
  }
  UseBackBuffer();
  EndFrame();
}

// Clip y = +1 is the top, so row 0 is the top row; clip x = -1 is column 0.
// A pixel is covered when its centre, on integer coordinates, lies inside
// the quad (left and top edges inclusive): edges 0.3 pixels past a centre
// show whether the shift is half a pixel of this target.
struct CoverCase {
  const char* label;
  float left, bottom, right, top;          // clip units
  bool (*covers)(uint32_t x, uint32_t y);  // on the 16 x 24 target
};

constexpr char CoverTarget[] = "TEST_16x24";
// Pixel coordinates on the 16 x 24 target to clip units.
constexpr float ClipX(float x) { return 2 * x / 16 - 1; }
constexpr float ClipY(float y) { return 1 - 2 * y / 24; }

TEST_F(RenderCoreConventions, QuadsCoverThePixelsWhoseCentresTheyContain) {
  const CoverCase cases[] = {
      {"top half", -1, 0, 1, 1, [](uint32_t, uint32_t y) { return y < 12; }},
      {"left half", -1, -1, 0, 1, [](uint32_t x, uint32_t) { return x < 8; }},
      {"bottom right quarter", 0, -1, 1, 0, [](uint32_t x, uint32_t y) { return x >= 8 && y >= 12; }},
      {"edges 0.3 pixels past the centres", ClipX(3.3f), ClipY(7.3f), ClipX(9.3f), ClipY(2.3f),
       [](uint32_t x, uint32_t y) { return x >= 4 && x <= 9 && y >= 3 && y <= 7; }},
  };
  RenderTarget* target = LookupRenderTarget(CoverTarget, 16, 24, FormatA8R8G8B8);
  const Vec4 red{1, 0, 0, 1};
  (*probe)->SetVector("vColour", &red);
  UseTarget(target->surface);
  for (const CoverCase& cover : cases) {
    SCOPED_TRACE(cover.label);
    Device->Clear(0, nullptr, ClearTarget, 0xFF000000u, 1, 0);
    DrawClipQuad(probe, "Fill", cover.left, cover.bottom, cover.right, cover.top);
    const std::vector<Rgba8> pixels = ReadBytes(target->surface);
    int wrong = 0;
    for (uint32_t y = 0; y < 24; ++y)
      for (uint32_t x = 0; x < 16; ++x)
        wrong += pixels[size_t{y} * 16 + x] != (cover.covers(x, y) ? Rgba8{255, 0, 0, 255} : Black);
    EXPECT_EQ(wrong, 0) << "pixel (0, 0) is " << pixels[0] << ", pixel (15, 23) is " << pixels.back();
  }
}

constexpr char FreshTarget[] = "TEST_FRESH";
constexpr char FreshFloatTarget[] = "TEST_FRESH_R32F";

TEST_F(RenderCoreConventions, NewColourTargetsReadOpaqueWhiteAlsoAfterALostDevice) {
  RenderTarget* colour = LookupRenderTarget(FreshTarget, 19, 7, FormatA8R8G8B8);
  RenderTarget* single = LookupRenderTarget(FreshFloatTarget, 8, 8, FormatR32F);
  EXPECT_TRUE(IsUniform(colour->surface, White));
  // R32F keeps only red; it reads back as (r, 0, 0, 1).
  EXPECT_TRUE(IsUniform(single->surface, Rgba8{255, 0, 0, 255}));

  // Paint them, so white afterwards comes from the new targets' fill.
  for (Surface* surface : {colour->surface, single->surface}) {
    UseTarget(surface);
    Device->Clear(0, nullptr, ClearTarget, 0xFF000000u, 1, 0);
  }
  ASSERT_TRUE(IsUniform(colour->surface, Black));
  UseBackBuffer();

  Device->SimulateWindowAway(true);
  EXPECT_FALSE(CheckDevice());
  EXPECT_TRUE(DeviceLost);
  EXPECT_EQ(colour->surface, nullptr);
  Device->SimulateWindowAway(false);
  // The first check after the window is back resets the device.
  ASSERT_TRUE(CheckDevice());
  ASSERT_FALSE(DeviceLost);
  RememberBackBuffer();
  ASSERT_NE(colour->surface, nullptr);
  EXPECT_TRUE(IsUniform(colour->surface, White));
  EXPECT_TRUE(IsUniform(single->surface, Rgba8{255, 0, 0, 255}));
}

// Front faces run clockwise on screen and the default cull mode drops the
// counter-clockwise ones, so a box shows exactly its outside. The colour is
// the face's normal, so the far face showing through the middle is caught too.
TEST_F(RenderCoreConventions, DefaultCullingShowsTheOutsideOfABoxAndNothingFromInside) {
  static constexpr char BoxTarget[] = "TEST_BOX_64";
  RenderTarget* target = LookupRenderTarget(BoxTarget, 64, 64, FormatA8R8G8B8);
  Mesh* box = nullptr;
  ASSERT_EQ(CreateBox(Device, 2, 2, 2, &box, nullptr), ResultOk);
  Matrix world, view, proj;
  MatrixIdentity(&world);
  const float fieldOfView = 1.0471976f;  // radians, a sixth of a turn
  MatrixPerspectiveFovLH(&proj, fieldOfView, 1, 0.1f, 100);
  const Vec3 up{0, 1, 0};
  UseTarget(target->surface);

  const auto drawFrom = [&](Vec3 eye, Vec3 at) {
    MatrixLookAtLH(&view, &eye, &at, &up);
    SetTransforms(&world, &view, &proj, nullptr);
    Device->Clear(0, nullptr, ClearTarget | ClearZBuffer, 0xFF000000u, 1, 0);
    DrawEffectMesh(probe, "MeshNormals", &box);
    return ReadBytes(target->surface);
  };

  const std::vector<Rgba8> outside = drawFrom(Vec3{0, 0, -5}, Vec3{0, 0, 0});
  // The near face, normal (0, 0, -1), fills the middle; the corners show nothing.
  EXPECT_EQ(outside[32 * 64 + 32], (Rgba8{128, 128, 0, 255}));
  EXPECT_EQ(outside[0], Black);

  const std::vector<Rgba8> inside = drawFrom(Vec3{0, 0, 0}, Vec3{0, 0, 1});
  EXPECT_TRUE(std::all_of(inside.begin(), inside.end(), [](Rgba8 pixel) { return pixel == Black; }))
      << "the middle pixel shows " << inside[32 * 64 + 32];
  box->Release();
}

// Clear and StretchRect are whole-target operations: the colour write mask a
// pass leaves behind must not thin them out, and must still hold afterwards.
TEST_F(RenderCoreConventions, ClearIgnoresTheColourWriteMaskAndLeavesItInPlace) {
  static constexpr char MaskedTarget[] = "TEST_MASKED";
  RenderTarget* target = LookupRenderTarget(MaskedTarget, 8, 8, FormatA8R8G8B8);
  UseTarget(target->surface);
  Device->SetRenderState(RenderState::ColorWriteEnable, 0);
  Device->Clear(0, nullptr, ClearTarget, 0x80204060u, 1, 0);
  EXPECT_TRUE(IsUniform(target->surface, Rgba8{0x20, 0x40, 0x60, 0x80})) << ReadPixel(target->surface, 0, 0);

  uint32_t mask = 99;
  Device->GetRenderState(RenderState::ColorWriteEnable, &mask);
  EXPECT_EQ(mask, 0u);
  const Vec4 red{1, 0, 0, 1};
  (*probe)->SetVector("vColour", &red);
  DrawClipQuad(probe, "Fill");
  EXPECT_TRUE(IsUniform(target->surface, Rgba8{0x20, 0x40, 0x60, 0x80})) << "a masked draw wrote "
                                                                         << ReadPixel(target->surface, 0, 0);
}

TEST_F(RenderCoreConventions, StretchRectCopiesTheBackBufferExactlyWhateverTheColourMask) {
  static constexpr char CopyTarget[] = "TEST_BACK_COPY";
  RenderTarget* copy = LookupRenderTarget(CopyTarget, -1, -1, FormatA8R8G8B8);
  ASSERT_TRUE(BeginFrame());
  Texture* source = MakePatternTexture(BackBufferSize.width, BackBufferSize.height, DistinctPattern);
  (*probe)->SetTexture("tSource", source);
  SetTransforms(nullptr, nullptr, nullptr, &BackBufferUVTransform);
  DrawClipQuad(probe, "Copy");
  (*probe)->SetTexture("tSource", nullptr);
  source->Release();

  Device->SetRenderState(RenderState::ColorWriteEnable, 0);
  ASSERT_EQ(Device->StretchRect(FrameBackBuffer, nullptr, copy->surface, nullptr, FilterPoint), ResultOk);
  const std::vector<Rgba8> drawn = ReadBytes(FrameBackBuffer), copied = ReadBytes(copy->surface);
  EXPECT_EQ(drawn[0], DistinctPattern(0, 0));
  EXPECT_EQ(drawn.back(), DistinctPattern(BackBufferSize.width - 1, BackBufferSize.height - 1));
  EXPECT_TRUE(drawn == copied);
  EndFrame();
}

// The platform's R32F textures sample as (r, 1, 1, 1); GL alone gives
// (r, 0, 0, 1).
TEST_F(RenderCoreConventions, R32FTexturesSampleOneInGreenBlueAndAlpha) {
  static constexpr char SampledTarget[] = "TEST_R32F_SAMPLED";
  Texture* single = nullptr;
  ASSERT_EQ(Device->CreateTexture(4, 4, 1, 0, FormatR32F, PoolManaged, &single, nullptr), ResultOk);
  LockedRect locked;
  ASSERT_EQ(single->LockRect(0, &locked, nullptr, 0), ResultOk);
  for (uint32_t y = 0; y < 4; ++y) {
    float* row = reinterpret_cast<float*>(static_cast<uint8_t*>(locked.bits) + ptrdiff_t{locked.pitch} * y);
    for (uint32_t x = 0; x < 4; ++x) row[x] = 0.25f;
  }
  single->UnlockRect(0);
  RenderTarget* target = LookupRenderTarget(SampledTarget, 4, 4, FormatA8R8G8B8);
  (*probe)->SetTexture("tSource", single);
  SetTransforms(nullptr, nullptr, nullptr, &target->uvTransform);
  UseTarget(target->surface);
  DrawClipQuad(probe, "Copy");
  EXPECT_TRUE(IsUniform(target->surface, Rgba8{64, 255, 255, 255})) << ReadPixel(target->surface, 0, 0);
  (*probe)->SetTexture("tSource", nullptr);
  single->Release();
}

}  // namespace
