#pragma once

#include <functional>
#include <string>

#include "console/FormView.h"
#include "unattended/CommandLine.h"
#include "unattended/Verdict.h"

// The window's logic run with no window: the log goes wherever `write` puts
// it, and Delete's question is answered Yes, which the command line asked for.
class UnattendedView final : public FormView {
public:
    explicit UnattendedView(std::function<void(const std::wstring&)> write, BackupOrder backup = {})
        : write_(std::move(write)), backup_(std::move(backup))
    {
    }

    void AppendLog(const std::wstring& text) override { write_(text); }
    [[nodiscard]] bool TakesEntriesAtOnce() const override { return true; }
    void SetDeleteEnabled(bool) override {}
    void SetMousePointer(int) override {}
    void BringToFront() override {}
    bool AskYesNo(const std::wstring&) override { return true; }
    void Close() override {}
    [[nodiscard]] BackupOrder Backup() const override { return backup_; }

private:
    std::function<void(const std::wstring&)> write_;
    BackupOrder backup_;
};

// Runs start-up and then the line's commands in order through the window's
// logic, noting in `verdict` what they ran and found. ExitCode::CommandFailed
// when any of them wrote its closing error line.
[[nodiscard]] int RunUnattended(FormView& view, const CommandLine& line, Verdict& verdict);

// The whole unattended run for the words after the program's name: the
// command line read, the log file opened, the commands run, and the verdict
// as the last line. Its exit code.
[[nodiscard]] int RunCommandLine(const std::vector<std::wstring>& arguments);
