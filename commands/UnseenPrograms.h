#pragma once

#include <cstdint>
#include <string>

#include "commands/CommandLog.h"
#include "platform/ProcessPlatform.h"

// The suite's programs that a command started in a session whose desktop nobody sees: left there, they would run
// until the next restart, holding the suite's files open.

// How long a program asked to close may take before it is ended.
inline constexpr std::uint32_t CloseLimitMs = 10000;

// Asks the program at `path`, process `id`, held as `process`, to close, ends it when it has not within 10 s, and
// logs which, one line.
void CloseUnseenProgram(const std::wstring& path, std::uint32_t id, ProcessHandle process, CommandLog& log);
