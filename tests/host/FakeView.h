#pragma once

#include <functional>
#include <string>
#include <vector>

#include "console/FormView.h"

// Collects what the window would show.
class FakeView : public FormView {
public:
    void AppendLog(const std::wstring& text) override
    {
        log += text;
        caret = log.size();
        ++appends;
        if (whileAppending)
            whileAppending();
    }
    void SetDeleteEnabled(bool enabled) override { deleteEnabled = enabled; }
    void Close() override { closed = true; }
    bool AskYesNo(const std::wstring& prompt) override
    {
        questions.push_back(prompt);
        return answerYes;
    }
    void SetMousePointer(int pointer) override { pointerChanges.push_back(pointer); }
    // As the window does: through the window manager, which the tests record.
    void BringToFront() override { BringForward(WindowHandle{0x40}); }

    std::wstring log;
    std::size_t caret = 0;
    int appends = 0;
    std::function<void()> whileAppending;  // e.g. the time a real box takes
    bool deleteEnabled = false;
    bool closed = false;
    std::vector<int> pointerChanges;
    std::vector<std::wstring> questions;
    bool answerYes = true;
};
