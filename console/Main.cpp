#include <cstdio>
#include <string>

#include "helpers/FuncLib.h"

// Start-up without the window yet: what the window's first log line will say.
int main()
{
    std::wstring appPath = AppPathOf(L"Vestrel.exe");
    std::wstring systemPath = SystemDirectory();
    std::printf("Vestrel Path: %ls\nSystem Path: %ls\n", appPath.c_str(), systemPath.c_str());
    return 0;
}
