#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "console/Form1.h"
#include "helpers/FuncLib.h"
#include "tests/host/FakeView.h"
#include "tests/host/SuiteFixture.h"

void PrintTo(const FakeProcesses::Start& start, std::ostream* out)
{
    *out << std::string(start.commandLine.begin(), start.commandLine.end()) << " (" << start.showCommand << ")";
}

namespace {

using namespace SuiteFixture;
using Start = FakeProcesses::Start;

const std::wstring ToolsDir = L"C:\\Tools\\";  // the fake's folder of Tandrel.exe
FakeDisk& disk = FakeDisk::Instance();

std::wstring Block(const std::wstring& file, const std::wstring& result)
{
    return L"\r\nCreating registry entry for " + file + L"'s classes\r\n\t" + result + L"\r\n";
}

bool IsProgram(const std::wstring& file)
{
    return EqualsIgnoringCase(file.substr(file.size() - 4), L".exe");
}

Start StartOf(const std::wstring& file, const std::wstring& exeDir = AppDir, const std::wstring& serverDir = SysDir)
{
    if (IsProgram(file))
        return {exeDir + file, L"\"" + exeDir + file + L"\"", 1};
    return {serverDir + L"regsvr32.exe", L"\"" + serverDir + L"regsvr32\" /s \"" + SysDir + file + L"\"", 2};
}

class CreateTest : public ::testing::Test {
protected:
    FakeProcesses& processes = FakeProcesses::Instance();
    FakeView view;
    Form1 form{view};

    void SetUp() override
    {
        Prepare(Machine::FilesOnly);
        form.AppPath = AppDir;
        form.SystemPath = SysDir;
        // Each program starts only once its heading is out: a start may hang.
        processes.onStart = [this](const Start& start) {
            std::wstring file = start.commandLine.substr(start.commandLine.find_last_of(L"\\") + 1);
            file.pop_back();
            EXPECT_NE(view.log.rfind(L"Creating registry entry for " + file + L"'s classes\r\n"), std::wstring::npos)
                << "not yet logged when started: " << std::string(file.begin(), file.end());
        };
    }

    static std::wstring Report(const std::set<std::wstring>& failing)
    {
        std::wstring log = Separator;
        for (const auto& file : Files)
            log += Block(file, failing.count(file) ? L"ERROR: Creating classes" : L"Created classes");
        return failing.empty() ? log : log + ClosingLine(L"CREATING");
    }
};

// Each file is judged by its own start, and every program is started by its
// full path: never by a bare or relative name that the current folder or PATH
// could answer.
TEST_F(CreateTest, EachFileIsStartedFromWhereItBelongsAndJudgedAlone)
{
    struct Case {
        const char* name;
        std::function<void(Form1&, FakeProcesses&)> prepare;
        std::set<std::wstring> failing;
        std::set<std::wstring> notStarted;
        std::wstring exeDir = AppDir;
        std::wstring serverDir = SysDir;
        std::wstring report = L"";  // when it is not the usual one
    };
    const Case cases[] = {
        {"all present, before any Load", [](Form1&, FakeProcesses&) {}, {}, {}},
        {"a missing program", [](Form1&, FakeProcesses&) { disk.files.erase(AppDir + L"Corvane.exe"); },
         {L"Corvane.exe"}, {}},
        // The silent server says nothing about a file it cannot find.
        {"a missing library", [](Form1&, FakeProcesses&) { disk.files.erase(SysDir + L"Daskel.dll"); },
         {L"Daskel.dll"}, {L"Daskel.dll"}},
        // Exit code 5: DllRegisterServer failed; one that never ends is given up on.
        {"a library the server does not register",
         [](Form1&, FakeProcesses& p) {
             p.SetExitCode(L"Daskel.dll", 5);
             p.Hang(L"Glimmet.ocx");
         },
         {L"Daskel.dll", L"Glimmet.ocx"}, {}},
        {"the server only in the Windows directory",
         [](Form1&, FakeProcesses&) {
             disk.files.erase(SysDir + L"regsvr32.exe");
             disk.Put(L"C:\\WINDOWS\\regsvr32.exe");
         },
         {}, {}, AppDir, L"C:\\WINDOWS\\"},
        {"the server nowhere", [](Form1&, FakeProcesses&) { disk.files.erase(SysDir + L"regsvr32.exe"); },
         {L"Glimmet.ocx", L"Daskel.dll", L"Wrenna.dll"}, {}, AppDir, L"C:\\WINDOWS\\"},
        // Without an install directory only Tandrel's own folder is looked in;
        // a Corvane.exe in the current folder is never started.
        {"no install directory",
         [](Form1& form, FakeProcesses&) {
             form.AppPath.clear();
             disk.Put(L"Corvane.exe");
             disk.Put(ToolsDir + L"Corvane.exe");
         },
         {L"Sulvary.exe", L"Brenlow.exe", L"Ladrisk.exe", L"Omberly.exe", L"Vestrel.exe"}, {}, ToolsDir},
        {"an install directory that is not a full path",
         [](Form1& form, FakeProcesses&) {
             form.AppPath = L"Vestrel\\";
             disk.Put(L"Vestrel\\Corvane.exe");
         },
         {Files.begin() + 3, Files.end()}, {Files.begin() + 3, Files.end()}},
        {"no system directory",
         [](Form1& form, FakeProcesses&) {
             form.SystemPath.clear();
             disk.Put(L"Daskel.dll");
         },
         {Files.begin(), Files.begin() + 3}, {Files.begin(), Files.begin() + 3}},
        {"another run holding the lock",
         [](Form1&, FakeProcesses&) { FakeSystem::Instance().runLockHeldElsewhere = true; },
         {}, {Files.begin(), Files.end()}, AppDir, SysDir,
         Separator + L"Another Tandrel run is in progress on this computer; nothing was done.\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        view.log.clear();
        c.prepare(form, processes);
        form.cmdCreate_Click();
        EXPECT_EQ(view.log, c.report.empty() ? Report(c.failing) : c.report);
        EXPECT_EQ(form.CreateFailed, !c.failing.empty());
        std::vector<Start> starts;
        for (const auto& file : Files) {
            if (!c.notStarted.count(file))
                starts.push_back(StartOf(file, c.exeDir, c.serverDir));
        }
        EXPECT_EQ(processes.starts, starts);
    }
}

// Unattended where nobody sees the desktop, each program still running once its classes are registered, or a
// minute after its start, is asked to close and ended 10 s later; elsewhere, and in the window, all are left.
TEST_F(CreateTest, WhereNobodySeesTheDesktopTheProgramsStillRunningAreClosed)
{
    using Conduct = FakeProcesses::Conduct;
    constexpr auto Never = FakeProcesses::Never;
    const std::wstring Lead = L"\r\nNobody can see this session's desktop: the programs that Create started and that "
                              L"still run are closed.\r\n";
    auto closed = [](const wchar_t* file, int id, const std::wstring& how = L"Closed", const std::wstring& why = L"") {
        return L"\t" + how + L" " + AppDir + file + L" (process " + std::to_wstring(id) + L"), which nobody can see" +
               why + L".\r\n";
    };
    auto conducts = [](FakeProcesses& p) {
        p.conducts[L"corvane.exe"] = {.registersAfter = 2000};
        p.conducts[L"brenlow.exe"] = Conduct{.closes = false};
    };
    struct Case {
        const char* name;
        std::function<void(FakeProcesses&)> prepare;
        std::wstring closing;  // after the usual report
        std::vector<std::wstring> asked;
        std::uint64_t waited = 0;
        bool unseen = true;
        bool window = false;
    };
    const Case cases[] = {
        {"programs that register and close, and one that ignores WM_CLOSE", conducts,
         Lead + closed(L"Corvane.exe", 100) + closed(L"Brenlow.exe", 102, L"Ended", L": it did not close within 10 s"),
         {L"close 100", L"close 102", L"end 102"}, 2000 + 10000},
        {"one that cannot be ended is named with the system's reason",
         [](FakeProcesses& p) { p.conducts[L"brenlow.exe"] = Conduct{.closes = false, .endError = 5}; },
         Lead + L"\tWARNING: " + AppDir + L"Brenlow.exe (process 102), which nobody can see, cannot be ended (it did "
                L"not close within 10 s): Windows error 5.\r\n",
         {L"close 102", L"end 102"}, 10000},
        {"a program without a window, ended after 10 s",
         [](FakeProcesses& p) { p.conducts[L"ladrisk.exe"] = Conduct{.windows = 0}; },
         Lead + closed(L"Ladrisk.exe", 103, L"Ended", L": it has no window to close, and did not end within 10 s"),
         {L"close 103", L"end 103"}, 10000},
        // One that is ending by itself once registered is given its time, and was done; one that had not
        // registered is named.
        {"a program without a window that ends by itself",
         [](FakeProcesses& p) { p.conducts[L"ladrisk.exe"] = {.registersAfter = 0, .endsAfter = 300, .windows = 0}; },
         L"", {L"close 103"}, 300},
        {"a program that ends by itself after a minute without registering",
         [](FakeProcesses& p) {
             p.conducts[L"ladrisk.exe"] = {.registersAfter = Never, .endsAfter = 65000, .windows = 0};
         },
         Lead + L"\tWARNING: " + AppDir + L"Ladrisk.exe (process 103) has not registered its classes within 60 s.\r\n\t" +
             AppDir + L"Ladrisk.exe (process 103) ended by itself.\r\n",
         {L"close 103"}, 65000},
        {"one that never registers: a minute, then closed",
         [](FakeProcesses& p) { p.conducts[L"omberly.exe"] = {.registersAfter = Never}; },
         Lead + L"\tWARNING: " + AppDir + L"Omberly.exe (process 104) has not registered its classes within 60 s.\r\n" +
             closed(L"Omberly.exe", 104),
         {L"close 104"}, 60000},
        // Classes of its name served by another file are not its registration.
        {"one registered as served from elsewhere",
         [](FakeProcesses& p) {
             p.conducts[L"sulvary.exe"] = {.registersAfter = 0};
             p.onRegister = [](const std::wstring&) { RegisterProgram(L"C:\\WINDOWS\\Sulvary.exe"); };
             disk.Put(L"C:\\WINDOWS\\Sulvary.exe");
         },
         Lead + L"\tWARNING: " + AppDir + L"Sulvary.exe (process 101) has not registered its classes within 60 s.\r\n" +
             closed(L"Sulvary.exe", 101),
         {L"close 101"}, 60000},
        {"one that ends by itself before it registers is not asked",
         [](FakeProcesses& p) { p.conducts[L"vestrel.exe"] = {.registersAfter = Never, .endsAfter = 5000}; }, L"", {},
         5000},
        {"a desktop someone sees", conducts, L"", {}, 0, false},
        {"the window, even where nobody sees the desktop",
         [&conducts](FakeProcesses& p) {
             conducts(p);
             FakeSystem::Instance().desktopVisible = false;
         },
         L"", {}, 0, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        view.log.clear();
        processes.onRegister = RegisterProgram;
        c.prepare(processes);
        if (c.window) {
            form.cmdCreate_Click();
        } else {
            SuiteState state;
            state.AppPath = AppDir;
            state.SystemPath = SysDir;
            state.ProgramsUnseen = c.unseen;
            CommandLog log(view);
            EXPECT_FALSE(CreateSuite(state, log).failed);
        }
        EXPECT_EQ(view.log, Report({}) + c.closing);
        EXPECT_EQ(processes.asked, c.asked);
        EXPECT_EQ(FakeSystem::Instance().ticks - FakeSystem().ticks, c.waited);
        EXPECT_EQ(processes.held, 0);
    }
}

TEST_F(CreateTest, AfterLoadTheWindowComesBackToTheFrontAndThePointerIsRestored)
{
    auto& windows = FakeWindowSystem::Instance();
    form.cmdLoad_Click();
    std::wstring before = view.log;
    view.pointerChanges.clear();
    windows.calls.clear();
    form.cmdCreate_Click();
    EXPECT_EQ(view.log, before + Report({}));
    EXPECT_EQ(view.pointerChanges, (std::vector<int>{HourglassPointer, DefaultPointer}));
    ASSERT_GE(windows.calls.size(), 3u);
    EXPECT_EQ(windows.calls.front(), "SetFocus 64");
    EXPECT_EQ(windows.calls[1], "GetForegroundWindow");
    EXPECT_EQ(windows.calls.back(), "SetFocus 64");
    EXPECT_EQ(windows.foreground, WindowHandle{0x40});
}

TEST_F(CreateTest, ExtensionsCountInAnyCaseAndOthersAreOnlyWarnedAbout)
{
    form.FileList = std::vector<std::wstring>{L"Glimmet.OCX", L"Readme.txt", L"NoExtension", L"Vestrel.Exe"};
    disk.Put(SysDir + L"Glimmet.OCX");
    form.cmdCreate_Click();
    EXPECT_EQ(view.log, Separator + Block(L"Glimmet.OCX", L"Created classes") +
                            Block(L"Readme.txt", L"WARNING - Unknown file type - Ignoring.") +
                            Block(L"NoExtension", L"WARNING - Unknown file type - Ignoring.") +
                            Block(L"Vestrel.Exe", L"Created classes"));
    EXPECT_FALSE(form.CreateFailed);
    EXPECT_EQ(processes.starts, (std::vector<Start>{StartOf(L"Glimmet.OCX"), StartOf(L"Vestrel.Exe")}));
}

TEST_F(CreateTest, ASecondCreateJudgesOnlyItsOwnStarts)
{
    disk.files.erase(AppDir + L"Vestrel.exe");
    form.cmdCreate_Click();
    EXPECT_TRUE(form.CreateFailed);
    disk.Put(AppDir + L"Vestrel.exe");
    std::wstring first = view.log;
    form.cmdCreate_Click();
    EXPECT_FALSE(form.CreateFailed);
    EXPECT_EQ(view.log, first + Report({}));
}

}  // namespace
