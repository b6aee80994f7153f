#include "platform/ArgumentsPlatform.h"

#include <windows.h>
#include <shellapi.h>

std::vector<std::wstring> ProgramArguments()
{
    std::vector<std::wstring> arguments;
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
    if (words == nullptr)
        return arguments;
    for (int i = 1; i < count; ++i)
        arguments.emplace_back(words[i]);
    LocalFree(words);
    return arguments;
}
