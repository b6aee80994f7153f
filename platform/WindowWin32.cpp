#include <windows.h>

#include "platform/WindowPlatform.h"

namespace {

HWND ToHwnd(WindowHandle window)
{
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window));
}

WindowHandle FromHwnd(HWND window)
{
    return static_cast<WindowHandle>(reinterpret_cast<std::uintptr_t>(window));
}

int screenPointer = DefaultPointer;

}  // namespace

namespace WindowPlatform {

WindowHandle ForegroundWindow()
{
    return FromHwnd(GetForegroundWindow());
}

std::uint32_t WindowThread(WindowHandle window)
{
    return GetWindowThreadProcessId(ToHwnd(window), nullptr);
}

bool AttachInput(std::uint32_t fromThread, std::uint32_t toThread, bool attach)
{
    return AttachThreadInput(fromThread, toThread, attach) != FALSE;
}

bool SetForeground(WindowHandle window)
{
    return SetForegroundWindow(ToHwnd(window)) != FALSE;
}

bool IsMinimized(WindowHandle window)
{
    return IsIconic(ToHwnd(window)) != FALSE;
}

bool Show(WindowHandle window, int showCommand)
{
    return ShowWindow(ToHwnd(window), showCommand) != FALSE;
}

void Focus(WindowHandle window)
{
    SetFocus(ToHwnd(window));
}

void SetScreenPointer(int pointer)
{
    screenPointer = pointer;
    ShowPointer(pointer);
}

int ShowPointer(int pointer)
{
    int shown = screenPointer == HourglassPointer ? HourglassPointer : pointer;
    SetCursor(LoadCursorA(nullptr, shown == HourglassPointer ? IDC_WAIT : IDC_ARROW));
    return shown;
}

}  // namespace WindowPlatform
