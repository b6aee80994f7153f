#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/UniqueHandle.h"

// A process that Tandrel holds, without windows.h: held, its identifier cannot pass to another process.
enum class ProcessHandle : std::uintptr_t { None = 0 };

// Starting programs and looking for files; Win32 adapter or host stand-in.
namespace ProcessPlatform {

// Lets go of the process; it runs on.
void CloseProcess(ProcessHandle process);

}  // namespace ProcessPlatform

using OwnedProcess = UniqueHandle<ProcessHandle, &ProcessPlatform::CloseProcess>;

namespace ProcessPlatform {

// Starts the program file `program`, a full path, with `commandLine`, without
// a shell, without any search for the file and without waiting for it.
// Returns its nonzero identifier, with the process in `process`, or 0 when it
// could not start.
std::uint32_t StartProgram(const std::wstring& program, const std::wstring& commandLine, int showCommand,
                           OwnedProcess& process);

// The running process `id`, held in `process` to be waited for, closed or ended, and the full path of its file.
// 0; WinCode::InvalidParameter when no process has that identifier; else the system's code.
[[nodiscard]] long OpenProgram(std::uint32_t id, OwnedProcess& process, std::wstring& path);

// Whether the process has ended, waiting for it at most `timeoutMs`, answering
// meanwhile what other programs send to this thread's windows.
[[nodiscard]] bool WaitForEnd(ProcessHandle process, std::uint32_t timeoutMs);

// Posts WM_CLOSE to each top-level window of the process `id` on this desktop,
// as closing it from its title bar would; how many windows it has.
int PostClose(std::uint32_t id);

// Ends the process at once (TerminateProcess). 0 or the system's code.
[[nodiscard]] long EndProgram(ProcessHandle process);

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
