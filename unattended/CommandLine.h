#pragma once

#include <optional>
#include <string>
#include <vector>

#include "commands/Reasons.h"

// Unattended use: Tandrel.exe [/load] [/delete /yes [/backup FILE]] [/create]
// [/log FILE]; or /restore FILE, /check, /repair [/backup FILE] or /verify, each alone with [/log FILE]; or
// /repair followed by /verify. Without arguments the program is the window, where someone can see the desktop.
enum class UnattendedCommand { Load, Delete, Create, Restore, Check, Repair, Verify };
inline constexpr UnattendedCommand LastCommand = UnattendedCommand::Verify;

// The command as the verdict names it: "load", "delete" ...
[[nodiscard]] const wchar_t* CommandName(UnattendedCommand command);


struct CommandLine {
    // In the order given; a Delete with no Load before it gets one, since
    // Delete works on what the last Load found.
    std::vector<UnattendedCommand> commands;
    std::optional<std::wstring> logFile;
    std::optional<std::wstring> backupFile;   // where Delete's backup goes
    std::optional<std::wstring> restoreFile;  // the registry file that Restore reads
    bool help = false;
    bool version = false;
    // Why the command line cannot be run; empty when it can.
    std::wstring error;
};

// `arguments` are the words after the program's name. Switches are matched
// without regard to case, and '-' serves as well as '/'.
[[nodiscard]] CommandLine ParseCommandLine(const std::vector<std::wstring>& arguments);

// Names the program as it was started: Tandrel.com and Tandrel.exe take the same switches.
[[nodiscard]] std::wstring UsageText();
