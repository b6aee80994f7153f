#pragma once

#include <windows.h>

#include <string>
#include <vector>

// How both programs start. Tandrel.exe's WinMain is here and Tandrel.com's
// main beside the switches. Given switches, either runs them with no window:
// that half is named here and supplied by the unattended runner, which uses
// the window program and not the other way round.

// The program runs elevated: libraries come from the system directory only,
// never from the program's own folder or the current one.
void RestrictLibrarySearch();

// Opens the window and answers its messages until it closes; the exit code.
[[nodiscard]] int RunWindow(HINSTANCE instance, int showCommand);

// The whole unattended run for those words; its exit code.
[[nodiscard]] int RunCommandLine(const std::vector<std::wstring>& arguments);
