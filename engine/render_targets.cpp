// Named render targets: made on first request from a name, a size rule and a
// format; released when the device is lost and made again after the reset.
#include "engine/engine.h"

RenderTarget::RenderTarget() { MatrixIdentity(&uvTransform); }

RenderTarget::~RenderTarget() { ReleaseRenderTarget(this); }

RenderTarget* LookupRenderTarget(const char* name, int32_t width, int32_t height, Format format) {
  RenderTarget* target = &RenderTargetRegistry[name];
  if (target->surface) return target;
  // The stored width and height are the raw request until the size rule runs.
  target->desc = SurfaceDesc{format,           ResourceTexture, UsageRenderTarget,           PoolDefault,
                             MultiSampleNone,  0,               static_cast<uint32_t>(width), static_cast<uint32_t>(height)};
  target->widthDivisor = width < 0 ? static_cast<uint32_t>(-width) : 0;
  target->heightDivisor = height < 0 ? static_cast<uint32_t>(-height) : 0;
  RecreateRenderTarget(target);
  return target;
}

void RecreateRenderTarget(RenderTarget* target) {
  ReleaseRenderTarget(target);
  SurfaceDesc& desc = target->desc;
  // The back-buffer size as last read at a frame start: a reset does not read it.
  if (target->widthDivisor != 0) desc.width = BackBufferSize.width / target->widthDivisor;
  if (target->heightDivisor != 0) desc.height = BackBufferSize.height / target->heightDivisor;
  if (IsDepthFormat(desc.format)) {
    Device->CreateDepthStencilSurface(desc.width, desc.height, desc.format, desc.multiSampleType,
                                      desc.multiSampleQuality, true, &target->surface, nullptr);
  } else {
    Device->CreateTexture(desc.width, desc.height, 1, desc.usage, desc.format, desc.pool, &target->texture, nullptr);
    if (target->texture) {
      target->texture->GetSurfaceLevel(0, &target->surface);
      // Every new colour target starts opaque white.
      Device->ColorFill(target->surface, nullptr, 0xFFFFFFFFu);
    }
  }
  BuildUVTransform(&target->uvTransform, desc.width, desc.height);
}

void ReleaseRenderTarget(RenderTarget* target) {
  if (target->surface) {
    target->surface->Release();
    target->surface = nullptr;
  }
  if (target->texture) {
    target->texture->Release();
    target->texture = nullptr;
  }
}
