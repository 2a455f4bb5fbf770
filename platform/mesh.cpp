#include "platform/mesh.h"

#include <epoxy/gl.h>

#include "platform/geometry.h"

Mesh::Mesh(GpuDevice* device, const void* vertices, uint32_t vertexCount, const uint16_t* indices,
           uint32_t indexCount)
    : DeviceChild(device, true), vertexCount(vertexCount), indexCount(indexCount) {
  glCreateBuffers(1, &vertexBuffer);
  glNamedBufferData(vertexBuffer, GLsizeiptr(vertexCount) * FvfStride(FvfXyz | FvfNormal), vertices, GL_STATIC_DRAW);
  glCreateBuffers(1, &indexBuffer);
  glNamedBufferData(indexBuffer, GLsizeiptr(indexCount) * sizeof(uint16_t), indices, GL_STATIC_DRAW);
}

Mesh::~Mesh() {
  glDeleteBuffers(1, &vertexBuffer);
  glDeleteBuffers(1, &indexBuffer);
}

Result Mesh::DrawSubset(uint32_t subset) {
  if (subset != 0) return ResultOk;  // there is only subset 0; others are empty
  device->DrawIndexedBuffers(GetFVF(), vertexBuffer, indexBuffer, indexCount);
  return ResultOk;
}

Result Mesh::OptimizeInplace(uint32_t flags, const uint32_t* adjacencyIn, uint32_t* adjacencyOut, uint32_t* faceRemap,
                             void* vertexRemap) {
  (void)flags;
  (void)adjacencyIn;
  (void)vertexRemap;
  if (adjacencyOut) return ResultInvalidCall;  // no adjacency is kept
  if (faceRemap)
    for (uint32_t face = 0; face < GetNumFaces(); ++face) faceRemap[face] = face;
  return ResultOk;
}

Result Mesh::Make(GpuDevice* device, const MeshData& data, Mesh** mesh) {
  *mesh = nullptr;
  if (!device || data.vertices.empty() || data.vertices.size() > 65536 || data.indices.empty()) return ResultInvalidCall;
  static_assert(sizeof(MeshVertex) == 24, "a mesh vertex is a float3 position and a float3 normal");
  *mesh = new Mesh(device, data.vertices.data(), uint32_t(data.vertices.size()), data.indices.data(),
                   uint32_t(data.indices.size()));
  return ResultOk;
}

Result CreateBox(GpuDevice* device, float width, float height, float depth, Mesh** mesh, void* adjacency) {
  if (adjacency || !(width >= 0 && height >= 0 && depth >= 0)) return ResultInvalidCall;
  return Mesh::Make(device, BuildBoxMesh(width, height, depth), mesh);
}

Result CreatePolygon(GpuDevice* device, float sideLength, uint32_t sides, Mesh** mesh, void* adjacency) {
  if (adjacency || sides < 3 || !(sideLength > 0)) {
    *mesh = nullptr;
    return ResultInvalidCall;
  }
  return Mesh::Make(device, BuildPolygonMesh(sideLength, sides), mesh);
}
