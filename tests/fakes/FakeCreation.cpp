#include "tests/fakes/FakeCreation.h"

#include <deque>
#include <memory>

#include "commands/Verify.h"
#include "tests/fakes/FakeProcesses.h"
#include "tests/fakes/FakeSystem.h"

namespace {

// Where a fake child's lines stop, and why.
struct Stop {
    ChildRead::Kind kind;
    std::uint32_t exitCode;
};

struct Child {
    std::deque<std::string> lines;
    Stop stop{ChildRead::Kind::Ended, 0};
    bool restricted = false;
};

std::map<std::uintptr_t, std::unique_ptr<Child>>& Children()
{
    static std::map<std::uintptr_t, std::unique_ptr<Child>> children;
    return children;
}

Child* running = nullptr;  // the child whose side runs now
std::uintptr_t nextHandle = 1;

}  // namespace

FakeCreation& FakeCreation::Instance()
{
    static FakeCreation creation;
    return creation;
}

namespace CreationPlatform {

long StartChild(const std::vector<std::wstring>& arguments, ChildToken token, ChildHandle& child)
{
    FakeCreation& fake = FakeCreation::Instance();
    fake.starts.push_back({arguments, token});
    if (fake.startError != 0)
        return fake.startError;
    if (token == ChildToken::Restricted && fake.restrictedStartError != 0)
        return fake.restrictedStartError;
    auto state = std::make_unique<Child>();
    state->restricted = token == ChildToken::Restricted && !fake.tokenIgnored;
    running = state.get();
    try {
        state->stop.exitCode = static_cast<std::uint32_t>(RunCreationChild(arguments));
    } catch (const Stop& stop) {
        state->stop = stop;
    }
    running = nullptr;
    child = static_cast<ChildHandle>(nextHandle);
    Children()[nextHandle++] = std::move(state);
    ++fake.open;
    return 0;
}

ChildRead ReadChild(ChildHandle child, std::uint32_t timeoutMs)
{
    FakeCreation::Instance().limits.push_back(timeoutMs);
    Child& state = *Children().at(static_cast<std::uintptr_t>(child));
    ChildRead read;
    if (!state.lines.empty()) {
        read.kind = ChildRead::Kind::Line;
        read.line = state.lines.front();
        state.lines.pop_front();
        return read;
    }
    read.kind = state.stop.kind;
    read.exitCode = state.stop.exitCode;
    if (read.kind == ChildRead::Kind::TimedOut)
        FakeSystem::Instance().ticks += timeoutMs;
    return read;
}

void EndChild(ChildHandle child)
{
    if (child == ChildHandle::None)
        return;
    Children().erase(static_cast<std::uintptr_t>(child));
    --FakeCreation::Instance().open;
}

std::vector<RunningProgram> RunningPrograms()
{
    std::vector<RunningProgram> list;
    const FakeProcesses& processes = FakeProcesses::Instance();
    for (const auto& [id, process] : processes.processes) {
        if (processes.Running(id))
            list.push_back({id, process.path});
    }
    return list;
}

std::wstring ResultText(std::uint32_t result)
{
    auto& messages = FakeCreation::Instance().messages;
    auto found = messages.find(result);
    return found == messages.end() ? L"" : found->second;
}

std::uint32_t PrepareChild()
{
    return FakeCreation::Instance().prepareResult;
}

bool TokenRestricted()
{
    return running->restricted;
}

Creation CreateAsScript(const std::wstring& progId)
{
    FakeCreation& fake = FakeCreation::Instance();
    auto found = fake.results.find(progId);
    const FakeCreation::Result result = found == fake.results.end() ? FakeCreation::Result{} : found->second;
    switch (result.kind) {
    case FakeCreation::Result::Kind::Hangs:
        throw Stop{ChildRead::Kind::TimedOut, 0};
    case FakeCreation::Result::Kind::Crashes:
        throw Stop{ChildRead::Kind::Ended, result.code};
    case FakeCreation::Result::Kind::Fails:
        return {result.step, result.code};
    case FakeCreation::Result::Kind::Created:
        break;
    }
    if (!result.startsProgram.empty())
        FakeProcesses::Instance().processes[4000 + fake.programsStarted++] = {
            result.startsProgram, FakeProcesses::Never, FakeSystem::Instance().ticks + result.runsMs,
            result.windows, result.closes};
    return {};
}

bool WriteLine(const std::string& line)
{
    running->lines.push_back(line);
    return true;
}

}  // namespace CreationPlatform
