#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "commands/CommandLog.h"
#include "platform/ProcessPlatform.h"

// The suite's programs that a command started in a session whose desktop nobody sees: left there, they would run
// until the next restart, holding the suite's files open.

// "C:\Program Files\Vestrel\Corvane.exe (process 1234)": a program as the log names it.
[[nodiscard]] std::wstring ProcessNamed(const std::wstring& path, std::uint32_t id);

// How long the programs asked to close may take before they are ended.
inline constexpr std::uint32_t CloseLimitMs = 10000;

struct UnseenProgram {
    std::wstring path;
    std::uint32_t id = 0;
    OwnedProcess process;
    std::wstring note;  // what the log says of it before what became of it; "" for nothing
};

// Asks each program to close, ends those still running 10 s after the asking, and logs what became of each after
// its note, one line each, the first after `lead`. Of one without a window or note that ends by itself nothing is
// said: it was done.
void CloseUnseenPrograms(std::vector<UnseenProgram>& programs, const std::wstring& lead, CommandLog& log);
