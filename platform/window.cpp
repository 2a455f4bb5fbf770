#include "platform/window.h"

#include <SDL2/SDL.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

struct PlatformWindow {
  SDL_Window* sdlWindow = nullptr;
  WindowProcedure procedure = nullptr;
  bool alive = true;
  bool minimised = false;
  bool focusLost = false;
};

namespace {

std::vector<WindowClass> registeredClasses;
std::deque<Message> messageQueue;
std::vector<PlatformWindow*> windows;  // every window made; freed at exit
std::string lastWindowError;
int32_t cursorCount = 0;

struct VideoShutdown {
  ~VideoShutdown() {
    for (PlatformWindow* window : windows) {
      if (window->sdlWindow) SDL_DestroyWindow(window->sdlWindow);
      delete window;
    }
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
} videoShutdown;

// Picks the display the session has (X11, Wayland, or the console's) and
// tries nothing else: probing a display system that is not there prints its
// own complaints, and SDL's last resort shows nothing at all. A driver named
// in SDL_VIDEODRIVER (tests use "offscreen") is taken as asked.
bool VideoReady() {
  if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
  std::string failures;
  auto attempt = [&failures](const char* driver) {
    if (driver) SDL_SetHint(SDL_HINT_VIDEODRIVER, driver);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) return true;
    failures += failures.empty() ? "" : "; ";
    failures += SDL_GetError();
    return false;
  };
  const char* requested = SDL_getenv("SDL_VIDEODRIVER");
  bool ready = false;
  if (requested && *requested) {
    ready = attempt(nullptr);
  } else {
    if (SDL_getenv("WAYLAND_DISPLAY") && !ready) ready = attempt("wayland");
    if (SDL_getenv("DISPLAY") && !ready) ready = attempt("x11");
    if (!SDL_getenv("WAYLAND_DISPLAY") && !SDL_getenv("DISPLAY")) ready = attempt("kmsdrm");
  }
  if (!ready) lastWindowError = "no display (" + failures + ")";
  return ready;
}

const WindowClass* FindClass(const char* name) {
  for (const WindowClass& windowClass : registeredClasses)
    if (!std::strcmp(windowClass.className, name)) return &windowClass;
  return nullptr;
}

PlatformWindow* WindowOfSdlId(uint32_t id) {
  for (PlatformWindow* window : windows)
    if (window->alive && window->sdlWindow && SDL_GetWindowID(window->sdlWindow) == id) return window;
  return nullptr;
}

uintptr_t VirtualKeyOf(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
  if (key >= SDLK_F1 && key <= SDLK_F12) return 0x70 + (key - SDLK_F1);
  switch (key) {
    case SDLK_ESCAPE: return VkEscape;
    case SDLK_RETURN: return VkReturn;
    case SDLK_SPACE: return VkSpace;
    case SDLK_BACKSPACE: return 0x08;
    case SDLK_TAB: return 0x09;
    case SDLK_LEFT: return 0x25;
    case SDLK_UP: return 0x26;
    case SDLK_RIGHT: return 0x27;
    case SDLK_DOWN: return 0x28;
    default: return 0xFF;  // a key the program has no name for; still a key press
  }
}

void Post(PlatformWindow* window, uint32_t message, uintptr_t wParam) {
  messageQueue.push_back(Message{window, message, wParam, 0});
}

// Turns every pending SDL event into the message the window would get.
void PumpSdlEvents() {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    switch (event.type) {
      case SDL_KEYDOWN:
        if (PlatformWindow* window = WindowOfSdlId(event.key.windowID))
          Post(window, MsgKeyDown, VirtualKeyOf(event.key.keysym.sym));
        break;
      case SDL_WINDOWEVENT: {
        PlatformWindow* window = WindowOfSdlId(event.window.windowID);
        if (!window) break;
        switch (event.window.event) {
          case SDL_WINDOWEVENT_CLOSE: Post(window, MsgClose, 0); break;
          case SDL_WINDOWEVENT_MINIMIZED: window->minimised = true; break;
          case SDL_WINDOWEVENT_RESTORED:
          case SDL_WINDOWEVENT_MAXIMIZED: window->minimised = false; break;
          case SDL_WINDOWEVENT_FOCUS_LOST:
            window->focusLost = true;
            Post(window, MsgActivate, 0);
            break;
          case SDL_WINDOWEVENT_FOCUS_GAINED:
            window->focusLost = false;
            Post(window, MsgActivate, 1);
            break;
          default: break;
        }
        break;
      }
      case SDL_QUIT:
        // SDL turns an interrupt or terminate signal into a quit request (it
        // also follows the last window's close event): close every window,
        // as the close box would, so the program shuts down in order.
        for (PlatformWindow* window : windows)
          if (window->alive) Post(window, MsgClose, 0);
        break;
      default: break;
    }
  }
}

}  // namespace

bool RegisterWindowClass(const WindowClass& windowClass) {
  if (!windowClass.className || !windowClass.procedure || FindClass(windowClass.className)) return false;
  registeredClasses.push_back(windowClass);
  return true;
}

bool UnregisterWindowClass(const char* className) {
  for (auto it = registeredClasses.begin(); it != registeredClasses.end(); ++it) {
    if (!std::strcmp(it->className, className)) {
      registeredClasses.erase(it);
      return true;
    }
  }
  return false;
}

WindowHandle CreateAppWindow(const char* className, const char* title, int32_t x, int32_t y, int32_t outerWidth,
                             int32_t outerHeight) {
  const WindowClass* windowClass = FindClass(className);
  if (!windowClass) {
    lastWindowError = std::string("unknown window class ") + className;
    return nullptr;
  }
  if (!VideoReady()) return nullptr;
  SDL_Window* sdlWindow = SDL_CreateWindow(title, x, y, outerWidth, outerHeight,
                                           SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
  if (!sdlWindow) {
    lastWindowError = std::string("cannot create the window (") + SDL_GetError() + ")";
    return nullptr;
  }
  // The outer size includes the frame: take the frame off the client area.
  int top = 0, left = 0, bottom = 0, right = 0;
  if (SDL_GetWindowBordersSize(sdlWindow, &top, &left, &bottom, &right) == 0 && (top | left | bottom | right)) {
    SDL_SetWindowSize(sdlWindow, outerWidth - left - right, outerHeight - top - bottom);
    SDL_SetWindowPosition(sdlWindow, x + left, y + top);
  }
  auto* window = new PlatformWindow;
  window->sdlWindow = sdlWindow;
  window->procedure = windowClass->procedure;
  windows.push_back(window);
  return window;
}

const char* LastWindowError() { return lastWindowError.c_str(); }

void ShowAppWindow(WindowHandle window) {
  if (window && window->alive) SDL_ShowWindow(window->sdlWindow);
}

// The first frame paints the window; there is nothing to flush before it.
void UpdateAppWindow(WindowHandle window) { (void)window; }

void DestroyAppWindow(WindowHandle window) {
  if (!window || !window->alive) return;
  window->procedure(window, MsgDestroy, 0, 0);
  window->alive = false;
  SDL_HideWindow(window->sdlWindow);
  // Messages already queued for the window are dropped, as they would be.
  std::erase_if(messageQueue, [window](const Message& message) { return message.window == window; });
}

bool IsAppWindowAlive(WindowHandle window) { return window && window->alive; }

int32_t ShowCursor(bool show) {
  cursorCount += show ? 1 : -1;
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(cursorCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
  return cursorCount;
}

bool PeekMessage(Message* message, bool remove) {
  PumpSdlEvents();
  if (messageQueue.empty()) return false;
  *message = messageQueue.front();
  if (remove) messageQueue.pop_front();
  return true;
}

void TranslateMessage(const Message* message) { (void)message; }

intptr_t DispatchMessage(const Message* message) {
  if (!message->window || !message->window->alive) return 0;
  return message->window->procedure(message->window, message->message, message->wParam, message->lParam);
}

void PostQuitMessage(int32_t exitCode) { Post(nullptr, MsgQuit, static_cast<uintptr_t>(exitCode)); }

intptr_t DefWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  (void)wParam;
  (void)lParam;
  if (message == MsgClose) DestroyAppWindow(window);
  return 0;
}

void GetDesktopRect(Rect* rect) {
  *rect = Rect{};
  SDL_Rect bounds;
  if (VideoReady() && SDL_GetDisplayBounds(0, &bounds) == 0) {
    rect->right = bounds.w;
    rect->bottom = bounds.h;
  }
}

WindowHandle GetForegroundWindow() {
  for (PlatformWindow* window : windows)
    if (window->alive && !window->focusLost && !window->minimised) return window;
  return nullptr;
}

void SleepMilliseconds(uint32_t milliseconds) { SDL_Delay(milliseconds); }

SDL_Window* SdlWindowOf(WindowHandle window) { return window ? window->sdlWindow : nullptr; }

void GetClientSize(WindowHandle window, uint32_t* width, uint32_t* height) {
  int w = 0, h = 0;
  if (window) SDL_GL_GetDrawableSize(window->sdlWindow, &w, &h);
  *width = static_cast<uint32_t>(w);
  *height = static_cast<uint32_t>(h);
}

bool IsAppWindowAway(WindowHandle window) { return window && (window->minimised || window->focusLost); }

void InjectMessage(const Message& message) { messageQueue.push_back(message); }
