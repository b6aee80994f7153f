#include <windows.h>

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
