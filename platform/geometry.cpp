#include "platform/geometry.h"

#include <cmath>
#include <limits>
#include <numbers>
#include <stdexcept>
#include <string>

static_assert(sizeof(MeshVertex) == 24, "GPU vertex layout expects position then normal, 24 bytes");

namespace {

void RequireSize(float size, const char* what) {
  if (!std::isfinite(size) || size < 0.0f) {
    throw std::invalid_argument(std::string(what) + " must be finite and not negative");
  }
}

// One box face: its outward normal and two edge directions with
// cross(across, up) == normal, so corners listed counter-clockwise in
// (across, up) make triangles whose edge cross product points outward,
// which is clockwise on screen from outside.
struct BoxFace {
  Vec3 normal;
  Vec3 across;
  Vec3 up;
};

constexpr BoxFace kBoxFaces[6] = {
    {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},   // +x: y cross z = +x
    {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},  // -x: z cross y = -x
    {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}},   // +y: z cross x = +y
    {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},  // -y: x cross z = -y
    {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},   // +z: x cross y = +z
    {{0, 0, -1}, {0, 1, 0}, {1, 0, 0}},  // -z: y cross x = -z
};

}  // namespace

MeshData BuildBoxMesh(float width, float height, float depth) {
  RequireSize(width, "box width");
  RequireSize(height, "box height");
  RequireSize(depth, "box depth");
  const Vec3 half{width / 2.0f, height / 2.0f, depth / 2.0f};
  // Corner signs along (across, up), counter-clockwise in that frame.
  constexpr float kCornerSigns[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};

  MeshData mesh;
  mesh.vertices.reserve(24);
  mesh.indices.reserve(36);
  for (const BoxFace& face : kBoxFaces) {
    const auto first = static_cast<uint16_t>(mesh.vertices.size());
    for (const auto& sign : kCornerSigns) {
      // Axis-aligned directions, so scaling each component by the half size
      // puts the corner on the box.
      const Vec3 unitCorner{face.normal.x + sign[0] * face.across.x + sign[1] * face.up.x,
                            face.normal.y + sign[0] * face.across.y + sign[1] * face.up.y,
                            face.normal.z + sign[0] * face.across.z + sign[1] * face.up.z};
      mesh.vertices.push_back(
          {{unitCorner.x * half.x, unitCorner.y * half.y, unitCorner.z * half.z}, face.normal});
    }
    for (uint16_t corner : {0, 1, 2, 0, 2, 3}) {
      mesh.indices.push_back(static_cast<uint16_t>(first + corner));
    }
  }
  return mesh;
}

MeshData BuildPolygonMesh(float sideLength, unsigned sides) {
  RequireSize(sideLength, "polygon side length");
  // sides + 1 vertices must be addressable by 16-bit indices.
  if (sides < 3 || sides > std::numeric_limits<uint16_t>::max()) {
    throw std::invalid_argument("polygon needs between 3 and 65535 sides");
  }
  const double radius = sideLength / (2.0 * std::sin(std::numbers::pi / sides));
  const Vec3 facing{0.0f, 0.0f, 1.0f};

  MeshData mesh;
  mesh.vertices.reserve(sides + 1);
  mesh.indices.reserve(3 * sides);
  mesh.vertices.push_back({{0.0f, 0.0f, 0.0f}, facing});
  for (unsigned corner = 0; corner < sides; ++corner) {
    const double angle = 2.0 * std::numbers::pi * corner / sides;  // radians from +x towards +y
    mesh.vertices.push_back({{static_cast<float>(radius * std::cos(angle)),
                              static_cast<float>(radius * std::sin(angle)), 0.0f},
                             facing});
  }
  for (unsigned corner = 0; corner < sides; ++corner) {
    mesh.indices.push_back(0);
    mesh.indices.push_back(static_cast<uint16_t>(1 + corner));
    mesh.indices.push_back(static_cast<uint16_t>(1 + (corner + 1) % sides));
  }
  return mesh;
}
