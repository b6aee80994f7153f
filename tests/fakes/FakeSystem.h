#pragma once

#include <map>
#include <string>

#include "helpers/SystemPlatform.h"

// The system directories and environment that the host build links in place
// of the Win32 adapter. An empty directory makes its query fail. The "A"
// calls fill byte buffers in a code page of their own: Latin-1, or a
// double-byte one in which every character above 0x7F takes two bytes.
struct FakeSystem {
    bool doubleByteCodePage = false;
    std::wstring windowsDirectory = L"C:\\WINDOWS";
    std::wstring systemDirectory = L"C:\\WINDOWS\\system32";
    std::wstring programFolder = L"C:\\Tools";
    std::wstring localAppData = L"C:\\Users\\Admin\\AppData\\Local";
    SystemPlatform::LocalTime now{2026, 12, 8, 9, 5, 7};
    std::wstring computerName = L"WORKSTATION7";
    std::uint64_t ticks = 1000;  // moved only by Pause
    std::map<std::wstring, std::wstring> environment;
    int expansionCalls = 0;

    static FakeSystem& Instance();
    void Reset() { *this = FakeSystem(); }
};
