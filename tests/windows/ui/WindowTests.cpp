// The real window, under Wine or on Windows, driven from outside as a person would use it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>

#include "tests/windows/ui/UiAutomation.h"

namespace {

using UiAutomation::TandrelProcess;

struct ExpectedControl {
    int id;
    const char* className;
    const wchar_t* caption;
    RECT rect;
    bool enabled;
};

class TandrelWindow : public ::testing::Test {
protected:
    void SetUp() override { UiAutomation::SetVestrelAppPath(0, ""); }
    void TearDown() override
    {
        tandrel.Kill();
        UiAutomation::SetVestrelAppPath(0, "");
    }

    void ExpectRects(const std::vector<RECT>& expected)
    {
        auto children = tandrel.Children();
        ASSERT_EQ(children.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(children[i].rect.left, expected[i].left) << "control " << i;
            EXPECT_EQ(children[i].rect.top, expected[i].top) << "control " << i;
            EXPECT_EQ(children[i].rect.right, expected[i].right) << "control " << i;
            EXPECT_EQ(children[i].rect.bottom, expected[i].bottom) << "control " << i;
        }
    }

    TandrelProcess tandrel;
};

TEST_F(TandrelWindow, OpensAsDesignedWithOneLogLineAndDeleteDisabled)
{
    ASSERT_TRUE(tandrel.Start());
    SIZE client = tandrel.ClientSize();
    EXPECT_EQ(client.cx, 609);
    EXPECT_EQ(client.cy, 378);

    // Children in creation order, which is the tab order.
    const ExpectedControl expected[] = {
        {101, "Edit", L"", {6, 6, 603, 332}, true},
        {102, "Button", L"&Load", {6, 347, 95, 372}, true},
        {103, "Button", L"&Delete", {99, 347, 188, 372}, false},
        {104, "Button", L"&Create", {192, 347, 281, 372}, true},
        {105, "Button", L"&Close", {514, 347, 603, 372}, true},
    };
    auto children = tandrel.Children();
    ASSERT_EQ(children.size(), std::size(expected));
    for (std::size_t i = 0; i < children.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(children[i].id, expected[i].id);
        EXPECT_STRCASEEQ(children[i].className.c_str(), expected[i].className);
        EXPECT_EQ(children[i].enabled, expected[i].enabled);
        EXPECT_TRUE(children[i].visible);
        EXPECT_EQ(children[i].rect.left, expected[i].rect.left);
        EXPECT_EQ(children[i].rect.top, expected[i].rect.top);
        EXPECT_EQ(children[i].rect.right, expected[i].rect.right);
        EXPECT_EQ(children[i].rect.bottom, expected[i].rect.bottom);
        if (i > 0) {
            EXPECT_EQ(children[i].text, expected[i].caption);
        }
    }

    // Tab skips the disabled Delete button and wraps around.
    HWND log = tandrel.Control(101);
    HWND next = GetNextDlgTabItem(tandrel.Window(), log, FALSE);
    EXPECT_EQ(GetDlgCtrlID(next), 102);
    next = GetNextDlgTabItem(tandrel.Window(), next, FALSE);
    EXPECT_EQ(GetDlgCtrlID(next), 104);
    next = GetNextDlgTabItem(tandrel.Window(), next, FALSE);
    EXPECT_EQ(GetDlgCtrlID(next), 105);
    next = GetNextDlgTabItem(tandrel.Window(), next, FALSE);
    EXPECT_EQ(next, log);

    LONG logStyle = GetWindowLongA(log, GWL_STYLE);
    EXPECT_TRUE(logStyle & ES_MULTILINE);
    EXPECT_TRUE(logStyle & ES_READONLY);
    EXPECT_TRUE(logStyle & WS_HSCROLL);
    EXPECT_TRUE(logStyle & WS_VSCROLL);
    EXPECT_GT(static_cast<unsigned long>(SendMessageA(log, EM_GETLIMITTEXT, 0, 0)), 30000ul);
    EXPECT_TRUE(GetWindowLongA(tandrel.Window(), GWL_STYLE) & WS_THICKFRAME);

    EXPECT_EQ(tandrel.LogText(), L"Vestrel Path: \r\n");
    auto selection = tandrel.LogSelection();
    EXPECT_EQ(selection.first, 16u);
    EXPECT_EQ(selection.second, 16u);

    std::string folder = UiAutomation::OwnFolder();
    std::wstring shot(folder.begin(), folder.end());
    EXPECT_TRUE(UiAutomation::SaveScreenshot(tandrel.Window(), shot + L"ui-window.png"));
}

TEST_F(TandrelWindow, IsCentredOnTheScreen)
{
    ASSERT_TRUE(tandrel.Start());
    RECT frame{};
    GetWindowRect(tandrel.Window(), &frame);
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_NEAR((frame.left + frame.right) / 2, screenWidth / 2, 1);
    EXPECT_NEAR((frame.top + frame.bottom) / 2, screenHeight / 2, 1);
}

TEST_F(TandrelWindow, ResizingScalesEveryControlInProportion)
{
    ASSERT_TRUE(tandrel.Start());
    ASSERT_TRUE(tandrel.ResizeClient(812, 504));
    EXPECT_EQ(tandrel.ClientSize().cx, 812);
    EXPECT_EQ(tandrel.ClientSize().cy, 504);
    ExpectRects({{8, 8, 804, 443}, {8, 463, 127, 496}, {132, 463, 251, 496}, {256, 463, 375, 496},
                 {685, 463, 804, 496}});

    ASSERT_TRUE(tandrel.ResizeClient(1000, 600));
    ExpectRects({{10, 10, 990, 527}, {10, 551, 156, 590}, {163, 551, 309, 590}, {315, 551, 461, 590},
                 {844, 551, 990, 590}});

    ASSERT_TRUE(tandrel.ResizeClient(609, 378));
    ExpectRects({{6, 6, 603, 332}, {6, 347, 95, 372}, {99, 347, 188, 372}, {192, 347, 281, 372},
                 {514, 347, 603, 372}});
}

TEST_F(TandrelWindow, CloseButtonEndsTheProgram)
{
    ASSERT_TRUE(tandrel.Start());
    tandrel.Click(105);
    EXPECT_TRUE(tandrel.WaitExit());
    DWORD code = 1;
    GetExitCodeProcess(tandrel.Process(), &code);
    EXPECT_EQ(code, 0u);
}

TEST_F(TandrelWindow, ClosingFromTheFrameEndsTheProgram)
{
    ASSERT_TRUE(tandrel.Start());
    PostMessageA(tandrel.Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(tandrel.WaitExit());
}

struct AppPathCase {
    const char* name;
    DWORD type;
    const char* value;
    const wchar_t* firstLine;
};

void PrintTo(const AppPathCase& appPath, std::ostream* out)
{
    *out << appPath.name;
}

class TandrelStartUp : public TandrelWindow, public ::testing::WithParamInterface<AppPathCase> {};

TEST_P(TandrelStartUp, FirstLogLineShowsTheRegisteredDirectory)
{
    SetEnvironmentVariableA("TANDREL_UI_SUITE", "D:\\Suite Folder");
    UiAutomation::SetVestrelAppPath(GetParam().type, GetParam().value);
    ASSERT_TRUE(tandrel.Start());
    std::wstring expected = std::wstring(GetParam().firstLine) + L"\r\n";
    EXPECT_EQ(tandrel.LogText(), expected);
    auto selection = tandrel.LogSelection();
    EXPECT_EQ(selection.first, expected.size());
    EXPECT_EQ(selection.second, expected.size());
}

INSTANTIATE_TEST_SUITE_P(
    AppPaths, TandrelStartUp,
    ::testing::Values(
        AppPathCase{"Plain", REG_SZ, "C:\\Program Files\\Vestrel\\Vestrel.exe",
                    L"Vestrel Path: C:\\Program Files\\Vestrel\\"},
        AppPathCase{"Quoted", REG_SZ, "\"C:\\Program Files\\Vestrel\\Vestrel.exe\"",
                    L"Vestrel Path: C:\\Program Files\\Vestrel\\"},
        AppPathCase{"Expandable", REG_EXPAND_SZ, "%TANDREL_UI_SUITE%\\bin\\Vestrel.exe",
                    L"Vestrel Path: D:\\Suite Folder\\bin\\"},
        AppPathCase{"Missing", 0, "", L"Vestrel Path: "}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
