#include "tests/fakes/FakeFiles.h"

#include <algorithm>
#include <vector>

namespace {

constexpr std::uintptr_t ConsoleHandle = 0x7;
std::vector<std::wstring> openPaths{L""};  // index = handle value - 0x100

}  // namespace

FakeFiles& FakeFiles::Instance()
{
    static FakeFiles files;
    return files;
}

namespace FilePlatform {

long FullPath(const std::wstring& path, std::wstring& fullPath)
{
    if (path.empty())
        return 123;  // ERROR_INVALID_NAME
    fullPath = path.find(L':') == std::wstring::npos && path.rfind(L"\\\\", 0) != 0
                   ? FakeFiles::Instance().currentFolder + path
                   : path;
    return 0;
}

long OpenForWriting(const std::wstring& path, FileHandle& file, FileRefusal& refusal)
{
    auto& files = FakeFiles::Instance();
    refusal = files.refusals.count(path) ? files.refusals[path] : FileRefusal::None;
    if (refusal != FileRefusal::None)
        return 0;
    if (files.openErrors.count(path))
        return files.openErrors[path];
    files.contents[path].clear();
    openPaths.push_back(path);
    ++files.openHandles;
    file = static_cast<FileHandle>(0x100 + openPaths.size() - 1);
    return 0;
}

long Write(FileHandle file, const char* data, std::uint32_t size, std::uint32_t& written)
{
    auto& files = FakeFiles::Instance();
    written = 0;
    if (static_cast<std::uintptr_t>(file) == ConsoleHandle) {
        files.console += std::wstring(data, data + std::min(size, files.maxConsoleWrite));
        written = std::min(size, files.maxConsoleWrite);
        return 0;
    }
    std::string& content = files.contents[openPaths.at(static_cast<std::uintptr_t>(file) - 0x100)];
    std::size_t room = files.failAfter > content.size() ? files.failAfter - content.size() : 0;
    if (room == 0)
        return files.failCode;
    written = static_cast<std::uint32_t>(std::min<std::size_t>({size, files.maxWrite, room}));
    content.append(data, written);
    return 0;
}

bool Close(FileHandle)
{
    --FakeFiles::Instance().openHandles;
    return true;
}

FileHandle StandardOutput(bool& isConsole)
{
    auto& files = FakeFiles::Instance();
    isConsole = files.consoleIsTerminal;
    return files.hasConsole ? static_cast<FileHandle>(ConsoleHandle) : FileHandle::None;
}

long WriteConsoleText(FileHandle, const wchar_t* text, std::uint32_t count, std::uint32_t& written)
{
    auto& files = FakeFiles::Instance();
    files.largestConsoleWrite = std::max(files.largestConsoleWrite, count);
    written = std::min(count, files.maxConsoleWrite);
    files.console.append(text, written);
    return 0;
}

std::wstring ErrorText(long code)
{
    return code == 112 ? L"There is not enough space on the disk." : L"Windows error " + std::to_wstring(code);
}

}  // namespace FilePlatform
