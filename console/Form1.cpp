#include "console/Form1.h"

#include "helpers/FuncLib.h"

namespace {

// A long command still shows progress this often.
constexpr std::chrono::milliseconds LogBatchInterval{100};

}  // namespace

Form1::Form1(FormView& view, Clock clock) : view_(view), clock_(std::move(clock)), lastFlush_(clock_()) {}

void Form1::Form_Load()
{
    AppPath = AppPathOf(L"Vestrel.exe");
    AddMsg(L"Vestrel Path: " + AppPath);
    SystemPath = SystemDirectory();
    FlushLog();
}

void Form1::cmdClose_Click()
{
    view_.Close();
}

void Form1::AddMsg(const std::wstring& msg)
{
    pendingLog_ += msg;
    pendingLog_ += L"\r\n";
    if (clock_() - lastFlush_ >= LogBatchInterval)
        FlushLog();
}

void Form1::FlushLog()
{
    lastFlush_ = clock_();
    if (pendingLog_.empty())
        return;
    view_.AppendLog(pendingLog_);
    pendingLog_.clear();
}
