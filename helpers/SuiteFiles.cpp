#include "helpers/SuiteFiles.h"

#include "helpers/FuncLib.h"

std::wstring ComponentPath(const std::wstring& appPath, const std::wstring& systemPath, const std::wstring& file)
{
    std::wstring extension = FileExtension(file, false);
    // Without an install directory the suite is looked for only beside
    // Tandrel, for a copy of Tandrel put into the suite's own folder.
    if (EqualsIgnoringCase(extension, L"exe"))
        return (appPath.empty() ? ProgramDirectory() : appPath) + file;
    if (EqualsIgnoringCase(extension, L"dll") || EqualsIgnoringCase(extension, L"ocx"))
        return systemPath + file;
    return L"";
}
