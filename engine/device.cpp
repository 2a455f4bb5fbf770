// The device, its display preset and the frame.
#include "engine/engine.h"

GraphicsSystem* Direct3DObject = nullptr;
GpuDevice* Device = nullptr;
GpuEffectPool* EffectPool = nullptr;
PresentParameters PresentParams;
SurfaceDesc BackBufferDesc;
BackBufferExtent BackBufferSize;
Surface* FrameBackBuffer = nullptr;
Surface* FrameDepthSurface = nullptr;
Matrix BackBufferUVTransform;
bool DeviceLost = false;

namespace {

constexpr uint32_t GraphicsInterfaceVersion = 0x80000020u;
std::string deviceFailureReason;

template <typename T>
void ReleaseAndClear(T*& object) {
  if (object) {
    object->Release();
    object = nullptr;
  }
}

void ReadBackBufferDesc() {
  if (!FrameBackBuffer) return;
  FrameBackBuffer->GetDesc(&BackBufferDesc);
  BackBufferSize.width = BackBufferDesc.width;
  BackBufferSize.height = BackBufferDesc.height;
}

}  // namespace

const std::string& DeviceFailureReason() { return deviceFailureReason; }

void FillPresentParams(DisplayPreset preset, PresentParameters* params) {
  *params = PresentParameters{};
  params->backBufferFormat = FormatA8R8G8B8;
  params->swapEffect = SwapEffectDiscard;
  params->enableAutoDepthStencil = true;
  params->autoDepthStencilFormat = FormatD24S8;
  params->windowed = false;
  params->presentationInterval = PresentIntervalDefault;
  switch (preset) {
    case DisplayPreset::Window:
      // 0 by 0: the window's client area.
      params->windowed = true;
      params->presentationInterval = PresentIntervalImmediate;
      break;
    case DisplayPreset::FullScreen1280:
      params->backBufferWidth = 1280;
      params->backBufferHeight = 1024;
      break;
    case DisplayPreset::FullScreen1024:
      params->backBufferWidth = 1024;
      params->backBufferHeight = 768;
      break;
    case DisplayPreset::Desktop: {
      Rect desktop;
      GetDesktopRect(&desktop);
      params->backBufferWidth = static_cast<uint32_t>(desktop.right);
      params->backBufferHeight = static_cast<uint32_t>(desktop.bottom);
      break;
    }
  }
}

void BuildUVTransform(Matrix* out, uint32_t width, uint32_t height) {
  const float w = static_cast<float>(width), h = static_cast<float>(height);
  *out = Matrix{{{0.5f, 0, 0, 0}, {0, -0.5f, 0, 0}, {0, 0, 1, 0}, {0.5f + 0.5f / w, 0.5f + 0.5f / h, 0, 1}}};
}

bool InitDevice(WindowHandle window) {
  deviceFailureReason.clear();
  Direct3DObject = CreateGraphicsSystem(GraphicsInterfaceVersion);
  if (!Direct3DObject) {
    deviceFailureReason = "no graphics system";
    return false;
  }
  FillPresentParams(BuildDisplayPreset, &PresentParams);
  if (Failed(Direct3DObject->CreateDevice(DefaultAdapter, DeviceTypeHardware, window, CreateHardwareVertexProcessing,
                                          &PresentParams, &Device))) {
    deviceFailureReason = LastGraphicsError();
    Device = nullptr;
    ReleaseAndClear(Direct3DObject);
    return false;
  }
  Device->GetRenderTarget(0, &FrameBackBuffer);
  ReadBackBufferDesc();
  ReleaseAndClear(FrameBackBuffer);
  CreateEffectPool(&EffectPool);
  RestoreDeviceResources();
  return true;
}

bool CheckDevice() {
  const Result cooperation = Device->TestCooperativeLevel();
  if (DeviceLost) {
    if (cooperation != ResultDeviceNotReset) return false;
    Device->Reset(&PresentParams);
    RestoreDeviceResources();
    DeviceLost = false;
    return true;
  }
  if (cooperation == ResultOk) return true;
  // Lost, or already waiting for a reset: let go now, reset on a later call.
  ReleaseDeviceResources();
  DeviceLost = true;
  return false;
}

bool BeginFrame() {
  Device->GetRenderTarget(0, &FrameBackBuffer);
  Device->GetDepthStencilSurface(&FrameDepthSurface);
  ReadBackBufferDesc();
  BuildUVTransform(&BackBufferUVTransform, BackBufferSize.width, BackBufferSize.height);
  Device->BeginScene();
  return true;
}

bool EndFrame() {
  Device->EndScene();
  Device->Present(nullptr, nullptr, nullptr, nullptr);
  ReleaseAndClear(FrameBackBuffer);
  ReleaseAndClear(FrameDepthSurface);
  return true;
}

bool ShutdownDevice() {
  ReleaseRegistryResources();
  ReleaseAndClear(EffectPool);
  ReleaseAndClear(Device);
  ReleaseAndClear(Direct3DObject);
  return true;
}
