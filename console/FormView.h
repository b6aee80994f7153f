#pragma once

#include <string>

#include "helpers/Foreground.h"

// How a Delete's backup is made: where it goes ("" for a new file in the usual
// folder), the command its file name begins with, and what started the run,
// for the comment line that tells where a collected file came from.
struct BackupOrder {
    std::wstring file;
    std::wstring command = L"Delete";
    std::wstring origin = L"from the window";
};

// What the window's logic needs of the real window. The Win32 host implements
// it around its controls; tests implement it by collecting what is shown.
class FormView : public PointerOwner {
public:
    virtual ~FormView() = default;

    // Appends `text` to the log box and puts the caret after its last
    // character, so the newest line is in view.
    virtual void AppendLog(const std::wstring& text) = 0;
    // True where each entry must go out as it is made: a log file is complete
    // up to the moment a run is cut short. The window takes entries in batches.
    [[nodiscard]] virtual bool TakesEntriesAtOnce() const { return false; }
    virtual void SetDeleteEnabled(bool enabled) = 0;
    // The window's own mouse pointer (DefaultPointer or HourglassPointer),
    // shown at once even though a command does not return to the message loop.
    void SetMousePointer(int pointer) override = 0;
    // Brings the window to the front with the keyboard focus, as after Create.
    virtual void BringToFront() = 0;
    // A modal Yes/No question with a question-mark icon, Yes the default,
    // under the application's title. True for Yes.
    virtual bool AskYesNo(const std::wstring& prompt) = 0;
    [[nodiscard]] virtual BackupOrder Backup() const { return {}; }
    // Closes the window, which ends the program.
    virtual void Close() = 0;
};
