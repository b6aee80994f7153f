#pragma once

#include <string>

// Text, path and location helpers. They hold no state and report nothing:
// "" is the answer for everything that is not there.

// The part of `text` before its first NUL, or all of it.
[[nodiscard]] std::wstring TrimNull(const std::wstring& text);

// True for "", for spaces only and for NULs only; every other character,
// whatever its code, makes a value non-blank.
[[nodiscard]] bool IsBlank(const std::wstring& value);

// Trims `path` in place (unless it is blank) and returns it ending in a
// separator; "" for a blank path.
[[nodiscard]] std::wstring AddBackslash(std::wstring& path);

// The text after the last dot, with the dot when `includeDot`; "" when there
// is no dot or it is the last character.
[[nodiscard]] std::wstring FileExtension(const std::wstring& path, bool includeDot);

// The Windows and system directories ending in "\", or "".
[[nodiscard]] std::wstring WindowsDirectory();
[[nodiscard]] std::wstring SystemDirectory();

// The install directory of `exeName` from its App Paths entry, ending in the
// separator found, or "".
[[nodiscard]] std::wstring AppPathOf(const std::wstring& exeName);

#include "helpers/WindowPlatform.h"

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

// The hourglass, and back, over `form`; over the whole screen when no form is
// given. One ShowDefaultCursor undoes any number of ShowBusyCursor calls.
void ShowBusyCursor(PointerOwner* form);
void ShowDefaultCursor(PointerOwner* form);
