#pragma once

#include <windows.h>

#include "helpers/Win32Handles.h"

#include <string>
#include <vector>

// The words of the program's command line after its name.
std::vector<std::wstring> ProgramArguments();

// Where an unattended run's log goes: the log file when one is named, and the
// console of whoever started the program when there is one (it stays a
// window program; a script that redirects its output gets the text there).
class UnattendedOutput {
public:
    UnattendedOutput();
    UnattendedOutput(const UnattendedOutput&) = delete;
    UnattendedOutput& operator=(const UnattendedOutput&) = delete;

    // Creates or replaces the log file; false when it cannot be created.
    [[nodiscard]] bool OpenLog(const std::wstring& path);
    void Write(const std::wstring& text);

private:
    UniqueFileHandle log_;
    HANDLE console_ = nullptr;  // the caller's: not ours to close
    bool consoleIsTerminal_ = false;
};
