#include "platform/gpu.h"

#include <SDL2/SDL.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

// A debug build checks every GL call it wraps and names the one that failed.
#ifndef NDEBUG
#define GL_CHECK(call)                                                                  \
  do {                                                                                  \
    call;                                                                               \
    for (GLenum glError; (glError = glGetError()) != GL_NO_ERROR;)                      \
      std::fprintf(stderr, "vantrel: GL error 0x%04x in %s (%s:%d)\n", glError, #call, __FILE__, __LINE__); \
  } while (0)
#else
#define GL_CHECK(call) call
#endif

namespace {

uint32_t liveObjects = 0;
std::string lastGraphicsError;

struct GlFormat {
  GLenum internalFormat;
  GLenum uploadFormat;
  GLenum uploadType;
  uint32_t bytesPerPixel;
};

// bytesPerPixel 0: a format textures cannot have.
GlFormat GlFormatOf(Format format) {
  switch (format) {
    case FormatA8R8G8B8:
    case FormatX8R8G8B8: return {GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, 4};
    case FormatR32F: return {GL_R32F, GL_RED, GL_FLOAT, 4};
    default: return {0, 0, 0, 0};
  }
}

bool IsTextureFormat(Format format) { return GlFormatOf(format).bytesPerPixel != 0; }

// Sampling reads what the original platform returns: an R32F texture gives
// (r, 1, 1, 1) and an X8R8G8B8 one an alpha of 1.
void SetFormatSwizzle(GLuint texture, Format format) {
  if (format == FormatR32F) {
    GL_CHECK(glTextureParameteri(texture, GL_TEXTURE_SWIZZLE_G, GL_ONE));
    GL_CHECK(glTextureParameteri(texture, GL_TEXTURE_SWIZZLE_B, GL_ONE));
    GL_CHECK(glTextureParameteri(texture, GL_TEXTURE_SWIZZLE_A, GL_ONE));
  } else if (format == FormatX8R8G8B8) {
    GL_CHECK(glTextureParameteri(texture, GL_TEXTURE_SWIZZLE_A, GL_ONE));
  }
}

uint32_t FullChainLength(uint32_t width, uint32_t height, uint32_t depth = 1) {
  uint32_t levels = 1;
  for (uint32_t size = std::max({width, height, depth}); size > 1; size /= 2) ++levels;
  return levels;
}

uint32_t LevelSize(uint32_t size, uint32_t level) { return std::max(1u, size >> level); }

GLenum GlBlendFactor(uint32_t factor) {
  switch (factor) {
    case BlendZero: return GL_ZERO;
    case BlendOne: return GL_ONE;
    case BlendSrcColor: return GL_SRC_COLOR;
    case BlendInvSrcColor: return GL_ONE_MINUS_SRC_COLOR;
    case BlendSrcAlpha: return GL_SRC_ALPHA;
    case BlendInvSrcAlpha: return GL_ONE_MINUS_SRC_ALPHA;
    case BlendDestAlpha: return GL_DST_ALPHA;
    case BlendInvDestAlpha: return GL_ONE_MINUS_DST_ALPHA;
    case BlendDestColor: return GL_DST_COLOR;
    case BlendInvDestColor: return GL_ONE_MINUS_DST_COLOR;
    default: return GL_ONE;
  }
}

GLenum GlBlendEquation(uint32_t op) {
  switch (op) {
    case BlendOpSubtract: return GL_FUNC_SUBTRACT;
    case BlendOpRevSubtract: return GL_FUNC_REVERSE_SUBTRACT;
    case BlendOpMin: return GL_MIN;
    case BlendOpMax: return GL_MAX;
    default: return GL_FUNC_ADD;
  }
}

GLenum GlCompare(uint32_t func) {
  switch (func) {
    case CompareNever: return GL_NEVER;
    case CompareLess: return GL_LESS;
    case CompareEqual: return GL_EQUAL;
    case CompareLessEqual: return GL_LEQUAL;
    case CompareGreater: return GL_GREATER;
    case CompareNotEqual: return GL_NOTEQUAL;
    case CompareGreaterEqual: return GL_GEQUAL;
    default: return GL_ALWAYS;
  }
}

// Unpacks 0xAARRGGBB into floats for clears and fills of any colour format.
void UnpackColour(uint32_t colour, float rgba[4]) {
  rgba[0] = ((colour >> 16) & 0xFF) / 255.0f;
  rgba[1] = ((colour >> 8) & 0xFF) / 255.0f;
  rgba[2] = (colour & 0xFF) / 255.0f;
  rgba[3] = ((colour >> 24) & 0xFF) / 255.0f;
}

}  // namespace

bool IsDepthFormat(Format format) {
  return format == FormatD24S8 || format == FormatD24X8 || format == FormatD16;
}

uint32_t FvfStride(uint32_t fvf) {
  return ((fvf & FvfXyz) ? 12 : 0) + ((fvf & FvfNormal) ? 12 : 0) + ((fvf & FvfTex1) ? 8 : 0);
}

RenderStateBlock DefaultRenderStates() {
  RenderStateBlock block{};
  auto set = [&block](RenderState state, uint32_t value) { block.values[static_cast<uint32_t>(state)] = value; };
  set(RenderState::CullMode, CullCounterClockwise);
  set(RenderState::ZEnable, 1);
  set(RenderState::ZWriteEnable, 1);
  set(RenderState::ZFunc, CompareLessEqual);
  set(RenderState::AlphaBlendEnable, 0);
  set(RenderState::SrcBlend, BlendOne);
  set(RenderState::DestBlend, BlendZero);
  set(RenderState::BlendOp, BlendOpAdd);
  set(RenderState::ColorWriteEnable, 15);
  return block;
}

// ---------------------------------------------------------------- objects

GpuObject::GpuObject() { ++liveObjects; }
GpuObject::~GpuObject() { --liveObjects; }

uint32_t GpuObject::AddRef() { return ++references; }

uint32_t GpuObject::Release() {
  const uint32_t left = --references;
  if (left == 0) delete this;
  return left;
}

uint32_t LiveGpuObjectCount() { return liveObjects; }

DeviceChild::DeviceChild(GpuDevice* owner, bool holdsDevice) : device(owner), holdsDevice(holdsDevice) {
  if (holdsDevice) device->AddRef();
}

DeviceChild::~DeviceChild() {
  if (holdsDevice) device->Release();
}

BaseTexture::BaseTexture(GpuDevice* owner, ResourceType type, Format format, Pool pool, uint32_t usage, uint32_t levels,
                         bool holdsDevice)
    : DeviceChild(owner, holdsDevice), type(type), format(format), pool(pool), usage(usage), levels(levels) {
  const GLenum target = type == ResourceVolumeTexture ? GL_TEXTURE_3D
                        : type == ResourceCubeTexture ? GL_TEXTURE_CUBE_MAP
                                                      : GL_TEXTURE_2D;
  // Every level present, and sampling that reads what the original platform
  // returns for the format.
  GL_CHECK(glCreateTextures(target, 1, &glName));
  GL_CHECK(glTextureParameteri(glName, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels - 1)));
  SetFormatSwizzle(glName, format);
}

BaseTexture::~BaseTexture() {
  if (glName) glDeleteTextures(1, &glName);
}

Texture::Texture(GpuDevice* owner, uint32_t width, uint32_t height, uint32_t levels, uint32_t usage, Format format,
                 Pool pool, bool holdsDevice)
    : BaseTexture(owner, ResourceTexture, format, pool, usage, levels, holdsDevice), width(width), height(height) {
  const GlFormat gl = GlFormatOf(format);
  GL_CHECK(glTextureStorage2D(glName, static_cast<GLsizei>(levels), gl.internalFormat, static_cast<GLsizei>(width),
                              static_cast<GLsizei>(height)));
  if (pool == PoolManaged) {
    shadow.resize(levels);
    for (uint32_t level = 0; level < levels; ++level)
      shadow[level].assign(size_t{LevelSize(width, level)} * LevelSize(height, level) * gl.bytesPerPixel, 0);
  }
  countedInDefaultPool = holdsDevice && pool == PoolDefault;
  if (countedInDefaultPool) device->NoteDefaultPoolObject(+1);
}

Texture::~Texture() {
  if (countedInDefaultPool) device->NoteDefaultPoolObject(-1);
}

Result Texture::GetLevelDesc(uint32_t level, SurfaceDesc* desc) const {
  if (level >= levels) return ResultInvalidCall;
  *desc = SurfaceDesc{format, ResourceSurface, usage, pool, MultiSampleNone, 0, LevelSize(width, level),
                      LevelSize(height, level)};
  return ResultOk;
}

Result Texture::GetSurfaceLevel(uint32_t level, Surface** surface) {
  if (level >= levels) return ResultInvalidCall;
  *surface = new Surface(device, this, level, true);
  return ResultOk;
}

Result Texture::LockRect(uint32_t level, LockedRect* locked, const Rect* rect, uint32_t flags) {
  (void)flags;
  if (pool != PoolManaged || level >= levels || rect) return ResultInvalidCall;
  locked->pitch = static_cast<int32_t>(LevelSize(width, level) * 4);
  locked->bits = shadow[level].data();
  return ResultOk;
}

Result Texture::UnlockRect(uint32_t level) {
  if (pool != PoolManaged || level >= levels) return ResultInvalidCall;
  const GlFormat gl = GlFormatOf(format);
  GL_CHECK(glPixelStorei(GL_UNPACK_ALIGNMENT, 4));
  GL_CHECK(glTextureSubImage2D(glName, static_cast<GLint>(level), 0, 0, static_cast<GLsizei>(LevelSize(width, level)),
                               static_cast<GLsizei>(LevelSize(height, level)), gl.uploadFormat, gl.uploadType,
                               shadow[level].data()));
  return ResultOk;
}

VolumeTexture::VolumeTexture(GpuDevice* owner, uint32_t width, uint32_t height, uint32_t depth, uint32_t levels,
                             Format format)
    : BaseTexture(owner, ResourceVolumeTexture, format, PoolManaged, 0, levels, true),
      width(width), height(height), depth(depth) {
  const GlFormat gl = GlFormatOf(format);
  GL_CHECK(glTextureStorage3D(glName, static_cast<GLsizei>(levels), gl.internalFormat, static_cast<GLsizei>(width),
                              static_cast<GLsizei>(height), static_cast<GLsizei>(depth)));
}

Result VolumeTexture::GetLevelDesc(uint32_t level, VolumeDesc* desc) const {
  if (level >= levels) return ResultInvalidCall;
  *desc = VolumeDesc{format, ResourceVolume, 0, pool, LevelSize(width, level), LevelSize(height, level),
                     LevelSize(depth, level)};
  return ResultOk;
}

Result VolumeTexture::WriteLevel(uint32_t level, const void* bytes, size_t size) {
  if (level >= levels) return ResultInvalidCall;
  const GlFormat gl = GlFormatOf(format);
  const uint32_t w = LevelSize(width, level), h = LevelSize(height, level), d = LevelSize(depth, level);
  if (size != size_t{w} * h * d * gl.bytesPerPixel) return ResultInvalidCall;
  GL_CHECK(glPixelStorei(GL_UNPACK_ALIGNMENT, 4));
  GL_CHECK(glTextureSubImage3D(glName, static_cast<GLint>(level), 0, 0, 0, static_cast<GLsizei>(w),
                               static_cast<GLsizei>(h), static_cast<GLsizei>(d), gl.uploadFormat, gl.uploadType, bytes));
  return ResultOk;
}

CubeTexture::CubeTexture(GpuDevice* owner, uint32_t edge, uint32_t levels, Format format)
    : BaseTexture(owner, ResourceCubeTexture, format, PoolManaged, 0, levels, true), edge(edge) {
  const GlFormat gl = GlFormatOf(format);
  GL_CHECK(glTextureStorage2D(glName, static_cast<GLsizei>(levels), gl.internalFormat, static_cast<GLsizei>(edge),
                              static_cast<GLsizei>(edge)));
}

Result CubeTexture::GetLevelDesc(uint32_t level, SurfaceDesc* desc) const {
  if (level >= levels) return ResultInvalidCall;
  *desc = SurfaceDesc{format, ResourceSurface, 0, pool, MultiSampleNone, 0, LevelSize(edge, level),
                      LevelSize(edge, level)};
  return ResultOk;
}

Result CubeTexture::WriteFaceLevel(uint32_t face, uint32_t level, const void* bytes, size_t size) {
  if (face >= 6 || level >= levels) return ResultInvalidCall;
  const GlFormat gl = GlFormatOf(format);
  const uint32_t e = LevelSize(edge, level);
  if (size != size_t{e} * e * gl.bytesPerPixel) return ResultInvalidCall;
  GL_CHECK(glPixelStorei(GL_UNPACK_ALIGNMENT, 4));
  GL_CHECK(glTextureSubImage3D(glName, static_cast<GLint>(level), 0, 0, static_cast<GLint>(face),
                               static_cast<GLsizei>(e), static_cast<GLsizei>(e), 1, gl.uploadFormat, gl.uploadType,
                               bytes));
  return ResultOk;
}

Surface::Surface(GpuDevice* owner, Texture* parent, uint32_t level, bool holdsDevice)
    : DeviceChild(owner, holdsDevice), parent(parent), level(level) {
  parent->AddRef();
  parent->GetLevelDesc(level, &desc);
  desc.type = ResourceSurface;
}

Surface::Surface(GpuDevice* owner, uint32_t width, uint32_t height, Format format, Pool pool, bool holdsDevice)
    : DeviceChild(owner, holdsDevice) {
  desc = SurfaceDesc{format, ResourceSurface, UsageDepthStencil, pool, MultiSampleNone, 0, width, height};
  GL_CHECK(glCreateRenderbuffers(1, &depthRenderbuffer));
  const GLenum internal = format == FormatD16 ? GL_DEPTH_COMPONENT16 : GL_DEPTH24_STENCIL8;
  GL_CHECK(glNamedRenderbufferStorage(depthRenderbuffer, internal, static_cast<GLsizei>(width),
                                      static_cast<GLsizei>(height)));
  // The device's own depth surface does not stand in the way of a reset.
  countedInDefaultPool = holdsDevice && pool == PoolDefault;
  if (countedInDefaultPool) device->NoteDefaultPoolObject(+1);
}

Surface::~Surface() {
  if (parent) parent->Release();
  if (depthRenderbuffer) glDeleteRenderbuffers(1, &depthRenderbuffer);
  if (countedInDefaultPool) device->NoteDefaultPoolObject(-1);
}

Result Surface::GetDesc(SurfaceDesc* out) const {
  *out = desc;
  return ResultOk;
}

VertexBuffer::VertexBuffer(GpuDevice* owner, uint32_t length, uint32_t fvf, Pool pool)
    : DeviceChild(owner, true), shadow(length, 0) {
  (void)fvf;
  (void)pool;
  GL_CHECK(glCreateBuffers(1, &glName));
  GL_CHECK(glNamedBufferData(glName, length, shadow.data(), GL_STATIC_DRAW));
}

VertexBuffer::~VertexBuffer() { glDeleteBuffers(1, &glName); }

Result VertexBuffer::Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) {
  (void)flags;
  if (offset > shadow.size() || size > shadow.size() - offset) return ResultInvalidCall;
  *data = shadow.data() + offset;
  return ResultOk;
}

Result VertexBuffer::Unlock() {
  GL_CHECK(glNamedBufferSubData(glName, 0, static_cast<GLsizeiptr>(shadow.size()), shadow.data()));
  return ResultOk;
}

// ---------------------------------------------------------------- device

GpuDevice::GpuDevice(WindowHandle focusWindow, const PresentParameters& params)
    : focusWindow(focusWindow), windowed(params.windowed), states(DefaultRenderStates()) {}

GpuDevice::~GpuDevice() {
  if (renderTarget) renderTarget->Release();
  if (depthSurface) depthSurface->Release();
  if (streamSource) streamSource->Release();
  DestroyBackBuffer();
  for (const FvfArray& entry : vertexArrays) glDeleteVertexArrays(1, &entry.vao);
  glDeleteFramebuffers(1, &framebuffer);
  glDeleteFramebuffers(1, &readFramebuffer);
  glDeleteFramebuffers(1, &blitFramebuffer);
  glDeleteBuffers(1, &streamBuffer);
  glDeleteBuffers(1, &streamIndexBuffer);
  SDL_GL_MakeCurrent(SdlWindowOf(focusWindow), nullptr);
  SDL_GL_DeleteContext(static_cast<SDL_GLContext>(glContext));
}

bool GpuDevice::CreateBackBuffer(const PresentParameters& params) {
  uint32_t width = params.backBufferWidth, height = params.backBufferHeight;
  if (params.windowed && (width == 0 || height == 0)) {
    uint32_t clientWidth = 0, clientHeight = 0;
    GetClientSize(focusWindow, &clientWidth, &clientHeight);
    if (width == 0) width = clientWidth;
    if (height == 0) height = clientHeight;
  }
  if (width == 0 || height == 0 || width > 16384 || height > 16384) return false;
  const Format format = params.backBufferFormat == FormatUnknown ? FormatA8R8G8B8 : params.backBufferFormat;
  backBufferTexture = new Texture(this, width, height, 1, UsageRenderTarget, format, PoolDefault, false);
  backBuffer = new Surface(this, backBufferTexture, 0, false);
  if (params.enableAutoDepthStencil)
    autoDepth = new Surface(this, width, height, params.autoDepthStencilFormat, PoolDefault, false);
  return true;
}

void GpuDevice::DestroyBackBuffer() {
  if (autoDepth) autoDepth->Release();
  if (backBuffer) backBuffer->Release();
  if (backBufferTexture) backBufferTexture->Release();
  autoDepth = nullptr;
  backBuffer = nullptr;
  backBufferTexture = nullptr;
}

Result GpuDevice::TestCooperativeLevel() {
  const bool away = simulatedAway || (!windowed && IsAppWindowAway(focusWindow));
  if (away) {
    cooperation = Cooperation::Lost;
    return ResultDeviceLost;
  }
  if (cooperation == Cooperation::Lost) cooperation = Cooperation::NotReset;
  return cooperation == Cooperation::NotReset ? ResultDeviceNotReset : ResultOk;
}

void GpuDevice::SimulateWindowAway(bool away) { simulatedAway = away; }

Result GpuDevice::Reset(PresentParameters* params) {
  if (TestCooperativeLevel() == ResultDeviceLost) return ResultDeviceLost;
  // As on the original platform: every default-pool target must be gone first.
  if (defaultPoolObjects > 0) return ResultInvalidCall;
  SetRenderTarget(0, nullptr);
  SetDepthStencilSurface(nullptr);
  DestroyBackBuffer();
  if (!CreateBackBuffer(*params)) return ResultInvalidCall;
  windowed = params->windowed;
  renderTarget = backBuffer;
  renderTarget->AddRef();
  depthSurface = autoDepth;
  if (depthSurface) depthSurface->AddRef();
  targetsDirty = true;
  for (uint32_t i = 0; i < static_cast<uint32_t>(RenderState::Count); ++i)
    ApplyRenderState(static_cast<RenderState>(i), DefaultRenderStates().values[i]);
  SDL_GL_SetSwapInterval(params->presentationInterval == PresentIntervalImmediate ? 0 : 1);
  cooperation = Cooperation::Ready;
  return ResultOk;
}

// Managed resources keep their processor copy and never leave the GPU here.
Result GpuDevice::EvictManagedResources() { return ResultOk; }

Result GpuDevice::BeginScene() { return ResultOk; }
Result GpuDevice::EndScene() { return ResultOk; }

Result GpuDevice::Present(const Rect* source, const Rect* dest, WindowHandle overrideWindow, const void* dirtyRegion) {
  (void)source;
  (void)dest;
  (void)overrideWindow;
  (void)dirtyRegion;
  if (cooperation != Cooperation::Ready) return ResultDeviceLost;
  SDL_Window* window = SdlWindowOf(focusWindow);
  int windowWidth = 0, windowHeight = 0;
  SDL_GL_GetDrawableSize(window, &windowWidth, &windowHeight);
  const int width = static_cast<int>(backBuffer->desc.width), height = static_cast<int>(backBuffer->desc.height);
  // Scale to fit, keeping the aspect ratio; black bars fill the rest.
  const double scale = std::min(double(windowWidth) / width, double(windowHeight) / height);
  const int shownWidth = static_cast<int>(width * scale + 0.5), shownHeight = static_cast<int>(height * scale + 0.5);
  const int x0 = (windowWidth - shownWidth) / 2, y0 = (windowHeight - shownHeight) / 2;
  GL_CHECK(glNamedFramebufferTexture(readFramebuffer, GL_COLOR_ATTACHMENT0, backBufferTexture->glName, 0));
  GL_CHECK(glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0));
  GL_CHECK(glDisable(GL_SCISSOR_TEST));
  GL_CHECK(glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE));
  GL_CHECK(glClearColor(0, 0, 0, 1));
  GL_CHECK(glClear(GL_COLOR_BUFFER_BIT));
  // Row 0 of the back buffer is its top; the window's row 0 is its bottom.
  GL_CHECK(glBlitNamedFramebuffer(readFramebuffer, 0, 0, 0, width, height, x0, y0 + shownHeight, x0 + shownWidth, y0,
                                  GL_COLOR_BUFFER_BIT, scale == 1.0 ? GL_NEAREST : GL_LINEAR));
  ApplyRenderState(RenderState::ColorWriteEnable, states.values[static_cast<uint32_t>(RenderState::ColorWriteEnable)]);
  SDL_GL_SwapWindow(window);
  targetsDirty = true;
  return ResultOk;
}

Result GpuDevice::GetRenderTarget(uint32_t index, Surface** surface) {
  if (index != 0) return ResultInvalidCall;
  *surface = renderTarget;
  if (renderTarget) renderTarget->AddRef();
  return renderTarget ? ResultOk : ResultFail;
}

Result GpuDevice::SetRenderTarget(uint32_t index, Surface* surface) {
  if (index != 0 || (surface && surface->depthRenderbuffer)) return ResultInvalidCall;
  if (surface) surface->AddRef();
  if (renderTarget) renderTarget->Release();
  renderTarget = surface;
  targetsDirty = true;
  return ResultOk;
}

Result GpuDevice::GetDepthStencilSurface(Surface** surface) {
  *surface = depthSurface;
  if (depthSurface) depthSurface->AddRef();
  return depthSurface ? ResultOk : ResultFail;
}

Result GpuDevice::SetDepthStencilSurface(Surface* surface) {
  if (surface && !surface->depthRenderbuffer) return ResultInvalidCall;
  if (surface) surface->AddRef();
  if (depthSurface) depthSurface->Release();
  depthSurface = surface;
  targetsDirty = true;
  return ResultOk;
}

void GpuDevice::BindTargets() {
  if (!targetsDirty) return;
  targetsDirty = false;
  if (renderTarget) {
    GL_CHECK(glNamedFramebufferTexture(framebuffer, GL_COLOR_ATTACHMENT0, renderTarget->parent->glName,
                                       static_cast<GLint>(renderTarget->level)));
  } else {
    GL_CHECK(glNamedFramebufferTexture(framebuffer, GL_COLOR_ATTACHMENT0, 0, 0));
  }
  const bool hasStencil = depthSurface && depthSurface->desc.format != FormatD16;
  GL_CHECK(glNamedFramebufferRenderbuffer(framebuffer, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, 0));
  if (depthSurface) {
    GL_CHECK(glNamedFramebufferRenderbuffer(framebuffer, hasStencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
                                            GL_RENDERBUFFER, depthSurface->depthRenderbuffer));
  }
  GL_CHECK(glBindFramebuffer(GL_FRAMEBUFFER, framebuffer));
  const Surface* sized = renderTarget ? renderTarget : depthSurface;
  if (sized)
    GL_CHECK(glViewport(0, 0, static_cast<GLsizei>(sized->desc.width), static_cast<GLsizei>(sized->desc.height)));
}

void GpuDevice::PixelCentreOffset(float* x, float* y) const {
  const Surface* sized = renderTarget ? renderTarget : depthSurface;
  const float width = sized ? float(sized->desc.width) : 1.0f, height = sized ? float(sized->desc.height) : 1.0f;
  // 63/128 of a pixel, a little under half, so shared triangle edges do not
  // land exactly on pixel centres. Clip y points up, rows go down.
  *x = (63.0f / 64.0f) / width;
  *y = -(63.0f / 64.0f) / height;
}

Result GpuDevice::CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage, Format format,
                             Pool pool, Texture** texture, void* sharedHandle) {
  (void)sharedHandle;
  *texture = nullptr;
  if (width == 0 || height == 0 || width > 16384 || height > 16384 || !IsTextureFormat(format)) return ResultInvalidCall;
  if ((usage & UsageRenderTarget) && pool != PoolDefault) return ResultInvalidCall;
  const uint32_t chain = FullChainLength(width, height);
  if (levels == 0 || levels > chain) levels = (usage & UsageRenderTarget) ? 1 : chain;
  *texture = new Texture(this, width, height, levels, usage, format, pool, true);
  return ResultOk;
}

Result GpuDevice::CreateVolumeTexture(uint32_t width, uint32_t height, uint32_t depth, uint32_t levels, uint32_t usage,
                                   Format format, Pool pool, VolumeTexture** texture, void* sharedHandle) {
  (void)sharedHandle;
  (void)usage;
  *texture = nullptr;
  if (width == 0 || height == 0 || depth == 0 || width > 2048 || height > 2048 || depth > 2048 ||
      !IsTextureFormat(format) || pool != PoolManaged)
    return ResultInvalidCall;
  const uint32_t chain = FullChainLength(width, height, depth);
  if (levels == 0 || levels > chain) levels = chain;
  *texture = new VolumeTexture(this, width, height, depth, levels, format);
  return ResultOk;
}

Result GpuDevice::CreateCubeTexture(uint32_t edge, uint32_t levels, uint32_t usage, Format format, Pool pool,
                                 CubeTexture** texture, void* sharedHandle) {
  (void)sharedHandle;
  (void)usage;
  *texture = nullptr;
  if (edge == 0 || edge > 16384 || !IsTextureFormat(format) || pool != PoolManaged) return ResultInvalidCall;
  const uint32_t chain = FullChainLength(edge, edge);
  if (levels == 0 || levels > chain) levels = chain;
  *texture = new CubeTexture(this, edge, levels, format);
  return ResultOk;
}

Result GpuDevice::CreateDepthStencilSurface(uint32_t width, uint32_t height, Format format, MultiSampleType multiSample,
                                         uint32_t multiSampleQuality, bool discard, Surface** surface,
                                         void* sharedHandle) {
  (void)discard;  // contents are never kept across a target switch here either
  (void)sharedHandle;
  *surface = nullptr;
  if (!IsDepthFormat(format) || multiSample != MultiSampleNone || multiSampleQuality != 0 || width == 0 ||
      height == 0 || width > 16384 || height > 16384)
    return ResultInvalidCall;
  *surface = new Surface(this, width, height, format, PoolDefault, true);
  return ResultOk;
}

Result GpuDevice::CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, Pool pool, VertexBuffer** buffer,
                                  void* sharedHandle) {
  (void)usage;
  (void)sharedHandle;
  *buffer = nullptr;
  if (length == 0) return ResultInvalidCall;
  *buffer = new VertexBuffer(this, length, fvf, pool);
  return ResultOk;
}

Result GpuDevice::Clear(uint32_t rectCount, const Rect* rects, uint32_t flags, uint32_t colour, float z,
                     uint32_t stencil) {
  if (rectCount != 0 || rects) return ResultInvalidCall;  // the program clears whole targets only
  BindTargets();
  GLbitfield mask = 0;
  GL_CHECK(glDisable(GL_SCISSOR_TEST));
  if ((flags & ClearTarget) && renderTarget) {
    float rgba[4];
    UnpackColour(colour, rgba);
    GL_CHECK(glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE));
    GL_CHECK(glClearColor(rgba[0], rgba[1], rgba[2], rgba[3]));
    mask |= GL_COLOR_BUFFER_BIT;
  }
  if ((flags & ClearZBuffer) && depthSurface) {
    GL_CHECK(glDepthMask(GL_TRUE));
    GL_CHECK(glClearDepth(z));
    mask |= GL_DEPTH_BUFFER_BIT;
  }
  if ((flags & ClearStencil) && depthSurface && depthSurface->desc.format == FormatD24S8) {
    GL_CHECK(glStencilMask(0xFF));
    GL_CHECK(glClearStencil(static_cast<GLint>(stencil)));
    mask |= GL_STENCIL_BUFFER_BIT;
  }
  if (mask) GL_CHECK(glClear(mask));
  // Put back the write masks the current render states ask for.
  ApplyRenderState(RenderState::ColorWriteEnable, states.values[static_cast<uint32_t>(RenderState::ColorWriteEnable)]);
  ApplyRenderState(RenderState::ZWriteEnable, states.values[static_cast<uint32_t>(RenderState::ZWriteEnable)]);
  return ResultOk;
}

Result GpuDevice::ColorFill(Surface* surface, const Rect* rect, uint32_t colour) {
  if (!surface || !surface->parent || rect) return ResultInvalidCall;
  float rgba[4];
  UnpackColour(colour, rgba);
  GL_CHECK(glClearTexImage(surface->parent->glName, static_cast<GLint>(surface->level), GL_RGBA, GL_FLOAT, rgba));
  return ResultOk;
}

Result GpuDevice::StretchRect(Surface* source, const Rect* sourceRect, Surface* dest, const Rect* destRect,
                           TextureFilter filter) {
  if (!source || !dest || !source->parent || !dest->parent) return ResultInvalidCall;
  const Rect wholeSource{0, 0, int32_t(source->desc.width), int32_t(source->desc.height)};
  const Rect wholeDest{0, 0, int32_t(dest->desc.width), int32_t(dest->desc.height)};
  const Rect& from = sourceRect ? *sourceRect : wholeSource;
  const Rect& to = destRect ? *destRect : wholeDest;
  GL_CHECK(glNamedFramebufferTexture(readFramebuffer, GL_COLOR_ATTACHMENT0, source->parent->glName,
                                     static_cast<GLint>(source->level)));
  GL_CHECK(glNamedFramebufferTexture(blitFramebuffer, GL_COLOR_ATTACHMENT0, dest->parent->glName,
                                     static_cast<GLint>(dest->level)));
  GL_CHECK(glDisable(GL_SCISSOR_TEST));  // a blit is clipped by the scissor, never by the colour mask
  // Both surfaces keep row 0 at the top, so the rectangles map directly.
  GL_CHECK(glBlitNamedFramebuffer(readFramebuffer, blitFramebuffer, from.left, from.top, from.right, from.bottom,
                                  to.left, to.top, to.right, to.bottom, GL_COLOR_BUFFER_BIT,
                                  filter == FilterLinear ? GL_LINEAR : GL_NEAREST));
  return ResultOk;
}

void GpuDevice::ApplyRenderState(RenderState state, uint32_t value) {
  states.values[static_cast<uint32_t>(state)] = value;
  const auto value_of = [this](RenderState other) { return states.values[static_cast<uint32_t>(other)]; };
  switch (state) {
    case RenderState::CullMode:
      if (value == CullNone) {
        GL_CHECK(glDisable(GL_CULL_FACE));
      } else {
        // Front faces are the clockwise ones on screen (set up at creation).
        GL_CHECK(glEnable(GL_CULL_FACE));
        GL_CHECK(glCullFace(value == CullCounterClockwise ? GL_BACK : GL_FRONT));
      }
      break;
    case RenderState::ZEnable:
      if (value) GL_CHECK(glEnable(GL_DEPTH_TEST));
      else GL_CHECK(glDisable(GL_DEPTH_TEST));
      break;
    case RenderState::ZWriteEnable: GL_CHECK(glDepthMask(value ? GL_TRUE : GL_FALSE)); break;
    case RenderState::ZFunc: GL_CHECK(glDepthFunc(GlCompare(value))); break;
    case RenderState::AlphaBlendEnable:
      if (value) GL_CHECK(glEnable(GL_BLEND));
      else GL_CHECK(glDisable(GL_BLEND));
      break;
    case RenderState::SrcBlend:
    case RenderState::DestBlend:
      GL_CHECK(glBlendFunc(GlBlendFactor(value_of(RenderState::SrcBlend)), GlBlendFactor(value_of(RenderState::DestBlend))));
      break;
    case RenderState::BlendOp: GL_CHECK(glBlendEquation(GlBlendEquation(value))); break;
    case RenderState::ColorWriteEnable:
      GL_CHECK(glColorMask((value & 1) != 0, (value & 2) != 0, (value & 4) != 0, (value & 8) != 0));
      break;
    case RenderState::Count: break;
  }
}

Result GpuDevice::SetRenderState(RenderState state, uint32_t value) {
  if (state >= RenderState::Count) return ResultInvalidCall;
  ApplyRenderState(state, value);
  return ResultOk;
}

Result GpuDevice::GetRenderState(RenderState state, uint32_t* value) const {
  if (state >= RenderState::Count) return ResultInvalidCall;
  *value = states.values[static_cast<uint32_t>(state)];
  return ResultOk;
}

Result GpuDevice::SetFVF(uint32_t fvf) {
  currentFvf = fvf;
  return ResultOk;
}

Result GpuDevice::SetStreamSource(uint32_t stream, VertexBuffer* buffer, uint32_t offsetBytes, uint32_t strideBytes) {
  if (stream != 0) return ResultInvalidCall;
  if (buffer) buffer->AddRef();
  if (streamSource) streamSource->Release();
  streamSource = buffer;
  streamOffset = offsetBytes;
  streamStride = strideBytes;
  return ResultOk;
}

uint32_t GpuDevice::VertexArrayFor(uint32_t fvf) {
  for (const FvfArray& entry : vertexArrays)
    if (entry.fvf == fvf) return entry.vao;
  GLuint vao = 0;
  GL_CHECK(glCreateVertexArrays(1, &vao));
  GLuint offset = 0;
  const auto attribute = [&](GLuint location, GLint components) {
    GL_CHECK(glEnableVertexArrayAttrib(vao, location));
    GL_CHECK(glVertexArrayAttribFormat(vao, location, components, GL_FLOAT, GL_FALSE, offset));
    GL_CHECK(glVertexArrayAttribBinding(vao, location, 0));
    offset += GLuint(components) * 4;
  };
  if (fvf & FvfXyz) attribute(0, 3);
  if (fvf & FvfNormal) attribute(1, 3);
  if (fvf & FvfTex1) attribute(2, 2);
  vertexArrays.push_back({fvf, vao});
  return vao;
}

Result GpuDevice::DrawPrimitive(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) {
  if (type != PrimitiveTriangleList || !streamSource || !currentFvf) return ResultInvalidCall;
  BindTargets();
  const GLuint vao = VertexArrayFor(currentFvf);
  GL_CHECK(glVertexArrayVertexBuffer(vao, 0, streamSource->glName, streamOffset,
                                     static_cast<GLsizei>(streamStride ? streamStride : FvfStride(currentFvf))));
  GL_CHECK(glBindVertexArray(vao));
  GL_CHECK(glDrawArrays(GL_TRIANGLES, static_cast<GLint>(startVertex), static_cast<GLsizei>(primitiveCount * 3)));
  return ResultOk;
}

Result GpuDevice::DrawIndexedPrimitiveUP(PrimitiveType type, uint32_t minVertexIndex, uint32_t vertexCount,
                                      uint32_t primitiveCount, const void* indices, IndexFormat indexFormat,
                                      const void* vertices, uint32_t vertexStride) {
  if (type != PrimitiveTriangleList || indexFormat != IndexFormat16 || !currentFvf || !indices || !vertices)
    return ResultInvalidCall;
  BindTargets();
  const GLuint vao = VertexArrayFor(currentFvf);
  // Fresh storage every draw, so the driver never waits on the previous one.
  GL_CHECK(glNamedBufferData(streamBuffer, GLsizeiptr(minVertexIndex + vertexCount) * vertexStride, vertices,
                             GL_STREAM_DRAW));
  GL_CHECK(glNamedBufferData(streamIndexBuffer, GLsizeiptr(primitiveCount) * 3 * 2, indices, GL_STREAM_DRAW));
  GL_CHECK(glVertexArrayVertexBuffer(vao, 0, streamBuffer, 0, static_cast<GLsizei>(vertexStride)));
  GL_CHECK(glVertexArrayElementBuffer(vao, streamIndexBuffer));
  GL_CHECK(glBindVertexArray(vao));
  GL_CHECK(glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(primitiveCount * 3), GL_UNSIGNED_SHORT, nullptr));
  return ResultOk;
}

void GpuDevice::DrawIndexedBuffers(uint32_t fvf, uint32_t vertexBuffer, uint32_t indexBuffer, uint32_t indexCount) {
  BindTargets();
  const GLuint vao = VertexArrayFor(fvf);
  GL_CHECK(glVertexArrayVertexBuffer(vao, 0, vertexBuffer, 0, static_cast<GLsizei>(FvfStride(fvf))));
  GL_CHECK(glVertexArrayElementBuffer(vao, indexBuffer));
  GL_CHECK(glBindVertexArray(vao));
  GL_CHECK(glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indexCount), GL_UNSIGNED_SHORT, nullptr));
}

Result GpuDevice::ReadSurface(Surface* surface, std::vector<float>* rgba) {
  if (!surface || !surface->parent) return ResultInvalidCall;
  const SurfaceDesc& desc = surface->desc;
  rgba->assign(size_t{desc.width} * desc.height * 4, 0.0f);
  GL_CHECK(glPixelStorei(GL_PACK_ALIGNMENT, 4));
  GL_CHECK(glGetTextureImage(surface->parent->glName, static_cast<GLint>(surface->level), GL_RGBA, GL_FLOAT,
                             static_cast<GLsizei>(rgba->size() * sizeof(float)), rgba->data()));
  return ResultOk;
}

// ---------------------------------------------------------------- system

GraphicsSystem* CreateGraphicsSystem(uint32_t version) {
  (void)version;  // one version of the interface exists here
  return new GraphicsSystem;
}

const char* LastGraphicsError() { return lastGraphicsError.c_str(); }

Result GraphicsSystem::CreateDevice(uint32_t adapter, DeviceType type, WindowHandle focusWindow,
                                    uint32_t behaviourFlags, PresentParameters* params, GpuDevice** device) {
  (void)behaviourFlags;
  *device = nullptr;
  SDL_Window* window = SdlWindowOf(focusWindow);
  if (adapter != DefaultAdapter || type != DeviceTypeHardware || !window || !params) {
    lastGraphicsError = window ? "invalid device parameters" : LastWindowError();
    return ResultInvalidCall;
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 4);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 5);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
  if (!params->windowed) {
    // Cover the desktop without a frame first: with no window manager to
    // honour the full-screen request (a bare X server), the window would
    // keep its old size while SDL reports the desktop's.
    Rect desktop;
    GetDesktopRect(&desktop);
    SDL_SetWindowBordered(window, SDL_FALSE);
    SDL_SetWindowPosition(window, 0, 0);
    SDL_SetWindowSize(window, desktop.right, desktop.bottom);
    SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
  }
  SDL_GLContext context = SDL_GL_CreateContext(window);
  if (!context) {
    lastGraphicsError = std::string("OpenGL 4.5 core profile not available (") + SDL_GetError() + ")";
    return ResultNotAvailable;
  }
  SDL_GL_MakeCurrent(window, context);
  auto* made = new GpuDevice(focusWindow, *params);
  made->glContext = context;
  // Direct3D-style conventions: depth 0..1 and row 0 at the top; with the
  // upper-left origin the clockwise faces on screen are the front ones.
  GL_CHECK(glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE));
  GL_CHECK(glFrontFace(GL_CW));
  GL_CHECK(glCreateFramebuffers(1, &made->framebuffer));
  GL_CHECK(glCreateFramebuffers(1, &made->readFramebuffer));
  GL_CHECK(glCreateFramebuffers(1, &made->blitFramebuffer));
  GL_CHECK(glCreateBuffers(1, &made->streamBuffer));
  GL_CHECK(glCreateBuffers(1, &made->streamIndexBuffer));
  if (!made->CreateBackBuffer(*params)) {
    lastGraphicsError = "invalid back-buffer size";
    made->Release();
    return ResultInvalidCall;
  }
  made->renderTarget = made->backBuffer;
  made->renderTarget->AddRef();
  made->depthSurface = made->autoDepth;
  if (made->depthSurface) made->depthSurface->AddRef();
  for (uint32_t i = 0; i < static_cast<uint32_t>(RenderState::Count); ++i)
    made->ApplyRenderState(static_cast<RenderState>(i), made->states.values[i]);
  SDL_GL_SetSwapInterval(params->presentationInterval == PresentIntervalImmediate ? 0 : 1);
  *device = made;
  return ResultOk;
}
