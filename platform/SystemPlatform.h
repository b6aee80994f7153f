#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/FilePlatform.h"

// System directories and the environment. As with the registry, the Windows
// build links the Win32 adapter and the host build an in-memory stand-in.
// Each asks its "A" call again at the size it reports and hands back the
// finished text; nothing when the call fails.
// A lock handle without windows.h.
enum class LockHandle : std::uintptr_t { None = 0 };
// An activation context without windows.h: the side-by-side assemblies that a file's manifest names, as the
// loader resolves them.
enum class ActCtxHandle : std::uintptr_t { None = 0 };

// Where the lock of Tandrel's runs is made: a private namespace whose boundary
// holds the Administrators group, so that only an administrator or SYSTEM can
// make it, or, where the system has no private namespaces, the Global\ one.
enum class RunLockPlace { PrivateNamespace, Global };

// What taking the lock found: its name, whether it was there already, who
// made it (read whenever it was there, and always in Global\), and whether
// its last holder ended without letting go.
struct RunLockState {
    std::wstring name;
    bool existed = false;
    Account owner;
    bool abandoned = false;
    std::wstring kind;  // what is at the name when it is no mutex: "an event", ...; "" when unknown
};

namespace SystemPlatform {

// GetWindowsDirectoryA and GetSystemDirectoryA.
[[nodiscard]] std::optional<std::wstring> WindowsDirectory();
[[nodiscard]] std::optional<std::wstring> SystemDirectory();

// The folder that holds the running program's file (GetModuleFileNameA).
[[nodiscard]] std::optional<std::wstring> ProgramFolder();
// The running program's own file name, as it was started ("Tandrel.com"); "" when unknown.
[[nodiscard]] std::wstring ProgramName();

// The machine's program-data folder (FOLDERID_ProgramData): the same for every
// account, SYSTEM included, and not redirected for a 32-bit program.
[[nodiscard]] std::optional<std::wstring> ProgramDataFolder();

// The SID of the account the program runs as, "S-1-5-..."; "" when unknown.
[[nodiscard]] std::wstring AccountSid();
// The SID that what the program makes is owned by (its token's default owner:
// Administrators for an elevated administrator, the account itself otherwise).
[[nodiscard]] std::wstring DefaultOwnerSid();

// 32 or 64: the bitness of this build, which decides what the system loads
// for it (a type library's win32 or win64 file).
[[nodiscard]] int ProgramBits();

// The machine type (a PE machine number) of this computer's own processor, which decides what programs it starts:
// IsWow64Process2 where the system has it, else IsWow64Process, which tells x64 Windows under a 32-bit build.
[[nodiscard]] std::uint16_t NativeMachine();

// GetSystemWow64DirectoryW: the folder of the 32-bit system files on 64-bit Windows ("C:\Windows\SysWOW64");
// nothing on 32-bit Windows.
[[nodiscard]] std::optional<std::wstring> Wow64SystemDirectory();

// CreateActCtxW on the manifest resource `resourceId` of the program image `source`, or, with `resourceId` 0, on
// the manifest file `source`. ERROR_RESOURCE_TYPE_NOT_FOUND or ERROR_RESOURCE_NAME_NOT_FOUND when the image has
// no such manifest; ERROR_SXS_CANT_GEN_ACTCTX when an assembly it needs cannot be found.
[[nodiscard]] long CreateActivationContext(const std::wstring& source, int resourceId, ActCtxHandle& context);
// ReleaseActCtx.
void ReleaseActivationContext(ActCtxHandle context);
// Where `context` takes `dll` from: FindActCtxSectionStringW in its DLL-redirection section, then SearchPathW
// while it is active, which answers with the assembly's copy. False when no assembly of it carries `dll`.
[[nodiscard]] bool RedirectedDll(ActCtxHandle context, const std::wstring& dll, std::wstring& path);

// The DLL that this system loads for the API set `name` ("api-ms-win-core-synch-l1-2-0.dll"), for a caller of this
// build's bitness: LoadLibraryExW from the system folder alone, then GetModuleFileNameW and FreeLibrary. The
// data-file flags do not resolve a set (Wine 8: ERROR_FILE_NOT_FOUND unless its host is loaded already), so the
// host is loaded for real, as the loader would load it for the file that imports the set. ERROR_MOD_NOT_FOUND
// when no set of this system has that name.
[[nodiscard]] long ApiSetHost(const std::wstring& name, std::wstring& path);

// Makes or opens the lock at `place`, with a list that gives Administrators
// and SYSTEM all access and nobody else any, and takes it without waiting. 0
// when taken; WAIT_TIMEOUT (258) when another process holds it;
// ERROR_CALL_NOT_IMPLEMENTED (120) when the system has no private namespaces
// (Wine 8), looked up at run time; ERROR_ACCESS_DENIED when the one there
// lets this account nowhere near it; otherwise the system's code.
[[nodiscard]] long TakeRunLock(RunLockPlace place, LockHandle& lock, RunLockState& state);
// Lets go of the lock and closes its handles.
void ReleaseRunLock(LockHandle lock);

// Whether this process's token is elevated (TokenElevation) and holds Administrators as a group in force
// (CheckTokenMembership): a filtered administrator token holds it for deny only. 0 with both answers; otherwise
// the system's code, and both false.
[[nodiscard]] long Elevation(bool& elevated, bool& administrator);

// Whether the mutex `name` is there: OpenMutexW for SYNCHRONIZE, closed at once. 0 when it is; ERROR_ACCESS_DENIED
// when it is but this account may not open it; ERROR_FILE_NOT_FOUND when nothing has that name;
// ERROR_INVALID_HANDLE when an object of another kind has it (measured under Wine 8).
[[nodiscard]] long FindMutex(const std::wstring& name);

// The local date and time, to the second, and how far local time is ahead of
// UTC at that moment, in minutes: logs of machines in several time zones are
// put side by side.
struct LocalTime {
    int year, month, day, hour, minute, second;
    int utcOffsetMinutes = 0;
};
[[nodiscard]] LocalTime Now();

// GetComputerNameW: this machine's name; "" when it cannot be read.
[[nodiscard]] std::wstring ComputerName();

// "DOMAIN\name" of the account the program runs as (its SID when it has no name); "" when unknown.
[[nodiscard]] std::wstring AccountName();

// The system's own version, "major.minor.build" (RtlGetVersion, which a program's manifest cannot make lie);
// "" when unknown.
[[nodiscard]] std::wstring WindowsVersion();

// Waits `milliseconds`; and a clock in milliseconds that only moves forward
// (GetTickCount64), to wait against.
void Pause(std::uint32_t milliseconds);
[[nodiscard]] std::uint64_t Ticks();

// ExpandEnvironmentStringsA: the whole expansion, however long.
[[nodiscard]] std::optional<std::wstring> ExpandStrings(const std::wstring& source);
// ExpandEnvironmentStringsW, for text read with the wide calls.
[[nodiscard]] std::optional<std::wstring> ExpandStringsW(const std::wstring& source);

// Whether this process's window station is the one shown on a screen (WSF_VISIBLE): not in session 0, where
// services and deployment tools run, nor in a station made apart. False also when that cannot be told.
[[nodiscard]] bool DesktopVisible();

}  // namespace SystemPlatform
