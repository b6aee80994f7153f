#pragma once

#include "commands/Commands.h"

// Checks the suite's registration and, when anything is wrong and Create
// finds every file it needs, runs Load, Delete (answered Yes, with its backup
// as `order` asks) and Create, then checks again. A file missing or not
// loadable (the reason CannotRepair), or a backup not written (BackupFailed),
// ends it there with nothing changed. The suite's programs register while
// they start, so the last check is repeated until it finds nothing or a
// minute has passed; only its final report is logged. Load's and Delete's
// errors inside a repair are expected (a suite not registered at all has
// nothing to load or delete): the outcome's `check` is the last check's, and
// so is its reason unless the repair stopped.
[[nodiscard]] CommandOutcome RepairSuite(SuiteState& state, CommandLog& log, const BackupOrder& order);
