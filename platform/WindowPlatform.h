#pragma once

#include <cstdint>

// A top-level window handle without windows.h.
enum class WindowHandle : std::uintptr_t { None = 0 };

// Mouse-pointer codes: the pointer a window shows by itself, and the hourglass.
inline constexpr int DefaultPointer = 0;
inline constexpr int HourglassPointer = 11;

// The window manager calls of the platform; the Windows build links the Win32
// adapter, the host build a recording stand-in.
namespace WindowPlatform {

WindowHandle ForegroundWindow();
// The thread that created `window` (no process identifier is asked for).
std::uint32_t WindowThread(WindowHandle window);
bool AttachInput(std::uint32_t fromThread, std::uint32_t toThread, bool attach);
bool SetForeground(WindowHandle window);
bool IsMinimized(WindowHandle window);
bool Show(WindowHandle window, int showCommand);
void Focus(WindowHandle window);
// The application-wide pointer, which wins over every window's own.
void SetScreenPointer(int pointer);
// Shows `pointer` now, or the hourglass when the application-wide pointer is
// the hourglass: a command does not return to the message loop, so no
// WM_SETCURSOR would change it while it runs. Returns what it showed.
int ShowPointer(int pointer);

}  // namespace WindowPlatform
