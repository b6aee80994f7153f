#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/EventLogPlatform.h"

// The Application log as the host tests see it: every event reported, and a call that fails when asked to.
struct FakeEventLog {
    struct Event {
        std::wstring source;
        EventKind kind;
        std::uint32_t id;
        std::wstring text;
    };
    std::vector<Event> events;
    std::wstring failCall;  // "RegisterEventSourceW" or "ReportEventW" fails with `failCode`
    long failCode = 5;

    static FakeEventLog& Instance();
    void Reset() { *this = FakeEventLog(); }
};
