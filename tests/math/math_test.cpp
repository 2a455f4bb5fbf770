// Checks the platform maths against values worked out by hand, in the
// row-vector, left-handed convention (p' = p x M, translation in row 3).
#include "platform/math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr float kPi = std::numbers::pi_v<float>;
constexpr float kTolerance = 1e-5f;

testing::AssertionResult MatricesNear(const Matrix& actual, const Matrix& expected,
                                      float tolerance = kTolerance) {
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) {
      const float difference = std::fabs(actual.m[row][column] - expected.m[row][column]);
      if (!(difference <= tolerance)) {
        return testing::AssertionFailure()
               << "m[" << row << "][" << column << "] is " << actual.m[row][column] << ", expected "
               << expected.m[row][column];
      }
    }
  }
  return testing::AssertionSuccess();
}

testing::AssertionResult VectorsNear(const Vec3& actual, const Vec3& expected,
                                     float tolerance = kTolerance) {
  if (std::fabs(actual.x - expected.x) <= tolerance &&
      std::fabs(actual.y - expected.y) <= tolerance &&
      std::fabs(actual.z - expected.z) <= tolerance) {
    return testing::AssertionSuccess();
  }
  return testing::AssertionFailure()
         << "(" << actual.x << ", " << actual.y << ", " << actual.z << "), expected (" << expected.x
         << ", " << expected.y << ", " << expected.z << ")";
}

testing::AssertionResult PlanesNear(const Plane& actual, const Plane& expected) {
  if (std::fabs(actual.a - expected.a) <= kTolerance &&
      std::fabs(actual.b - expected.b) <= kTolerance &&
      std::fabs(actual.c - expected.c) <= kTolerance &&
      std::fabs(actual.d - expected.d) <= kTolerance) {
    return testing::AssertionSuccess();
  }
  return testing::AssertionFailure()
         << "(" << actual.a << ", " << actual.b << ", " << actual.c << ", " << actual.d
         << "), expected (" << expected.a << ", " << expected.b << ", " << expected.c << ", "
         << expected.d << ")";
}

Matrix Identity() {
  Matrix identity;
  MatrixIdentity(&identity);
  return identity;
}

Vec3 TransformPoint(const Vec3& point, const Matrix& m) {
  Vec3 result;
  Vec3TransformCoord(&result, &point, &m);
  return result;
}

float PlaneValue(const Plane& plane, const Vec3& point) {
  return plane.a * point.x + plane.b * point.y + plane.c * point.z + plane.d;
}

// Invertible, integer, and with no zero entry (so no cofactor term drops
// out): the product of a unit lower-triangular matrix and an upper-triangular
// one with diagonal (1, 1, 1, 2), so det = 2.
const Matrix kDense{{{1, 3, -1, -1}, {-2, -5, 1, 4}, {1, 5, -2, 5}, {1, 4, -1, 5}}};
// Its inverse, adjugate / 2. E.g. [0][0]: the minor without row 0 and column 0,
// |-5 1 4; 5 -2 5; 4 -1 5| = -5(-10 + 5) - 1(25 - 20) + 4(-5 + 8) = 32, so 16.
const Matrix kDenseInverse{
    {{16, 6.5f, -7.5f, 5.5f}, {-7, -3, 3, -2}, {-7, -3, 2, -1}, {1, 0.5f, -0.5f, 0.5f}}};

TEST(MathBasics, IdentityScalingTranslationAndTheirOrder) {
  EXPECT_TRUE(
      MatricesNear(Identity(), Matrix{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}}));

  Matrix scaling, translation;
  MatrixScaling(&scaling, 2, 3, 4);
  MatrixTranslation(&translation, 1, 2, 3);
  EXPECT_TRUE(
      MatricesNear(scaling, Matrix{{{2, 0, 0, 0}, {0, 3, 0, 0}, {0, 0, 4, 0}, {0, 0, 0, 1}}}));
  EXPECT_TRUE(
      MatricesNear(translation, Matrix{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {1, 2, 3, 1}}}));

  // Scale first, then translate: (1,1,1) -> (2,3,4) -> (3,5,7).
  Matrix world;
  MatrixMultiply(&world, &scaling, &translation);
  EXPECT_TRUE(VectorsNear(TransformPoint({1, 1, 1}, world), {3, 5, 7}));
  // Translate first, then scale: (1,1,1) -> (2,3,4) -> (4,9,16).
  MatrixMultiply(&world, &translation, &scaling);
  EXPECT_TRUE(VectorsNear(TransformPoint({1, 1, 1}, world), {4, 9, 16}));
}

TEST(MathMultiply, DenseProductIsRowTimesColumn) {
  const Matrix a{{{1, 2, 0, 0}, {0, 1, 0, 3}, {2, 0, 1, 0}, {0, 0, 1, 1}}};
  const Matrix b{{{1, 0, 0, 1}, {0, 2, 0, 0}, {1, 0, 1, 0}, {0, 1, 0, 1}}};
  // (a x b)[1][1] = row 1 of a . column 1 of b = 0*0 + 1*2 + 0*0 + 3*1 = 5;
  // (b x a)[1][3] = row 1 of b . column 3 of a = 0*0 + 2*3 + 0*0 + 0*1 = 6.
  Matrix product;
  MatrixMultiply(&product, &a, &b);
  EXPECT_TRUE(
      MatricesNear(product, Matrix{{{1, 4, 0, 1}, {0, 5, 0, 3}, {3, 0, 1, 2}, {1, 1, 1, 1}}}));
  MatrixMultiply(&product, &b, &a);
  EXPECT_TRUE(
      MatricesNear(product, Matrix{{{1, 2, 1, 1}, {0, 2, 0, 6}, {3, 2, 1, 0}, {0, 1, 1, 4}}}));
}

TEST(MathTranspose, SwapsRowsAndColumns) {
  Matrix transposed;
  MatrixTranspose(&transposed, &kDense);
  EXPECT_TRUE(MatricesNear(transposed,
                           Matrix{{{1, -2, 1, 1}, {3, -5, 5, 4}, {-1, 1, -2, -1}, {-1, 4, 5, 5}}}));
}

struct InverseCase {
  std::string name;
  Matrix original;
  float determinant;
};

std::vector<InverseCase> InverseCases() {
  Matrix scaleRotateTranslate, rotation, translation, projection, lookAt;
  MatrixScaling(&scaleRotateTranslate, 2, 0.5f, 3);
  const Vec3 axis{1, 2, 3};
  MatrixRotationAxis(&rotation, &axis, 0.7f);
  MatrixTranslation(&translation, -4, 5, 6);
  MatrixMultiply(&scaleRotateTranslate, &scaleRotateTranslate, &rotation);
  MatrixMultiply(&scaleRotateTranslate, &scaleRotateTranslate, &translation);
  MatrixPerspectiveFovLH(&projection, kPi / 3, 4.0f / 3.0f, 1, 100);
  const Vec3 eye{3, 4, 5}, at{0, 0, 0}, up{0, 1, 0};
  MatrixLookAtLH(&lookAt, &eye, &at, &up);
  // Projection determinant: xScale * yScale * |zf/(zf-zn) 1; -zn*zf/(zf-zn) 0|
  // = (3 sqrt3 / 4)(sqrt3)(0 + 100/99) = 900 / 396.  Look-at: a rigid motion, 1.
  return {
      {"dense", kDense, 2.0f},
      // det(scaling) = 2 * 0.5 * 3; rotation and translation have det 1.
      {"scale_rotate_translate", scaleRotateTranslate, 3.0f},
      {"perspective", projection, 900.0f / 396.0f},
      {"look_at", lookAt, 1.0f},
  };
}

TEST(MathInverse, InverseTimesOriginalIsIdentityBothWays) {
  for (const InverseCase& test : InverseCases()) {
    SCOPED_TRACE(test.name);
    Matrix inverse, product;
    float determinant = 0;
    ASSERT_EQ(MatrixInverse(&inverse, &determinant, &test.original), &inverse);
    EXPECT_NEAR(determinant, test.determinant, kTolerance * std::fabs(test.determinant));
    EXPECT_TRUE(MatricesNear(*MatrixMultiply(&product, &inverse, &test.original), Identity()));
    EXPECT_TRUE(MatricesNear(*MatrixMultiply(&product, &test.original, &inverse), Identity()));
  }
}

TEST(MathInverse, MatchesHandWorkedInverses) {
  Matrix inverse;
  ASSERT_NE(MatrixInverse(&inverse, nullptr, &kDense), nullptr);
  EXPECT_TRUE(MatricesNear(inverse, kDenseInverse));

  // Undoing "scale by (2,4,8) then move by (1,2,3)" is "move by (-1,-2,-3)
  // then scale by (1/2,1/4,1/8)": row 3 = (-1/2, -2/4, -3/8).
  Matrix scaling, translation, world;
  MatrixScaling(&scaling, 2, 4, 8);
  MatrixTranslation(&translation, 1, 2, 3);
  MatrixMultiply(&world, &scaling, &translation);
  ASSERT_NE(MatrixInverse(&inverse, nullptr, &world), nullptr);
  EXPECT_TRUE(MatricesNear(
      inverse,
      Matrix{{{0.5f, 0, 0, 0}, {0, 0.25f, 0, 0}, {0, 0, 0.125f, 0}, {-0.5f, -0.5f, -0.375f, 1}}}));
}

TEST(MathInverse, SingularReturnsNullAndLeavesOutUntouched) {
  Matrix flattened;
  MatrixScaling(&flattened, 1, 0, 1);
  const Matrix dependentRows{
      {{1, 2, 3, 4}, {5, 6, 7, 8}, {6, 8, 10, 12}, {0, 0, 0, 1}}};  // row 2 = row 0 + row 1
  const Matrix zeroColumn{{{1, 0, 3, 4}, {5, 0, 7, 8}, {9, 0, 2, 1}, {3, 0, 5, 6}}};
  // Determinant 1e-39 (a float denormal): its inverse, 1e39, has no float.
  Matrix overflowing;
  MatrixScaling(&overflowing, 1e-39f, 1, 1);

  for (const Matrix& singular : {flattened, dependentRows, zeroColumn, overflowing}) {
    Matrix out{{{7, 7, 7, 7}, {7, 7, 7, 7}, {7, 7, 7, 7}, {7, 7, 7, 7}}};
    const Matrix before = out;
    float determinant = 99;
    EXPECT_EQ(MatrixInverse(&out, &determinant, &singular), nullptr);
    EXPECT_EQ(std::memcmp(&out, &before, sizeof out), 0);
    EXPECT_NEAR(determinant, 0.0f, 1e-30f);
    EXPECT_EQ(MatrixInverse(&out, nullptr, &singular), nullptr);
  }
}

// Basic rotations worked out from their definitions, for angle pi/6
// (cos = sqrt3/2, sin = 1/2).
const float kCos30 = std::sqrt(3.0f) / 2.0f;
const float kSin30 = 0.5f;
// About x: rows (1,0,0) (0,c,s) (0,-s,c).
const Matrix kRotationX30{
    {{1, 0, 0, 0}, {0, kCos30, kSin30, 0}, {0, -kSin30, kCos30, 0}, {0, 0, 0, 1}}};
// About y: rows (c,0,-s) (0,1,0) (s,0,c); +pi/2 takes +x to -z, +z to +x.
const Matrix kRotationY30{
    {{kCos30, 0, -kSin30, 0}, {0, 1, 0, 0}, {kSin30, 0, kCos30, 0}, {0, 0, 0, 1}}};
// About z: rows (c,s,0) (-s,c,0) (0,0,1); +pi/2 takes +x to +y.
const Matrix kRotationZ30{
    {{kCos30, kSin30, 0, 0}, {-kSin30, kCos30, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};

TEST(MathRotation, RotationXMatchesDefinitionAndTakesYToZ) {
  Matrix rotation;
  MatrixRotationX(&rotation, kPi / 6);
  EXPECT_TRUE(MatricesNear(rotation, kRotationX30));

  const Vec3 y{0, 1, 0};
  Vec3 rotated;
  Vec3TransformNormal(&rotated, &y, MatrixRotationX(&rotation, kPi / 2));
  EXPECT_TRUE(VectorsNear(rotated, {0, 0, 1}));
  const Vec3 xAxis{1, 0, 0};
  Vec3TransformNormal(&rotated, &y, MatrixRotationAxis(&rotation, &xAxis, kPi / 2));
  EXPECT_TRUE(VectorsNear(rotated, {0, 0, 1}));
}

TEST(MathRotation, AxisRotationMatchesHandWorkedCases) {
  struct Case {
    const char* name;
    Vec3 axis;
    float angle;  // radians
    Matrix expected;
  };
  const Case cases[] = {
      {"x", {1, 0, 0}, kPi / 6, kRotationX30},
      {"y", {0, 1, 0}, kPi / 6, kRotationY30},
      {"z", {0, 0, 1}, kPi / 6, kRotationZ30},
      {"unnormalised_y", {0, 3, 0}, kPi / 6, kRotationY30},
      // About -z by pi/6 is about +z by -pi/6: sin changes sign.
      {"negative_z",
       {0, 0, -1},
       kPi / 6,
       Matrix{{{kCos30, -kSin30, 0, 0}, {kSin30, kCos30, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}}},
      // A third of a turn about (1,1,1) cycles the axes x -> y -> z -> x:
      // c = -1/2, s = sqrt3/2, t = 3/2, n = (1,1,1)/sqrt3, so
      // m[0][0] = t/3 + c = 0, m[0][1] = t/3 + s/sqrt3 = 1, m[0][2] = t/3 - s/sqrt3 = 0.
      {"diagonal",
       {1, 1, 1},
       2 * kPi / 3,
       Matrix{{{0, 1, 0, 0}, {0, 0, 1, 0}, {1, 0, 0, 0}, {0, 0, 0, 1}}}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    Matrix rotation;
    EXPECT_TRUE(
        MatricesNear(*MatrixRotationAxis(&rotation, &test.axis, test.angle), test.expected));
  }

  const Vec3 xAxis{1, 0, 0};
  for (float angle : {-2.5f, -0.3f, 0.0f, 1.1f, 4.0f}) {
    Matrix aboutAxis, aboutX;
    MatrixRotationAxis(&aboutAxis, &xAxis, angle);
    MatrixRotationX(&aboutX, angle);
    EXPECT_TRUE(MatricesNear(aboutAxis, aboutX)) << "angle " << angle;
  }
}

TEST(MathYawPitchRoll, SingleAnglesAreTheBasicRotations) {
  struct Case {
    const char* name;
    float yaw, pitch, roll;  // radians
    Matrix expected;
  };
  const Case cases[] = {
      {"yaw_about_y", kPi / 6, 0, 0, kRotationY30},
      {"pitch_about_x", 0, kPi / 6, 0, kRotationX30},
      {"roll_about_z", 0, 0, kPi / 6, kRotationZ30},
      {"none", 0, 0, 0, Identity()},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    Matrix rotation;
    EXPECT_TRUE(MatricesNear(
        *MatrixRotationYawPitchRoll(&rotation, test.yaw, test.pitch, test.roll), test.expected));
  }
}

TEST(MathYawPitchRoll, AppliesRollThenPitchThenYaw) {
  // Pitch pi/2 then yaw pi/2: Rx rows (1,0,0) (0,0,1) (0,-1,0) times Ry rows
  // (0,0,-1) (0,1,0) (1,0,0) gives rows (0,0,-1) (1,0,0) (0,-1,0). So +x stays
  // put under the pitch, then the yaw turns it to -z.
  Matrix rotation;
  MatrixRotationYawPitchRoll(&rotation, kPi / 2, kPi / 2, 0);
  EXPECT_TRUE(
      MatricesNear(rotation, Matrix{{{0, 0, -1, 0}, {1, 0, 0, 0}, {0, -1, 0, 0}, {0, 0, 0, 1}}}));

  const float yaw = 0.9f, pitch = -0.4f, roll = 1.3f;
  const Vec3 yAxis{0, 1, 0}, zAxis{0, 0, 1};
  Matrix aboutY, aboutX, aboutZ, stated, reversed;
  MatrixRotationAxis(&aboutY, &yAxis, yaw);
  MatrixRotationX(&aboutX, pitch);
  MatrixRotationAxis(&aboutZ, &zAxis, roll);
  MatrixMultiply(&stated, MatrixMultiply(&stated, &aboutZ, &aboutX), &aboutY);
  MatrixMultiply(&reversed, MatrixMultiply(&reversed, &aboutY, &aboutX), &aboutZ);
  MatrixRotationYawPitchRoll(&rotation, yaw, pitch, roll);
  EXPECT_TRUE(MatricesNear(rotation, stated));
  EXPECT_FALSE(MatricesNear(rotation, reversed, 1e-2f));
}

TEST(MathLookAt, FromThreeFourFiveToOrigin) {
  const Vec3 eye{3, 4, 5}, at{0, 0, 0}, up{0, 1, 0};
  Matrix view;
  MatrixLookAtLH(&view, &eye, &at, &up);
  // z = (-3,-4,-5)/sqrt50; up x z = (1*-5 - 0*-4, 0*-3 - 0*-5, 0*-4 - 1*-3) =
  // (-5,0,3), so x = (-5,0,3)/sqrt34; y = z x x = (-12,34,-20)/sqrt1700.
  // Row 3: -x.eye = -(-15+15) = 0, -y.eye = -(-36+136-100) = 0, -z.eye = 50/sqrt50.
  const float r34 = std::sqrt(34.0f), r50 = std::sqrt(50.0f), r1700 = std::sqrt(1700.0f);
  const Matrix expected{{{-5 / r34, -12 / r1700, -3 / r50, 0},
                         {0, 34 / r1700, -4 / r50, 0},
                         {3 / r34, -20 / r1700, -5 / r50, 0},
                         {0, 0, r50, 1}}};
  EXPECT_TRUE(MatricesNear(view, expected));

  // The camera's own position is the inverse's translation row.
  Matrix cameraToWorld;
  ASSERT_NE(MatrixInverse(&cameraToWorld, nullptr, &view), nullptr);
  EXPECT_TRUE(
      VectorsNear({cameraToWorld.m[3][0], cameraToWorld.m[3][1], cameraToWorld.m[3][2]}, eye));
  EXPECT_TRUE(VectorsNear(TransformPoint(eye, view), {0, 0, 0}));
  EXPECT_TRUE(VectorsNear(TransformPoint(at, view), {0, 0, r50}));
}

TEST(MathLookAt, AlongPlusZFromOffOrigin) {
  // z = (0,0,1); up (0,2,1) is neither unit nor perpendicular, yet
  // up x z = (2*1 - 1*0, 1*0 - 0*1, 0) = (2,0,0) gives x = (1,0,0), y = (0,1,0):
  // no rotation, and row 3 = -(x.eye, y.eye, z.eye) = (-1,-2,-3).
  const Vec3 eye{1, 2, 3}, at{1, 2, 10}, up{0, 2, 1};
  Matrix view;
  MatrixLookAtLH(&view, &eye, &at, &up);
  EXPECT_TRUE(
      MatricesNear(view, Matrix{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {-1, -2, -3, 1}}}));
}

TEST(MathPerspective, SixtyDegreesAtFourThirds) {
  const float fovY = kPi / 3, aspect = 4.0f / 3.0f, zNear = 1, zFar = 100;
  Matrix projection;
  MatrixPerspectiveFovLH(&projection, fovY, aspect, zNear, zFar);
  // yScale = 1/tan(pi/6) = sqrt3; xScale = sqrt3 * 3/4; zf/(zf-zn) = 100/99;
  // -zn*zf/(zf-zn) = -100/99.
  const float yScale = std::sqrt(3.0f);
  const Matrix expected{{{yScale * 0.75f, 0, 0, 0},
                         {0, yScale, 0, 0},
                         {0, 0, 100.0f / 99, 1},
                         {0, 0, -100.0f / 99, 0}}};
  EXPECT_TRUE(MatricesNear(projection, expected));

  // Near plane -> depth 0, far plane -> depth 1; the top edge of the view at
  // distance 10 (y = 10 tan(pi/6)) -> y = 1, the right edge (x = aspect * that) -> x = 1.
  const float halfHeightAt10 = 10 * std::tan(fovY / 2);
  EXPECT_TRUE(VectorsNear(TransformPoint({0, 0, zNear}, projection), {0, 0, 0}));
  EXPECT_TRUE(VectorsNear(TransformPoint({0, 0, zFar}, projection), {0, 0, 1}));
  const Vec3 topRight = TransformPoint({aspect * halfHeightAt10, halfHeightAt10, 10}, projection);
  EXPECT_NEAR(topRight.x, 1, kTolerance);
  EXPECT_NEAR(topRight.y, 1, kTolerance);
}

TEST(MathReflect, MirrorsAcrossTiltedPlane) {
  // The plane 2x + y + 2z = 6, given unnormalised as 4x + 2y + 4z - 12 = 0.
  // Normalised: n = (2,1,2)/3, d = -2. Rows: 1 - 2aa = 1/9, -2ab = -4/9,
  // -2ac = -8/9, 1 - 2bb = 7/9, -2bc = -4/9, 1 - 2cc = 1/9; row 3 = -2d n =
  // (8/3, 4/3, 8/3).
  const Plane plane{4, 2, 4, -12};
  Matrix mirror;
  MatrixReflect(&mirror, &plane);
  const Matrix expected{{{1.f / 9, -4.f / 9, -8.f / 9, 0},
                         {-4.f / 9, 7.f / 9, -4.f / 9, 0},
                         {-8.f / 9, -4.f / 9, 1.f / 9, 0},
                         {8.f / 3, 4.f / 3, 8.f / 3, 1}}};
  EXPECT_TRUE(MatricesNear(mirror, expected));

  // image = p - 2 dist n, dist = (2x + y + 2z)/3 - 2; the midpoint of each pair
  // lies on the plane.
  struct Case {
    Vec3 point, image;
  };
  const Case cases[] = {
      {{0, 0, 0}, {8.f / 3, 4.f / 3, 8.f / 3}},   // dist -2, midpoint (4/3,2/3,4/3)
      {{2, 1, 2}, {2.f / 3, 1.f / 3, 2.f / 3}},   // dist 1, same midpoint
      {{3, 3, 0}, {5.f / 3, 7.f / 3, -4.f / 3}},  // dist 1, midpoint (7/3,8/3,-2/3)
      {{0, 6, 0}, {0, 6, 0}},                     // on the plane: stays
  };
  for (const Case& test : cases) {
    EXPECT_TRUE(VectorsNear(TransformPoint(test.point, mirror), test.image));
    EXPECT_TRUE(VectorsNear(TransformPoint(test.image, mirror), test.point));
  }
}

TEST(MathPlane, NormalizeDividesByNormalLength) {
  struct Case {
    Plane input, expected;
  };
  const Case cases[] = {
      {{0, 0, 2, -4}, {0, 0, 1, -2}},                      // |n| = 2
      {{3, 4, 0, 10}, {0.6f, 0.8f, 0, 2}},                 // |n| = 5
      {{-1, 2, -2, 6}, {-1.f / 3, 2.f / 3, -2.f / 3, 2}},  // |n| = 3
      {{0, 0, 0, 5}, {0, 0, 0, 0}},                        // no normal: zero plane, not NaN
  };
  for (const Case& test : cases) {
    Plane normalized;
    EXPECT_TRUE(PlanesNear(*PlaneNormalize(&normalized, &test.input), test.expected));
  }
}

TEST(MathPlane, TransformByInverseTransposeKeepsPointsOnPlane) {
  // Moving the plane z = 1 up by 2 gives z = 3: the inverse transpose of
  // translate(0,0,2) has row 2 = (0,0,1,-2), so d becomes 1*-2 + -1*1 = -3.
  Matrix move, moveInverse, moveInverseTranspose;
  MatrixTranslation(&move, 0, 0, 2);
  MatrixInverse(&moveInverse, nullptr, &move);
  MatrixTranspose(&moveInverseTranspose, &moveInverse);
  const Plane zIsOne{0, 0, 1, -1};
  Plane moved;
  PlaneTransform(&moved, &zIsOne, &moveInverseTranspose);
  EXPECT_TRUE(PlanesNear(moved, {0, 0, 1, -3}));

  // The plane x + 2y + 3z = 6 through (6,0,0), (0,3,0), (0,0,2) and (1,1,1),
  // through a scale, rotation and translation: its moved points stay on it.
  const Plane tilted{1, 2, 3, -6};
  const Vec3 onPlane[] = {{6, 0, 0}, {0, 3, 0}, {0, 0, 2}, {1, 1, 1}};
  Matrix world, rotation, translation, inverse, inverseTranspose;
  MatrixScaling(&world, 1.5f, 0.5f, 2);
  MatrixRotationYawPitchRoll(&rotation, 0.3f, 1.1f, -0.6f);
  MatrixTranslation(&translation, 4, -2, 7);
  MatrixMultiply(&world, &world, &rotation);
  MatrixMultiply(&world, &world, &translation);
  ASSERT_NE(MatrixInverse(&inverse, nullptr, &world), nullptr);
  MatrixTranspose(&inverseTranspose, &inverse);
  PlaneTransform(&moved, &tilted, &inverseTranspose);
  for (const Vec3& point : onPlane) {
    EXPECT_NEAR(PlaneValue(moved, TransformPoint(point, world)), 0.0f, 1e-4f);
  }
  // A point off the plane keeps its plane value: 5 + 10 + 15 - 6 = 24.
  EXPECT_NEAR(PlaneValue(moved, TransformPoint({5, 5, 5}, world)), 24.0f, 1e-3f);
}

TEST(MathTransform, CoordDividesByWAndNormalIgnoresTranslation) {
  // w = z (column 3 is (0,0,1,0)), plus a translation of (1,0,0):
  // (2,4,2,1) x m = (2+1, 4, 2, w=2) -> (1.5, 2, 1).
  const Matrix wIsZ{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 1}, {1, 0, 0, 0}}};
  EXPECT_TRUE(VectorsNear(TransformPoint({2, 4, 2}, wIsZ), {1.5f, 2, 1}));

  Matrix scaling, translation, world;
  MatrixScaling(&scaling, 2, 3, 4);
  MatrixTranslation(&translation, 10, 20, 30);
  MatrixMultiply(&world, &scaling, &translation);
  const Vec3 direction{1, -1, 0.5f};
  Vec3 moved;
  EXPECT_TRUE(VectorsNear(*Vec3TransformNormal(&moved, &direction, &world), {2, -3, 2}));
  EXPECT_TRUE(VectorsNear(*Vec3TransformCoord(&moved, &direction, &world), {12, 17, 32}));
}

TEST(MathAliasing, OutMayBeAnInput) {
  Matrix other;
  MatrixRotationYawPitchRoll(&other, 0.2f, 0.5f, -0.9f);
  other.m[3][0] = 3;
  other.m[0][3] = 0.25f;  // make it non-affine so w matters too

  struct MatrixCase {
    const char* name;
    std::function<Matrix*(Matrix* out, const Matrix* in)> apply;
  };
  const MatrixCase matrixCases[] = {
      {"multiply_out_is_a",
       [&](Matrix* out, const Matrix* in) { return MatrixMultiply(out, in, &other); }},
      {"multiply_out_is_b",
       [&](Matrix* out, const Matrix* in) { return MatrixMultiply(out, &other, in); }},
      {"multiply_out_is_both",
       [](Matrix* out, const Matrix* in) { return MatrixMultiply(out, in, in); }},
      {"inverse", [](Matrix* out, const Matrix* in) { return MatrixInverse(out, nullptr, in); }},
      {"transpose", [](Matrix* out, const Matrix* in) { return MatrixTranspose(out, in); }},
  };
  for (const MatrixCase& test : matrixCases) {
    SCOPED_TRACE(test.name);
    Matrix separate, aliased = kDense;
    test.apply(&separate, &kDense);
    EXPECT_EQ(test.apply(&aliased, &aliased), &aliased);
    EXPECT_TRUE(MatricesNear(aliased, separate, 0));
  }

  const Plane plane{1, -2, 2, 5};
  Plane separatePlane, aliasedPlane = plane;
  PlaneNormalize(&separatePlane, &plane);
  EXPECT_EQ(PlaneNormalize(&aliasedPlane, &aliasedPlane), &aliasedPlane);
  EXPECT_TRUE(PlanesNear(aliasedPlane, separatePlane));
  aliasedPlane = plane;
  PlaneTransform(&separatePlane, &plane, &other);
  EXPECT_EQ(PlaneTransform(&aliasedPlane, &aliasedPlane, &other), &aliasedPlane);
  EXPECT_TRUE(PlanesNear(aliasedPlane, separatePlane));

  const Vec3 point{1, 2, 3};
  Vec3 separateVector, aliasedVector = point;
  Vec3TransformCoord(&separateVector, &point, &other);
  EXPECT_EQ(Vec3TransformCoord(&aliasedVector, &aliasedVector, &other), &aliasedVector);
  EXPECT_TRUE(VectorsNear(aliasedVector, separateVector, 0));
  aliasedVector = point;
  Vec3TransformNormal(&separateVector, &point, &other);
  EXPECT_EQ(Vec3TransformNormal(&aliasedVector, &aliasedVector, &other), &aliasedVector);
  EXPECT_TRUE(VectorsNear(aliasedVector, separateVector, 0));
}

}  // namespace
