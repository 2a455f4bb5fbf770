// engine: the render core the show is drawn through. Its one header declares
// the shared types and look-ups every other part of the program uses.
//
// What it does:
//  - the device and its frame (InitDevice, CheckDevice, BeginFrame, EndFrame,
//    ShutdownDevice), the back buffer's size and clip-to-texture matrix;
//  - three registries that own every render target, texture file and effect,
//    keyed by the address of the name's constant (engine/names.h), made on
//    first look-up and kept to the end, released and re-made around a lost
//    device by the sweeps;
//  - the pass loops that draw geometry through every pass of a technique;
//  - the shared transform parameters every effect sees.
// What it does not: pick sections, animate, or own any scene content.
// Lifetime: InitDevice to ShutdownDevice. Records and slots that the
// registries hand out stay at the same address until the program ends, so
// callers may keep them; their GPU objects are null while the device is lost
// and after shut-down.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/names.h"
#include "platform/effect.h"
#include "platform/gpu.h"
#include "platform/math.h"
#include "platform/mesh.h"
#include "platform/window.h"

// ---------------------------------------------------------------- device and frame

enum class DisplayPreset { Window, FullScreen1280, FullScreen1024, Desktop };
extern const DisplayPreset BuildDisplayPreset;  // fixed when the program is built

struct BackBufferExtent {
  uint32_t width = 0, height = 0;  // pixels
};

extern GraphicsSystem* Direct3DObject;
extern GpuDevice* Device;
extern GpuEffectPool* EffectPool;
extern PresentParameters PresentParams;
extern SurfaceDesc BackBufferDesc;
extern BackBufferExtent BackBufferSize;    // BackBufferDesc's width and height, read at every frame start
extern Surface* FrameBackBuffer;           // render target 0, from BeginFrame to EndFrame
extern Surface* FrameDepthSurface;         // the device's depth surface, from BeginFrame to EndFrame
extern Matrix BackBufferUVTransform;       // clip space to the back buffer's texel centres
extern bool DeviceLost;

bool InitDevice(WindowHandle window);
bool CheckDevice();
bool BeginFrame();
bool EndFrame();
bool ShutdownDevice();
// Why the last InitDevice failed, for the one line the program prints.
const std::string& DeviceFailureReason();

// Fills PresentParams for a preset (the desktop one reads the desktop size).
void FillPresentParams(DisplayPreset preset, PresentParameters* params);
// Clip space to texel centres of a width x height target (pixels).
void BuildUVTransform(Matrix* out, uint32_t width, uint32_t height);

// ---------------------------------------------------------------- registries

// Keys are compared as unsigned addresses, never by their characters.
struct AddressOrder {
  bool operator()(const char* a, const char* b) const { return std::less<const char*>()(a, b); }
};

struct RenderTarget {
  Texture* texture = nullptr;  // colour texture, one level; null for depth targets and while released
  Surface* surface = nullptr;  // level 0 of texture, or the depth surface; null: not made
  SurfaceDesc desc{};          // how the target is made; width and height after the size rule
  uint32_t widthDivisor = 0;   // 0: desc.width is pixels; n: the back buffer's width / n
  uint32_t heightDivisor = 0;  // likewise for the height
  Matrix uvTransform{};        // clip space to this target's texel centres
  RenderTarget();
  ~RenderTarget();
  RenderTarget(const RenderTarget&) = delete;
  RenderTarget& operator=(const RenderTarget&) = delete;
};

struct TextureAsset {
  BaseTexture* texture = nullptr;  // 2-D, volume or cube texture, managed; null until loaded
  Vec4 size{};                     // the file's width, height, depth in texels, then 0
  TextureAsset() = default;
  ~TextureAsset();
  TextureAsset(const TextureAsset&) = delete;
  TextureAsset& operator=(const TextureAsset&) = delete;
};

// Made before the program's entry in the order effects, textures, render
// targets, and destroyed in the reverse order.
extern std::map<const char*, Effect*, AddressOrder> EffectRegistry;
extern std::map<const char*, TextureAsset, AddressOrder> TextureRegistry;
extern std::map<const char*, RenderTarget, AddressOrder> RenderTargetRegistry;

// width, height: -n for the back buffer's size divided by n, else pixels.
RenderTarget* LookupRenderTarget(const char* name, int32_t width, int32_t height, Format format);
void RecreateRenderTarget(RenderTarget* target);
void ReleaseRenderTarget(RenderTarget* target);

TextureAsset* LookupTexture(const char* path);
void LoadTextureAsset(TextureAsset* record, const char* path);
void ReleaseTextureAsset(TextureAsset* record);
Effect** LookupEffect(const char* path);

void ReleaseDeviceResources();
void RestoreDeviceResources();
void ReleaseRegistryResources();

// Start-up check: one line per effect or texture file of the show that is
// missing or failed, with its file, line where known, and reason. Empty when
// all is well.
std::vector<std::string> ContentProblems();

// ---------------------------------------------------------------- pass loops

// Run every pass of a technique; the draw is skipped (the passes still begin
// and end) for zero counts or a null mesh, and nothing at all runs through a
// null effect.
void DrawEffectTriangles(Effect** effect, const char* technique, uint32_t primitiveCount);
void DrawEffectIndexedUP(Effect** effect, const char* technique, const void* vertices, uint32_t vertexStride,
                         const uint16_t* indices, uint32_t vertexCount, uint32_t primitiveCount);
void DrawEffectMesh(Effect** effect, const char* technique, Mesh** mesh);

// ---------------------------------------------------------------- shared transforms

extern Effect* SharedEffect;  // "fx/shared.fx", with the program's own reference
extern Matrix IdentityMatrix;
extern Matrix CurrentWorld, CurrentView, CurrentProj, CurrentBias;
extern Matrix CurrentViewProj, CurrentInvView, CurrentInvProj, CurrentFrustum;
extern Matrix CurrentWorldView, CurrentWorldViewProj, CurrentViewProjBias, CurrentProjBias;
extern Vec4 CurrentEyePos;

// Any argument may be null: that matrix stays as last given.
void SetTransforms(const Matrix* world, const Matrix* view, const Matrix* proj, const Matrix* bias);
void ResetTransforms();
// dolly: the camera backs away 5 world units per unit along -z.
void BuildCamera(float dolly, Matrix* view, Matrix* proj);
