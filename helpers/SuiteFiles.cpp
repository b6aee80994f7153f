#include "helpers/SuiteFiles.h"

#include <algorithm>

#include "helpers/FuncLib.h"

ComponentKind KindOf(const std::wstring& file)
{
    const std::wstring extension = FileExtension(file, false);
    if (EqualsIgnoringCase(extension, L"exe"))
        return ComponentKind::Program;
    if (EqualsIgnoringCase(extension, L"dll") || EqualsIgnoringCase(extension, L"ocx"))
        return ComponentKind::Library;
    return ComponentKind::Other;
}

std::wstring ComponentPath(const std::wstring& appPath, const std::wstring& systemPath, const std::wstring& file)
{
    const ComponentKind kind = KindOf(file);
    // Without an install directory the suite is looked for only beside
    // Tandrel, for a copy of Tandrel put into the suite's own folder.
    if (kind == ComponentKind::Program)
        return (appPath.empty() ? ProgramDirectory() : appPath) + file;
    return kind == ComponentKind::Library ? systemPath + file : L"";
}

const wchar_t* ComponentOf(const std::wstring& progId)
{
    const std::wstring base = progId.substr(0, progId.find(L'.'));
    auto component = std::find_if(ComponentTable.begin(), ComponentTable.end(), [&base](const wchar_t* file) {
        std::wstring name = file;
        return EqualsIgnoringCase(name.substr(0, name.find(L'.')), base);
    });
    return component == ComponentTable.end() ? nullptr : *component;
}

std::wstring NamedFile(const std::wstring& value, bool program)
{
    if (!value.empty() && value.front() == L'"')
        return value.substr(1, value.find(L'"', 1) - 1);
    for (std::size_t i = 0; program && i + 4 <= value.size(); ++i) {
        if (EqualsIgnoringCase(value.substr(i, 4), L".exe"))
            return value.substr(0, i + 4);
    }
    return value;
}

std::vector<std::wstring> EarlierCuts(const std::wstring& value)
{
    std::vector<std::wstring> cuts;
    if (!value.empty() && value.front() == L'"')
        return cuts;
    const std::wstring path = NamedFile(value, true);
    for (std::size_t space = path.find(L' '); space != std::wstring::npos; space = path.find(L' ', space + 1)) {
        std::wstring cut = path.substr(0, space);
        const std::size_t name = cut.find_last_of(L"\\/");
        if (cut.find(L'.', name == std::wstring::npos ? 0 : name) == std::wstring::npos)
            cut += L".exe";
        cuts.push_back(cut);
    }
    return cuts;
}

std::wstring WithoutResourceIndex(const std::wstring& path)
{
    std::size_t separator = path.find_last_of(L'\\');
    if (separator == std::wstring::npos || separator + 1 == path.size() || separator == 0)
        return path;
    bool number = std::all_of(path.begin() + separator + 1, path.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
    return number ? path.substr(0, separator) : path;
}
