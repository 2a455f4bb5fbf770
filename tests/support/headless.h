// headless: a real graphics device with no display, for tests.
//
// Tests run with SDL's offscreen video driver (Mesa's EGL, llvmpipe when there
// is no GPU) and its dummy audio driver, from the repository's root so the
// content folders resolve. OpenHeadlessDevice makes the program's window and
// runs InitDevice exactly as the program does; CloseHeadlessDevice runs
// ShutdownDevice. The window class stays registered for the whole process.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/window.h"

// Sets the SDL drivers for a headless run; call before anything touches SDL.
void UseHeadlessDrivers();
// Returns false (and the reason in the test log) if no device can be made.
bool OpenHeadlessDevice(WindowHandle* window = nullptr);
void CloseHeadlessDevice();

struct Rgba {
  float r, g, b, a;
};
// Reads a colour surface back, row 0 at the top.
std::vector<Rgba> ReadPixels(class Surface* surface);
