#pragma once

#include <string>

#include "platform/SystemPlatform.h"
#include "platform/UniqueHandle.h"

// One Tandrel run at a time on a computer: two that interleave could run one's
// Delete between the other's Delete and Create. An unattended run holds the
// lock for the whole run, the window's Delete and Create while each runs;
// taken again inside a run that holds it, it is simply held.
class RunLock {
public:
    // Refused: the lock was made by an account that is not to be trusted with it.
    enum class Outcome { Taken, TakenOver, Held, Refused, Failed };

    RunLock() = default;
    ~RunLock();
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    // Takes the lock without waiting. For every outcome but Taken, `message`
    // is the log line that says what happened.
    [[nodiscard]] Outcome Take(std::wstring& message);

private:
    UniqueHandle<LockHandle, &SystemPlatform::ReleaseRunLock> handle_;
    bool holds_ = false;
};
