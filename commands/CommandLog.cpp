#include "commands/CommandLog.h"

namespace {

// A long command still shows progress this often.
constexpr std::chrono::milliseconds LogBatchInterval{100};

}  // namespace

CommandLog::CommandLog(LogTarget& target, Clock clock)
    : target_(target), clock_(std::move(clock)), lastFlush_(clock_())
{
}

void CommandLog::AddMsg(const std::wstring& msg)
{
    pending_ += msg;
    pending_ += L"\r\n";
    if (target_.TakesEntriesAtOnce() || clock_() - lastFlush_ >= LogBatchInterval)
        FlushLog();
}

void CommandLog::FlushLog()
{
    if (!pending_.empty()) {
        target_.AppendLog(pending_);
        pending_.clear();
    }
    lastFlush_ = clock_();
}
