#include "helpers/FuncLib.h"

#include <algorithm>
#include <cwctype>

#include "platform/SystemPlatform.h"
#include "registry/RegKeyOwner.h"

namespace {

std::wstring TrimSpaces(const std::wstring& text)
{
    std::size_t first = text.find_first_not_of(L' ');
    if (first == std::wstring::npos)
        return L"";
    std::size_t last = text.find_last_not_of(L' ');
    return text.substr(first, last - first + 1);
}

std::wstring Directory(const std::optional<std::wstring>& directory)
{
    if (!directory)
        return L"";
    std::wstring path = *directory;
    return AddBackslash(path);
}

}  // namespace

std::wstring TrimNull(const std::wstring& text)
{
    return text.substr(0, text.find(L'\0'));
}

bool IsBlank(const std::wstring& value)
{
    if (value.empty())
        return true;
    return std::all_of(value.begin(), value.end(), [](wchar_t c) { return c == L' '; }) ||
           std::all_of(value.begin(), value.end(), [](wchar_t c) { return c == L'\0'; });
}

std::wstring AddBackslash(std::wstring& path)
{
    if (IsBlank(path))
        return L"";
    path = TrimSpaces(path);
    if (path.back() == L'\\' || path.back() == L'/')
        return path;
    return path + L'\\';
}

std::wstring FileExtension(const std::wstring& path, bool includeDot)
{
    std::size_t dot = path.rfind(L'.');
    if (dot == std::wstring::npos || dot + 1 == path.size())
        return L"";
    return path.substr(includeDot ? dot : dot + 1);
}

std::wstring WindowsDirectory()
{
    return Directory(SystemPlatform::WindowsDirectory());
}

std::wstring SystemDirectory()
{
    return Directory(SystemPlatform::SystemDirectory());
}

std::wstring ProgramDirectory()
{
    return Directory(SystemPlatform::ProgramFolder());
}

bool IsFullPath(const std::wstring& path)
{
    auto separator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    if (path.size() >= 3 && std::iswalpha(path[0]) && path[1] == L':' && separator(path[2]))
        return true;
    return path.size() >= 3 && separator(path[0]) && separator(path[1]) && !separator(path[2]);
}

std::wstring AppPathOf(const std::wstring& exeName)
{
    RegKeyOwner key;
    std::wstring value;
    if (!OpenRegKey(RegKey::LocalMachine, CurrentVersionKey() + L"\\App Paths\\" + exeName, *key.put()) ||
        !GetRegString(key.get(), L"", value))
        return L"";

    // A backslash anywhere wins over a later forward slash.
    std::size_t separator = value.rfind(L'\\');
    if (separator == std::wstring::npos)
        separator = value.rfind(L'/');
    if (separator == std::wstring::npos)
        return L"";
    std::wstring directory = value.substr(0, separator + 1);
    if (directory.front() == L'"')
        directory.erase(0, 1);
    return directory;
}
