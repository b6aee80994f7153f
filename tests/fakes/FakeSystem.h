#pragma once

#include <map>
#include <string>

// The system directories and environment that the host build links in place
// of the Win32 adapter. An empty directory makes its query fail.
struct FakeSystem {
    std::wstring windowsDirectory = L"C:\\WINDOWS";
    std::wstring systemDirectory = L"C:\\WINDOWS\\system32";
    std::map<std::wstring, std::wstring> environment;
    int expansionCalls = 0;

    static FakeSystem& Instance();
    void Reset() { *this = FakeSystem(); }
};
