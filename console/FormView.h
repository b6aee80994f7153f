#pragma once

#include <string>

#include "commands/CommandLog.h"
#include "helpers/Foreground.h"

// What the window's logic needs of the real window. The Win32 host implements
// it around its controls; tests implement it by collecting what is shown.
// Its AppendLog adds to the log box and puts the caret after the last
// character, so the newest line is in view.
class FormView : public PointerOwner, public LogTarget {
public:
    virtual ~FormView() = default;

    virtual void SetDeleteEnabled(bool enabled) = 0;
    // The window's own mouse pointer (DefaultPointer or HourglassPointer),
    // shown at once even though a command does not return to the message loop.
    void SetMousePointer(int pointer) override = 0;
    // Brings the window to the front with the keyboard focus, as after Create.
    virtual void BringToFront() = 0;
    // A modal Yes/No question with a question-mark icon, Yes the default,
    // under the application's title. True for Yes.
    virtual bool AskYesNo(const std::wstring& prompt) = 0;
    // Closes the window, which ends the program.
    virtual void Close() = 0;
};
