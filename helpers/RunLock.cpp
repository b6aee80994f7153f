#include "helpers/RunLock.h"

#include "platform/FilePlatform.h"
#include "platform/WinCodes.h"

namespace {

constexpr wchar_t Administrators[] = L"S-1-5-32-544";
constexpr wchar_t LocalSystem[] = L"S-1-5-18";
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
    RunLockState state;
    long code = SystemPlatform::TakeRunLock(RunLockPlace::PrivateNamespace, lock, state);
    if (code == WinCode::CallNotImplemented) {
        state = RunLockState{};
        code = SystemPlatform::TakeRunLock(RunLockPlace::Global, lock, state);
    }
    handle_.reset(code == 0 ? lock : LockHandle::None);
    // A lock that someone else made first is theirs to hold or to shut: it is
    // trusted only when an administrator, SYSTEM or this account made it, or
    // whoever owns what this process makes (another run of the same kind).
    const std::wstring& owner = state.owner.sid;
    bool trusted = owner == Administrators || owner == LocalSystem ||
                   (!owner.empty() &&
                    (owner == SystemPlatform::AccountSid() || owner == SystemPlatform::DefaultOwnerSid()));
    if (state.existed && !trusted && (code == 0 || code == WinCode::WaitTimeout || code == WinCode::AccessDenied)) {
        handle_.reset();
        std::wstring by = !state.owner.name.empty() ? state.owner.name
                                                    : L"an account that lets no administrator read who made it";
        message = L"ERROR: The run lock " + state.name + L" was made by " + by +
                  L", not by an administrator; nothing was done.";
        return Outcome::Refused;
    }
    if (code == WinCode::WaitTimeout) {
        message = L"Another Tandrel run is in progress on this computer; nothing was done.";
        return Outcome::Held;
    }
    if (code != 0) {
        handle_.reset();
        std::wstring what = FilePlatform::ErrorText(code);
        if (!state.kind.empty())
            what = state.kind + L" of that name is there" +
                   (state.owner.sid.empty() ? L"" : L", made by " + (state.owner.name.empty() ? state.owner.sid
                                                                                            : state.owner.name)) +
                   L".";
        message =
            JoinSentences(L"ERROR: The run lock " + state.name + L" cannot be taken: " + what, L"Nothing was done.");
        return Outcome::Failed;
    }
    ++holders;
    holds_ = true;
    if (!state.abandoned)
        return Outcome::Taken;
    message = L"The last Tandrel run on this computer ended before it finished.";
    return Outcome::TakenOver;
}
