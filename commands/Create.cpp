#include "commands/Commands.h"
#include "helpers/FuncLib.h"
#include "helpers/SuiteFiles.h"
#include "platform/ProcessPlatform.h"

namespace {

constexpr int ShowNormal = 1;
constexpr int ShowMinimized = 2;
constexpr std::uint32_t RegistrationTimeoutMs = 60000;

// Every program is started by its full path, as the application name too: a
// bare or relative name would be looked for in the current folder and on
// PATH, where anyone could have put a program of that name. Paths are also
// quoted in the command line.

bool StartSuiteProgram(const std::wstring& program, CommandLog& log)
{
    // The entry is out before the step that may take long.
    log.FlushLog();
    // The suite's programs may stay open: they are not waited for.
    return IsFullPath(program) && ProcessPlatform::StartProgram(program, L"\"" + program + L"\"", ShowNormal) != 0;
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

void RegisterFile(SuiteState& state, CommandLog& log, const std::wstring& file)
{
    log.AddMsg(L"\r\nCreating registry entry for " + file + L"'s classes");
    const ComponentKind kind = KindOf(file);

    bool created = false;
    if (kind == ComponentKind::Program) {
        created = StartSuiteProgram(ComponentPath(state.AppPath, state.SystemPath, file), log);
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
    for (const std::wstring& file : files)
        RegisterFile(state, log, file);

    if (programsStarted)
        programsStarted();
    return Finish(log, Closing::Creating, state.CreateFailed);
}
