// window: the program's one window, its class, its message queue, the cursor,
// the desktop and sleeping, over SDL2.
//
// What it does: keeps the message-queue semantics the main loop is written
// against. PeekMessage takes one message at a time (pumping SDL first);
// DispatchMessage calls the window procedure of the message's window; a key
// press arrives as MsgKeyDown with a virtual-key code (Escape is 27); the
// close box arrives as MsgClose, whose default handling destroys the window,
// which sends MsgDestroy; PostQuitMessage queues MsgQuit (0x12). An interrupt
// or terminate signal closes every window the same way.
// What it does not: child windows, menus, text input, more than one window
// class instance per name, or any message the program never looks at (those
// reach the default procedure, which ignores them).
// Lifetime: SDL's video part starts with the first window and ends when the
// process exits. A destroyed window is hidden and stops receiving messages;
// its SDL window stays until exit so a graphics context made on it stays
// valid through the shut-down.
#pragma once

#include <cstdint>

struct SDL_Window;

struct PlatformWindow;
using WindowHandle = PlatformWindow*;

// Message numbers: the values the program compares against.
enum MessageId : uint32_t {
  MsgDestroy = 0x0002,
  MsgActivate = 0x0006,  // wParam: 1 when the window gains focus, 0 when it loses it
  MsgClose = 0x0010,
  MsgQuit = 0x0012,      // wParam: the exit code given to PostQuitMessage
  MsgKeyDown = 0x0100,   // wParam: the virtual-key code
};

// Virtual-key codes for the keys the program or its tests name.
enum VirtualKey : uintptr_t {
  VkReturn = 0x0D,
  VkEscape = 0x1B,
  VkSpace = 0x20,
};

struct Message {
  WindowHandle window = nullptr;  // null for thread messages such as MsgQuit
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};

using WindowProcedure = intptr_t (*)(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);

struct WindowClass {
  uint32_t style = 0;                    // kept for completeness; no style changes behaviour here
  WindowProcedure procedure = nullptr;   // receives every dispatched and sent message
  const char* className = nullptr;       // compared by characters, as window systems do
};

struct Rect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;  // pixels; right and bottom exclusive
};

bool RegisterWindowClass(const WindowClass& windowClass);
bool UnregisterWindowClass(const char* className);

// Creates a hidden window whose outer size, frame included, is outerWidth by
// outerHeight pixels (the frame the window manager reports is subtracted; with
// none the client area has that size). Returns null, with LastWindowError()
// set, when there is no display or the class is unknown.
WindowHandle CreateAppWindow(const char* className, const char* title, int32_t x, int32_t y, int32_t outerWidth,
                             int32_t outerHeight);
const char* LastWindowError();

void ShowAppWindow(WindowHandle window);
void UpdateAppWindow(WindowHandle window);
// Sends MsgDestroy to the window procedure, then hides the window for good.
void DestroyAppWindow(WindowHandle window);
bool IsAppWindowAlive(WindowHandle window);

// Counts like the platform's cursor display counter: the cursor shows while
// the count is 0 or more. Returns the new count.
int32_t ShowCursor(bool show);

// Takes one message. With remove set it leaves the queue. Returns false when
// the queue is empty.
bool PeekMessage(Message* message, bool remove);
// Nothing to translate: the program reads no characters. Kept so the loop
// reads as it is written.
void TranslateMessage(const Message* message);
intptr_t DispatchMessage(const Message* message);
void PostQuitMessage(int32_t exitCode);
intptr_t DefWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// The desktop rectangle: (0, 0) to the primary display's size in pixels.
void GetDesktopRect(Rect* rect);
WindowHandle GetForegroundWindow();
void SleepMilliseconds(uint32_t milliseconds);

// For the graphics device: the SDL window behind a handle, and its client
// size in pixels.
SDL_Window* SdlWindowOf(WindowHandle window);
void GetClientSize(WindowHandle window, uint32_t* width, uint32_t* height);
// True when the window is minimised or has lost the input focus.
bool IsAppWindowAway(WindowHandle window);

// For tests: puts a message in the queue as if SDL had delivered it.
void InjectMessage(const Message& message);
