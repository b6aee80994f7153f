#include "tests/fakes/FakeSystem.h"

#include <cwctype>

#include "helpers/SystemPlatform.h"

namespace {

std::wstring Upper(std::wstring text)
{
    for (auto& c : text)
        c = static_cast<wchar_t>(std::towupper(c));
    return text;
}

// As the "A" calls: the name and its NUL when they fit, else the size needed.
std::uint32_t CopyDirectory(const std::wstring& directory, std::wstring& buffer)
{
    if (directory.empty())
        return 0;
    if (directory.size() + 1 > buffer.size())
        return static_cast<std::uint32_t>(directory.size() + 1);
    buffer.replace(0, directory.size() + 1, directory + L'\0');
    return static_cast<std::uint32_t>(directory.size());
}

}  // namespace

FakeSystem& FakeSystem::Instance()
{
    static FakeSystem system;
    return system;
}

namespace SystemPlatform {

std::uint32_t QueryWindowsDirectory(std::wstring& buffer)
{
    return CopyDirectory(FakeSystem::Instance().windowsDirectory, buffer);
}

std::uint32_t QuerySystemDirectory(std::wstring& buffer)
{
    return CopyDirectory(FakeSystem::Instance().systemDirectory, buffer);
}

// %NAME% references to defined variables are replaced, names compared
// without regard to case; anything else stays as written.
std::uint32_t ExpandStrings(const std::wstring& source, std::wstring& buffer)
{
    auto& system = FakeSystem::Instance();
    ++system.expansionCalls;
    std::wstring result;
    std::size_t pos = 0;
    while (pos < source.size()) {
        std::size_t open = source.find(L'%', pos);
        std::size_t close = open == std::wstring::npos ? open : source.find(L'%', open + 1);
        if (close == std::wstring::npos) {
            result += source.substr(pos);
            break;
        }
        result += source.substr(pos, open - pos);
        std::wstring name = source.substr(open + 1, close - open - 1);
        bool found = false;
        for (const auto& [variable, value] : system.environment) {
            if (Upper(variable) == Upper(name)) {
                result += value;
                found = true;
                break;
            }
        }
        if (found) {
            pos = close + 1;
        } else {
            result += L'%' + name;
            pos = close;
        }
    }
    if (result.size() + 1 <= buffer.size())
        buffer.replace(0, result.size() + 1, result + L'\0');
    return static_cast<std::uint32_t>(result.size() + 1);
}

}  // namespace SystemPlatform
