#include "helpers/Foreground.h"

namespace {

constexpr int ShowRestore = 9;
constexpr int ShowCurrent = 5;

void SetPointer(PointerOwner* form, int pointer)
{
    if (form)
        form->SetMousePointer(pointer);
    else
        WindowPlatform::SetScreenPointer(pointer);
}

}  // namespace

bool ForceForeground(WindowHandle window)
{
    if (WindowPlatform::ForegroundWindow() == window)
        return true;

    std::uint32_t foregroundThread = WindowPlatform::WindowThread(WindowPlatform::ForegroundWindow());
    std::uint32_t windowThread = WindowPlatform::WindowThread(window);
    bool brought = false;
    if (foregroundThread == windowThread) {
        brought = WindowPlatform::SetForeground(window);
    } else {
        // Windows lets only the foreground thread hand the foreground on, so
        // borrow its input state for the one call.
        WindowPlatform::AttachInput(foregroundThread, windowThread, true);
        brought = WindowPlatform::SetForeground(window);
        WindowPlatform::AttachInput(foregroundThread, windowThread, false);
    }
    WindowPlatform::Show(window, WindowPlatform::IsMinimized(window) ? ShowRestore : ShowCurrent);
    return brought;
}

void BringForward(WindowHandle window)
{
    WindowPlatform::Focus(window);
    ForceForeground(window);
    WindowPlatform::Focus(window);
}

void ShowBusyCursor(PointerOwner* form)
{
    SetPointer(form, HourglassPointer);
}

void ShowDefaultCursor(PointerOwner* form)
{
    SetPointer(form, DefaultPointer);
}
