#pragma once

#include <optional>
#include <string>
#include <vector>

#include "commands/Reasons.h"

// What an unattended run ends with, for the tools that run it on many
// machines and keep only the last line of its output, or a few kilobytes.
struct Verdict {
    std::wstring computer = {};
    std::wstring time = {};                   // local start, ISO 8601 to the second
    std::vector<std::wstring> commands = {};  // run, each once, in the order first run: "load", "delete" ...
    int exitCode = 0;
    std::optional<bool> healthy = {};         // as the last check found the suite; nothing when no check ran
    VerdictReason reason = VerdictReason::None;
    std::optional<int> problems = {};         // of the last check, for /check and /repair
    std::vector<std::wstring> classesWithProblems = {};
    std::optional<std::wstring> backup = {};  // where Delete's backup went
    std::optional<std::wstring> log = {};     // the log file
    std::optional<std::wstring> error = {};   // why, for exit codes other than 0 and 1
};

inline constexpr std::size_t LongestVerdict = 2048;

// One line of compact JSON, without its line end: the members in the order
// above after "tool" and "version", then "shortened", in ASCII (the rest as
// \u escapes), so that it reads the same whatever code page shows it. A line
// that would be longer than LongestVerdict has its longest texts (error, log,
// backup, computer) cut short on a character, keeping as much of each as fits,
// ending in "..."; "shortened" is then true.
[[nodiscard]] std::wstring FormatVerdict(const Verdict& verdict, const std::wstring& version);
