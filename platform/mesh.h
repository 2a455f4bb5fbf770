// mesh: the two meshes the program makes (a box and a regular polygon), as
// GPU buffers of positions and normals with one subset.
//
// What it does: CreateBox and CreatePolygon build the geometry of
// platform/geometry.h into a vertex and an index buffer; DrawSubset(0) draws
// all of it with the current effect pass; OptimizeInplace keeps the order
// (these meshes are too small to gain from reordering) and leaves the mesh
// valid.
// What it does not: attribute tables, several subsets, adjacency, loading.
// Lifetime: reference counted; a mesh holds its device.
#pragma once

#include <cstdint>

#include "platform/gpu.h"

class Mesh : public DeviceChild {
 public:
  Result DrawSubset(uint32_t subset);
  Result OptimizeInplace(uint32_t flags, const uint32_t* adjacencyIn, uint32_t* adjacencyOut, uint32_t* faceRemap,
                         void* vertexRemap);
  uint32_t GetNumVertices() const { return vertexCount; }
  uint32_t GetNumFaces() const { return indexCount / 3; }
  uint32_t GetFVF() const { return FvfXyz | FvfNormal; }

 private:
  Mesh(GpuDevice* device, const void* vertices, uint32_t vertexCount, const uint16_t* indices, uint32_t indexCount);
  ~Mesh() override;
  uint32_t vertexBuffer = 0, indexBuffer = 0;
  uint32_t vertexCount = 0, indexCount = 0;
  static Result Make(GpuDevice* device, const struct MeshData& data, Mesh** mesh);
  friend Result CreateBox(GpuDevice*, float, float, float, Mesh**, void*);
  friend Result CreatePolygon(GpuDevice*, float, uint32_t, Mesh**, void*);
};

// Sizes in world units; the box is centred on the origin.
Result CreateBox(GpuDevice* device, float width, float height, float depth, Mesh** mesh, void* adjacency);
// sideLength in world units, sides at least 3; lies in the x-y plane facing +z.
Result CreatePolygon(GpuDevice* device, float sideLength, uint32_t sides, Mesh** mesh, void* adjacency);
