// Named render targets: the size rules, the lost-device sweeps and resets,
// and a clean shut-down.
#include "tests/render_core/render_test.h"

namespace {

class RenderCoreRenderTargets : public RenderCoreTest {};

struct Size {
  uint32_t width, height;  // pixels
  bool operator==(const Size&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Size& size) { return out << size.width << "x" << size.height; }

Size SizeOf(const Surface* surface) {
  SurfaceDesc desc;
  surface->GetDesc(&desc);
  return Size{desc.width, desc.height};
}

constexpr char FixedTarget[] = "TEST_FIXED";
constexpr char DepthTarget[] = "TEST_DEPTH";

// Divisors take the back-buffer size as last read, rounding down; the
// uvTransform follows the size the target got.
TEST_F(RenderCoreRenderTargets, SizeRulesDivideTheBackBufferSizeLastRead) {
  static constexpr char Half1280[] = "TEST_HALF_1280x1024";
  static constexpr char Half1023[] = "TEST_HALF_1280x1023";
  static constexpr char Mixed[] = "TEST_100_QUARTER";
  struct SizeCase {
    const char* name;
    BackBufferExtent backBuffer;
    int32_t width, height;  // as requested
    Format format;
    Size expected;
  };
  const SizeCase cases[] = {
      {Half1280, {1280, 1024}, -2, -2, FormatA8R8G8B8, {640, 512}},
      {Half1023, {1280, 1023}, -2, -2, FormatA8R8G8B8, {640, 511}},
      {Mixed, {1024, 768}, 100, -4, FormatR32F, {100, 192}},
      {Target1024R32F, {1024, 768}, 1024, 1024, FormatR32F, {1024, 1024}},
  };
  for (const SizeCase& size : cases) {
    SCOPED_TRACE(size.name);
    BackBufferSize = size.backBuffer;
    RenderTarget* target = LookupRenderTarget(size.name, size.width, size.height, size.format);
    ASSERT_NE(target->surface, nullptr);
    EXPECT_EQ(SizeOf(target->surface), size.expected);
    EXPECT_EQ((Size{target->desc.width, target->desc.height}), size.expected);
    const float* row3 = target->uvTransform.m[3];
    EXPECT_FLOAT_EQ(row3[0], 0.5f + 0.5f / float(size.expected.width));
    EXPECT_FLOAT_EQ(row3[1], 0.5f + 0.5f / float(size.expected.height));
    EXPECT_EQ(row3[2], 0);
    EXPECT_EQ(row3[3], 1);
  }
  // The show's 1024-pixel target, to the last bit.
  const Matrix& uv = RenderTargetRegistry[Target1024R32F].uvTransform;
  EXPECT_EQ(uv.m[3][0], 0.5f + 0.5f / 1024);
  EXPECT_EQ(uv.m[3][1], 0.5f + 0.5f / 1024);
}

TEST_F(RenderCoreRenderTargets, ASecondRequestWithOtherSizesOrFormatReturnsTheFirstTargetUnchanged) {
  RenderTarget* first = LookupRenderTarget(FixedTarget, 32, 16, FormatA8R8G8B8);
  Texture* texture = first->texture;
  RenderTarget* second = LookupRenderTarget(FixedTarget, 64, -2, FormatR32F);
  EXPECT_EQ(second, first);
  EXPECT_EQ(second->texture, texture);
  EXPECT_EQ(second->desc.format, FormatA8R8G8B8);
  EXPECT_EQ(SizeOf(second->surface), (Size{32, 16}));
  EXPECT_EQ(second->heightDivisor, 0u);
}

TEST_F(RenderCoreRenderTargets, DepthTargetsHaveASurfaceAndNoTexture) {
  RenderTarget* depth = LookupRenderTarget(DepthTarget, 64, 32, FormatD24S8);
  EXPECT_EQ(depth->texture, nullptr);
  ASSERT_NE(depth->surface, nullptr);
  EXPECT_EQ(depth->desc.type, ResourceTexture);
  SurfaceDesc desc;
  depth->surface->GetDesc(&desc);
  EXPECT_EQ(desc.format, FormatD24S8);
  EXPECT_EQ(desc.usage, uint32_t{UsageDepthStencil});
  EXPECT_EQ((Size{desc.width, desc.height}), (Size{64, 32}));
}

TEST_F(RenderCoreRenderTargets, ALossReleasesEveryTargetAndTheRestoreRemakesThemAtTheirSizes) {
  LookupRenderTarget(FixedTarget, 40, 30, FormatA8R8G8B8);
  LookupRenderTarget(TargetHsA8R8G8B8, -2, -2, FormatA8R8G8B8);
  LookupRenderTarget(Target1024R32F, 1024, 1024, FormatR32F);
  LookupRenderTarget(DepthTarget, 64, 32, FormatD24S8);
  const std::map<const char*, Size> expected = {
      {FixedTarget, {40, 30}}, {TargetHsA8R8G8B8, {512, 384}}, {Target1024R32F, {1024, 1024}}, {DepthTarget, {64, 32}}};
  ASSERT_EQ(RenderTargetRegistry.size(), expected.size());

  ReleaseDeviceResources();
  for (const auto& [name, target] : RenderTargetRegistry) {
    EXPECT_EQ(target.texture, nullptr) << name;
    EXPECT_EQ(target.surface, nullptr) << name;
  }
  ASSERT_EQ(Device->Reset(&PresentParams), ResultOk);
  RememberBackBuffer();
  RestoreDeviceResources();
  for (const auto& [name, target] : RenderTargetRegistry) {
    ASSERT_NE(target.surface, nullptr) << name;
    EXPECT_EQ(SizeOf(target.surface), expected.at(name)) << name;
    EXPECT_EQ(target.texture == nullptr, name == DepthTarget) << name;
  }
}

TEST_F(RenderCoreRenderTargets, AfterAResetHalfSizeTargetsTakeHalfOfTheBackBufferSizeLastRead) {
  RenderTarget* half = LookupRenderTarget(TargetHsA8R8G8B8, -2, -2, FormatA8R8G8B8);
  RenderTarget* fixed = LookupRenderTarget(FixedTarget, 40, 30, FormatA8R8G8B8);
  ASSERT_EQ(SizeOf(half->surface), (Size{512, 384}));
  ReleaseDeviceResources();
  ASSERT_EQ(Device->Reset(&PresentParams), ResultOk);
  RememberBackBuffer();
  BackBufferSize = BackBufferExtent{800, 600};
  RestoreDeviceResources();
  EXPECT_EQ(SizeOf(half->surface), (Size{400, 300}));
  EXPECT_FLOAT_EQ(half->uvTransform.m[3][0], 0.5f + 0.5f / 400);
  EXPECT_EQ(SizeOf(fixed->surface), (Size{40, 30}));
}

// A reset is refused while anything of the default pool lives: each of these
// references, kept past the sweep, must block it until it goes.
TEST_F(RenderCoreRenderTargets, ResetIsRefusedWhileADefaultPoolObjectIsStillReferenced) {
  RenderTarget* colour = LookupRenderTarget(FixedTarget, 40, 30, FormatA8R8G8B8);
  RenderTarget* depth = LookupRenderTarget(DepthTarget, 64, 32, FormatD24S8);
  EXPECT_EQ(Device->Reset(&PresentParams), ResultInvalidCall);

  struct Holder {
    const char* label;
    GpuObject* (*held)(RenderTarget* colour, RenderTarget* depth);
  };
  const Holder holders[] = {
      {"colour texture", [](RenderTarget* c, RenderTarget*) -> GpuObject* { return c->texture; }},
      {"colour surface", [](RenderTarget* c, RenderTarget*) -> GpuObject* { return c->surface; }},
      {"depth surface", [](RenderTarget*, RenderTarget* d) -> GpuObject* { return d->surface; }},
  };
  for (const Holder& holder : holders) {
    SCOPED_TRACE(holder.label);
    GpuObject* object = holder.held(colour, depth);
    ASSERT_NE(object, nullptr);
    object->AddRef();
    ReleaseDeviceResources();
    EXPECT_EQ(Device->Reset(&PresentParams), ResultInvalidCall);
    object->Release();
    EXPECT_EQ(Device->Reset(&PresentParams), ResultOk);
    RememberBackBuffer();
    RestoreDeviceResources();
  }
}

// Effects let go of render-target textures at the loss, their own parameters
// and shared ones alike, so holding one there does not block the reset.
TEST_F(RenderCoreRenderTargets, TargetsHeldByEffectParametersDoNotBlockTheReset) {
  RenderTarget* colour = LookupRenderTarget(FixedTarget, 40, 30, FormatA8R8G8B8);
  ASSERT_EQ((*probe)->SetTexture("tSource", colour->texture), ResultOk);
  ASSERT_EQ((*probe)->SetTexture("tShadowTexture", colour->texture), ResultOk);
  ReleaseDeviceResources();
  EXPECT_EQ(Device->Reset(&PresentParams), ResultOk);
  RememberBackBuffer();
  RestoreDeviceResources();
}

TEST_F(RenderCoreRenderTargets, ReleasingTheRegistriesNullsEverythingAndShutDownLeavesNoObject) {
  LookupRenderTarget(FixedTarget, 40, 30, FormatA8R8G8B8);
  LookupRenderTarget(DepthTarget, 64, 32, FormatD24S8);
  LookupTexture(WhiteTexturePath);
  LookupTexture(NoiseVolumeTexturePath);
  LookupEffect(SharedEffectPath);
  (*probe)->SetTexture("tSource", LookupTexture(WhiteTexturePath)->texture);
  (*probe)->SetTexture("tShadowTexture", LookupTexture(WhiteTexturePath)->texture);
  Mesh* box = nullptr;
  CreateBox(Device, 1, 1, 1, &box, nullptr);
  DrawEffectMesh(probe, "MeshNormals", &box);
  box->Release();

  ReleaseRegistryResources();
  for (const auto& [path, effect] : EffectRegistry) EXPECT_EQ(effect, nullptr) << path;
  for (const auto& [path, record] : TextureRegistry) EXPECT_EQ(record.texture, nullptr) << path;
  for (const auto& [name, target] : RenderTargetRegistry) {
    EXPECT_EQ(target.texture, nullptr) << name;
    EXPECT_EQ(target.surface, nullptr) << name;
  }
  EXPECT_EQ(EffectRegistry.size(), 2u);
  EXPECT_EQ(TextureRegistry.size(), 2u);

  UseBackBuffer();
  backBuffer->Release();
  backBuffer = nullptr;
  CloseHeadlessDevice();
  EXPECT_EQ(Device, nullptr);
  EXPECT_EQ(LiveGpuObjectCount(), 0u);
}

}  // namespace
