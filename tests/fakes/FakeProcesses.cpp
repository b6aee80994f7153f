#include "tests/fakes/FakeProcesses.h"

#include "platform/ProcessPlatform.h"
#include "tests/fakes/CallFault.h"
#include "tests/fakes/FakeDisk.h"
#include "tests/fakes/FakeText.h"

FakeProcesses& FakeProcesses::Instance()
{
    static FakeProcesses processes;
    return processes;
}

void FakeProcesses::SetExitCode(const std::wstring& text, std::uint32_t code)
{
    exitCodes[Lower(text)] = code;
}

void FakeProcesses::Hang(const std::wstring& text)
{
    hanging.insert(Lower(text));
}

namespace ProcessPlatform {

std::uint32_t StartProgram(const std::wstring& program, const std::wstring& commandLine, int showCommand)
{
    auto& processes = FakeProcesses::Instance();
    processes.starts.push_back({program, commandLine, showCommand});
    if (processes.onStart)
        processes.onStart(processes.starts.back());
    if (CallFault::Instance().Take(L"Start " + commandLine) || !FakeDisk::Instance().Has(program))
        return 0;
    ++processes.succeeded;
    return processes.nextId++;
}

std::optional<std::uint32_t> RunProgram(const std::wstring& program, const std::wstring& commandLine,
                                        int showCommand, std::uint32_t)
{
    auto& processes = FakeProcesses::Instance();
    processes.starts.push_back({program, commandLine, showCommand});
    if (processes.onStart)
        processes.onStart(processes.starts.back());
    if (CallFault::Instance().Take(L"Run " + commandLine) || !FakeDisk::Instance().Has(program))
        return std::nullopt;
    std::wstring line = Lower(commandLine);
    for (const auto& text : processes.hanging) {
        if (line.find(text) != std::wstring::npos)
            return std::nullopt;
    }
    std::uint32_t exitCode = 0;
    for (const auto& [text, code] : processes.exitCodes) {
        if (line.find(text) != std::wstring::npos)
            exitCode = code;
    }
    processes.succeeded += exitCode == 0 ? 1 : 0;
    return exitCode;
}

std::wstring FindFile(const std::wstring& path)
{
    if (CallFault::Instance().Take(L"FindFile " + path) || !FakeDisk::Instance().Has(path))
        return L"";
    std::size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

}  // namespace ProcessPlatform
