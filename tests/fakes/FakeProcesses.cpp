#include "tests/fakes/FakeProcesses.h"

#include <algorithm>

#include "platform/ProcessPlatform.h"
#include "platform/WinCodes.h"
#include "tests/fakes/CallFault.h"
#include "tests/fakes/FakeDisk.h"
#include "tests/fakes/FakeSystem.h"
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

bool FakeProcesses::Running(std::uint32_t id) const
{
    auto found = processes.find(id);
    return found != processes.end() && found->second.endsAt > FakeSystem::Instance().ticks;
}

namespace {

std::uint64_t& Now()
{
    return FakeSystem::Instance().ticks;
}

// Time passes up to `until`, or to the process's end before it: a registration due by then is made.
void Advance(FakeProcesses::Process& process, std::uint64_t until)
{
    std::uint64_t reached = std::max(Now(), std::min(until, process.endsAt));
    if (process.registersAt <= reached && process.registersAt <= process.endsAt) {
        process.registersAt = FakeProcesses::Never;
        if (FakeProcesses::Instance().onRegister)
            FakeProcesses::Instance().onRegister(process.path);
    }
    Now() = reached;
}

FakeProcesses::Process& Held(ProcessHandle process)
{
    return FakeProcesses::Instance().processes.at(static_cast<std::uint32_t>(process));
}

}  // namespace

namespace ProcessPlatform {

void CloseProcess(ProcessHandle)
{
    --FakeProcesses::Instance().held;
}

std::uint32_t StartProgram(const std::wstring& program, const std::wstring& commandLine, int showCommand,
                           OwnedProcess& process)
{
    auto& processes = FakeProcesses::Instance();
    processes.starts.push_back({program, commandLine, showCommand});
    if (processes.onStart)
        processes.onStart(processes.starts.back());
    if (CallFault::Instance().Take(L"Start " + commandLine) || !FakeDisk::Instance().Has(program))
        return 0;
    ++processes.succeeded;
    FakeProcesses::Conduct conduct{.endsAfter = 0};
    const std::wstring line = Lower(commandLine);
    for (const auto& [text, set] : processes.conducts) {
        if (line.find(text) != std::wstring::npos)
            conduct = set;
    }
    auto add = [](std::uint64_t after) { return after == FakeProcesses::Never ? after : Now() + after; };
    const std::uint32_t id = processes.nextId++;
    FakeProcesses::Process& started = processes.processes[id] = {program, add(conduct.registersAfter),
                                                                 add(conduct.endsAfter), conduct.windows,
                                                                 conduct.closes, conduct.endError};
    Advance(started, Now());
    process.reset(static_cast<ProcessHandle>(id));
    ++processes.held;
    return id;
}

long OpenProgram(std::uint32_t id, OwnedProcess& process, std::wstring& path)
{
    auto& processes = FakeProcesses::Instance();
    if (!processes.Running(id))
        return WinCode::InvalidParameter;
    path = processes.processes.at(id).path;
    process.reset(static_cast<ProcessHandle>(id));
    ++processes.held;
    return 0;
}

bool WaitForEnd(ProcessHandle process, std::uint32_t timeoutMs)
{
    FakeProcesses::Process& waited = Held(process);
    Advance(waited, Now() + timeoutMs);
    return waited.endsAt <= Now();
}

int PostClose(std::uint32_t id)
{
    auto& processes = FakeProcesses::Instance();
    processes.asked.push_back(L"close " + std::to_wstring(id));
    auto found = processes.processes.find(id);
    if (found == processes.processes.end() || !processes.Running(id))
        return 0;
    if (found->second.closes && found->second.windows > 0)
        found->second.endsAt = Now();
    return found->second.windows;
}

long EndProgram(ProcessHandle process)
{
    auto& processes = FakeProcesses::Instance();
    processes.asked.push_back(L"end " + std::to_wstring(static_cast<std::uint32_t>(process)));
    if (Held(process).endError != 0)
        return Held(process).endError;
    Held(process).endsAt = std::min(Held(process).endsAt, Now());
    return 0;
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
