#pragma once

#include "check/Check.h"

class Form1;

// Checks the suite's registration and, when anything is wrong and Create
// finds every file it needs, runs Load, Delete (answered Yes, with its
// backup) and Create through the window's logic, then checks again. A file
// missing, or a backup not written, ends it there with nothing changed. The suite's programs register while they start,
// so the last check is repeated until it finds nothing or a minute has
// passed; only its final report is logged. `last` is what the last check found.
enum class RepairOutcome {
    Clean,         // the last check is clean, or the first one was and nothing was changed
    Problems,      // the last check found problems
    CannotRepair,  // a file that Create needs is missing or could not be loaded: nothing changed
    BackupFailed,  // Delete's backup was not written: nothing changed
};
[[nodiscard]] RepairOutcome RepairSuite(Form1& form, CheckReport& last);
