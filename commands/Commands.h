#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check/Check.h"
#include "commands/CommandLog.h"
#include "commands/DeleteBackup.h"
#include "commands/Reasons.h"
#include "helpers/RunLock.h"
#include "platform/RegTypes.h"

// What the commands share: the suite's tables as the last Load found them,
// whether each command last failed, and where the suite and the system live.
struct SuiteState {
    std::optional<std::vector<std::wstring>> ClassList;
    std::optional<std::vector<std::wstring>> FileList;
    std::optional<std::vector<std::wstring>> ClsidList;
    std::optional<std::vector<std::wstring>> TypeLibList;
    bool LoadFailed = false;
    bool DeleteFailed = false;
    bool CreateFailed = false;
    std::wstring AppPath;
    std::wstring SystemPath;
    // An unattended run on a desktop that nobody sees: the suite's programs that Create and Verify start are
    // closed once done, not left running out of sight. The window never sets it.
    bool ProgramsUnseen = false;
};

// What a command did, for whoever shows it: the window, or the verdict.
struct CommandOutcome {
    bool failed = false;                         // it wrote its closing error line
    VerdictReason reason = VerdictReason::None;  // the most specific reason it gives the run
    std::wstring backup;                         // where Delete's backup went; "" when none was written
    std::optional<CheckReport> check;            // what the last check found, for Check and Repair
};

// What a check's report makes of the run: users' own registrations alone are not the machine's problems.
[[nodiscard]] VerdictReason ReasonOf(const CheckReport& report);

// Each command's report begins with a run of 40 dashes.
inline constexpr std::wstring_view ReportSeparator = L"\r\n----------------------------------------";

// The last line of a command that failed: where the administrator starts reading back.
enum class Closing { Loading, Deleting, Creating, Restoring, NothingChanged };
[[nodiscard]] std::wstring ClosingLine(Closing closing);

// Ends a command: its closing line when it failed, with the reason that gives
// the run, and the log handed on.
[[nodiscard]] CommandOutcome Finish(CommandLog& log, Closing closing, bool failed, CommandOutcome outcome = {});

// Where the suite and the system folder are, as every command finds them.
void StartUp(SuiteState& state, CommandLog& log);

// Opens `subKey` below `root` and reads its value `valueName` into `value`
// ("" when there is none). A key that cannot be opened is logged and sets
// LoadFailed. With `closeKey` the key is closed again; otherwise it is handed
// to the caller in `keyOut` (RegKey::None when not opened).
bool ReadKeyValue(SuiteState& state, CommandLog& log, RegKey root, const std::wstring& subKey,
                  const std::wstring& valueName, std::wstring& value, bool closeKey, RegKey& keyOut);

// Takes `lock` for a command that changes the registry, logging why not.
bool TakeRunLock(RunLock& lock, CommandLog& log);

// Logs how each class of the suite is registered and fills the lists Delete works on.
[[nodiscard]] CommandOutcome LoadSuite(SuiteState& state, CommandLog& log);
// Removes, behind the backup `order` asks for, what the last Load found; nothing without a Load.
[[nodiscard]] CommandOutcome DeleteSuite(SuiteState& state, CommandLog& log, const BackupOrder& order);
// Registers every file of the suite again; `programsStarted` runs once they all were.
[[nodiscard]] CommandOutcome CreateSuite(SuiteState& state, CommandLog& log,
                                         const std::function<void()>& programsStarted = {});
// Judges whether each class can be created, changing nothing.
[[nodiscard]] CommandOutcome CheckSuiteCommand(const SuiteState& state, CommandLog& log);
// Puts back the registry file `path`.
[[nodiscard]] CommandOutcome RestoreSuite(const std::wstring& path, CommandLog& log);
