#pragma once

#include <functional>
#include <string>

#include "commands/CommandLog.h"
#include "commands/DeleteBackup.h"
#include "unattended/CommandLine.h"
#include "unattended/Verdict.h"

// Where an unattended run's report goes: whatever `write` does with it, each
// entry as it is made.
class UnattendedView final : public LogTarget {
public:
    explicit UnattendedView(std::function<void(const std::wstring&)> write) : write_(std::move(write)) {}

    void AppendLog(const std::wstring& text) override { write_(text); }
    [[nodiscard]] bool TakesEntriesAtOnce() const override { return true; }

private:
    std::function<void(const std::wstring&)> write_;
};

// Runs start-up and then the line's commands in order, folding what each
// returns into `verdict`: the commands run, the last check's findings, the
// backup and the most specific reason. Without `desktopVisible` the suite's
// programs that the commands start are closed behind them. The exit code that
// reason gives.
[[nodiscard]] int RunUnattended(LogTarget& target, const CommandLine& line, const BackupOrder& backup,
                                Verdict& verdict, bool desktopVisible);

// The whole unattended run for the words after the program's name: the
// command line read, the log file opened, the commands run, and the verdict
// as the last line. Without words it says why no window opened. Its exit code.
[[nodiscard]] int RunCommandLine(const std::vector<std::wstring>& arguments);
