#include <gtest/gtest.h>

#include "console/Form1.h"
#include "tests/host/FakeView.h"
#include "tests/host/SuiteFixture.h"

namespace {

using namespace std::chrono_literals;
using SuiteFixture::AppPathsKey;

class Form1Test : public ::testing::Test {
protected:
    void SetUp() override { SuiteFixture::ResetFakes(); }

    // A clock that moves only when the test says so.
    std::chrono::steady_clock::time_point now{};
    FakeView view;
    Form1 form{view, [this] { return now; }};
};

TEST_F(Form1Test, StartsWithNoListsNoFailuresAndNoDirectories)
{
    EXPECT_FALSE(form.ClassList || form.FileList || form.ClsidList || form.TypeLibList);
    EXPECT_FALSE(form.LoadFailed || form.DeleteFailed || form.CreateFailed);
    EXPECT_EQ(view.log, L"");
}

TEST_F(Form1Test, StartUpLogsTheInstallDirectoryAndFindsTheSystemDirectory)
{
    FakeRegistry::Instance().SetString(AppPathsKey, L"", L"\"C:\\Program Files\\Vestrel\\Vestrel.exe\"");
    FakeSystem::Instance().systemDirectory = L"C:\\WINDOWS\\system32";
    form.Form_Load();
    EXPECT_EQ(view.log, L"Vestrel Path: C:\\Program Files\\Vestrel\\\r\n");
    EXPECT_EQ(view.caret, view.log.size());
    EXPECT_EQ(form.AppPath, L"C:\\Program Files\\Vestrel\\");
    EXPECT_EQ(form.SystemPath, L"C:\\WINDOWS\\system32\\");
    EXPECT_EQ(FakeRegistry::Instance().OpenHandleCount(), 0);
}

TEST_F(Form1Test, StartUpWithoutTheMainApplicationLogsAnEmptyPath)
{
    FakeSystem::Instance().systemDirectory.clear();
    form.Form_Load();
    EXPECT_EQ(view.log, L"Vestrel Path: \r\n");
    EXPECT_EQ(form.AppPath, L"");
    EXPECT_EQ(form.SystemPath, L"");
}

TEST_F(Form1Test, EntriesAreHandedOverInBatchesYetReadAsSingleAppends)
{
    form.AddMsg(L"one");
    form.AddMsg(L"\r\ntwo");
    EXPECT_EQ(view.appends, 0);
    now += 100ms;
    form.AddMsg(L"three");
    EXPECT_EQ(view.appends, 1);
    EXPECT_EQ(view.log, L"one\r\n\r\ntwo\r\nthree\r\n");
    form.AddMsg(L"");
    form.FlushLog();
    EXPECT_EQ(view.appends, 2);
    EXPECT_EQ(view.log, L"one\r\n\r\ntwo\r\nthree\r\n\r\n");
    EXPECT_EQ(view.caret, view.log.size());
    form.FlushLog();
    EXPECT_EQ(view.appends, 2);
}

// A second of work, one entry a millisecond: a batch every 100 ms, not a
// thousand appends, unless the box takes longer than that to take one.
TEST_F(Form1Test, ALongRunShowsProgressEveryHundredMillisecondsOrAsOftenAsTheBoxKeepsUp)
{
    using Row = std::pair<std::chrono::milliseconds, int>;  // what an append takes, appends in the second
    for (auto [appendTakes, appends] : std::initializer_list<Row>{{0ms, 9}, {50ms, 9}, {300ms, 3}}) {
        FakeView slowView;
        slowView.whileAppending = [this, takes = appendTakes] { now += takes; };
        Form1 slowForm{slowView, [this] { return now; }};
        for (int i = 0; i < 1000; ++i, now += 1ms)
            slowForm.AddMsg(L"line " + std::to_wstring(i));
        EXPECT_EQ(slowView.appends, appends) << appendTakes.count();
        slowForm.FlushLog();
        EXPECT_EQ(slowView.log.substr(slowView.log.size() - 10), L"line 999\r\n");
    }
}

TEST_F(Form1Test, CloseClosesTheWindow)
{
    form.cmdClose_Click();
    EXPECT_TRUE(view.closed);
}

}  // namespace
