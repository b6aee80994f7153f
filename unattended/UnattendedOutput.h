#pragma once

#include <string>

#include "helpers/OutputFile.h"
#include "platform/FilePlatform.h"

// Where an unattended run's log goes: the log file when one is named, and the
// console of whoever started the program when there is one (it stays a
// window program; a script that redirects its output gets the text there).
class UnattendedOutput {
public:
    UnattendedOutput();
    UnattendedOutput(const UnattendedOutput&) = delete;
    UnattendedOutput& operator=(const UnattendedOutput&) = delete;

    // Creates or replaces the log file. On failure `error` names the file
    // and gives the reason.
    [[nodiscard]] bool OpenLog(const std::wstring& path, std::wstring& error);
    // Creates a new log file, `stem` + `extension` or, when that is taken, stem-2 ... (see OpenNewFile).
    [[nodiscard]] bool OpenNewLog(const std::wstring& stem, const std::wstring& extension, std::wstring& error);
    [[nodiscard]] const std::wstring& LogPath() const { return log_.FullPath(); }

    // Each entry goes out at once, unbuffered: the file is whole up to the
    // last entry even when the run is cut short. A sink that fails is reported
    // to the other one and not written to again.
    void Write(const std::wstring& text);
    // To the log file alone: what tells one machine's log from another's.
    void WriteLog(const std::wstring& text);
    // To the console alone: the verdict, once the log has it. A failure here
    // is not reported to the log, whose last line the verdict must stay.
    void WriteConsoleOnly(const std::wstring& text);
    // False once a write to the log file has failed: the file is incomplete.
    [[nodiscard]] bool LogComplete() const { return !logFailed_; }

private:
    long WriteConsole(const std::wstring& text);

    OutputFile log_;
    bool logFailed_ = false;
    FileHandle console_ = FileHandle::None;  // the caller's: not ours to close
    bool consoleIsTerminal_ = false;
    bool consoleFailed_ = false;
};
