#include <gtest/gtest.h>

#include "commands/Reasons.h"

namespace {

// What a run reports when its commands give several reasons: the one to act
// on, whichever came first, with its word and the exit code the run ends with.
TEST(Reasons, TheMostSpecificWinsAndGivesItsWordAndExitCode)
{
    using enum VerdictReason;
    struct Row {
        VerdictReason first, second, reported;
        const char* word;  // nullptr for a run that succeeded
        int exitCode;
    };
    const Row rows[] = {
        {None, None, None, nullptr, 0},
        {None, Problems, Problems, "problems", 1},
        {Problems, LogFailed, Problems, "problems", 1},
        // A repair that stopped before changing anything says why, not what the check found.
        {Problems, CannotRepair, CannotRepair, "cannot-repair", 1},
        {CommandFailed, BackupFailed, BackupFailed, "backup-failed", 1},
        {Problems, CommandFailed, CommandFailed, "command-failed", 1},
        {UserOverrides, LogFailed, UserOverrides, "user-overrides", 1},
        {LockRefused, CannotRepair, LockRefused, "lock-refused", 1},
        {LogFailed, None, LogFailed, "log-failed", 1},
        {Busy, None, Busy, "busy", 1618},
        {Usage, None, Usage, "usage", 2},
        {NotElevated, None, NotElevated, "not-elevated", 740},
        {InstallerBusy, None, InstallerBusy, "installer-busy", 1618},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.word ? row.word : "none");
        EXPECT_EQ(MoreSpecific(row.first, row.second), row.reported);
        EXPECT_EQ(MoreSpecific(row.second, row.first), row.reported);
        EXPECT_EQ(ExitCodeOf(row.reported), row.exitCode);
        const ReasonRow* reasonRow = RowOf(row.reported);
        EXPECT_EQ(reasonRow ? std::string(reasonRow->word) : "none", row.word ? row.word : "none");
    }
}

}  // namespace
