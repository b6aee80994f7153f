#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "commands/Reasons.h"
#include "platform/EventLogPlatform.h"
#include "platform/SystemPlatform.h"
#include "unattended/CommandLine.h"
#include "unattended/UnattendedOutput.h"

// What an unattended run leaves on the machine besides its exit code, for an administrator who looks later: its
// log, when the line names none, and one event in the Application log.

// How many logs of Tandrel's own names the logs folder keeps, the newest.
inline constexpr std::size_t LogsKept = 100;
inline constexpr wchar_t EventSource[] = L"Tandrel";
inline constexpr wchar_t EventSourceKey[] =
    L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Tandrel";
// The system's own message file for custom sources, whose text for IDs 1 to 1000 is the event's string: the events
// read as text on any machine, with Tandrel gone.
inline constexpr wchar_t EventMessageFile[] = L"%SystemRoot%\\System32\\EventCreate.exe";

// "Check-20261208-090507": the first command, as the verdict names it, capitalised, and the run's start. A line that
// is wrong, and so runs nothing, is "Usage-...": the verdict names no command for it, and a usage error is what an
// administrator looks for.
[[nodiscard]] std::wstring DefaultLogStem(const CommandLine& line, const SystemPlatform::LocalTime& start);

// Whether a file in the logs folder has a name that Tandrel gives its own logs: "<Command>-YYYYMMDD-HHMMSS.log",
// with "-2" to "-99" before ".log" when that was taken. Only such files are ever removed.
[[nodiscard]] bool IsDefaultLogName(const std::wstring& name);

// What opening the run's own log gave: whether it is open, and what the run says of it after "Log file:", for the
// console and the log: an old log that could not be removed or, with no log, why there is none.
struct DefaultLog {
    bool open = false;
    std::wstring notes;
};

// Opens a new log in Tandrel\Logs in the machine's program data, made and checked as the backups folder is. With
// `prune`, the oldest logs of Tandrel's own names are then removed, all but the newest LogsKept.
[[nodiscard]] DefaultLog OpenDefaultLog(UnattendedOutput& output, const CommandLine& line,
                                        const SystemPlatform::LocalTime& start, bool prune);

// The event of a run that ended with `exitCode` for `reason`: information for 0, a warning for a check's
// findings, an error otherwise; and its ID.
[[nodiscard]] EventKind EventKindOf(VerdictReason reason, int exitCode);
[[nodiscard]] std::uint32_t EventIdOf(VerdictReason reason, int exitCode);

// Registers the event source where it is missing or differs (the one registry write outside the suite's trees),
// then writes the run's one event, the verdict line as its text. Lines for the log on what could not be done;
// "" when all was.
[[nodiscard]] std::wstring RecordEvent(const std::wstring& verdictLine, VerdictReason reason, int exitCode);
