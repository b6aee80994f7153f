#include <windows.h>

#include "helpers/AnsiText.h"
#include "helpers/SystemPlatform.h"

namespace AnsiText {

std::string FromWide(const std::wstring& text)
{
    if (text.empty())
        return {};
    int length = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                     nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(), length,
                        nullptr, nullptr);
    return bytes;
}

std::wstring ToWide(const std::string& bytes)
{
    if (bytes.empty())
        return {};
    int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), length);
    return text;
}

}  // namespace AnsiText

namespace {

// The buffer goes to the call in the ANSI code page and comes back whole,
// still holding whatever the call did not overwrite.
template <typename Call>
std::uint32_t FillBuffer(std::wstring& buffer, Call call)
{
    std::string bytes = AnsiText::FromWide(buffer);
    UINT result = call(bytes.data(), static_cast<UINT>(bytes.size()));
    buffer = AnsiText::ToWide(bytes);
    return result;
}

}  // namespace

namespace SystemPlatform {

std::uint32_t QueryWindowsDirectory(std::wstring& buffer)
{
    return FillBuffer(buffer, [](char* data, UINT size) { return GetWindowsDirectoryA(data, size); });
}

std::uint32_t QuerySystemDirectory(std::wstring& buffer)
{
    return FillBuffer(buffer, [](char* data, UINT size) { return GetSystemDirectoryA(data, size); });
}

std::uint32_t ExpandStrings(const std::wstring& source, std::wstring& buffer)
{
    std::string ansiSource = AnsiText::FromWide(source);
    return FillBuffer(buffer, [&ansiSource](char* data, UINT size) {
        return static_cast<UINT>(ExpandEnvironmentStringsA(ansiSource.c_str(), data, size));
    });
}

}  // namespace SystemPlatform
