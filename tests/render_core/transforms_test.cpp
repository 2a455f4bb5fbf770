// The shared transforms: which parameters each call sets, the values they
// get, and how a shared value reaches other effects and the GPU.
#include <algorithm>
#include <cmath>
#include <set>
#include <string>

#include "tests/render_core/render_test.h"

namespace {

class RenderCoreTransforms : public RenderCoreTest {
 protected:
  void SetUp() override {
    RenderCoreTest::SetUp();
    if (HasFatalFailure()) return;
    shared = *LookupEffect(SharedEffectPath);
    ASSERT_NE(shared, nullptr);
    const Vec3 eye{3, 4, 5}, at{0, 0, 0}, up{0, 1, 0};
    MatrixTranslation(&world, 1, 2, 3);
    MatrixLookAtLH(&view, &eye, &at, &up);
    MatrixPerspectiveFovLH(&proj, Pi / 3, 4.0f / 3.0f, 0.5f, 50);
    BuildUVTransform(&bias, 64, 32);
  }
  static constexpr float Pi = 3.14159265358979f;
  Effect* shared = nullptr;
  Matrix world, view, proj, bias;
};

Matrix Filled(float value) {
  Matrix matrix;
  for (auto& row : matrix.m)
    for (float& element : row) element = value;
  return matrix;
}

bool Near(const Matrix& a, const Matrix& b, float tolerance = 1e-4f) {
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 4; ++column)
      if (std::fabs(a.m[row][column] - b.m[row][column]) > tolerance * std::max(1.0f, std::fabs(b.m[row][column])))
        return false;
  return true;
}

std::string Describe(const Matrix& matrix) {
  std::string text;
  for (const auto& row : matrix.m)
    text += "(" + std::to_string(row[0]) + ", " + std::to_string(row[1]) + ", " + std::to_string(row[2]) + ", " +
            std::to_string(row[3]) + ") ";
  return text;
}

constexpr const char* SharedMatrices[] = {"mWorld",    "mView",      "mProj",          "mBias",
                                          "mViewProj", "mInvView",   "mInvProj",       "mFrustum",
                                          "mWorldView", "mWorldViewProj", "mViewProjBias", "mProjBias",
                                          "mShadowViewProjBias"};

using NameSet = std::set<std::string>;

// Which shared parameters SetTransforms writes for each argument given.
const NameSet SetByWorld = {"mWorld", "mWorldView", "mWorldViewProj"};
const NameSet SetByView = {"mView",     "mViewProj",  "mInvView",       "vEyePos",       "mInvProj",
                           "mFrustum",  "mWorldView", "mWorldViewProj", "mViewProjBias", "mProjBias"};
const NameSet SetByProj = {"mProj",    "mViewProj",      "mInvView",      "vEyePos",  "mInvProj",
                           "mFrustum", "mWorldViewProj", "mViewProjBias", "mProjBias"};
const NameSet SetByBias = {"mBias", "mViewProjBias", "mProjBias"};

TEST_F(RenderCoreTransforms, EachArgumentPatternSetsExactlyItsParameters) {
  struct Pattern {
    bool world, view, proj, bias;
  };
  const Pattern patterns[] = {{true, false, false, false}, {false, true, false, false}, {false, false, true, false},
                              {false, false, false, true}, {true, true, false, false},  {false, true, true, true},
                              {true, false, false, true},  {true, true, true, true},    {false, false, false, false}};
  const Matrix sentinel = Filled(7);
  const Vec4 sentinelVector{7, 7, 7, 7};
  for (const Pattern& pattern : patterns) {
    SCOPED_TRACE(std::string("world ") + (pattern.world ? "yes" : "no") + ", view " + (pattern.view ? "yes" : "no") +
                 ", proj " + (pattern.proj ? "yes" : "no") + ", bias " + (pattern.bias ? "yes" : "no"));
    for (const char* name : SharedMatrices) shared->SetMatrix(name, &sentinel);
    shared->SetVector("vEyePos", &sentinelVector);

    SetTransforms(pattern.world ? &world : nullptr, pattern.view ? &view : nullptr, pattern.proj ? &proj : nullptr,
                  pattern.bias ? &bias : nullptr);

    NameSet expected;
    if (pattern.world) expected.insert(SetByWorld.begin(), SetByWorld.end());
    if (pattern.view) expected.insert(SetByView.begin(), SetByView.end());
    if (pattern.proj) expected.insert(SetByProj.begin(), SetByProj.end());
    if (pattern.bias) expected.insert(SetByBias.begin(), SetByBias.end());
    NameSet changed;
    for (const char* name : SharedMatrices) {
      Matrix value;
      ASSERT_EQ(shared->GetMatrix(name, &value), ResultOk) << name;
      if (!Near(value, sentinel, 0)) changed.insert(name);
    }
    Vec4 eye;
    shared->GetVector("vEyePos", &eye);
    if (eye.x != 7 || eye.y != 7 || eye.z != 7 || eye.w != 7) changed.insert("vEyePos");
    EXPECT_EQ(changed, expected);
  }
}

TEST_F(RenderCoreTransforms, DerivedParametersAreTheProductsAndInversesOfTheGivenMatrices) {
  SetTransforms(&world, &view, &proj, &bias);
  Matrix viewProj, worldView, worldViewProj, viewProjBias, projBias, product;
  MatrixMultiply(&viewProj, &view, &proj);
  MatrixMultiply(&worldView, &world, &view);
  MatrixMultiply(&worldViewProj, &worldView, &proj);
  MatrixMultiply(&viewProjBias, &viewProj, &bias);
  MatrixMultiply(&projBias, &proj, &bias);
  const struct {
    const char* name;
    const Matrix& expected;
  } products[] = {{"mViewProj", viewProj},           {"mWorldView", worldView}, {"mWorldViewProj", worldViewProj},
                  {"mViewProjBias", viewProjBias}, {"mProjBias", projBias}};
  for (const auto& [name, expected] : products) {
    Matrix value;
    shared->GetMatrix(name, &value);
    EXPECT_TRUE(Near(value, expected)) << name << " is " << Describe(value);
  }
  Matrix identity, inverseView, inverseProj;
  MatrixIdentity(&identity);
  shared->GetMatrix("mInvView", &inverseView);
  shared->GetMatrix("mInvProj", &inverseProj);
  EXPECT_TRUE(Near(*MatrixMultiply(&product, &view, &inverseView), identity));
  EXPECT_TRUE(Near(*MatrixMultiply(&product, &proj, &inverseProj), identity));
}

TEST_F(RenderCoreTransforms, BiasProductsAreZeroUntilTheFirstBias) {
  SetTransforms(&world, &view, &proj, nullptr);
  for (const char* name : {"mViewProjBias", "mProjBias"}) {
    Matrix value;
    shared->GetMatrix(name, &value);
    EXPECT_TRUE(Near(value, Filled(0), 0)) << name << " is " << Describe(value);
  }
}

TEST_F(RenderCoreTransforms, TheEyePositionAndFrustumFollowTheCamera) {
  SetTransforms(nullptr, &view, &proj, nullptr);
  Vec4 eye;
  shared->GetVector("vEyePos", &eye);
  EXPECT_NEAR(eye.x, 3, 1e-5);
  EXPECT_NEAR(eye.y, 4, 1e-5);
  EXPECT_NEAR(eye.z, 5, 1e-5);
  EXPECT_EQ(eye.w, 1);

  // (X, Y, 0, 1) x mFrustum is the view ray (X fx, Y fy, 1) through a
  // normalised screen position.
  Matrix frustum;
  shared->GetMatrix("mFrustum", &frustum);
  const float fy = std::tan(Pi / 6), fx = fy * 4 / 3;
  EXPECT_NEAR(frustum.m[0][0], fx, 1e-5);
  EXPECT_NEAR(frustum.m[1][1], fy, 1e-5);
  EXPECT_NEAR(frustum.m[3][2], 1, 1e-6);
  EXPECT_EQ(frustum.m[0][1], 0);
  EXPECT_EQ(frustum.m[1][0], 0);
  EXPECT_EQ(frustum.m[2][2], 0);
}

// Row 0 of mWorld comes out as the colour; distinct other rows show a
// transposed upload as a wrong green, blue or alpha.
TEST_F(RenderCoreTransforms, ASharedValueSetThroughTheSharedEffectReachesOtherEffectsAndTheGpu) {
  static constexpr char RowTarget[] = "TEST_ROW";
  const Matrix rows{{{0.25f, 0.5f, 0.75f, 1.0f}, {0.1f, 0.2f, 0.3f, 0.4f}, {0.6f, 0.7f, 0.8f, 0.9f}, {0, 0, 0, 0}}};
  ASSERT_EQ(shared->SetMatrix("mWorld", &rows), ResultOk);
  Matrix seen;
  ASSERT_EQ((*probe)->GetMatrix("mWorld", &seen), ResultOk);
  EXPECT_TRUE(Near(seen, rows, 0));

  RenderTarget* target = LookupRenderTarget(RowTarget, 4, 4, FormatA8R8G8B8);
  UseTarget(target->surface);
  DrawClipQuad(probe, "WorldRow");
  EXPECT_TRUE(IsUniform(target->surface, Rgba8{64, 128, 191, 255})) << ReadPixel(target->surface, 0, 0);
}

}  // namespace
