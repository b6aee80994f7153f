#include "commands/Repair.h"

#include <string>
#include <vector>

#include "check/Check.h"
#include "check/LoadCheck.h"
#include "helpers/FuncLib.h"
#include "helpers/SuiteFiles.h"
#include "platform/FilePlatform.h"
#include "platform/ProcessPlatform.h"
#include "platform/SystemPlatform.h"

namespace {

constexpr std::uint64_t PatienceMs = 60000;
constexpr std::uint32_t RecheckMs = 1000;

// Every file that Create needs and does not find where it looks: each of the
// suite's files, and the registration server in the system folder.
std::vector<std::wstring> MissingForCreate(const SuiteState& state)
{
    std::vector<std::wstring> needed;
    for (const wchar_t* file : ComponentTable)
        needed.push_back(ComponentPath(state.AppPath, state.SystemPath, file));
    needed.push_back(SystemDirectory() + L"regsvr32.exe");
    std::vector<std::wstring> missing;
    for (const std::wstring& path : needed) {
        if (!IsFullPath(path) || IsBlank(ProcessPlatform::FindFile(path)))
            missing.push_back(path);
    }
    return missing;
}

// Every file of the suite that is there and that its callers could not load:
// registered again, its classes would still not be created. Notes stop nothing.
std::vector<std::wstring> UnloadableForCreate(const SuiteState& state)
{
    LoadCheck check;
    std::vector<std::wstring> entries;
    for (const wchar_t* file : ComponentTable) {
        std::wstring path = ComponentPath(state.AppPath, state.SystemPath, file);
        if (!IsFullPath(path) || FilePlatform::LookForFile(path) != 0)
            continue;
        bool program = KindOf(file) == ComponentKind::Program;
        for (const std::wstring& reason :
             check.Judge(path, program ? ServerKind::OutOfProcess : ServerKind::InProcess).problems)
            entries.push_back(L"\tCANNOT LOAD: " + path + L": " + reason);
    }
    return entries;
}

// Ends a repair that changed nothing, for `reason`.
CommandOutcome Unchanged(CommandLog& log, CommandOutcome outcome, VerdictReason reason)
{
    log.AddMsg(ClosingLine(Closing::NothingChanged));
    log.FlushLog();
    outcome.reason = reason;
    return outcome;
}

// The check repeated until it finds nothing of the machine's or its patience
// ends; only its final report is logged.
CheckReport LastCheck(const SuiteState& state, CommandLog& log)
{
    std::vector<std::wstring> report;
    CheckReport last;
    const std::uint64_t start = SystemPlatform::Ticks();
    for (;;) {
        report.clear();
        last = CheckSuite(state.AppPath, state.SystemPath,
                          [&report](const std::wstring& entry) { report.push_back(entry); });
        if (last.problems == last.overrides || SystemPlatform::Ticks() - start >= PatienceMs)
            break;
        SystemPlatform::Pause(RecheckMs);
    }
    for (const std::wstring& entry : report)
        log.AddMsg(entry);
    log.FlushLog();
    return last;
}

}  // namespace

CommandOutcome RepairSuite(SuiteState& state, CommandLog& log, const BackupOrder& order)
{
    CommandOutcome outcome;
    outcome.check = CheckSuite(state.AppPath, state.SystemPath, log.Sink());
    outcome.reason = ReasonOf(*outcome.check);
    // Users' own registrations are theirs: with the machine's sound there is nothing to mend.
    if (outcome.check->problems == outcome.check->overrides) {
        log.FlushLog();
        return outcome;
    }
    // A registration that Create cannot put back is better left as it is,
    // broken or working from another folder, than deleted.
    std::vector<std::wstring> missing = MissingForCreate(state);
    for (const std::wstring& path : missing)
        log.AddMsg(L"\tMISSING: " + path);
    std::vector<std::wstring> unloadable = UnloadableForCreate(state);
    for (const std::wstring& entry : unloadable)
        log.AddMsg(entry);
    if (!missing.empty() || !unloadable.empty())
        return Unchanged(log, outcome, VerdictReason::CannotRepair);
    (void)LoadSuite(state, log);
    CommandOutcome deleted = DeleteSuite(state, log, order);
    outcome.backup = deleted.backup;
    if (deleted.reason == VerdictReason::BackupFailed)
        return Unchanged(log, outcome, VerdictReason::BackupFailed);
    (void)CreateSuite(state, log);
    outcome.check = LastCheck(state, log);
    outcome.reason = ReasonOf(*outcome.check);
    return outcome;
}
