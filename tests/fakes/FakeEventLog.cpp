#include "tests/fakes/FakeEventLog.h"

FakeEventLog& FakeEventLog::Instance()
{
    static FakeEventLog log;
    return log;
}

namespace EventLogPlatform {

long Report(const std::wstring& source, EventKind kind, std::uint32_t id, const std::wstring& text,
            std::wstring& failedCall)
{
    auto& log = FakeEventLog::Instance();
    for (const wchar_t* call : {L"RegisterEventSourceW", L"ReportEventW"}) {
        if (log.failCall == call) {
            failedCall = call;
            return log.failCode;
        }
    }
    log.events.push_back({source, kind, id, text});
    return 0;
}

}  // namespace EventLogPlatform
