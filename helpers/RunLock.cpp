#include "helpers/RunLock.h"

#include "platform/FilePlatform.h"

namespace {

constexpr long Timeout = 258;  // WAIT_TIMEOUT
// How many RunLocks of this process hold the lock: only the first takes it.
int holders = 0;

}  // namespace

RunLock::~RunLock()
{
    if (holds_)
        --holders;
}

RunLock::Outcome RunLock::Take(std::wstring& message)
{
    message.clear();
    if (holds_)
        return Outcome::Taken;
    if (holders > 0) {
        ++holders;
        holds_ = true;
        return Outcome::Taken;
    }
    LockHandle lock = LockHandle::None;
    bool abandoned = false;
    long code = SystemPlatform::TakeRunLock(lock, abandoned);
    if (code == Timeout) {
        message = L"Another Tandrel run is in progress on this computer; nothing was done.";
        return Outcome::Held;
    }
    if (code != 0) {
        message = L"ERROR: Cannot tell whether another Tandrel run is in progress: " + FilePlatform::ErrorText(code) +
                  L" Nothing was done.";
        return Outcome::Failed;
    }
    handle_.reset(lock);
    ++holders;
    holds_ = true;
    if (!abandoned)
        return Outcome::Taken;
    message = L"The last Tandrel run on this computer ended before it finished.";
    return Outcome::TakenOver;
}
