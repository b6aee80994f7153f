#pragma once

#include <chrono>
#include <functional>
#include <string>

// Where a command's report goes: the window's box, or the console and a log file.
class LogTarget {
public:
    // Appends `text` as it is: whole entries, each ending in CRLF.
    virtual void AppendLog(const std::wstring& text) = 0;
    // True where each entry must go out as it is made: a log file is complete
    // up to the moment a run is cut short. The window takes entries in batches.
    [[nodiscard]] virtual bool TakesEntriesAtOnce() const { return false; }

protected:
    ~LogTarget() = default;
};

// The only way a command reports anything: the entry and CRLF are added to
// the log. Entries reach the target in batches (see FlushLog), since one
// append per entry makes a long Load crawl; a target that takes each at once
// gets each at once. A batch follows the last one after 100 ms, or after as
// long as the target took to take that one, whichever is longer: a box that
// grows slow with a long log never gets more than half of a command's time.
class CommandLog {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    explicit CommandLog(LogTarget& target, Clock clock = [] { return std::chrono::steady_clock::now(); });

    void AddMsg(const std::wstring& msg);
    // Hands every pending entry to the target. Called at the end of each
    // command and before each step that may take long.
    void FlushLog();
    // For readers that report through a function.
    [[nodiscard]] std::function<void(const std::wstring&)> Sink()
    {
        return [this](const std::wstring& entry) { AddMsg(entry); };
    }

private:
    LogTarget& target_;
    Clock clock_;
    std::wstring pending_;
    std::chrono::steady_clock::time_point lastFlush_;
    std::chrono::steady_clock::duration interval_;
};
