#pragma once

#include <string>

// What the window's logic needs of the real window. The Win32 host implements
// it around its controls; tests implement it by collecting what is shown.
class FormView {
public:
    virtual ~FormView() = default;

    // Appends `text` to the log box and puts the caret after its last
    // character, so the newest line is in view.
    virtual void AppendLog(const std::wstring& text) = 0;
    virtual void SetDeleteEnabled(bool enabled) = 0;
    // The hourglass over the window while a command works, shown at once even
    // though the command does not return to the message loop.
    virtual void SetBusyPointer(bool busy) = 0;
    // A modal Yes/No question with a question-mark icon, Yes the default,
    // under the application's title. True for Yes.
    virtual bool AskYesNo(const std::wstring& prompt) = 0;
    // Closes the window, which ends the program.
    virtual void Close() = 0;
};
