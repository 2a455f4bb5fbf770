// The three ways geometry is drawn: every pass of a technique, one draw per
// pass. Parameters must all be set before the call; the effect restores the
// render states its passes changed when the loop ends.
#include "engine/engine.h"

namespace {

template <typename Draw>
void RunPasses(Effect** effect, const char* technique, Draw draw) {
  Effect* active = *effect;
  if (!active) return;  // a failed effect draws nothing rather than crash
  active->SetTechnique(technique);
  uint32_t passCount = 0;
  active->Begin(&passCount, 0);
  for (uint32_t pass = 0; pass < passCount; ++pass) {
    active->BeginPass(pass);
    draw();
    active->EndPass();
  }
  active->End();
}

}  // namespace

void DrawEffectTriangles(Effect** effect, const char* technique, uint32_t primitiveCount) {
  RunPasses(effect, technique, [&] {
    if (primitiveCount != 0) Device->DrawPrimitive(PrimitiveTriangleList, 0, primitiveCount);
  });
}

void DrawEffectIndexedUP(Effect** effect, const char* technique, const void* vertices, uint32_t vertexStride,
                         const uint16_t* indices, uint32_t vertexCount, uint32_t primitiveCount) {
  RunPasses(effect, technique, [&] {
    if (vertexCount != 0 && primitiveCount != 0)
      Device->DrawIndexedPrimitiveUP(PrimitiveTriangleList, 0, vertexCount, primitiveCount, indices, IndexFormat16,
                                     vertices, vertexStride);
  });
}

void DrawEffectMesh(Effect** effect, const char* technique, Mesh** mesh) {
  RunPasses(effect, technique, [&] {
    if (*mesh) (*mesh)->DrawSubset(0);
  });
}
