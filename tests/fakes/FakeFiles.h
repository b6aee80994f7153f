#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "helpers/FilePlatform.h"

// Files and the console as the host tests see them. Paths are made full by
// putting `currentFolder` before a relative one; what is at a path, and how
// writes to a file or the console go, is set by the test.
struct FakeFiles {
    std::wstring currentFolder = L"C:\\Work\\";
    std::map<std::wstring, FileRefusal> refusals;  // by full path
    std::map<std::wstring, long> openErrors;       // by full path
    std::map<std::wstring, std::string> contents;  // every file written, by full path
    // The next writes to the log file: at most this many bytes a call, and
    // after `failAfter` bytes in all a failure with `failCode`.
    std::uint32_t maxWrite = 0xFFFFFFFF;
    std::size_t failAfter = static_cast<std::size_t>(-1);
    long failCode = 112;  // ERROR_DISK_FULL
    bool hasConsole = false;
    bool consoleIsTerminal = true;
    std::wstring console;
    std::uint32_t maxConsoleWrite = 0xFFFFFFFF;
    std::uint32_t largestConsoleWrite = 0;
    int openHandles = 0;

    static FakeFiles& Instance();
    void Reset() { *this = FakeFiles(); }
};
