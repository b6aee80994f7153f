#include <windows.h>
#include <knownfolders.h>
#include <sddl.h>
#include <shlobj.h>

#include "platform/AnsiBuffer.h"
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
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return std::nullopt;
        if (length < path.size()) {
            path.resize(length);
            std::size_t separator = path.find_last_of("\\/");
            if (separator == std::string::npos)
                return std::nullopt;
            return AnsiText::ToWide(path.substr(0, separator));
        }
        path.assign(path.size() * 2, '\0');
    }
    return std::nullopt;
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
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened))
        return L"";
    UniqueKernelHandle token(opened);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::string buffer(size, '\0');
    if (size == 0 || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size))
        return L"";
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text))
        return L"";
    std::wstring sid = text;
    LocalFree(text);
    return sid;
}

int ProgramBits()
{
    return static_cast<int>(sizeof(void*) * 8);
}

long TakeRunLock(LockHandle& lock, bool& abandoned)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;GA;;;BA)(A;;GA;;;SY)", SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        return static_cast<long>(GetLastError());
    UniqueLocalMemory held(descriptor);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    UniqueKernelHandle mutex(CreateMutexW(&attributes, FALSE, L"Global\\Tandrel.RunLock"));
    if (!mutex)
        return static_cast<long>(GetLastError());
    DWORD waited = WaitForSingleObject(mutex.get(), 0);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
        abandoned = waited == WAIT_ABANDONED;
        lock = static_cast<LockHandle>(reinterpret_cast<std::uintptr_t>(mutex.release()));
        return ERROR_SUCCESS;
    }
    return waited == WAIT_TIMEOUT ? WAIT_TIMEOUT : static_cast<long>(GetLastError());
}

void ReleaseRunLock(LockHandle lock)
{
    HANDLE mutex = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(lock));
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

LocalTime Now()
{
    SYSTEMTIME time{};
    GetLocalTime(&time);
    return {time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond};
}

std::wstring ComputerName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &size) ? std::wstring(name, size) : std::wstring();
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
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD needed = ExpandEnvironmentStringsW(source.c_str(), text.data(), static_cast<DWORD>(text.size()));
        if (needed == 0)
            return std::nullopt;
        if (needed <= text.size()) {
            text.resize(needed - 1);
            return text;
        }
        text.resize(needed);
    }
    return std::nullopt;
}

}  // namespace SystemPlatform
