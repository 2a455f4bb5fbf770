// The program's entry: window, start-up, the main loop and shut-down.
#include <cstdio>

#include "engine/engine.h"
#include "shell/shell.h"

namespace {

constexpr uint32_t ClassStyleOwnDeviceContext = 0x40;

}  // namespace

intptr_t MainWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message == MsgDestroy) {
    PostQuitMessage(0);
    return 0;
  }
  if (message == MsgKeyDown) {
    // Escape ends the show; every other key is swallowed.
    if (wParam == VkEscape) PostQuitMessage(0);
    return 0;
  }
  return DefWindowProc(window, message, wParam, lParam);
}

bool ShowIsRunning() { return DemoTime < DemoEndTime; }

bool StartUp(WindowHandle* window) {
  WindowClass windowClass;
  windowClass.style = ClassStyleOwnDeviceContext;
  windowClass.procedure = MainWindowProc;
  windowClass.className = WindowClassName;
  RegisterWindowClass(windowClass);
  *window = CreateAppWindow(WindowClassName, WindowTitle, 0, 0, 1024, 768);
  if (!InitDevice(*window)) {
    std::fprintf(stderr, "vantrel: cannot create the graphics device: %s\n", DeviceFailureReason().c_str());
    return false;
  }
  ShowAppWindow(*window);
  UpdateAppWindow(*window);
  ShowCursor(false);
  InitSharedState();
  // Everything the show needs must have loaded before the music starts.
  const std::vector<std::string> problems = ContentProblems();
  for (const std::string& problem : problems) std::fprintf(stderr, "vantrel: %s\n", problem.c_str());
  if (!problems.empty()) return false;
  return StartSoundtrack();
}

void RunMainLoop() {
  Message message{};
  for (;;) {
    if (!ShowIsRunning()) break;
    if (PeekMessage(&message, true)) {
      TranslateMessage(&message);
      DispatchMessage(&message);
    } else {
      TimelineDirector();
    }
    // The record keeps the last message taken; nothing follows a quit
    // message, so it ends the loop in the pass that takes it.
    if (message.message == MsgQuit) break;
  }
}

void ShutDown() {
  ReleaseSharedState();
  ShutdownDevice();
}

int RunDemo() {
  WindowHandle window = nullptr;
  const bool started = StartUp(&window);
  if (started) RunMainLoop();
  if (Device) ShutDown();
  UnregisterWindowClass(WindowClassName);
  return started ? 0 : 1;
}
