#include "console/Repair.h"

#include <string>
#include <vector>

#include "console/Check.h"
#include "console/Form1.h"
#include "helpers/SystemPlatform.h"

namespace {

constexpr std::uint64_t PatienceMs = 60000;
constexpr std::uint32_t RecheckMs = 1000;

}  // namespace

bool RepairSuite(Form1& form)
{
    auto log = [&form](const std::wstring& entry) { form.AddMsg(entry); };
    if (CheckSuite(form.AppPath, form.SystemPath, log) == 0) {
        form.FlushLog();
        return true;
    }
    form.cmdLoad_Click();
    form.cmdDelete_Click();
    form.cmdCreate_Click();

    std::vector<std::wstring> report;
    int problems = 0;
    const std::uint64_t start = SystemPlatform::Ticks();
    for (;;) {
        report.clear();
        problems = CheckSuite(form.AppPath, form.SystemPath,
                              [&report](const std::wstring& entry) { report.push_back(entry); });
        if (problems == 0 || SystemPlatform::Ticks() - start >= PatienceMs)
            break;
        SystemPlatform::Pause(RecheckMs);
    }
    for (const std::wstring& entry : report)
        form.AddMsg(entry);
    form.FlushLog();
    return problems == 0;
}
