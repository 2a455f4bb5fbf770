// Checks the built-in meshes' layout and, numerically, their winding as the
// renderer sees it: front faces must go clockwise in normalised device
// coordinates (x right, y up), because counter-clockwise ones are culled.
#include "platform/geometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <ostream>
#include <set>
#include <stdexcept>
#include <tuple>

namespace {

constexpr float kTolerance = 1e-5f;

float Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Add(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 Scale(const Vec3& v, float s) { return {v.x * s, v.y * s, v.z * s}; }
float Distance(const Vec3& a, const Vec3& b) {
  const Vec3 d{a.x - b.x, a.y - b.y, a.z - b.z};
  return std::sqrt(Dot(d, d));
}

struct Triangle {
  Vec3 p0, p1, p2;
  Vec3 centroid() const { return Scale(Add(Add(p0, p1), p2), 1.0f / 3.0f); }
};

Triangle TriangleAt(const MeshData& mesh, size_t triangle) {
  return {mesh.vertices[mesh.indices[3 * triangle]].position,
          mesh.vertices[mesh.indices[3 * triangle + 1]].position,
          mesh.vertices[mesh.indices[3 * triangle + 2]].position};
}

// Signed area of the triangle in normalised device coordinates, seen from
// `eye` looking at `at` through a 60-degree perspective; negative means
// clockwise on screen, i.e. front-facing for the renderer.
float ScreenSignedArea(const Triangle& triangle, const Vec3& eye, const Vec3& at) {
  const Vec3 direction{at.x - eye.x, at.y - eye.y, at.z - eye.z};
  // Any up not parallel to the view direction gives the same orientation.
  const Vec3 up = std::fabs(direction.y) > 0.9f * Distance(at, eye) ? Vec3{0, 0, 1} : Vec3{0, 1, 0};
  Matrix view, projection, viewProjection;
  MatrixLookAtLH(&view, &eye, &at, &up);
  MatrixPerspectiveFovLH(&projection, std::numbers::pi_v<float> / 3, 1.0f, 0.01f, 100.0f);
  MatrixMultiply(&viewProjection, &view, &projection);

  Vec3 screen[3];
  const Vec3* corners[3] = {&triangle.p0, &triangle.p1, &triangle.p2};
  for (int i = 0; i < 3; ++i) {
    Vec3 inView;
    Vec3TransformCoord(&inView, corners[i], &view);
    EXPECT_GT(inView.z, 0.01f) << "corner " << i << " is not in front of the eye";
    Vec3TransformCoord(&screen[i], corners[i], &viewProjection);
  }
  return 0.5f * ((screen[1].x - screen[0].x) * (screen[2].y - screen[0].y) -
                 (screen[2].x - screen[0].x) * (screen[1].y - screen[0].y));
}

TEST(GeometryWindingProbe, TellsClockwiseFromCounterClockwise) {
  // Seen from -z looking towards +z, the left-handed view has world +x to the
  // right and +y up, so (0,1) -> (1,-1) -> (-1,-1) goes clockwise.
  const Triangle clockwise{{0, 1, 0}, {1, -1, 0}, {-1, -1, 0}};
  EXPECT_LT(ScreenSignedArea(clockwise, {0, 0, -5}, {0, 0, 0}), 0.0f);
  EXPECT_GT(ScreenSignedArea(clockwise, {0, 0, 5}, {0, 0, 0}), 0.0f);
}

class GeometryBox : public testing::TestWithParam<std::tuple<float, float, float>> {};

TEST_P(GeometryBox, FacesCarryOutwardNormalsAndSpanTheBox) {
  const auto [width, height, depth] = GetParam();
  const Vec3 half{width / 2, height / 2, depth / 2};
  const MeshData mesh = BuildBoxMesh(width, height, depth);
  ASSERT_EQ(mesh.vertices.size(), 24u);
  ASSERT_EQ(mesh.indices.size(), 36u);

  std::set<std::tuple<float, float, float>> faceNormals;
  for (size_t face = 0; face < 6; ++face) {
    const Vec3 normal = mesh.vertices[4 * face].normal;
    faceNormals.insert({normal.x, normal.y, normal.z});
    // Axis-aligned unit normal: exactly one component is +-1.
    EXPECT_EQ(std::fabs(normal.x) + std::fabs(normal.y) + std::fabs(normal.z), 1.0f);
    const float halfAlongNormal = std::fabs(Dot(half, normal));
    std::set<std::tuple<float, float, float>> corners;
    for (size_t corner = 0; corner < 4; ++corner) {
      const MeshVertex& vertex = mesh.vertices[4 * face + corner];
      EXPECT_EQ(Dot(vertex.normal, normal), 1.0f) << "face " << face << " mixes normals";
      EXPECT_NEAR(Dot(vertex.position, normal), halfAlongNormal, kTolerance)
          << "off its face plane";
      EXPECT_NEAR(std::fabs(vertex.position.x), half.x, kTolerance);
      EXPECT_NEAR(std::fabs(vertex.position.y), half.y, kTolerance);
      EXPECT_NEAR(std::fabs(vertex.position.z), half.z, kTolerance);
      corners.insert({vertex.position.x, vertex.position.y, vertex.position.z});
    }
    EXPECT_EQ(corners.size(), 4u) << "face " << face << " repeats a corner";
  }
  EXPECT_EQ(faceNormals.size(), 6u);

  // Each triangle stays within one face, so its vertices share the normal.
  for (size_t triangle = 0; triangle < 12; ++triangle) {
    const uint16_t first = mesh.indices[3 * triangle];
    for (size_t k = 0; k < 3; ++k) {
      const uint16_t index = mesh.indices[3 * triangle + k];
      ASSERT_LT(index, 24u);
      EXPECT_EQ(index / 4, first / 4) << "triangle " << triangle << " crosses faces";
    }
  }
}

TEST_P(GeometryBox, FrontFacingFromOutsideBackFacingFromInside) {
  const auto [width, height, depth] = GetParam();
  const MeshData mesh = BuildBoxMesh(width, height, depth);
  const float inset = 0.1f * std::min({width, height, depth});
  for (size_t triangle = 0; triangle < 12; ++triangle) {
    SCOPED_TRACE(testing::Message() << "triangle " << triangle);
    const Triangle corners = TriangleAt(mesh, triangle);
    const Vec3 normal = mesh.vertices[mesh.indices[3 * triangle]].normal;
    const Vec3 centroid = corners.centroid();
    EXPECT_LT(ScreenSignedArea(corners, Add(centroid, Scale(normal, 3.0f)), centroid), 0.0f);
    EXPECT_GT(ScreenSignedArea(corners, Add(centroid, Scale(normal, -inset)), centroid), 0.0f);
  }

  // One camera outside, as in the scene: exactly the faces turned towards it
  // are front-facing.
  const Vec3 eye{3, 4, 5}, origin{0, 0, 0};
  for (size_t triangle = 0; triangle < 12; ++triangle) {
    const Triangle corners = TriangleAt(mesh, triangle);
    const Vec3 normal = mesh.vertices[mesh.indices[3 * triangle]].normal;
    const Vec3 toEye{eye.x - corners.p0.x, eye.y - corners.p0.y, eye.z - corners.p0.z};
    const bool facesEye = Dot(normal, toEye) > 0;
    EXPECT_EQ(ScreenSignedArea(corners, eye, origin) < 0, facesEye) << "triangle " << triangle;
  }
}

INSTANTIATE_TEST_SUITE_P(GeometryBoxSizes, GeometryBox,
                         testing::Values(std::tuple{1.0f, 2.0f, 3.0f}, std::tuple{2.0f, 2.0f, 2.0f},
                                         std::tuple{0.5f, 4.0f, 0.25f}));

TEST(GeometryBoxSize, RejectsNegativeOrNonFiniteSizes) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float infinity = std::numeric_limits<float>::infinity();
  EXPECT_THROW(BuildBoxMesh(-1, 1, 1), std::invalid_argument);
  EXPECT_THROW(BuildBoxMesh(1, nan, 1), std::invalid_argument);
  EXPECT_THROW(BuildBoxMesh(1, 1, infinity), std::invalid_argument);
}

struct PolygonCase {
  unsigned sides;
  float sideLength;
  float radius;  // worked out by hand from sideLength / (2 sin(pi / sides))
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const PolygonCase& test, std::ostream* out) {
  *out << test.sides << " sides of " << test.sideLength;
}

class GeometryPolygon : public testing::TestWithParam<PolygonCase> {};

TEST_P(GeometryPolygon, CentreThenCornersRoundFromPlusX) {
  const PolygonCase test = GetParam();
  const MeshData mesh = BuildPolygonMesh(test.sideLength, test.sides);
  ASSERT_EQ(mesh.vertices.size(), test.sides + 1);
  ASSERT_EQ(mesh.indices.size(), 3 * test.sides);

  EXPECT_EQ(Distance(mesh.vertices[0].position, {0, 0, 0}), 0.0f);
  EXPECT_NEAR(mesh.vertices[1].position.x, test.radius, kTolerance);
  EXPECT_NEAR(mesh.vertices[1].position.y, 0.0f, kTolerance);
  for (unsigned corner = 1; corner <= test.sides; ++corner) {
    const Vec3& position = mesh.vertices[corner].position;
    const Vec3& next = mesh.vertices[corner % test.sides + 1].position;
    EXPECT_EQ(position.z, 0.0f);
    EXPECT_NEAR(Distance(position, {0, 0, 0}), test.radius, kTolerance);
    EXPECT_NEAR(Distance(position, next), test.sideLength, kTolerance);
  }
  for (const MeshVertex& vertex : mesh.vertices) {
    EXPECT_TRUE(vertex.normal.x == 0 && vertex.normal.y == 0 && vertex.normal.z == 1);
  }
  for (unsigned triangle = 0; triangle < test.sides; ++triangle) {
    EXPECT_EQ(mesh.indices[3 * triangle], 0);
    EXPECT_EQ(mesh.indices[3 * triangle + 1], triangle + 1);
    EXPECT_EQ(mesh.indices[3 * triangle + 2], (triangle + 1) % test.sides + 1);
  }
}

TEST_P(GeometryPolygon, FacesPlusZAndFacesUpWhenLaidAsFloor) {
  const PolygonCase test = GetParam();
  const MeshData mesh = BuildPolygonMesh(test.sideLength, test.sides);
  for (unsigned triangle = 0; triangle < test.sides; ++triangle) {
    SCOPED_TRACE(testing::Message() << "triangle " << triangle);
    const Triangle corners = TriangleAt(mesh, triangle);
    const Vec3 centroid = corners.centroid();
    EXPECT_LT(ScreenSignedArea(corners, Add(centroid, {0, 0, 2}), centroid), 0.0f);
    EXPECT_GT(ScreenSignedArea(corners, Add(centroid, {0, 0, -2}), centroid), 0.0f);
  }

  // 3pi/2 about x: rows (1,0,0) (0,0,-1) (0,1,0), so the normal (0,0,1) turns
  // to row 2, (0,1,0).
  Matrix floor;
  MatrixRotationX(&floor, 3 * std::numbers::pi_v<float> / 2);
  Vec3 floorNormal;
  Vec3TransformNormal(&floorNormal, &mesh.vertices[0].normal, &floor);
  EXPECT_NEAR(floorNormal.x, 0, kTolerance);
  EXPECT_NEAR(floorNormal.y, 1, kTolerance);
  EXPECT_NEAR(floorNormal.z, 0, kTolerance);
  for (unsigned triangle = 0; triangle < test.sides; ++triangle) {
    const Triangle local = TriangleAt(mesh, triangle);
    Triangle laid;
    Vec3TransformCoord(&laid.p0, &local.p0, &floor);
    Vec3TransformCoord(&laid.p1, &local.p1, &floor);
    Vec3TransformCoord(&laid.p2, &local.p2, &floor);
    const Vec3 centroid = laid.centroid();
    EXPECT_NEAR(centroid.y, 0, kTolerance) << "floor is not flat at y = 0";
    EXPECT_LT(ScreenSignedArea(laid, Add(centroid, {0.5f, 3, -1}), centroid), 0.0f)
        << "floor triangle " << triangle << " is culled from above";
  }
}

INSTANTIATE_TEST_SUITE_P(
    GeometryPolygonShapes, GeometryPolygon,
    testing::Values(PolygonCase{3, std::sqrt(3.0f), 1.0f},  // sqrt3 / (2 sin 60deg) = sqrt3 / sqrt3
                    PolygonCase{4, 2.0f, std::sqrt(2.0f)},  // 2 / (2 sin 45deg) = 2 / sqrt2
                    PolygonCase{6, 1.0f, 1.0f},             // 1 / (2 sin 30deg) = 1
                    PolygonCase{12, 3.0f, 5.795555f}));     // 3 / (2 sin 15deg) = 3 / 0.517638

TEST(GeometryPolygonSize, SixteenBitIndexLimitAndInvalidInput) {
  // 65535 corners plus the centre fill every 16-bit index exactly.
  const MeshData largest = BuildPolygonMesh(0.001f, 65535);
  ASSERT_EQ(largest.vertices.size(), 65536u);
  EXPECT_EQ(*std::max_element(largest.indices.begin(), largest.indices.end()), 65535);

  for (unsigned sides : {0u, 2u, 65536u}) {
    EXPECT_THROW(BuildPolygonMesh(1, sides), std::invalid_argument) << sides << " sides";
  }
  EXPECT_THROW(BuildPolygonMesh(-1, 6), std::invalid_argument);
  EXPECT_THROW(BuildPolygonMesh(std::numeric_limits<float>::quiet_NaN(), 6), std::invalid_argument);
}

}  // namespace
