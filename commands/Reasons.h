#pragma once

#include <cstddef>
#include <string_view>

namespace ExitCode {
inline constexpr int Success = 0;
inline constexpr int CommandFailed = 1;  // a command wrote its closing error line
inline constexpr int UsageError = 2;
// What Windows' installer gives for the same case, and deployment tools retry.
inline constexpr int AnotherRunInProgress = 1618;
// ERROR_ELEVATION_REQUIRED, which a launcher that ignored the manifest recognises.
inline constexpr int NotElevated = 740;
}  // namespace ExitCode

// Why a run did not end with 0, in one word a collector can count machines by.
// The order here means nothing: what wins where several apply is the table's.
enum class VerdictReason {
    None,
    LockRefused,    // the run lock was made by someone other than an administrator, or could not be made
    CannotRepair,   // the repair's pre-flight refused: a file missing or not loadable
    BackupFailed,   // a backup was not written, so nothing was deleted
    CommandFailed,  // Load, Delete, Create or Restore wrote its closing error line
    UserOverrides,  // the only problems are users' own registrations
    Problems,       // a check found problems
    LogFailed,      // all else went well, but the log file could not be written in full
    Busy,           // another run holds the lock
    Usage,          // a wrong command line
    NotElevated,    // the token is no elevated administrator's
    InstallerBusy,  // a Windows Installer transaction is in progress
};

struct ReasonRow {
    VerdictReason reason;
    std::string_view word;
    int exitCode;
    // Where several apply, the lowest wins: the most specific, the one to act on.
    int precedence;
    // The run's event in the Application log, one ID a reason, so that a collector can filter by it. The system's
    // own message file for custom sources gives the text of IDs 1 to 1000.
    int eventId;
};

// A run that ended with 0.
inline constexpr int SuccessEventId = 100;

inline constexpr ReasonRow Reasons[] = {
    {VerdictReason::LockRefused, "lock-refused", ExitCode::CommandFailed, 1, 101},
    {VerdictReason::CannotRepair, "cannot-repair", ExitCode::CommandFailed, 2, 102},
    {VerdictReason::BackupFailed, "backup-failed", ExitCode::CommandFailed, 3, 103},
    {VerdictReason::CommandFailed, "command-failed", ExitCode::CommandFailed, 4, 104},
    {VerdictReason::UserOverrides, "user-overrides", ExitCode::CommandFailed, 5, 105},
    {VerdictReason::Problems, "problems", ExitCode::CommandFailed, 6, 106},
    {VerdictReason::LogFailed, "log-failed", ExitCode::CommandFailed, 7, 107},
    {VerdictReason::Busy, "busy", ExitCode::AnotherRunInProgress, 8, 108},
    {VerdictReason::Usage, "usage", ExitCode::UsageError, 9, 109},
    {VerdictReason::NotElevated, "not-elevated", ExitCode::NotElevated, 10, 110},
    {VerdictReason::InstallerBusy, "installer-busy", ExitCode::AnotherRunInProgress, 11, 111},
};

namespace reasons_detail {
// Every reason but None has exactly one row, every word, precedence and event
// ID is its own, and none of them passes for success.
consteval bool TableWhole()
{
    constexpr int Count = static_cast<int>(VerdictReason::InstallerBusy) + 1;
    int rows[Count] = {};
    for (const ReasonRow& row : Reasons) {
        if (row.reason == VerdictReason::None || row.word.empty() || row.exitCode == ExitCode::Success ||
            row.eventId < 1 || row.eventId > 1000 || row.eventId == SuccessEventId)
            return false;
        ++rows[static_cast<int>(row.reason)];
        for (const ReasonRow& other : Reasons) {
            if (&other != &row && (other.word == row.word || other.precedence == row.precedence ||
                                   other.eventId == row.eventId))
                return false;
        }
    }
    for (int reason = 1; reason < Count; ++reason) {
        if (rows[reason] != 1)
            return false;
    }
    return true;
}
}  // namespace reasons_detail
static_assert(reasons_detail::TableWhole(), "each reason needs one row with a word, exit code, precedence and event ID of its own");

// Its row; nothing for None.
[[nodiscard]] constexpr const ReasonRow* RowOf(VerdictReason reason)
{
    for (const ReasonRow& row : Reasons) {
        if (row.reason == reason)
            return &row;
    }
    return nullptr;
}

[[nodiscard]] constexpr int ExitCodeOf(VerdictReason reason)
{
    const ReasonRow* row = RowOf(reason);
    return row ? row->exitCode : ExitCode::Success;
}

// The one of the two that a collector should act on; None gives way to any.
[[nodiscard]] constexpr VerdictReason MoreSpecific(VerdictReason a, VerdictReason b)
{
    const ReasonRow* rowA = RowOf(a);
    const ReasonRow* rowB = RowOf(b);
    if (!rowA)
        return b;
    return rowB && rowB->precedence < rowA->precedence ? b : a;
}
