#include <utility>

#include "commands/Commands.h"
#include "commands/UnseenPrograms.h"
#include "helpers/FuncLib.h"
#include "helpers/SuiteFiles.h"
#include "platform/ProcessPlatform.h"
#include "platform/SystemPlatform.h"

namespace {

constexpr int ShowNormal = 1;
constexpr int ShowMinimized = 2;
constexpr std::uint32_t RegistrationTimeoutMs = 60000;
constexpr std::uint32_t PollMs = 250;

// A suite program that Create started and still holds, for a session whose desktop nobody sees.
struct StartedProgram {
    std::wstring path;
    std::uint32_t id = 0;
    OwnedProcess process;
    std::uint64_t started = 0;
};

// Every program is started by its full path, as the application name too: a
// bare or relative name would be looked for in the current folder and on
// PATH, where anyone could have put a program of that name. Paths are also
// quoted in the command line.

bool StartSuiteProgram(const std::wstring& program, CommandLog& log, std::vector<StartedProgram>& started)
{
    // The entry is out before the step that may take long.
    log.FlushLog();
    if (!IsFullPath(program))
        return false;
    // The suite's programs may stay open: they are not waited for here.
    StartedProgram start{program, 0, {}, SystemPlatform::Ticks()};
    start.id = ProcessPlatform::StartProgram(program, L"\"" + program + L"\"", ShowNormal, start.process);
    if (start.id == 0)
        return false;
    started.push_back(std::move(start));
    return true;
}

// Where nobody sees the desktop, each program still running once its classes are registered, or a minute after its
// start, is closed: a program that ends by itself is done at once.
void CloseStartedPrograms(std::vector<StartedProgram>& started, CommandLog& log)
{
    std::vector<UnseenProgram> running;
    for (StartedProgram& program : started) {
        bool registered = false;
        bool ended = ProcessPlatform::WaitForEnd(program.process.get(), 0);
        while (!ended && !(registered = ProgramRegistered(program.path)) &&
               SystemPlatform::Ticks() < program.started + RegistrationTimeoutMs)
            ended = ProcessPlatform::WaitForEnd(program.process.get(), PollMs);
        if (ended)
            continue;
        std::wstring note;
        if (!registered)
            note = L"\tWARNING: " + ProcessNamed(program.path, program.id) + L" has not registered its classes within " +
                   std::to_wstring(RegistrationTimeoutMs / 1000) + L" s.";
        running.push_back({program.path, program.id, std::move(program.process), note});
    }
    CloseUnseenPrograms(running,
                        L"\r\nNobody can see this session's desktop: the programs that Create started and that "
                        L"still run are closed.",
                        log);
}

bool RegisterLibrary(const std::wstring& component, CommandLog& log)
{
    // The silent server registers nothing for a missing file and says
    // nothing: a missing library is a failure, not a success.
    if (!IsFullPath(component) || IsBlank(ProcessPlatform::FindFile(component)))
        return false;
    std::wstring serverDirectory =
        !IsBlank(ProcessPlatform::FindFile(SystemDirectory() + L"regsvr32.exe")) ? SystemDirectory()
                                                                                 : WindowsDirectory();
    std::wstring server = serverDirectory + L"regsvr32.exe";
    log.FlushLog();
    // Silent, the server tells only by its exit code whether the library was
    // registered; one that does not end is a failure.
    return IsFullPath(server) &&
           ProcessPlatform::RunProgram(server, L"\"" + serverDirectory + L"regsvr32\" /s \"" + component + L"\"",
                                       ShowMinimized, RegistrationTimeoutMs) == 0u;
}

void RegisterFile(SuiteState& state, CommandLog& log, const std::wstring& file, std::vector<StartedProgram>& started)
{
    log.AddMsg(L"\r\nCreating registry entry for " + file + L"'s classes");
    const ComponentKind kind = KindOf(file);

    bool created = false;
    if (kind == ComponentKind::Program) {
        created = StartSuiteProgram(ComponentPath(state.AppPath, state.SystemPath, file), log, started);
    } else if (kind == ComponentKind::Library) {
        created = RegisterLibrary(ComponentPath(state.AppPath, state.SystemPath, file), log);
    } else {
        log.AddMsg(L"\tWARNING - Unknown file type - Ignoring.");
        return;
    }
    if (created) {
        log.AddMsg(L"\tCreated classes");
    } else {
        state.CreateFailed = true;
        log.AddMsg(L"\tERROR: Creating classes");
    }
}

}  // namespace

CommandOutcome CreateSuite(SuiteState& state, CommandLog& log, const std::function<void()>& programsStarted)
{
    log.AddMsg(std::wstring(ReportSeparator));
    state.CreateFailed = false;
    RunLock lock;
    if (!TakeRunLock(lock, log))
        return {};

    // Before any Load the built-in table serves, exactly as after one.
    std::vector<std::wstring> files =
        state.FileList ? *state.FileList : std::vector<std::wstring>(ComponentTable.begin(), ComponentTable.end());
    std::vector<StartedProgram> started;
    for (const std::wstring& file : files)
        RegisterFile(state, log, file, started);

    if (programsStarted)
        programsStarted();
    if (state.ProgramsUnseen)
        CloseStartedPrograms(started, log);
    return Finish(log, Closing::Creating, state.CreateFailed);
}
