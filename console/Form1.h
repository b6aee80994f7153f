#pragma once

#include <string>

#include "commands/CommandLog.h"
#include "commands/Commands.h"
#include "console/FormView.h"
#include "platform/RegTypes.h"

// The window's logic: the commands' shared state, start-up, the log, and the
// buttons, each of which runs its command and shows what it did. It runs the
// same against the real window and against a test's view.
class Form1 : public SuiteState {
public:
    using Clock = CommandLog::Clock;

    explicit Form1(FormView& view, Clock clock = [] { return std::chrono::steady_clock::now(); });

    void Form_Load();
    void cmdLoad_Click();
    void cmdDelete_Click();
    void cmdCreate_Click();
    void cmdClose_Click();

    // As the commands read a key's value, logging into this window's box.
    bool ReadKeyValue(RegKey root, const std::wstring& subKey, const std::wstring& valueName, std::wstring& value,
                      bool closeKey, RegKey& keyOut);

    void AddMsg(const std::wstring& msg) { log_.AddMsg(msg); }
    void FlushLog() { log_.FlushLog(); }

private:
    FormView& view_;
    CommandLog log_;
};
