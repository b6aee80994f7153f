#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Starting programs and looking for files; Win32 adapter or host stand-in.
namespace ProcessPlatform {

// Starts the program file `program`, a full path, with `commandLine`, without
// a shell, without any search for the file and without waiting for it.
// Returns its nonzero identifier, or 0 when it could not start.
std::uint32_t StartProgram(const std::wstring& program, const std::wstring& commandLine, int showCommand);

// Starts the program as StartProgram does and waits for it to end, for at most
// `timeoutMs`. Its exit code; nothing when it could not start or has not ended
// in time (it is then left running). While it waits, messages that other
// programs send to this thread's windows are answered; nothing else is.
std::optional<std::uint32_t> RunProgram(const std::wstring& program, const std::wstring& commandLine,
                                        int showCommand, std::uint32_t timeoutMs);

// The file's name when a plain file (not a directory, hidden or system file)
// exists at `path`; "" otherwise.
std::wstring FindFile(const std::wstring& path);

}  // namespace ProcessPlatform
