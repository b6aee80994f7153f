#include <gtest/gtest.h>

#include "commands/Reasons.h"
#include "unattended/RunRecord.h"

namespace {

// What a run reports when its commands give several reasons: the one to act
// on, whichever came first, with its word, the exit code the run ends with,
// and its event: a warning for what a check found, an error for all else.
TEST(Reasons, TheMostSpecificWinsAndGivesItsWordExitCodeAndEvent)
{
    using enum VerdictReason;
    struct Row {
        VerdictReason first, second, reported;
        const char* word;  // nullptr for a run that succeeded
        int exitCode;
        EventKind event;
        std::uint32_t eventId;
    };
    using enum EventKind;
    const Row rows[] = {
        {None, None, None, nullptr, 0, Information, 100},
        {None, Problems, Problems, "problems", 1, Warning, 106},
        {Problems, LogFailed, Problems, "problems", 1, Warning, 106},
        // A repair that stopped before changing anything says why, not what the check found.
        {Problems, CannotRepair, CannotRepair, "cannot-repair", 1, Error, 102},
        {CommandFailed, BackupFailed, BackupFailed, "backup-failed", 1, Error, 103},
        {Problems, CommandFailed, CommandFailed, "command-failed", 1, Error, 104},
        {UserOverrides, LogFailed, UserOverrides, "user-overrides", 1, Warning, 105},
        {LockRefused, CannotRepair, LockRefused, "lock-refused", 1, Error, 101},
        {LogFailed, None, LogFailed, "log-failed", 1, Error, 107},
        {Busy, None, Busy, "busy", 1618, Error, 108},
        {Usage, None, Usage, "usage", 2, Error, 109},
        {NotElevated, None, NotElevated, "not-elevated", 740, Error, 110},
        {InstallerBusy, None, InstallerBusy, "installer-busy", 1618, Error, 111},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.word ? row.word : "none");
        EXPECT_EQ(MoreSpecific(row.first, row.second), row.reported);
        EXPECT_EQ(MoreSpecific(row.second, row.first), row.reported);
        EXPECT_EQ(ExitCodeOf(row.reported), row.exitCode);
        const ReasonRow* reasonRow = RowOf(row.reported);
        EXPECT_EQ(reasonRow ? std::string(reasonRow->word) : "none", row.word ? row.word : "none");
        EXPECT_EQ(EventKindOf(row.reported, row.exitCode), row.event);
        EXPECT_EQ(EventIdOf(row.reported, row.exitCode), row.eventId);
    }
}

}  // namespace
