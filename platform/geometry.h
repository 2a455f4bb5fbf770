// geometry: processor-side vertex and index data of the demo's two built-in
// meshes, a box and a flat regular polygon.
//
// What it does: fills a MeshData with positions, outward normals and a
// triangle list. Front faces wind clockwise on screen (seen from the side the
// normal points to, in our left-handed view with x right and y up), because
// the renderer culls counter-clockwise triangles; equivalently, for each
// triangle (p0, p1, p2), cross(p1 - p0, p2 - p0) points along its normal.
//
// What it does not: no texture coordinates, tangents or GPU buffers; the
// caller uploads the data. Invalid sizes throw std::invalid_argument.
//
// Lifetime: the returned MeshData owns its vectors; nothing is kept between
// calls.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/math.h"

// 24 bytes: position then normal, both in the mesh's local space.
struct MeshVertex {
  Vec3 position;  // local-space units, as sized by the builder
  Vec3 normal;    // unit length, outward
};

struct MeshData {
  std::vector<MeshVertex> vertices;  // empty by default
  std::vector<uint16_t> indices;     // triangle list, 3 per triangle, into vertices
};

// Box centred on the origin: width along x, height along y, depth along z
// (scene units, each >= 0). Six faces of four vertices each, every vertex
// carrying its face's outward normal: 24 vertices, 12 triangles, 36 indices.
// Throws std::invalid_argument for a negative or non-finite size.
MeshData BuildBoxMesh(float width, float height, float depth);

// Regular polygon in the x-y plane (z = 0) centred on the origin, facing +z:
// vertex 0 is the centre, vertices 1..sides are the corners, the first on
// +x, the angle increasing from +x towards +y (which an eye on +z, where
// world +x appears on the left in our left-handed view, sees clockwise).
// Corners lie sideLength / (2 sin(pi / sides)) from the centre; every normal
// is (0, 0, 1); triangle k is (centre, corner k, corner k + 1), wrapping
// round. sideLength is in scene units. Laid flat with MatrixRotationX(3 pi /
// 2) it faces +y, as a floor.
// Throws std::invalid_argument unless 3 <= sides <= 65535 (16-bit indices)
// and sideLength is finite and >= 0.
MeshData BuildPolygonMesh(float sideLength, unsigned sides);
