#include <gtest/gtest.h>

#include "console/Form1.h"
#include "tests/fakes/FakeProcesses.h"
#include "tests/fakes/FakeRegistry.h"
#include "tests/fakes/FakeSystem.h"
#include "tests/fakes/FakeWindowSystem.h"
#include "tests/host/FakeView.h"

namespace {

using Start = FakeProcesses::Start;

const std::wstring Separator = L"\r\n----------------------------------------\r\n";
const std::wstring ClosingLine = L"\r\n*** ERROR IN CREATING - Scroll back to see the Errors.\r\n";
const std::wstring AppDir = L"C:\\Program Files\\Vestrel\\";
const std::wstring SysDir = L"C:\\WINDOWS\\system32\\";

const wchar_t* const Files[] = {L"Glimmet.ocx", L"Daskel.dll",  L"Wrenna.dll",  L"Corvane.exe", L"Sulvary.exe",
                                L"Brenlow.exe", L"Ladrisk.exe", L"Omberly.exe", L"Vestrel.exe"};

std::wstring Block(const std::wstring& file, const std::wstring& result)
{
    return L"\r\nCreating registry entry for " + file + L"'s classes\r\n\t" + result + L"\r\n";
}

class CreateTest : public ::testing::Test {
protected:
    FakeProcesses& processes = FakeProcesses::Instance();
    FakeWindowSystem& windows = FakeWindowSystem::Instance();
    FakeView view;
    Form1 form{view};

    void SetUp() override
    {
        FakeRegistry::Instance().Reset();
        FakeSystem::Instance().Reset();
        processes.Reset();
        windows.Reset();
        form.AppPath = AppDir;
        form.SystemPath = SysDir;
        for (int i = 0; i < 3; ++i)
            processes.AddFile(SysDir + Files[i]);
        for (int i = 3; i < 9; ++i)
            processes.AddFile(AppDir + Files[i]);
        processes.AddFile(SysDir + L"regsvr32.exe");
    }

    static std::vector<Start> AllStarts(const std::wstring& serverDir = SysDir)
    {
        std::vector<Start> starts;
        for (int i = 0; i < 3; ++i)
            starts.push_back({serverDir + L"regsvr32.exe", L"\"" + serverDir + L"regsvr32\" /s \"" + SysDir + Files[i] + L"\"", 2});
        for (int i = 3; i < 9; ++i)
            starts.push_back({AppDir + Files[i], L"\"" + AppDir + Files[i] + L"\"", 1});
        return starts;
    }

    void ExpectStarts(const std::vector<Start>& expected)
    {
        ASSERT_EQ(processes.starts.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(processes.starts[i].commandLine, expected[i].commandLine) << i;
            EXPECT_EQ(processes.starts[i].showCommand, expected[i].showCommand) << i;
        }
    }

    static std::wstring AllCreated()
    {
        std::wstring log = Separator;
        for (const wchar_t* file : Files)
            log += Block(file, L"Created classes");
        return log;
    }
};

TEST_F(CreateTest, EveryFilePresentIsStartedAndTheWindowComesBackToTheFront)
{
    form.cmdLoad_Click();
    std::wstring before = view.log;
    view.pointerChanges.clear();
    windows.calls.clear();
    form.cmdCreate_Click();
    EXPECT_EQ(view.log, before + AllCreated());
    ExpectStarts(AllStarts());
    EXPECT_FALSE(form.CreateFailed);
    EXPECT_EQ(view.pointerChanges, (std::vector<int>{HourglassPointer, DefaultPointer}));
    ASSERT_GE(windows.calls.size(), 3u);
    EXPECT_EQ(windows.calls.front(), "SetFocus 64");
    EXPECT_EQ(windows.calls[1], "GetForegroundWindow");
    EXPECT_EQ(windows.calls.back(), "SetFocus 64");
    EXPECT_EQ(windows.foreground, WindowHandle{0x40});
}

TEST_F(CreateTest, BeforeAnyLoadTheBuiltInTableServesAlike)
{
    form.cmdCreate_Click();
    EXPECT_EQ(view.log, AllCreated());
    ExpectStarts(AllStarts());
}

TEST_F(CreateTest, AMissingExecutableFailsAloneAndTheRestAreStillStarted)
{
    processes.files.erase(L"c:\\program files\\vestrel\\corvane.exe");
    form.cmdCreate_Click();
    std::wstring expected = Separator;
    for (const wchar_t* file : Files)
        expected += Block(file, std::wstring(file) == L"Corvane.exe" ? L"ERROR: Creating classes" : L"Created classes");
    EXPECT_EQ(view.log, expected + ClosingLine);
    ExpectStarts(AllStarts());
    EXPECT_TRUE(form.CreateFailed);
}

TEST_F(CreateTest, AMissingLibraryIsAFailureAndNothingIsStartedForIt)
{
    processes.files.erase(L"c:\\windows\\system32\\daskel.dll");
    form.cmdCreate_Click();
    std::wstring expected = Separator;
    for (const wchar_t* file : Files)
        expected += Block(file, std::wstring(file) == L"Daskel.dll" ? L"ERROR: Creating classes" : L"Created classes");
    EXPECT_EQ(view.log, expected + ClosingLine);
    auto starts = AllStarts();
    starts.erase(starts.begin() + 1);
    ExpectStarts(starts);
}

// The server exits 3 when it cannot load the file, 4 without DllRegisterServer,
// 5 when that fails; one that never ends is given up on, and left running.
TEST_F(CreateTest, ALibraryTheServerDoesNotRegisterIsAFailureAndTheOthersStillGo)
{
    processes.SetExitCode(L"Daskel.dll", 5);
    processes.Hang(L"Glimmet.ocx");
    form.cmdCreate_Click();
    std::wstring expected = Separator;
    for (const wchar_t* file : Files) {
        bool fails = std::wstring(file) == L"Daskel.dll" || std::wstring(file) == L"Glimmet.ocx";
        expected += Block(file, fails ? L"ERROR: Creating classes" : L"Created classes");
    }
    EXPECT_EQ(view.log, expected + ClosingLine);
    ExpectStarts(AllStarts());
    EXPECT_TRUE(form.CreateFailed);
}

TEST_F(CreateTest, WithoutTheServerInTheSystemDirectoryTheWindowsDirectoryIsTried)
{
    processes.files.erase(L"c:\\windows\\system32\\regsvr32.exe");
    processes.AddFile(L"C:\\WINDOWS\\regsvr32.exe");
    form.cmdCreate_Click();
    EXPECT_EQ(view.log, AllCreated());
    ExpectStarts(AllStarts(L"C:\\WINDOWS\\"));

    // Nowhere at all: the starts fail and say so.
    processes.files.erase(L"c:\\windows\\regsvr32.exe");
    processes.starts.clear();
    form.cmdCreate_Click();
    EXPECT_EQ(processes.starts.size(), 9u);
    EXPECT_TRUE(form.CreateFailed);
    EXPECT_NE(view.log.find(Block(L"Wrenna.dll", L"ERROR: Creating classes")), std::wstring::npos);
}

TEST_F(CreateTest, ExtensionsCountInAnyCaseAndOthersAreOnlyWarnedAbout)
{
    form.FileList = std::vector<std::wstring>{L"Glimmet.OCX", L"Readme.txt", L"NoExtension", L"Vestrel.Exe"};
    processes.AddFile(SysDir + L"Glimmet.OCX");
    form.cmdCreate_Click();
    EXPECT_EQ(view.log, Separator + Block(L"Glimmet.OCX", L"Created classes") +
                            Block(L"Readme.txt", L"WARNING - Unknown file type - Ignoring.") +
                            Block(L"NoExtension", L"WARNING - Unknown file type - Ignoring.") +
                            Block(L"Vestrel.Exe", L"Created classes"));
    EXPECT_FALSE(form.CreateFailed);
    ExpectStarts({{SysDir + L"regsvr32.exe", L"\"" + SysDir + L"regsvr32\" /s \"" + SysDir + L"Glimmet.OCX\"", 2},
                  {AppDir + L"Vestrel.Exe", L"\"" + AppDir + L"Vestrel.Exe\"", 1}});
}

TEST_F(CreateTest, ASecondCreateJudgesOnlyItsOwnStarts)
{
    processes.files.erase(L"c:\\program files\\vestrel\\vestrel.exe");
    form.cmdCreate_Click();
    EXPECT_TRUE(form.CreateFailed);
    processes.AddFile(AppDir + L"Vestrel.exe");
    std::wstring first = view.log;
    form.cmdCreate_Click();
    EXPECT_FALSE(form.CreateFailed);
    EXPECT_EQ(view.log, first + AllCreated());
}

TEST_F(CreateTest, WithoutAnInstallDirectoryExecutablesAreStartedByTheirQuotedNames)
{
    form.AppPath.clear();
    form.FileList = std::vector<std::wstring>{L"Corvane.exe"};
    form.cmdCreate_Click();
    ExpectStarts({{L"C:\\Tools\\Corvane.exe", L"\"C:\\Tools\\Corvane.exe\"", 1}});
}

}  // namespace
