#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Creating the suite's classes as their callers do, in child processes of Tandrel's own program, so that a server
// that crashes, hangs or changes its process harms neither Tandrel nor the next class. Win32 adapter or host
// stand-in.

// A child without windows.h.
enum class ChildHandle : std::uintptr_t { None = 0 };

// What a child runs with: a copy of Tandrel's token with Administrators for deny only and no privileges, so that
// the suite's code runs as an ordinary caller's would; or Tandrel's own.
enum class ChildToken { Restricted, Same };

// What waiting for a child's next report gave.
struct ChildRead {
    enum class Kind { Line, Ended, TimedOut, Failed } kind = Kind::Failed;
    std::string line;            // Line: one line it wrote, without its end (UTF-8)
    std::uint32_t exitCode = 0;  // Ended: it ended without another line, with this code
    long error = 0;              // Failed: the system's code
};

// One creation as a script makes it: which call failed ("" when none did) and its HRESULT.
struct Creation {
    std::wstring step;  // "CLSIDFromProgID", "CoCreateInstance" or "QueryInterface"
    std::uint32_t result = 0;
};

namespace CreationPlatform {

// Parent side.

// Starts the running program's own file with `arguments` (no search, no window, no console), its standard output
// the write end of a pipe that is all it inherits, its standard input and error none. 0 and the child in `child`;
// else the system's code (the restricted token's making, or the start).
[[nodiscard]] long StartChild(const std::vector<std::wstring>& arguments, ChildToken token, ChildHandle& child);
// The child's next line, waiting at most `timeoutMs`; Ended once its output is closed and it has ended (a piece
// after its last line end is dropped). Failed with WinCode::MoreData when a line runs past 64 KB: a child cannot
// make Tandrel hold more.
[[nodiscard]] ChildRead ReadChild(ChildHandle child, std::uint32_t timeoutMs);
// Ends the child when it still runs, and closes what Tandrel holds of it. ChildHandle::None does nothing.
void EndChild(ChildHandle child);

// The programs running now, by the full path of their file, with their process identifiers; those whose file
// cannot be read are left out.
struct RunningProgram {
    std::uint32_t id = 0;
    std::wstring path;
};
[[nodiscard]] std::vector<RunningProgram> RunningPrograms();

// The system's message for an HRESULT, without its line end; "" when it has none.
[[nodiscard]] std::wstring ResultText(std::uint32_t result);

// Child side.

// Makes the child what its parent expects: no error boxes, and an exception nobody handles ends the process at
// once with the exception's code as its exit code, with no debugger started. Then COM for this thread, as a
// script's (single-threaded). 0 or the HRESULT of CoInitializeEx.
[[nodiscard]] std::uint32_t PrepareChild();
// Whether this process's token has Administrators for deny only, as a restricted copy has.
[[nodiscard]] bool TokenRestricted();
// CLSIDFromProgID, CoCreateInstance for IUnknown in a library or a program, QueryInterface for IDispatch, release.
[[nodiscard]] Creation CreateAsScript(const std::wstring& progId);
// Writes `line` and a line end to the standard output, at once. False when it cannot.
bool WriteLine(const std::string& line);

}  // namespace CreationPlatform
