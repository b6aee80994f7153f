#include <windows.h>

#include "platform/EventLogPlatform.h"
#include "platform/UniqueHandle.h"

namespace {

using UniqueEventSource = UniqueHandle<HANDLE, &DeregisterEventSource>;

WORD TypeOf(EventKind kind)
{
    switch (kind) {
    case EventKind::Information:
        return EVENTLOG_INFORMATION_TYPE;
    case EventKind::Warning:
        return EVENTLOG_WARNING_TYPE;
    case EventKind::Error:
        break;
    }
    return EVENTLOG_ERROR_TYPE;
}

}  // namespace

namespace EventLogPlatform {

long Report(const std::wstring& source, EventKind kind, std::uint32_t id, const std::wstring& text,
            std::wstring& failedCall)
{
    UniqueEventSource log(RegisterEventSourceW(nullptr, source.c_str()));
    if (!log) {
        failedCall = L"RegisterEventSourceW";
        return static_cast<long>(GetLastError());
    }
    const wchar_t* strings[] = {text.c_str()};
    if (!ReportEventW(log.get(), TypeOf(kind), 0, id, nullptr, 1, 0, strings, nullptr)) {
        failedCall = L"ReportEventW";
        return static_cast<long>(GetLastError());
    }
    return 0;
}

}  // namespace EventLogPlatform
