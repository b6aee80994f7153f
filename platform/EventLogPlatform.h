#pragma once

#include <cstdint>
#include <string>

// What an event says of the run it records, as Event Viewer shows it.
enum class EventKind { Information, Warning, Error };

// The Application event log. The Windows build links the Win32 adapter, the host build a stand-in that keeps what
// was reported.
namespace EventLogPlatform {

// RegisterEventSourceW for `source` on this computer, ReportEventW of one event whose one string is `text`, then
// DeregisterEventSource. 0, or the code of the call that failed, which `failedCall` then names.
[[nodiscard]] long Report(const std::wstring& source, EventKind kind, std::uint32_t id, const std::wstring& text,
                          std::wstring& failedCall);

}  // namespace EventLogPlatform
