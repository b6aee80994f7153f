#include "commands/Commands.h"

#include "helpers/FuncLib.h"
#include "helpers/SuiteFiles.h"
#include "registry/RegFuncs.h"

std::wstring ClosingLine(Closing closing)
{
    const wchar_t* const Commands[] = {L"LOADING", L"DELETING", L"CREATING", L"RESTORING"};
    if (closing == Closing::NothingChanged)
        return L"\r\n*** NOTHING CHANGED - Scroll back to see why.";
    return std::wstring(L"\r\n*** ERROR IN ") + Commands[static_cast<int>(closing)] +
           L" - Scroll back to see the Errors.";
}

CommandOutcome Finish(CommandLog& log, Closing closing, bool failed, CommandOutcome outcome)
{
    outcome.failed = failed;
    if (failed) {
        log.AddMsg(ClosingLine(closing));
        outcome.reason = MoreSpecific(outcome.reason, VerdictReason::CommandFailed);
    }
    log.FlushLog();
    return outcome;
}

VerdictReason ReasonOf(const CheckReport& report)
{
    if (report.problems == 0)
        return VerdictReason::None;
    return report.problems == report.overrides ? VerdictReason::UserOverrides : VerdictReason::Problems;
}

void StartUp(SuiteState& state, CommandLog& log)
{
    state.AppPath = AppPathOf(L"Vestrel.exe");
    log.AddMsg(L"Vestrel Path: " + state.AppPath);
    state.SystemPath = SystemDirectory();
    log.FlushLog();
}

bool ReadKeyValue(SuiteState& state, CommandLog& log, RegKey root, const std::wstring& subKey,
                  const std::wstring& valueName, std::wstring& value, bool closeKey, RegKey& keyOut)
{
    value.clear();
    RegKey key = RegKey::None;
    bool opened = OpenRegKey(root, subKey, key);
    if (opened) {
        std::wstring read;
        if (GetRegString(key, valueName, read))
            value = read;
    } else {
        log.AddMsg(L"ERROR: Could not locate the key in the Registry.\r\n" + subKey);
        state.LoadFailed = true;
    }
    if (closeKey)
        CloseRegKey(key);
    else
        keyOut = key;
    return opened;
}

bool TakeRunLock(RunLock& lock, CommandLog& log)
{
    std::wstring message;
    RunLock::Outcome outcome = lock.Take(message);
    if (!message.empty())
        log.AddMsg(message);
    log.FlushLog();
    return outcome == RunLock::Outcome::Taken || outcome == RunLock::Outcome::TakenOver;
}

CommandOutcome CheckSuiteCommand(const SuiteState& state, CommandLog& log)
{
    CommandOutcome outcome;
    outcome.check = CheckSuite(state.AppPath, state.SystemPath, log.Sink());
    log.FlushLog();
    outcome.reason = ReasonOf(*outcome.check);
    return outcome;
}
