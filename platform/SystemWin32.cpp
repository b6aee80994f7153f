#include <windows.h>
#include <aclapi.h>
#include <knownfolders.h>
#include <sddl.h>
#include <shlobj.h>

#include <memory>
#include <utility>

#include "platform/AccountWin32.h"
#include "platform/GrowBuffer.h"
#include "platform/AnsiText.h"
#include "platform/SystemPlatform.h"
#include "platform/Win32Handles.h"

namespace {

constexpr std::uint32_t DirectoryBufferSize = 128;
constexpr std::uint32_t ExpansionBufferSize = 1024;

template <typename Call>
std::optional<std::wstring> Filled(Call call, std::uint32_t initialSize)
{
    std::optional<std::string> bytes = FillAnsiBuffer(call, initialSize);
    if (!bytes)
        return std::nullopt;
    return AnsiText::ToWide(*bytes);
}

template <typename Proc>
Proc Kernel32Function(const char* name)
{
    return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), name)));
}

using ClosePrivateNamespaceFunction = BOOLEAN(WINAPI*)(HANDLE, ULONG);

// What a taken run lock holds open: the mutex, and the private namespace it
// lives in, which must outlive it: closed, another run could make it anew.
struct HeldLock {
    HANDLE mutex = nullptr;
    HANDLE space = nullptr;
    ~HeldLock()
    {
        if (mutex)
            CloseHandle(mutex);
        if (auto close = Kernel32Function<ClosePrivateNamespaceFunction>("ClosePrivateNamespace"); space && close)
            close(space, 0);
    }
};

// Opens Tandrel's private namespace, or makes it with `attributes`. Its
// boundary holds the Administrators group, which a standard user's token
// holds for denying only: such a user can make no namespace of that name.
// The calls are looked up here: Windows 7 has them, Wine 8 does not.
DWORD OpenLockNamespace(SECURITY_ATTRIBUTES& attributes, HANDLE& space)
{
    auto createBoundary = Kernel32Function<HANDLE(WINAPI*)(LPCWSTR, ULONG)>("CreateBoundaryDescriptorW");
    auto addSid = Kernel32Function<BOOL(WINAPI*)(HANDLE*, PSID)>("AddSIDToBoundaryDescriptor");
    auto deleteBoundary = Kernel32Function<VOID(WINAPI*)(HANDLE)>("DeleteBoundaryDescriptor");
    auto create = Kernel32Function<HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPVOID, LPCWSTR)>("CreatePrivateNamespaceW");
    auto open = Kernel32Function<HANDLE(WINAPI*)(LPVOID, LPCWSTR)>("OpenPrivateNamespaceW");
    if (!createBoundary || !addSid || !deleteBoundary || !create || !open)
        return ERROR_CALL_NOT_IMPLEMENTED;
    SetLastError(ERROR_SUCCESS);
    HANDLE boundary = createBoundary(L"Tandrel", 0);
    if (!boundary) {
        // Wine 8 has the call but makes nothing, and says nothing either.
        DWORD code = GetLastError();
        return code == ERROR_SUCCESS ? ERROR_CALL_NOT_IMPLEMENTED : code;
    }
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof administrators;
    DWORD code = ERROR_SUCCESS;
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size) ||
        !addSid(&boundary, administrators))
        code = GetLastError();
    if (code == ERROR_SUCCESS) {
        space = create(&attributes, boundary, L"Tandrel");
        if (!space && GetLastError() == ERROR_ALREADY_EXISTS)
            space = open(boundary, L"Tandrel");
        if (!space)
            code = GetLastError();
    }
    deleteBoundary(boundary);
    return code;
}

// The account that this process's token gives as its user or as the owner of what it makes; empty when unknown.
// Named only when asked: a domain account's name may wait on a domain controller.
Account TokenAccount(TOKEN_INFORMATION_CLASS which, bool named)
{
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened))
        return {};
    UniqueKernelHandle token(opened);
    DWORD size = 0;
    GetTokenInformation(token.get(), which, nullptr, 0, &size);
    std::string buffer(size, '\0');
    if (size == 0 || !GetTokenInformation(token.get(), which, buffer.data(), size, &size))
        return {};
    PSID sid = which == TokenUser ? reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid
                                  : reinterpret_cast<TOKEN_OWNER*>(buffer.data())->Owner;
    return named ? AccountOf(sid) : Account{SidText(sid), L""};
}

Account OwnerOf(HANDLE object)
{
    PSID owner = nullptr;
    UniqueLocalMemory held;
    if (GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        held.put()) != ERROR_SUCCESS)
        return {};
    return owner ? AccountOf(owner) : Account{};
}

// What holds the lock's name when it is no mutex, and who made it: each kind
// of named object is opened in turn, only to read its owner.
void LookAtOtherObject(RunLockState& state)
{
    const wchar_t* name = state.name.c_str();
    const std::pair<const wchar_t*, HANDLE (*)(const wchar_t*)> kinds[] = {
        {L"an event", [](const wchar_t* n) { return OpenEventW(READ_CONTROL, FALSE, n); }},
        {L"a semaphore", [](const wchar_t* n) { return OpenSemaphoreW(READ_CONTROL, FALSE, n); }},
        {L"a waitable timer", [](const wchar_t* n) { return OpenWaitableTimerW(READ_CONTROL, FALSE, n); }},
        {L"a file mapping", [](const wchar_t* n) { return OpenFileMappingW(READ_CONTROL, FALSE, n); }},
        {L"a job", [](const wchar_t* n) { return OpenJobObjectW(READ_CONTROL, FALSE, n); }},
    };
    for (const auto& [kind, open] : kinds) {
        UniqueKernelHandle found(open(name));
        if (!found)
            continue;
        state.existed = true;
        state.kind = kind;
        state.owner = OwnerOf(found.get());
        return;
    }
}

}  // namespace

namespace SystemPlatform {

std::optional<std::wstring> WindowsDirectory()
{
    return Filled([](char* data, std::uint32_t size) { return GetWindowsDirectoryA(data, size); },
                  DirectoryBufferSize);
}

std::optional<std::wstring> SystemDirectory()
{
    return Filled([](char* data, std::uint32_t size) { return GetSystemDirectoryA(data, size); },
                  DirectoryBufferSize);
}

std::optional<std::wstring> ProgramFolder()
{
    // The call cuts the name to fit and says so only by filling the buffer.
    std::string path(MAX_PATH, '\0');
    DWORD length = 0;
    if (!GrowUntilFits(path, 4, [&](std::string& tried) -> std::size_t {
            length = GetModuleFileNameA(nullptr, tried.data(), static_cast<DWORD>(tried.size()));
            return length >= tried.size() ? tried.size() * 2 : 0;
        }) ||
        length == 0)
        return std::nullopt;
    path.resize(length);
    std::size_t separator = path.find_last_of("\\/");
    if (separator == std::string::npos)
        return std::nullopt;
    return AnsiText::ToWide(path.substr(0, separator));
}

std::wstring ProgramName()
{
    std::wstring path(MAX_PATH, L'\0');
    DWORD length = 0;
    if (!GrowUntilFits(path, 4, [&](std::wstring& tried) -> std::size_t {
            length = GetModuleFileNameW(nullptr, tried.data(), static_cast<DWORD>(tried.size()));
            return length >= tried.size() ? tried.size() * 2 : 0;
        }) ||
        length == 0)
        return {};
    path.resize(length);
    return path.substr(path.find_last_of(L"\\/") + 1);
}

std::optional<std::wstring> ProgramDataFolder()
{
    PWSTR path = nullptr;
    HRESULT result = SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &path);
    std::optional<std::wstring> folder;
    if (SUCCEEDED(result) && path)
        folder = std::wstring(path);
    CoTaskMemFree(path);
    return folder;
}

std::wstring AccountSid()
{
    return TokenAccount(TokenUser, false).sid;
}

std::wstring DefaultOwnerSid()
{
    return TokenAccount(TokenOwner, false).sid;
}

int ProgramBits()
{
    return static_cast<int>(sizeof(void*) * 8);
}

std::uint16_t NativeMachine()
{
    // Windows 10 1709 and later; Wine 8 has it too, but look it up, as older systems do not.
    auto query = Kernel32Function<BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*)>("IsWow64Process2");
    USHORT process = 0;
    USHORT native = 0;
    if (query && query(GetCurrentProcess(), &process, &native) && native != 0)
        return native;
    BOOL wow64 = FALSE;
    if (sizeof(void*) == 4 && IsWow64Process(GetCurrentProcess(), &wow64) && wow64)
        return IMAGE_FILE_MACHINE_AMD64;
    return sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386;
}

std::optional<std::wstring> Wow64SystemDirectory()
{
    std::wstring folder(MAX_PATH, L'\0');
    UINT length = GetSystemWow64DirectoryW(folder.data(), static_cast<UINT>(folder.size()));
    if (length == 0 || length >= folder.size())
        return std::nullopt;
    folder.resize(length);
    return folder;
}

long CreateActivationContext(const std::wstring& source, int resourceId, ActCtxHandle& context)
{
    ACTCTXW request{};
    request.cbSize = sizeof request;
    request.lpSource = source.c_str();
    if (resourceId != 0) {
        request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
        request.lpResourceName = MAKEINTRESOURCEW(resourceId);
    }
    HANDLE created = CreateActCtxW(&request);
    if (created == INVALID_HANDLE_VALUE)
        return static_cast<long>(GetLastError());
    context = static_cast<ActCtxHandle>(reinterpret_cast<std::uintptr_t>(created));
    return ERROR_SUCCESS;
}

void ReleaseActivationContext(ActCtxHandle context)
{
    ReleaseActCtx(reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(context)));
}

bool RedirectedDll(ActCtxHandle context, const std::wstring& dll, std::wstring& path)
{
    ULONG_PTR cookie = 0;
    if (!ActivateActCtx(reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(context)), &cookie))
        return false;
    ACTCTX_SECTION_KEYED_DATA data{};
    data.cbSize = sizeof data;
    bool carried = FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, dll.c_str(),
                                            &data) != FALSE;
    std::wstring found(MAX_PATH, L'\0');
    DWORD length = carried ? SearchPathW(nullptr, dll.c_str(), nullptr, static_cast<DWORD>(found.size()),
                                         found.data(), nullptr)
                           : 0;
    DeactivateActCtx(0, cookie);
    if (length == 0 || length >= found.size())
        return false;
    found.resize(length);
    path = found;
    return true;
}

long ApiSetHost(const std::wstring& name, std::wstring& path)
{
    HMODULE host = LoadLibraryExW(name.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (host == nullptr)
        return static_cast<long>(GetLastError());
    std::wstring found(MAX_PATH, L'\0');
    DWORD length = GetModuleFileNameW(host, found.data(), static_cast<DWORD>(found.size()));
    long code = length == 0                ? static_cast<long>(GetLastError())
                : length >= found.size() ? static_cast<long>(ERROR_INSUFFICIENT_BUFFER)
                                         : 0;
    FreeLibrary(host);
    if (code == 0) {
        found.resize(length);
        path = found;
    }
    return code;
}

long TakeRunLock(RunLockPlace place, LockHandle& lock, RunLockState& state)
{
    UniqueLocalMemory held;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;GA;;;BA)(A;;GA;;;SY)", SDDL_REVISION_1,
                                                              held.put(), nullptr))
        return static_cast<long>(GetLastError());
    SECURITY_ATTRIBUTES attributes{sizeof attributes, held.get(), FALSE};
    auto taken = std::make_unique<HeldLock>();
    if (place == RunLockPlace::PrivateNamespace) {
        if (DWORD code = OpenLockNamespace(attributes, taken->space))
            return static_cast<long>(code);
        state.name = L"Tandrel\\RunLock";
    } else {
        state.name = L"Global\\Tandrel.RunLock";
    }
    taken->mutex = CreateMutexW(&attributes, FALSE, state.name.c_str());
    DWORD made = GetLastError();
    if (!taken->mutex) {
        // Another kind of object at the name: someone made it to keep every run out.
        if (made == ERROR_INVALID_HANDLE)
            LookAtOtherObject(state);
        // A lock whose list shuts this account out may still say who made it.
        if (made == ERROR_ACCESS_DENIED) {
            UniqueKernelHandle look(OpenMutexW(READ_CONTROL, FALSE, state.name.c_str()));
            state.existed = true;
            if (look)
                state.owner = OwnerOf(look.get());
        }
        return static_cast<long>(made);
    }
    state.existed = made == ERROR_ALREADY_EXISTS;
    // Anyone may make a mutex in Global\, and the list given here applies only to one made here.
    if (place == RunLockPlace::Global || state.existed)
        state.owner = OwnerOf(taken->mutex);
    DWORD waited = WaitForSingleObject(taken->mutex, 0);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
        state.abandoned = waited == WAIT_ABANDONED;
        lock = static_cast<LockHandle>(reinterpret_cast<std::uintptr_t>(taken.release()));
        return ERROR_SUCCESS;
    }
    return waited == WAIT_TIMEOUT ? WAIT_TIMEOUT : static_cast<long>(GetLastError());
}

void ReleaseRunLock(LockHandle lock)
{
    std::unique_ptr<HeldLock> taken(reinterpret_cast<HeldLock*>(static_cast<std::uintptr_t>(lock)));
    ReleaseMutex(taken->mutex);
}

long Elevation(bool& elevated, bool& administrator)
{
    elevated = administrator = false;
    UniqueKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()))
        return static_cast<long>(GetLastError());
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size))
        return static_cast<long>(GetLastError());
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof sid;
    BOOL member = FALSE;
    // A null token asks about this thread's effective one, which counts only groups in force.
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &sidSize) ||
        !CheckTokenMembership(nullptr, sid, &member))
        return static_cast<long>(GetLastError());
    elevated = elevation.TokenIsElevated != 0;
    administrator = member != FALSE;
    return ERROR_SUCCESS;
}

long FindMutex(const std::wstring& name)
{
    UniqueKernelHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, name.c_str()));
    return mutex ? ERROR_SUCCESS : static_cast<long>(GetLastError());
}

LocalTime Now()
{
    // One instant, both ways: the offset is the one in force at that moment, summer time included.
    FILETIME utc{};
    GetSystemTimeAsFileTime(&utc);
    SYSTEMTIME utcTime{};
    SYSTEMTIME time{};
    FILETIME local{};
    if (!FileTimeToSystemTime(&utc, &utcTime) || !SystemTimeToTzSpecificLocalTime(nullptr, &utcTime, &time) ||
        !SystemTimeToFileTime(&time, &local)) {
        GetLocalTime(&time);
        return {time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond};
    }
    auto ticks = [](const FILETIME& t) {
        return static_cast<std::int64_t>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    };
    constexpr std::int64_t TicksPerMinute = 600000000;
    // Local time drops the sub-second part of the instant; rounding puts it back.
    std::int64_t ahead = ticks(local) - ticks(utc);
    int offset = static_cast<int>((ahead + (ahead < 0 ? -TicksPerMinute / 2 : TicksPerMinute / 2)) / TicksPerMinute);
    return {time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond, offset};
}

std::wstring ComputerName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &size) ? std::wstring(name, size) : std::wstring();
}

std::wstring AccountName()
{
    return TokenAccount(TokenUser, true).name;
}

std::wstring WindowsVersion()
{
    using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
    auto query = reinterpret_cast<RtlGetVersionFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlGetVersion")));
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!query || query(&version) != 0)
        return L"";
    return std::to_wstring(version.dwMajorVersion) + L"." + std::to_wstring(version.dwMinorVersion) + L"." +
           std::to_wstring(version.dwBuildNumber);
}

void Pause(std::uint32_t milliseconds)
{
    Sleep(milliseconds);
}

std::uint64_t Ticks()
{
    return GetTickCount64();
}

std::optional<std::wstring> ExpandStrings(const std::wstring& source)
{
    std::string ansiSource = AnsiText::FromWide(source);
    return Filled(
        [&ansiSource](char* data, std::uint32_t size) {
            return static_cast<std::uint32_t>(ExpandEnvironmentStringsA(ansiSource.c_str(), data, size));
        },
        ExpansionBufferSize);
}

std::optional<std::wstring> ExpandStringsW(const std::wstring& source)
{
    std::wstring text(ExpansionBufferSize, L'\0');
    // Asked again at the size reported, which counts the NUL.
    DWORD needed = 0;
    if (!GrowUntilFits(text, 4, [&](std::wstring& tried) -> std::size_t {
            needed = ExpandEnvironmentStringsW(source.c_str(), tried.data(), static_cast<DWORD>(tried.size()));
            return needed > tried.size() ? needed : 0;
        }) ||
        needed == 0)
        return std::nullopt;
    text.resize(needed - 1);
    return text;
}

bool DesktopVisible()
{
    USEROBJECTFLAGS flags{};
    DWORD needed = 0;
    HWINSTA station = GetProcessWindowStation();
    // Unanswered, no window opens and what Tandrel starts is closed behind it: a window that nobody sees would
    // hold a deployment for hours, and a program left out of sight holds the suite's files until a restart.
    if (station == nullptr || !GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, &needed))
        return false;
    return (flags.dwFlags & WSF_VISIBLE) != 0;
}

}  // namespace SystemPlatform
