#include "tests/support/headless.h"

#include <cstdio>
#include <cstdlib>

#include "engine/engine.h"
#include "shell/shell.h"

void UseHeadlessDrivers() {
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
}

bool OpenHeadlessDevice(WindowHandle* window) {
  UseHeadlessDrivers();
  static WindowHandle shared = nullptr;
  if (!shared) {
    WindowClass windowClass;
    windowClass.procedure = MainWindowProc;
    windowClass.className = WindowClassName;
    RegisterWindowClass(windowClass);
    shared = CreateAppWindow(WindowClassName, WindowTitle, 0, 0, 1024, 768);
  }
  if (window) *window = shared;
  if (!InitDevice(shared)) {
    std::fprintf(stderr, "no headless device: %s\n", DeviceFailureReason().c_str());
    return false;
  }
  return true;
}

void CloseHeadlessDevice() { ShutdownDevice(); }

std::vector<Rgba> ReadPixels(Surface* surface) {
  std::vector<float> floats;
  Device->ReadSurface(surface, &floats);
  std::vector<Rgba> pixels(floats.size() / 4);
  for (size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = Rgba{floats[4 * i], floats[4 * i + 1], floats[4 * i + 2], floats[4 * i + 3]};
  return pixels;
}
