#include "console/Form1.h"

#include "helpers/Foreground.h"

Form1::Form1(FormView& view, Clock clock) : view_(view), log_(view, std::move(clock)) {}

void Form1::Form_Load()
{
    StartUp(*this, log_);
}

void Form1::cmdClose_Click()
{
    view_.Close();
}

bool Form1::ReadKeyValue(RegKey root, const std::wstring& subKey, const std::wstring& valueName,
                         std::wstring& value, bool closeKey, RegKey& keyOut)
{
    return ::ReadKeyValue(*this, log_, root, subKey, valueName, value, closeKey, keyOut);
}

void Form1::cmdLoad_Click()
{
    ShowBusyCursor(&view_);
    (void)LoadSuite(*this, log_);
    view_.SetDeleteEnabled(true);
    ShowDefaultCursor(&view_);
}

void Form1::cmdDelete_Click()
{
    // The button is enabled only once Load has built the lists.
    if (!ClassList || !ClsidList || !TypeLibList)
        return;
    if (!view_.AskYesNo(L"Are you sure you want to delete registry entries for Vestrel Classes"))
        return;
    (void)DeleteSuite(*this, log_, BackupOrder{});
}

void Form1::cmdCreate_Click()
{
    ShowBusyCursor(&view_);
    // The suite's programs come to the front as they start: the window goes back on top.
    (void)CreateSuite(*this, log_, [this] { view_.BringToFront(); });
    ShowDefaultCursor(&view_);
}
