#include <windows.h>
#include <shlobj.h>

#include "helpers/AnsiBuffer.h"
#include "helpers/AnsiText.h"
#include "helpers/SystemPlatform.h"

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

std::optional<std::wstring> LocalAppDataFolder()
{
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path)))
        return std::nullopt;
    return std::wstring(path);
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

}  // namespace SystemPlatform
