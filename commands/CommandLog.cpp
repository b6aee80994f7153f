#include "commands/CommandLog.h"

#include <algorithm>

namespace {

// A long command shows its progress this often while the target keeps up.
constexpr std::chrono::milliseconds LogBatchInterval{100};

}  // namespace

CommandLog::CommandLog(LogTarget& target, Clock clock)
    : target_(target), clock_(std::move(clock)), lastFlush_(clock_()), interval_(LogBatchInterval)
{
}

void CommandLog::AddMsg(const std::wstring& msg)
{
    pending_ += msg;
    pending_ += L"\r\n";
    if (target_.TakesEntriesAtOnce() || clock_() - lastFlush_ >= interval_)
        FlushLog();
}

void CommandLog::FlushLog()
{
    if (pending_.empty()) {
        lastFlush_ = clock_();
        return;
    }
    auto start = clock_();
    target_.AppendLog(pending_);
    pending_.clear();
    lastFlush_ = clock_();
    interval_ = std::max<std::chrono::steady_clock::duration>(LogBatchInterval, lastFlush_ - start);
}
