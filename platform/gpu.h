// gpu: the graphics device the program draws through, over one OpenGL 4.5
// core context (Mesa's llvmpipe where there is no GPU).
//
// What it does: gives the program the device semantics it was written for.
//  - The back buffer is an off-screen colour texture of the preset's size with
//    its own depth-stencil surface; Present scales it onto the window, keeping
//    its aspect ratio, flipped to the window's orientation.
//  - Row 0 of every render target and texture is its top row (v = 0 at the
//    top); clip-space depth runs from 0 to 1; pixel centres lie on integer
//    coordinates (every vertex shader output is shifted by 63/128 of a pixel
//    of the target being drawn, see the effect layer). Front faces are the
//    ones that appear clockwise on screen; the default cull mode culls the
//    counter-clockwise ones.
//  - Objects are reference counted (AddRef, Release); every resource holds a
//    reference on its device, so the context lives until the last one goes.
//  - A full-screen device is "lost" while its window is minimised or has lost
//    the focus, then "not reset" until Reset succeeds; Reset fails while any
//    render target or depth surface of the default pool is still alive.
// What it does not: multisampling, more than one back buffer, lockable render
// targets, vertex processing modes, fixed-function lighting, or any format
// beyond A8R8G8B8, X8R8G8B8, R32F and the three depth formats.
// Lifetime: one device per process, made by GraphicsSystem::CreateDevice on
// the program's thread and used only there. LiveGpuObjectCount() counts every
// object made and not yet destroyed, the device and system included, so a
// clean shut-down leaves it at 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/window.h"

// Call results; the numeric values of the ones the program compares are kept.
using Result = int32_t;
constexpr Result ResultOk = 0;
constexpr Result ResultFail = static_cast<Result>(0x80004005u);
constexpr Result ResultDeviceLost = static_cast<Result>(0x88760868u);
constexpr Result ResultDeviceNotReset = static_cast<Result>(0x88760869u);
constexpr Result ResultInvalidCall = static_cast<Result>(0x8876086Cu);
constexpr Result ResultOutOfVideoMemory = static_cast<Result>(0x8876017Cu);
constexpr Result ResultNotAvailable = static_cast<Result>(0x8876086Au);
constexpr bool Failed(Result result) { return result < 0; }

enum Format : uint32_t {
  FormatUnknown = 0,
  FormatA8R8G8B8 = 21,  // bytes in memory: blue, green, red, alpha
  FormatX8R8G8B8 = 22,  // as A8R8G8B8, alpha reads 1
  FormatD24S8 = 75,
  FormatD24X8 = 77,
  FormatD16 = 80,
  FormatR32F = 114,     // one float; sampling reads (r, 1, 1, 1)
  FormatFromFile = 0xFFFFFFFDu,  // loaders: keep the file's own format
};

enum ResourceType : uint32_t {
  ResourceSurface = 1,
  ResourceVolume = 2,
  ResourceTexture = 3,
  ResourceVolumeTexture = 4,
  ResourceCubeTexture = 5,
};

enum Pool : uint32_t { PoolDefault = 0, PoolManaged = 1 };
enum Usage : uint32_t { UsageRenderTarget = 1, UsageDepthStencil = 2 };
enum MultiSampleType : uint32_t { MultiSampleNone = 0 };
enum SwapEffect : uint32_t { SwapEffectDiscard = 1 };
enum TextureFilter : uint32_t { FilterNone = 0, FilterPoint = 1, FilterLinear = 2 };
enum ClearFlags : uint32_t { ClearTarget = 1, ClearZBuffer = 2, ClearStencil = 4 };
enum PrimitiveType : uint32_t { PrimitiveTriangleList = 4 };
enum IndexFormat : uint32_t { IndexFormat16 = 101 };
enum DeviceType : uint32_t { DeviceTypeHardware = 1 };

constexpr uint32_t DefaultAdapter = 0;
constexpr uint32_t CreateHardwareVertexProcessing = 0x40;
constexpr uint32_t PresentIntervalDefault = 0;           // wait for the retrace
constexpr uint32_t PresentIntervalImmediate = 0x80000000u;  // do not wait

// Vertex layout bits; a layout is the sum of the parts, in this order in memory.
constexpr uint32_t FvfXyz = 0x002;     // float3 position  (attribute 0, aPosition)
constexpr uint32_t FvfNormal = 0x010;  // float3 normal    (attribute 1, aNormal)
constexpr uint32_t FvfTex1 = 0x100;    // float2 texcoord  (attribute 2, aTexCoord)
uint32_t FvfStride(uint32_t fvf);      // bytes per vertex

// D24S8, D24X8 and D16: the formats of depth-stencil surfaces.
bool IsDepthFormat(Format format);

// Render states that effect passes set and the program touches.
enum class RenderState : uint32_t {
  CullMode,          // GpuCullMode; default CullCounterClockwise
  ZEnable,           // 0 or 1; default 1 (a depth surface is bound)
  ZWriteEnable,      // 0 or 1; default 1
  ZFunc,             // GpuCompareFunc; default CompareLessEqual
  AlphaBlendEnable,  // 0 or 1; default 0
  SrcBlend,          // GpuBlendFactor; default BlendOne
  DestBlend,         // GpuBlendFactor; default BlendZero
  BlendOp,           // GpuBlendOperation; default BlendOpAdd
  ColorWriteEnable,  // bits red 1, green 2, blue 4, alpha 8; default 15
  Count
};
enum GpuCullMode : uint32_t { CullNone = 1, CullClockwise = 2, CullCounterClockwise = 3 };
enum GpuBlendFactor : uint32_t {
  BlendZero = 1, BlendOne, BlendSrcColor, BlendInvSrcColor, BlendSrcAlpha, BlendInvSrcAlpha,
  BlendDestAlpha, BlendInvDestAlpha, BlendDestColor, BlendInvDestColor
};
enum GpuBlendOperation : uint32_t { BlendOpAdd = 1, BlendOpSubtract, BlendOpRevSubtract, BlendOpMin, BlendOpMax };
enum GpuCompareFunc : uint32_t {
  CompareNever = 1, CompareLess, CompareEqual, CompareLessEqual, CompareGreater, CompareNotEqual,
  CompareGreaterEqual, CompareAlways
};
struct RenderStateBlock {
  uint32_t values[static_cast<uint32_t>(RenderState::Count)];
};
RenderStateBlock DefaultRenderStates();

// The eight fields of a surface description, in their usual order.
struct SurfaceDesc {
  Format format = FormatUnknown;
  ResourceType type = ResourceSurface;
  uint32_t usage = 0;
  Pool pool = PoolDefault;
  MultiSampleType multiSampleType = MultiSampleNone;
  uint32_t multiSampleQuality = 0;
  uint32_t width = 0, height = 0;  // pixels
};

struct VolumeDesc {
  Format format = FormatUnknown;
  ResourceType type = ResourceVolume;
  uint32_t usage = 0;
  Pool pool = PoolDefault;
  uint32_t width = 0, height = 0, depth = 0;  // texels
};

struct LockedRect {
  int32_t pitch = 0;     // bytes from one row to the next
  void* bits = nullptr;  // row 0, the top row
};

struct PresentParameters {
  uint32_t backBufferWidth = 0, backBufferHeight = 0;  // pixels; 0 in a windowed device: the client area
  Format backBufferFormat = FormatUnknown;
  uint32_t backBufferCount = 0;  // 0 means 1
  MultiSampleType multiSampleType = MultiSampleNone;
  uint32_t multiSampleQuality = 0;
  SwapEffect swapEffect = static_cast<SwapEffect>(0);
  WindowHandle deviceWindow = nullptr;  // null: the focus window
  bool windowed = false;                // false: a borderless desktop-sized full-screen window
  bool enableAutoDepthStencil = false;
  Format autoDepthStencilFormat = FormatUnknown;
  uint32_t flags = 0;
  uint32_t fullScreenRefreshRate = 0;  // hertz; 0: the desktop's
  uint32_t presentationInterval = PresentIntervalDefault;
};

class GpuDevice;

class GpuObject {
 public:
  uint32_t AddRef();
  uint32_t Release();  // destroys the object when the count reaches 0; returns the new count
  GpuObject(const GpuObject&) = delete;
  GpuObject& operator=(const GpuObject&) = delete;

 protected:
  GpuObject();
  virtual ~GpuObject();

 private:
  uint32_t references = 1;
};

uint32_t LiveGpuObjectCount();

// Resources made by a device hold a reference on it (the back buffer's own
// objects do not: the device owns them).
class DeviceChild : public GpuObject {
 public:
  GpuDevice* GetDevice() const { return device; }

 protected:
  DeviceChild(GpuDevice* owner, bool holdsDevice);
  ~DeviceChild() override;
  GpuDevice* device;

 private:
  bool holdsDevice;
};

class Surface;

class BaseTexture : public DeviceChild {
 public:
  ResourceType GetType() const { return type; }
  uint32_t GetLevelCount() const { return levels; }
  Pool GetPool() const { return pool; }
  uint32_t GlName() const { return glName; }  // for the effect layer

 protected:
  BaseTexture(GpuDevice* owner, ResourceType type, Format format, Pool pool, uint32_t usage, uint32_t levels, bool holdsDevice);
  ~BaseTexture() override;
  ResourceType type;
  Format format;
  Pool pool;
  uint32_t usage;
  uint32_t levels;
  uint32_t glName = 0;
  friend class GpuDevice;
};

class Texture : public BaseTexture {
 public:
  Result GetLevelDesc(uint32_t level, SurfaceDesc* desc) const;
  Result GetSurfaceLevel(uint32_t level, Surface** surface);
  // Managed textures only: the level's bytes at the returned pitch, written
  // back to the GPU by UnlockRect.
  Result LockRect(uint32_t level, LockedRect* locked, const Rect* rect, uint32_t flags);
  Result UnlockRect(uint32_t level);

 private:
  Texture(GpuDevice* owner, uint32_t width, uint32_t height, uint32_t levels, uint32_t usage, Format format, Pool pool,
          bool holdsDevice);
  ~Texture() override;
  uint32_t width, height;
  std::vector<std::vector<uint8_t>> shadow;  // managed pool: one processor copy per level
  bool countedInDefaultPool = false;         // blocks a reset while alive
  friend class GpuDevice;
};

class VolumeTexture : public BaseTexture {
 public:
  Result GetLevelDesc(uint32_t level, VolumeDesc* desc) const;
  // Uploads one level, rows top first, slices front first, tightly packed.
  Result WriteLevel(uint32_t level, const void* bytes, size_t size);

 private:
  VolumeTexture(GpuDevice* owner, uint32_t width, uint32_t height, uint32_t depth, uint32_t levels, Format format);
  uint32_t width, height, depth;
  friend class GpuDevice;
};

class CubeTexture : public BaseTexture {
 public:
  Result GetLevelDesc(uint32_t level, SurfaceDesc* desc) const;
  // face 0..5: +x, -x, +y, -y, +z, -z; rows top first, tightly packed.
  Result WriteFaceLevel(uint32_t face, uint32_t level, const void* bytes, size_t size);

 private:
  CubeTexture(GpuDevice* owner, uint32_t edge, uint32_t levels, Format format);
  uint32_t edge;
  friend class GpuDevice;
};

// A colour surface is one level of a 2-D texture (it holds a reference on the
// texture); a depth-stencil surface stands alone.
class Surface : public DeviceChild {
 public:
  Result GetDesc(SurfaceDesc* desc) const;

 private:
  Surface(GpuDevice* owner, Texture* parent, uint32_t level, bool holdsDevice);                     // colour
  Surface(GpuDevice* owner, uint32_t width, uint32_t height, Format format, Pool pool, bool holdsDevice);  // depth
  ~Surface() override;
  Texture* parent = nullptr;
  uint32_t level = 0;
  SurfaceDesc desc;
  uint32_t depthRenderbuffer = 0;
  bool countedInDefaultPool = false;  // blocks a reset while alive
  friend class GpuDevice;
  friend class Texture;
};

class VertexBuffer : public DeviceChild {
 public:
  Result Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags);
  Result Unlock();
  uint32_t GlName() const { return glName; }

 private:
  VertexBuffer(GpuDevice* owner, uint32_t length, uint32_t fvf, Pool pool);
  ~VertexBuffer() override;
  std::vector<uint8_t> shadow;  // what Lock hands out; Unlock uploads it
  uint32_t glName = 0;
  friend class GpuDevice;
};

class GpuDevice : public GpuObject {
 public:
  Result TestCooperativeLevel();
  Result Reset(PresentParameters* params);
  Result EvictManagedResources();
  Result BeginScene();
  Result EndScene();
  Result Present(const Rect* source, const Rect* dest, WindowHandle overrideWindow, const void* dirtyRegion);

  Result GetRenderTarget(uint32_t index, Surface** surface);
  Result SetRenderTarget(uint32_t index, Surface* surface);  // also resets the viewport to the whole target
  Result GetDepthStencilSurface(Surface** surface);
  Result SetDepthStencilSurface(Surface* surface);  // may be larger than the colour target

  Result CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage, Format format, Pool pool,
                       Texture** texture, void* sharedHandle);  // levels 0: the full chain
  Result CreateVolumeTexture(uint32_t width, uint32_t height, uint32_t depth, uint32_t levels, uint32_t usage,
                             Format format, Pool pool, VolumeTexture** texture, void* sharedHandle);
  Result CreateCubeTexture(uint32_t edge, uint32_t levels, uint32_t usage, Format format, Pool pool,
                           CubeTexture** texture, void* sharedHandle);
  Result CreateDepthStencilSurface(uint32_t width, uint32_t height, Format format, MultiSampleType multiSample,
                                   uint32_t multiSampleQuality, bool discard, Surface** surface, void* sharedHandle);
  Result CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, Pool pool, VertexBuffer** buffer,
                            void* sharedHandle);

  // colour is packed 0xAARRGGBB; z from 0 to 1. Affects the whole target,
  // whatever scissor or write masks a pass left behind.
  Result Clear(uint32_t rectCount, const Rect* rects, uint32_t flags, uint32_t colour, float z, uint32_t stencil);
  Result ColorFill(Surface* surface, const Rect* rect, uint32_t colour);
  Result StretchRect(Surface* source, const Rect* sourceRect, Surface* dest, const Rect* destRect, TextureFilter filter);

  Result SetRenderState(RenderState state, uint32_t value);
  Result GetRenderState(RenderState state, uint32_t* value) const;
  Result SetFVF(uint32_t fvf);
  Result SetStreamSource(uint32_t stream, VertexBuffer* buffer, uint32_t offsetBytes, uint32_t strideBytes);
  Result DrawPrimitive(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount);
  Result DrawIndexedPrimitiveUP(PrimitiveType type, uint32_t minVertexIndex, uint32_t vertexCount,
                                uint32_t primitiveCount, const void* indices, IndexFormat indexFormat,
                                const void* vertices, uint32_t vertexStride);

  // For meshes: draws indexCount 16-bit indices from GL buffers with a layout.
  void DrawIndexedBuffers(uint32_t fvf, uint32_t vertexBuffer, uint32_t indexBuffer, uint32_t indexCount);
  // For effects: the shift, in clip units, that puts pixel centres on integer
  // coordinates of the current render target.
  void PixelCentreOffset(float* x, float* y) const;

  // Reads a colour surface back, top row first: four floats (r, g, b, a) per
  // pixel. For tests and the capture tool.
  Result ReadSurface(Surface* surface, std::vector<float>* rgba);

  // For tests: behave as if the window went away (minimised, focus lost) and
  // came back, in any preset.
  void SimulateWindowAway(bool away);

 private:
  GpuDevice(WindowHandle focusWindow, const PresentParameters& params);
  ~GpuDevice() override;
  bool CreateBackBuffer(const PresentParameters& params);
  void DestroyBackBuffer();
  void BindTargets();
  void ApplyRenderState(RenderState state, uint32_t value);
  uint32_t VertexArrayFor(uint32_t fvf);
  void NoteDefaultPoolObject(int delta) { defaultPoolObjects += delta; }

  WindowHandle focusWindow;
  void* glContext = nullptr;
  bool windowed = true;
  enum class Cooperation { Ready, Lost, NotReset } cooperation = Cooperation::Ready;
  bool simulatedAway = false;

  Texture* backBufferTexture = nullptr;
  Surface* backBuffer = nullptr;
  Surface* autoDepth = nullptr;
  Surface* renderTarget = nullptr;  // holds a reference
  Surface* depthSurface = nullptr;  // holds a reference
  bool targetsDirty = true;
  uint32_t framebuffer = 0;      // drawing: render target 0 and the depth surface
  uint32_t readFramebuffer = 0;  // source of Present and StretchRect
  uint32_t blitFramebuffer = 0;  // destination of StretchRect
  uint32_t streamBuffer = 0, streamIndexBuffer = 0;
  VertexBuffer* streamSource = nullptr;
  uint32_t streamOffset = 0, streamStride = 0;
  uint32_t currentFvf = 0;
  struct FvfArray { uint32_t fvf, vao; };
  std::vector<FvfArray> vertexArrays;
  RenderStateBlock states;
  int defaultPoolObjects = 0;  // render targets and depth surfaces of the default pool, the back buffer's excluded

  friend class GraphicsSystem;
  friend class Texture;
  friend class Surface;
};

// The object that makes devices. CreateDevice fails with a reason in
// LastGraphicsError() when there is no window or no OpenGL 4.5 core profile.
class GraphicsSystem : public GpuObject {
 public:
  Result CreateDevice(uint32_t adapter, DeviceType type, WindowHandle focusWindow, uint32_t behaviourFlags,
                      PresentParameters* params, GpuDevice** device);
};
GraphicsSystem* CreateGraphicsSystem(uint32_t version);
const char* LastGraphicsError();
