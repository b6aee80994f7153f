#pragma once

#include "platform/WindowPlatform.h"

// Something with a mouse pointer of its own: the program's window.
class PointerOwner {
public:
    virtual void SetMousePointer(int pointer) = 0;

protected:
    ~PointerOwner() = default;
};

// Makes `window` the foreground window, also when the current one belongs to
// another thread. True when it already was or SetForegroundWindow succeeded.
bool ForceForeground(WindowHandle window);

// Gives `window` the keyboard focus, brings it to the front and gives it the
// focus again, which the foreground change may have moved.
void BringForward(WindowHandle window);

// The hourglass, and back, over `form`; over the whole screen when no form is
// given. One ShowDefaultCursor undoes any number of ShowBusyCursor calls.
void ShowBusyCursor(PointerOwner* form);
void ShowDefaultCursor(PointerOwner* form);
