#include "unattended/Repair.h"

#include <string>
#include <vector>

#include "check/Check.h"
#include "check/LoadCheck.h"
#include "console/Form1.h"
#include "helpers/FuncLib.h"
#include "helpers/SuiteFiles.h"
#include "platform/FilePlatform.h"
#include "platform/ProcessPlatform.h"
#include "platform/SystemPlatform.h"

namespace {

constexpr std::uint64_t PatienceMs = 60000;
constexpr std::uint32_t RecheckMs = 1000;
constexpr wchar_t NothingChanged[] = L"\r\n*** NOTHING CHANGED - Scroll back to see why.";

// Every file that Create needs and does not find where it looks: each of the
// suite's files, and the registration server in the system folder.
std::vector<std::wstring> MissingForCreate(const Form1& form)
{
    std::vector<std::wstring> needed;
    for (const wchar_t* file : ComponentTable)
        needed.push_back(ComponentPath(form.AppPath, form.SystemPath, file));
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
std::vector<std::wstring> UnloadableForCreate(const Form1& form)
{
    LoadCheck check;
    std::vector<std::wstring> entries;
    for (const wchar_t* file : ComponentTable) {
        std::wstring path = ComponentPath(form.AppPath, form.SystemPath, file);
        if (!IsFullPath(path) || FilePlatform::LookForFile(path) != 0)
            continue;
        bool program = EqualsIgnoringCase(FileExtension(file, false), L"exe");
        for (const std::wstring& reason :
             check.Judge(path, program ? ServerKind::OutOfProcess : ServerKind::InProcess).problems)
            entries.push_back(L"\tCANNOT LOAD: " + path + L": " + reason);
    }
    return entries;
}

}  // namespace

RepairOutcome RepairSuite(Form1& form, CheckReport& last)
{
    auto log = [&form](const std::wstring& entry) { form.AddMsg(entry); };
    last = CheckSuite(form.AppPath, form.SystemPath, log);
    // Users' own registrations are theirs: with the machine's sound there is nothing to mend.
    if (last.problems == last.overrides) {
        form.FlushLog();
        return last.problems == 0 ? RepairOutcome::Clean : RepairOutcome::Problems;
    }
    // A registration that Create cannot put back is better left as it is,
    // broken or working from another folder, than deleted.
    std::vector<std::wstring> missing = MissingForCreate(form);
    for (const std::wstring& path : missing)
        form.AddMsg(L"\tMISSING: " + path);
    std::vector<std::wstring> unloadable = UnloadableForCreate(form);
    for (const std::wstring& entry : unloadable)
        form.AddMsg(entry);
    if (!missing.empty() || !unloadable.empty()) {
        form.AddMsg(NothingChanged);
        form.FlushLog();
        return RepairOutcome::CannotRepair;
    }
    form.cmdLoad_Click();
    form.cmdDelete_Click();
    if (form.BackupFailed) {
        form.AddMsg(NothingChanged);
        form.FlushLog();
        return RepairOutcome::BackupFailed;
    }
    form.cmdCreate_Click();

    std::vector<std::wstring> report;
    const std::uint64_t start = SystemPlatform::Ticks();
    for (;;) {
        report.clear();
        last = CheckSuite(form.AppPath, form.SystemPath,
                          [&report](const std::wstring& entry) { report.push_back(entry); });
        if (last.problems == last.overrides || SystemPlatform::Ticks() - start >= PatienceMs)
            break;
        SystemPlatform::Pause(RecheckMs);
    }
    for (const std::wstring& entry : report)
        form.AddMsg(entry);
    form.FlushLog();
    return last.problems == 0 ? RepairOutcome::Clean : RepairOutcome::Problems;
}
