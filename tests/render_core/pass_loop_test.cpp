// The pass loops and the effect pool: every pass draws, empty draws and null
// effects draw nothing, the states a pass sets are put back, and a shared
// value set through one effect reaches the others.
#include <algorithm>
#include <cstring>

#include "tests/render_core/render_test.h"

namespace {

constexpr Rgba8 White{255, 255, 255, 255};

// A triangle over the whole target in clip space, as vertices of
// FvfXyz | FvfTex1 and as the device's stream source.
constexpr float Triangle[3][5] = {{-1, 1, 0, 0, 0}, {3, 1, 0, 2, 0}, {-1, -3, 0, 0, 2}};
constexpr uint16_t TriangleIndices[3] = {0, 1, 2};

class RenderCorePassLoops : public RenderCoreTest {
 protected:
  void SetUp() override {
    RenderCoreTest::SetUp();
    if (HasFatalFailure()) return;
    target = LookupRenderTarget(LoopTarget, 8, 8, FormatA8R8G8B8);
    ASSERT_NE(target->surface, nullptr);
    UseTarget(target->surface);
    ASSERT_EQ(Device->CreateVertexBuffer(sizeof Triangle, 0, FvfXyz | FvfTex1, PoolManaged, &stream, nullptr),
              ResultOk);
    void* bytes = nullptr;
    stream->Lock(0, sizeof Triangle, &bytes, 0);
    std::memcpy(bytes, Triangle, sizeof Triangle);
    stream->Unlock();
    Device->SetStreamSource(0, stream, 0, sizeof Triangle[0]);
    Device->SetFVF(FvfXyz | FvfTex1);
  }
  void TearDown() override {
    if (Device) Device->SetStreamSource(0, nullptr, 0, 0);
    if (stream) stream->Release();
    RenderCoreTest::TearDown();
  }
  void DrawTriangleUP(Effect** effect, const char* technique, uint32_t vertexCount, uint32_t primitiveCount) {
    DrawEffectIndexedUP(effect, technique, Triangle, sizeof Triangle[0], TriangleIndices, vertexCount, primitiveCount);
  }
  static constexpr char LoopTarget[] = "TEST_LOOP";
  RenderTarget* target = nullptr;
  VertexBuffer* stream = nullptr;
};

RenderStateBlock CurrentStates() {
  RenderStateBlock block{};
  for (uint32_t i = 0; i < uint32_t(RenderState::Count); ++i) Device->GetRenderState(RenderState(i), &block.values[i]);
  return block;
}

bool SameStates(const RenderStateBlock& a, const RenderStateBlock& b) {
  return std::equal(std::begin(a.values), std::end(a.values), std::begin(b.values));
}

TEST_F(RenderCorePassLoops, ATechniqueWithTwoAdditivePassesDrawsTwice) {
  Device->Clear(0, nullptr, ClearTarget, 0xFF000000u, 1, 0);
  DrawClipQuad(probe, "AddQuarterTwice");
  // 0.25 rounds to 64/255 in the first pass; 64/255 + 0.25 rounds to 128/255.
  EXPECT_TRUE(IsUniform(target->surface, Rgba8{128, 128, 128, 255})) << ReadPixel(target->surface, 0, 0);
}

TEST_F(RenderCorePassLoops, ZeroCountsAndANullMeshRunThePassesWithoutDrawing) {
  const RenderStateBlock before = CurrentStates();
  DrawTriangleUP(probe, "AddQuarterTwice", 0, 1);
  DrawTriangleUP(probe, "AddQuarterTwice", 3, 0);
  DrawEffectTriangles(probe, "AddQuarterTwice", 0);
  Mesh* noMesh = nullptr;
  DrawEffectMesh(probe, "AddQuarterTwice", &noMesh);
  EXPECT_TRUE(IsUniform(target->surface, White)) << ReadPixel(target->surface, 0, 0);
  EXPECT_TRUE(SameStates(CurrentStates(), before));

  // The same draws with their counts do draw.
  for (const bool fromStream : {false, true}) {
    Device->Clear(0, nullptr, ClearTarget, 0xFF000000u, 1, 0);
    if (fromStream) DrawEffectTriangles(probe, "AddQuarterTwice", 1);
    else DrawTriangleUP(probe, "AddQuarterTwice", 3, 1);
    EXPECT_TRUE(IsUniform(target->surface, Rgba8{128, 128, 128, 255})) << ReadPixel(target->surface, 0, 0);
  }
}

TEST_F(RenderCorePassLoops, StatesSetByAPassAreBackToTheirPreviousValuesAfterTheLoop) {
  // Not the defaults, so putting back defaults would not pass.
  Device->SetRenderState(RenderState::CullMode, CullNone);
  Device->SetRenderState(RenderState::ZFunc, CompareLess);
  Device->SetRenderState(RenderState::DestBlend, BlendSrcColor);
  const RenderStateBlock before = CurrentStates();
  const Vec4 red{1, 0, 0, 1};
  (*probe)->SetVector("vColour", &red);
  DrawClipQuad(probe, "ChangeStates");
  EXPECT_TRUE(SameStates(CurrentStates(), before));

  // And on the GPU: a pass that leaves blending and the colour mask alone
  // writes every channel unblended again.
  Device->Clear(0, nullptr, ClearTarget, 0x000000FFu, 1, 0);
  DrawClipQuad(probe, "Fill");
  EXPECT_TRUE(IsUniform(target->surface, Rgba8{255, 0, 0, 255})) << ReadPixel(target->surface, 0, 0);
}

TEST_F(RenderCorePassLoops, ANullEffectSlotDrawsNothing) {
  static constexpr char MissingEffect[] = "tests/render_core/fx/missing.fx";
  Effect* empty = nullptr;
  Effect** failed = LookupEffect(MissingEffect);
  ASSERT_EQ(*failed, nullptr);
  Mesh* box = nullptr;
  ASSERT_EQ(CreateBox(Device, 4, 4, 4, &box, nullptr), ResultOk);
  for (Effect** slot : {&empty, failed}) {
    DrawTriangleUP(slot, "Fill", 3, 1);
    DrawEffectTriangles(slot, "Fill", 1);
    DrawEffectMesh(slot, "MeshNormals", &box);
  }
  EXPECT_TRUE(IsUniform(target->surface, White)) << ReadPixel(target->surface, 0, 0);
  box->Release();
}

// A value set through any effect of the pool reaches another at its next
// BeginPass, also after that effect has drawn with an older value.
TEST_F(RenderCorePassLoops, ASharedValueSetThroughOneEffectReachesTheOthersAtTheirNextPass) {
  Effect** other = LookupEffect(OtherProbeEffectPath);
  ASSERT_NE(*other, nullptr);
  Effect* shared = *LookupEffect(SharedEffectPath);
  ASSERT_NE(shared, nullptr);
  const struct {
    Effect* through;
    Vec4 colour;
    Rgba8 expected;
  } steps[] = {{*probe, {1, 0, 0, 1}, {255, 0, 0, 255}},
               {shared, {0, 1, 0, 1}, {0, 255, 0, 255}},
               {*other, {0, 0, 1, 1}, {0, 0, 255, 255}},
               {*probe, {1, 1, 0, 1}, {255, 255, 0, 255}}};
  for (const auto& step : steps) {
    ASSERT_EQ(step.through->SetVector("vConstColour", &step.colour), ResultOk);
    DrawClipQuad(other, "SharedColour");
    EXPECT_TRUE(IsUniform(target->surface, step.expected)) << ReadPixel(target->surface, 0, 0);
  }
}

}  // namespace
