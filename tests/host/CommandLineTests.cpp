#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>

#include "helpers/OutputFile.h"
#include "helpers/SuiteFiles.h"
#include "registry/RegFile.h"
#include "tests/host/SuiteFixture.h"
#include "unattended/CommandLine.h"
#include "unattended/Unattended.h"

namespace {

using SuiteFixture::ClosingLine;
using SuiteFixture::Machine;

using Json = nlohmann::ordered_json;

const std::map<char, std::string> Names{{'L', "load"},    {'D', "delete"}, {'C', "create"},
                                        {'R', "restore"}, {'K', "check"},  {'P', "repair"},
                                        {'V', "verify"}};

// The first of the two lines that tell a log or a backup of this machine's run from others.
const std::wstring Identity = L"Tandrel " TANDREL_VERSION L" (32-bit) on WORKSTATION7, 2026-12-08T09:05:07+01:00, "
                              L"Windows 10.0.19045, as CONTOSO7\\admin";
const wchar_t* const DeleteBackup = L"C:\\ProgramData\\Tandrel\\Backups\\Delete-20261208-090507.reg";
const std::wstring Logs = L"C:\\ProgramData\\Tandrel\\Logs\\";
// A row's `log` for a run that writes none: the run's own could not be made.
const wchar_t* const NoLog = L"";
// How the commands' reports end: each command's when it succeeds, the closing lines when not.
const std::wstring Loaded = L"\t\t1.0: Vestrel Library\r\n", Created = L"\tCreated classes\r\n",
                   Deleted = L"\tDeleted Vestrel.clsLinkIFace\r\n";
const std::wstring NotLoaded = ClosingLine(L"LOADING"), NotCreated = ClosingLine(L"CREATING"),
                   NotDeleted = ClosingLine(L"DELETING"), NotRestored = ClosingLine(L"RESTORING");
const std::wstring Found15 = L"\r\n*** 15 PROBLEMS FOUND - Scroll back to see them.\r\n";
const wchar_t* const InstallerBusy = L"ERROR: A Windows Installer transaction is in progress (Global\\_MSIExecute is "
                                    L"held); nothing was done. Run Tandrel again when it has ended.";
const std::wstring NothingChanged = L"\r\n*** NOTHING CHANGED - Scroll back to see why.\r\n";
const std::vector<std::wstring> EveryClass(ClassTable.begin(), ClassTable.end());
const std::wstring CheckClean = L"\tOK\r\n\r\nNo problems found.\r\n";

// 100 logs of Tandrel's own names, the oldest Load-20261001-000000.log, and files of an administrator's own or of
// names that only look like Tandrel's.
void HundredLogs(FakeFiles& files)
{
    files.contents[Logs + L"Load-20261001-000000.log"] = "oldest";
    files.contents[Logs + L"Check-20261001-000000-2.log"] = "taken in the same second";
    for (int n = 0; n < 98; ++n)
        files.contents[Logs + L"Repair-202611" + std::to_wstring(10 + n / 24) + L"-" +
                       (n % 24 < 10 ? L"0" : L"") + std::to_wstring(n % 24) + L"0000.log"] = "kept";
    for (const wchar_t* other : {L"mine.log", L"check-20260101-000000.log", L"Check-20260101-000000.log.bak",
                                 L"Check-2026010-000000.log", L"Check-20260101-000000-1.log", L"Tidy-20260101-000000.log"})
        files.contents[Logs + other] = "an administrator's";
}

std::string Letters(const std::vector<UnattendedCommand>& commands)
{
    std::string letters;
    for (auto command : commands)
        letters += "LDCRKPV"[static_cast<int>(command)];
    return letters;
}

std::wstring Joined(const std::vector<std::wstring>& arguments)
{
    std::wstring joined;
    for (const auto& argument : arguments)
        joined += (joined.empty() ? L"" : L" ") + argument;
    return joined;
}

// How far a run gets, and so what it may have touched.
enum class Reach {
    Commands,    // the lock held, the files opened and the commands run
    Help,        // the usage shown, and no lock taken
    Version,     // the version shown, and no lock taken
    WrongLine,   // the line is wrong as read: no lock taken
    BadFile,     // a file it names cannot be used, found with the lock held before anything runs
    NoLock,      // the lock not had: nothing done, no file touched
    OthersLock,  // a lock someone else made: taken, found so and let go at once, nothing done
    Unelevated,  // not elevated: no lock taken, nothing done but the log named
    Installing,  // an installer's transaction in progress: the lock held and the log opened, nothing done
    Unseen,      // no words where nobody sees the desktop: no window, and the usage as for a wrong line
};

// A key of a registry file, under HKEY_LOCAL_MACHINE, with its default value.
struct RegKey {
    std::wstring key;
    std::wstring value = L"back";
};

// A command line as a script would give it, on the machine given; the current folder is C:\Work.
struct Row {
    std::vector<std::wstring> args = {};
    Machine machine = Machine::SuiteInstalled;
    std::function<void(FakeFiles&)> setUp = nullptr;
    std::vector<RegKey> regFile = {};  // what the file named after /restore holds
    std::string parsed = {};           // the commands as the line lists them, where the verdict names fewer
    const wchar_t* logFile = nullptr;
    Reach reach = Reach::Commands;
    // The verdict. Commands as letters, each once: "LD" is ["load", "delete"].
    std::string commands = {};
    int exitCode = 0;
    const char* reason = nullptr;
    std::optional<bool> healthy = {};
    std::optional<int> problems = {};
    std::vector<std::wstring> classes = {};
    const wchar_t* backup = nullptr;
    const wchar_t* log = nullptr;  // the log written; without /log, the run's own in Logs, named by DefaultLog
    const wchar_t* error = nullptr;
    std::wstring computer = L"WORKSTATION7";
    const char* shortened = nullptr;  // the member cut short to fit
    // How the commands' report ends before the verdict, and a text the console shows.
    std::wstring ends = {};
    std::wstring output = {};
    const char* time = "2026-12-08T09:05:07+01:00";  // the verdict's: the start, with the offset from UTC
    // How the log and the backup name the run, where not as this machine's for the plain words of `args`;
    // how much of the log the disk took.
    std::wstring identity = Identity;
    std::wstring commandLine = {};
    std::size_t logBytes = std::string::npos;
    const wchar_t* logUpTo = nullptr;  // the log stops where the console shows this
    bool unchanged = false;            // commands that change no key and start nothing
    std::vector<std::wstring> removed = {};  // files that the run removes: old logs of Tandrel's own names
    int eventExitCode = -1;                  // where the event's verdict is not the console's, its exit code
    // The event source's message file after the run; the rest of its key is always as a run of Tandrel leaves it.
    std::wstring messageFile = L"%SystemRoot%\\System32\\EventCreate.exe";
};

// The event source's key and values as the registry holds them.
std::wstring SourceKey(const FakeRegistry& registry)
{
    const std::wstring dump = registry.Dump();
    std::size_t start = dump.find(L"EventLog\\Application\\Tandrel\n");
    if (start == std::wstring::npos)
        return L"";
    std::size_t end = start;
    while ((end = dump.find(L'\n', end) + 1) < dump.size() && dump.compare(end, 2, L"  ") == 0) {
    }
    return dump.substr(start, end - start);
}

// The log a row's run writes: the one it names, or its own, named after its first command ("Usage" for a line
// that cannot run); none for a run that does nothing.
std::wstring ExpectedLog(const Row& c)
{
    if (c.log)
        return c.log;
    using enum Reach;
    if (c.logFile || c.reach == Help || c.reach == Version || c.reach == NoLock || c.reach == OthersLock ||
        c.reach == Unelevated)
        return L"";
    bool named = c.reach == Commands || c.reach == Installing;
    std::string command = c.commands.empty() || !named ? "Usage" : Names.at(c.commands[0]);
    command[0] = static_cast<char>(std::toupper(command[0]));
    return Logs + std::wstring(command.begin(), command.end()) + L"-20261208-090507.log";
}

// What the console shows before the verdict: the commands' reports after start-up's line, as in the window; or,
// where nothing ran, the reason alone, with the usage for a line that cannot run.
void ExpectReport(const Row& c, const std::wstring& report)
{
    if (c.reach == Reach::Commands) {
        EXPECT_NE(report.find(L"Vestrel Path: "), std::wstring::npos);
        EXPECT_TRUE(report.ends_with(c.ends)) << Utf8(report);
    } else {
        using enum Reach;
        bool usage = c.reach == Help || c.reach == WrongLine || c.reach == BadFile || c.reach == Unseen;
        if (c.reach == Version) {
            EXPECT_EQ(report, L"Tandrel " TANDREL_VERSION L" (" + std::to_wstring(FakeSystem::Instance().programBits) +
                                  L"-bit)\r\n");
            return;
        }
        bool logged = !ExpectedLog(c).empty() && (c.reach == Unelevated || c.reach == Installing);
        EXPECT_EQ(report, (logged ? L"Log file: " + ExpectedLog(c) + L"\r\n" : L"") +
                              (c.error ? c.error + std::wstring(L"\r\n") : L"") + (usage ? UsageText() : L""));
    }
    EXPECT_NE(report.find(c.output), std::wstring::npos) << Utf8(report);
}

// The log file holds what the console shows, after two lines that tell this run from others, as far as the
// disk took it. A backup never replaces a file, and its second line says where, when, by what and as whom it
// was made. Nothing else is written: a run without the lock leaves even the log file named alone.
void ExpectFiles(const Row& c, const std::map<std::wstring, std::string>& there, const std::wstring& console)
{
    const std::wstring commandLine = c.commandLine.empty() ? Joined(c.args) : c.commandLine;
    int logs = 0, backups = 0;
    for (const auto& [path, content] : FakeFiles::Instance().contents) {
        auto before = there.find(path);
        if (before != there.end() && before->second == content)
            continue;
        if (path.ends_with(L".reg")) {
            ++backups;
            EXPECT_EQ(Utf8(path), Utf8(c.backup ? c.backup : L"")) << "a backup the verdict does not name";
            EXPECT_TRUE(before == there.end()) << "a backup replaced a file";
            std::wstring text = DecodeUtf16File(content).value_or(L"");
            std::size_t second = text.find(L"\r\n") + 2;
            EXPECT_EQ(text.substr(second, text.find(L"\r\n", second) - second),
                      L"; " + c.identity + L"; command line: " + commandLine);
            continue;
        }
        ++logs;
        std::wstring shown = console.substr(0, c.logUpTo ? console.find(c.logUpTo) : std::wstring::npos);
        std::string whole = Utf8(c.identity + L"\r\nCommand line: " + commandLine + L"\r\n" + shown);
        EXPECT_EQ(content, whole.substr(0, c.logBytes));
    }
    EXPECT_EQ(logs, ExpectedLog(c).empty() ? 0 : 1);
    EXPECT_EQ(backups, c.backup ? 1 : 0);
}

// The last line, for the tools that keep only that: what ran, what it found, where things went.
void ExpectVerdict(const Row& c, const std::wstring& line)
{
    EXPECT_LE(line.size(), 2048u);
    Json verdict = Json::parse(Utf8(line), nullptr, false);
    ASSERT_TRUE(verdict.is_object()) << Utf8(line);
    auto text = [](const wchar_t* text) { return text ? Json(Utf8(text)) : Json(nullptr); };
    Json commands = Json::array(), classes = Json::array();
    for (char letter : c.commands)
        commands.push_back(Names.at(letter));
    for (const std::wstring& progId : c.classes)
        classes.push_back(Utf8(progId));
    Json expected = {{"tool", "Tandrel"}, {"version", TANDREL_VERSION}, {"computer", Utf8(c.computer)},
                     {"time", c.time}, {"commands", commands}, {"exitCode", c.exitCode},
                     {"healthy", c.healthy ? Json(*c.healthy) : Json(nullptr)},
                     {"reason", c.reason ? Json(c.reason) : Json(nullptr)},
                     {"problems", c.problems ? Json(*c.problems) : Json(nullptr)}, {"classesWithProblems", classes},
                     {"backup", text(c.backup)},
                     {"log", ExpectedLog(c).empty() ? Json(nullptr) : Json(Utf8(ExpectedLog(c)))},
                     {"error", text(c.error)},
                     {"shortened", c.shortened != nullptr}};
    if (c.shortened) {
        // A text cut short keeps as much of the whole as fits, and says so.
        std::string kept = verdict[c.shortened].is_string() ? verdict[c.shortened].get<std::string>() : "";
        std::string whole = expected[c.shortened].get<std::string>();
        EXPECT_TRUE(kept.ends_with("...") && kept.size() - 3 < whole.size() &&
                    whole.starts_with(kept.substr(0, kept.size() - 3)))
            << kept;
        EXPECT_GT(line.size(), 2048u - 12) << "more was cut than the line needed";
        expected[c.shortened] = kept;
    }
    EXPECT_EQ(verdict, expected);
}

void ExpectRun(const Row& c)
{
    CommandLine line = ParseCommandLine(c.args);
    EXPECT_EQ(line.error, c.reach == Reach::WrongLine ? c.error
                          : c.reach == Reach::Unseen
                              ? L"Nothing to do: give /load, /delete /yes, /create, /restore FILE, /check or /repair."
                              : L"");
    EXPECT_EQ(line.logFile, c.logFile ? std::optional<std::wstring>(c.logFile) : std::nullopt);
    EXPECT_EQ(line.help, c.reach == Reach::Help);
    EXPECT_EQ(line.version, c.reach == Reach::Version);
    EXPECT_EQ(Letters(line.commands), c.parsed.empty() ? c.commands : c.parsed);

    SuiteFixture::Prepare(c.machine);
    auto& files = FakeFiles::Instance();
    files.hasConsole = true;
    if (!c.regFile.empty()) {
        std::wstring text = L"Windows Registry Editor Version 5.00\r\n\r\n";
        for (const RegKey& key : c.regFile)
            text += L"[HKEY_LOCAL_MACHINE\\" + key.key + L"]\r\n@=\"" + key.value + L"\"\r\n\r\n";
        files.contents[files.currentFolder + c.args[1]] = EncodeUtf16File(text);
    }
    if (c.setUp)
        c.setUp(files);
    const std::wstring keys = FakeRegistry::Instance().Dump();
    const auto there = files.contents;
    EXPECT_EQ(RunCommandLine(c.args), c.exitCode);
    EXPECT_TRUE(files.open.empty());
    // Every run of commands holds the lock once, for all of them, and lets it go.
    auto& system = FakeSystem::Instance();
    bool locks = c.reach == Reach::Commands || c.reach == Reach::BadFile || c.reach == Reach::OthersLock ||
                 c.reach == Reach::Installing;
    EXPECT_EQ(system.runLocksTaken, locks ? 1 : 0);
    EXPECT_FALSE(system.runLockHeld);
    // A run that leaves nothing of the machine's to mend has waited for nothing.
    if (!c.reason || std::string_view(c.reason) == "user-overrides")
        EXPECT_EQ(system.ticks, FakeSystem().ticks);
    if (c.reach != Reach::Commands || c.unchanged) {
        EXPECT_EQ(FakeRegistry::Instance().Dump(), keys);
        EXPECT_TRUE(FakeProcesses::Instance().starts.empty());
    }
    const std::wstring& console = files.console;
    ASSERT_TRUE(console.ends_with(L"\r\n"));
    std::size_t last = console.rfind(L"\r\n", console.size() - 3);
    std::size_t verdict = last == std::wstring::npos ? 0 : last + 2;
    ExpectReport(c, console.substr(0, verdict));
    ExpectFiles(c, there, console);
    ExpectVerdict(c, console.substr(verdict, console.size() - verdict - 2));
    // Only old logs of Tandrel's own names are removed, and all else in their folder is left.
    EXPECT_EQ(files.removed, c.removed);
    // One event a run, the verdict as its text; a /? is no run.
    const auto& events = FakeEventLog::Instance().events;
    bool asks = c.reach == Reach::Help || c.reach == Reach::Version;
    ASSERT_EQ(events.size(), asks || !FakeEventLog::Instance().failCall.empty() ? 0u : 1u);
    if (!events.empty()) {
        EXPECT_EQ(events[0].source, L"Tandrel");
        Json said = Json::parse(Utf8(events[0].text), nullptr, false);
        Json shown = Json::parse(Utf8(console.substr(verdict, console.size() - verdict - 2)), nullptr, false);
        if (c.eventExitCode >= 0) {
            shown["exitCode"] = c.eventExitCode;
            shown["reason"] = c.eventExitCode == 0 ? Json(nullptr) : shown["reason"];
        }
        EXPECT_EQ(said, shown);
    }
    if (!c.messageFile.empty()) {
        FakeRegistry source;
        SuiteFixture::RegisterEventSource(source);
        source.SetString(SuiteFixture::EventSourceKey, L"EventMessageFile", c.messageFile, RegType::ExpandSz);
        EXPECT_EQ(SourceKey(FakeRegistry::Instance()), SourceKey(source));
    }
}

TEST(CommandLine, SwitchesCommandsLogFilesAndExitCodes)
{
    using enum Machine;
    using enum Reach;
    const std::wstring longLog = std::wstring(1900, L'x') + L".log";
    const std::wstring longLogPath = L"C:\\Work\\" + longLog;
    const std::wstring longName = std::wstring(300, L'\u00E9') + L"\U0001F600";
    const std::vector<std::wstring> loads(300, L"/load");
    const Account mallory{L"S-1-5-21-9-9-9-1001", L"WORKSTATION7\\mallory"};
    const Row rows[] = {
        // The commands in the order given; one that fails makes the run fail.
        {.args = {L"/load"}, .commands = "L", .ends = Loaded},
        {.args = {L"/load"}, .machine = Bare, .commands = "L", .exitCode = 1, .reason = "command-failed",
         .ends = NotLoaded},
        {.args = {L"-LOAD", L"/Create"}, .commands = "LC", .ends = Created},
        {.args = {L"/delete", L"/yes"}, .commands = "LD", .backup = DeleteBackup, .ends = Deleted},
        {.args = {L"/create", L"/delete", L"/yes"}, .commands = "CLD", .backup = DeleteBackup, .ends = Deleted},
        {.args = {L"/yes", L"/DELETE", L"/create", L"/log", L"out file.txt"}, .logFile = L"out file.txt",
         .commands = "LDC", .backup = DeleteBackup, .log = L"C:\\Work\\out file.txt", .ends = Created,
         .output = L"Log file: C:\\Work\\out file.txt\r\nVestrel Path: ",
         .commandLine = L"/yes /DELETE /create /log \"out file.txt\""},
        // Create succeeds, but the stand-in programs register nothing here, so the Load after it fails.
        {.args = {L"/create", L"/load"}, .machine = FilesOnly, .commands = "CL", .exitCode = 1,
         .reason = "command-failed", .ends = NotLoaded},
        {.args = {L"/create"}, .machine = Bare, .commands = "C", .exitCode = 1, .reason = "command-failed",
         .ends = NotCreated},
        // Where nobody sees the desktop, no window waits unseen, and a program that Create started is closed.
        {.args = {}, .machine = Bare, .setUp = [](FakeFiles&) { FakeSystem::Instance().desktopVisible = false; },
         .reach = Unseen, .exitCode = 2, .reason = "usage",
         .error = L"No window opens: nobody can see this session's desktop. Give one of these switches."},
        {.args = {L"/create"}, .machine = FilesOnly,
         .setUp = [](FakeFiles&) {
             FakeSystem::Instance().desktopVisible = false;
             FakeProcesses::Instance().conducts[L"corvane.exe"] = {.registersAfter = 0};
             FakeProcesses::Instance().onRegister = SuiteFixture::RegisterProgram;
         },
         .commands = "C",
         .ends = L"\tCreated classes\r\n\r\nNobody can see this session's desktop: the programs that Create started "
                 L"and that still run are closed.\r\n\tClosed C:\\Program Files\\Vestrel\\Corvane.exe (process 100), "
                 L"which nobody can see.\r\n"},
        // A second Delete works on the second Load, which finds nothing.
        {.args = {L"/delete", L"/yes", L"/delete"}, .parsed = "LDD", .commands = "LD", .exitCode = 1,
         .reason = "command-failed", .backup = DeleteBackup, .ends = NotDeleted},

        // Lines that are wrong as read: nothing runs, and the usage follows the reason. Asking for the usage or
        // the version needs no elevation, and the usage names the program as it was started.
        {.args = {L"/?"}, .machine = Bare, .reach = Help},
        {.args = {L"-HELP"}, .machine = Bare, .setUp = [](FakeFiles&) { FakeSystem::Instance().elevated = false; },
         .reach = Help},
        {.args = {L"/help"}, .setUp = [](FakeFiles&) { FakeSystem::Instance().programName = L"tandrel.exe"; },
         .reach = Help, .output = L"Usage: tandrel.exe [/load]"},
        {.args = {L"/version"}, .machine = Bare,
         .setUp = [](FakeFiles&) {
             FakeSystem::Instance().programBits = 64;
             FakeSystem::Instance().administrator = false;
         },
         .reach = Version},
        // Without elevation nothing is tried, the log named says so, and the verdict names what was not done; a
        // wrong line is still told as such, and a token that cannot be asked leaves it to the lock.
        {.args = {L"/repair", L"/log", L"r.log"}, .setUp = [](FakeFiles&) { FakeSystem::Instance().elevated = false; },
         .logFile = L"r.log", .reach = Unelevated, .commands = "P", .exitCode = 740, .reason = "not-elevated",
         .log = L"C:\\Work\\r.log",
         .error = L"ERROR: Tandrel must run as an administrator, elevated; nothing was done."},
        {.args = {L"/check"}, .setUp = [](FakeFiles&) { FakeSystem::Instance().administrator = false; },
         .reach = Unelevated, .commands = "K", .exitCode = 740, .reason = "not-elevated",
         .error = L"ERROR: Tandrel must run as an administrator, elevated; nothing was done."},
        {.args = {L"/delete"}, .setUp = [](FakeFiles&) { FakeSystem::Instance().elevated = false; }, .parsed = "LD",
         .reach = WrongLine, .exitCode = 2, .reason = "usage",
         .error = L"/delete needs /yes: nobody is there to answer its question."},
        {.args = {L"/load"}, .setUp = [](FakeFiles&) { FakeSystem::Instance().elevationError = 5; }, .commands = "L",
         .ends = Loaded},
        // The installer's transaction holds back what would change the registration, with the log named; a
        // reading run goes on, and so does one where another kind of object has the installer's name.
        {.args = {L"/repair", L"/log", L"r.log"},
         .setUp = [](FakeFiles&) { FakeSystem::Instance().mutexes[L"Global\\_MSIExecute"] = 0; }, .logFile = L"r.log",
         .reach = Installing, .commands = "P", .exitCode = 1618, .reason = "installer-busy", .log = L"C:\\Work\\r.log",
         .error = InstallerBusy},
        {.args = {L"/load", L"/create"},
         .setUp = [](FakeFiles&) { FakeSystem::Instance().mutexes[L"Global\\_MSIExecute"] = 5; },
         .reach = Installing, .commands = "LC", .exitCode = 1618, .reason = "installer-busy", .error = InstallerBusy},
        {.args = {L"/check"}, .machine = Bare,
         .setUp = [](FakeFiles&) { FakeSystem::Instance().mutexes[L"Global\\_MSIExecute"] = 0; }, .commands = "K",
         .exitCode = 1, .reason = "problems", .healthy = false, .problems = 15, .classes = EveryClass, .ends = Found15},
        {.args = {L"/create"}, .setUp = [](FakeFiles&) { FakeSystem::Instance().mutexes[L"Global\\_MSIExecute"] = 6; },
         .commands = "C", .ends = Created},
        {.args = {L"/delete"}, .parsed = "LD", .reach = WrongLine, .exitCode = 2, .reason = "usage",
         .error = L"/delete needs /yes: nobody is there to answer its question."},
        {.args = {L"/load", L"/log"}, .parsed = "L", .reach = WrongLine, .exitCode = 2, .reason = "usage",
         .error = L"/log needs the name of a file."},
        {.args = {L"/load", L"/log", L""}, .parsed = "L", .reach = WrongLine, .exitCode = 2, .reason = "usage",
         .error = L"/log needs the name of a file.", .commandLine = L"/load /log \"\""},
        // A switch after /log is not a file name: no file "/load" is written.
        {.args = {L"/log", L"/load"}, .parsed = "L", .reach = WrongLine, .exitCode = 2, .reason = "usage",
         .error = L"/log needs the name of a file, not the switch /load."},
        {.args = {L"/load", L"/log", L"-Create"}, .parsed = "LC", .reach = WrongLine, .exitCode = 2, .reason = "usage",
         .error = L"/log needs the name of a file, not the switch -Create."},
        {.args = {L"/frobnicate", L"/log", L"x.txt"}, .machine = Bare, .logFile = L"x.txt", .reach = WrongLine,
         .exitCode = 2, .reason = "usage", .log = L"C:\\Work\\x.txt", .error = L"Unknown argument: /frobnicate"},
        {.args = {L"load"}, .machine = Bare, .reach = WrongLine, .exitCode = 2, .reason = "usage",
         .error = L"Unknown argument: load"},
        {.args = {L"/", L"/load"}, .machine = Bare, .parsed = "L", .reach = WrongLine, .exitCode = 2, .reason = "usage",
         .error = L"Unknown argument: /"},
        {.args = {L"/log", L"a", L"/log", L"b", L"/load"}, .machine = Bare, .parsed = "L", .logFile = L"a",
         .reach = WrongLine, .exitCode = 2, .reason = "usage", .log = L"C:\\Work\\a", .error = L"/log is given twice."},
        {.args = {L"/log", L"a"}, .machine = Bare, .logFile = L"a", .reach = WrongLine, .exitCode = 2,
         .reason = "usage", .log = L"C:\\Work\\a",
         .error = L"Nothing to do: give /load, /delete /yes, /create, /restore FILE, /check or /repair."},
        {.args = {L"/load", L"/backup", L"b.reg"}, .parsed = "L", .reach = WrongLine, .exitCode = 2, .reason = "usage",
         .error = L"/backup goes with /delete or /repair: it names where Delete's backup goes."},
        {.args = {L"/delete", L"/yes", L"/backup", L"/load"}, .parsed = "LDL", .reach = WrongLine, .exitCode = 2,
         .reason = "usage", .error = L"/backup needs the name of a file, not the switch /load."},
        {.args = {L"/restore", L"r.reg", L"/load"}, .machine = Bare, .parsed = "RL", .reach = WrongLine, .exitCode = 2,
         .reason = "usage", .error = L"/restore, /check and /repair each run alone: give them with /log only."},
        {.args = {L"/check", L"/load"}, .machine = Bare, .parsed = "KL", .reach = WrongLine, .exitCode = 2,
         .reason = "usage", .error = L"/restore, /check and /repair each run alone: give them with /log only."},
        {.args = {L"/verify", L"/repair"}, .machine = Bare, .parsed = "VP", .reach = WrongLine, .exitCode = 2,
         .reason = "usage", .error = L"/verify runs alone, or after /repair: give it with /log only."},
        {.args = {L"/check", L"/verify"}, .machine = Bare, .parsed = "KV", .reach = WrongLine, .exitCode = 2,
         .reason = "usage", .error = L"/verify runs alone, or after /repair: give it with /log only."},

        // What is not a plain file on a disk is refused as a log before anything runs.
        {.args = {L"/load", L"/log", L"NUL"},
         .setUp = [](FakeFiles& f) { f.refusals[L"C:\\Work\\NUL"] = FileRefusal::NotDisk; }, .parsed = "L",
         .logFile = L"NUL", .reach = BadFile, .exitCode = 2, .reason = "usage",
         .error = L"Cannot use the log file C:\\Work\\NUL: it is a device or a pipe, not a file on a disk."},
        {.args = {L"/load", L"/log", L"D:\\link.log"},
         .setUp = [](FakeFiles& f) { f.refusals[L"D:\\link.log"] = FileRefusal::Link; }, .parsed = "L",
         .logFile = L"D:\\link.log", .reach = BadFile, .exitCode = 2, .reason = "usage",
         .error = L"Cannot use the log file D:\\link.log: it is a symbolic link or a mount point, and Tandrel does not "
                  L"write through one."},
        {.args = {L"/load", L"/log", L"two.log"},
         .setUp = [](FakeFiles& f) { f.refusals[L"C:\\Work\\two.log"] = FileRefusal::HardLink; }, .parsed = "L",
         .logFile = L"two.log", .reach = BadFile, .exitCode = 2, .reason = "usage",
         .error = L"Cannot use the log file C:\\Work\\two.log: it has other names (hard links), and Tandrel does not "
                  L"write through one."},
        {.args = {L"/load", L"/log", L"full.log"},
         .setUp = [](FakeFiles& f) { f.openErrors[L"C:\\Work\\full.log"] = 112; }, .parsed = "L",
         .logFile = L"full.log", .reach = BadFile, .exitCode = 2, .reason = "usage",
         .error = L"Cannot use the log file C:\\Work\\full.log: There is not enough space on the disk."},
        // The verdict names where the file system put the log.
        {.args = {L"/load", L"/log", L"x.log"},
         .setUp = [](FakeFiles& f) { f.finalPaths[L"C:\\Work\\x.log"] = L"C:\\Real\\x.log"; }, .logFile = L"x.log",
         .commands = "L", .log = L"C:\\Real\\x.log", .ends = Loaded, .output = L"Log file: C:\\Real\\x.log\r\n"},
        // A folder on the way that leads elsewhere, by its tag or by where its handle resolves, refuses the name;
        // the system's own redirection of System32 does not.
        {.args = {L"/check", L"/log", L"C:\\Logs\\in\\x.log"},
         .setUp = [](FakeFiles& f) { f.folderLinks[L"C:\\Logs\\in"] = L"C:\\WINDOWS\\system32"; }, .parsed = "K",
         .logFile = L"C:\\Logs\\in\\x.log", .reach = BadFile, .exitCode = 2, .reason = "usage",
         .error = L"Cannot use the log file C:\\Logs\\in\\x.log: the folder C:\\Logs\\in leads to "
                  L"C:\\WINDOWS\\system32 (a link, a junction or a mount point), and Tandrel writes only where it is "
                  L"named."},
        {.args = {L"/check", L"/log", L"C:\\Logs\\in\\x.log"},
         .setUp = [](FakeFiles& f) { f.finalPaths[L"C:\\Logs\\in"] = L"D:\\Elsewhere"; }, .parsed = "K",
         .logFile = L"C:\\Logs\\in\\x.log", .reach = BadFile, .exitCode = 2, .reason = "usage",
         .error = L"Cannot use the log file C:\\Logs\\in\\x.log: the folder C:\\Logs\\in is D:\\Elsewhere as the "
                  L"system resolves it, and Tandrel writes only where it is named: give that path instead."},
        {.args = {L"/load", L"/log", L"C:\\WINDOWS\\system32\\t.log"},
         .setUp = [](FakeFiles& f) { f.finalPaths[L"C:\\WINDOWS\\system32"] = L"C:\\WINDOWS\\SysWOW64"; },
         .logFile = L"C:\\WINDOWS\\system32\\t.log", .commands = "L", .log = L"C:\\WINDOWS\\SysWOW64\\t.log",
         .ends = Loaded, .output = L"Log file: C:\\WINDOWS\\SysWOW64\\t.log\r\n"},
        // Short writes are carried on; a failed one leaves the run failed.
        {.args = {L"/load", L"/log", L"x.log"},
         .setUp = [](FakeFiles& f) {
             f.maxWrite = 7;
             f.maxConsoleWrite = 5;
         },
         .logFile = L"x.log", .commands = "L", .log = L"C:\\Work\\x.log", .ends = Loaded},
        {.args = {L"/load", L"/log", L"x.log"}, .setUp = [](FakeFiles& f) { f.failAfter = 200; }, .logFile = L"x.log",
         .commands = "L", .exitCode = 1, .reason = "log-failed", .log = L"C:\\Work\\x.log", .ends = Loaded,
         .output = L"ERROR: Writing the log file C:\\Work\\x.log: There is not enough space on the disk.\r\n",
         .logBytes = 200},
        // A log that cannot take the verdict fails the run, and the console's verdict, last, says so; the event,
        // sent before, has the verdict as it was.
        {.args = {L"/load", L"/log", L"x.log"}, .setUp = [](FakeFiles& f) { f.failWriteWith = "{\"tool\""; },
         .logFile = L"x.log", .commands = "L", .exitCode = 1, .reason = "log-failed", .log = L"C:\\Work\\x.log",
         .ends = L"ERROR: Writing the log file C:\\Work\\x.log: There is not enough space on the disk.\r\n",
         .logUpTo = L"ERROR: Writing", .eventExitCode = 0},

        // Backups: where they are asked to go, and found unusable before anything runs.
        {.args = {L"/delete", L"/yes", L"/backup", L"b.reg"}, .commands = "LD", .backup = L"C:\\Work\\b.reg",
         .ends = Deleted, .output = L"\r\nBackup: C:\\Work\\b.reg\r\n"},
        {.args = {L"/delete", L"/yes", L"/backup", L"X:\\b.reg"},
         .setUp = [](FakeFiles& f) { f.openErrors[L"X:\\b.reg"] = 3; }, .parsed = "LD", .reach = BadFile, .exitCode = 2,
         .reason = "usage", .error = L"Cannot use the backup file X:\\b.reg: Windows error 3."},
        {.args = {L"/repair", L"/backup", L"C:\\Logs\\in\\b.reg"},
         .setUp = [](FakeFiles& f) { f.folderLinks[L"C:\\Logs"] = L"D:\\Elsewhere"; }, .parsed = "P", .reach = BadFile,
         .exitCode = 2, .reason = "usage",
         .error = L"Cannot use the backup file C:\\Logs\\in\\b.reg: the folder C:\\Logs leads to D:\\Elsewhere (a "
                  L"link, a junction or a mount point), and Tandrel writes only where it is named."},
        {.args = {L"/repair", L"/backup", L"b"},
         .setUp = [](FakeFiles& f) { f.refusals[L"C:\\Work\\b"] = FileRefusal::Folder; }, .parsed = "P",
         .reach = BadFile, .exitCode = 2, .reason = "usage",
         .error = L"Cannot use the backup file C:\\Work\\b: it is a folder."},
        // One that cannot be written once there stops the Delete before it removes anything.
        {.args = {L"/delete", L"/yes"}, .setUp = [](FakeFiles& f) { f.openErrors[L"C:\\ProgramData\\Tandrel"] = 5; },
         .commands = "LD", .exitCode = 1, .reason = "backup-failed", .log = NoLog, .ends = NotDeleted,
         .output = L"\r\nERROR: Backup not written: C:\\ProgramData\\Tandrel", .unchanged = true},
        // A backup never replaces a file.
        {.args = {L"/delete", L"/yes", L"/backup", L"b.reg"},
         .setUp = [](FakeFiles& f) { f.contents[L"C:\\Work\\b.reg"] = "earlier"; }, .commands = "LD",
         .backup = L"C:\\Work\\b-2.reg", .ends = Deleted, .output = L"\r\nBackup: C:\\Work\\b-2.reg\r\n"},
        {.args = {L"/delete", L"/yes", L"/backup", L"b.reg"},
         .setUp = [](FakeFiles& f) {
             for (int n = 1; n < 99; ++n)
                 f.contents[L"C:\\Work\\b" + (n > 1 ? L"-" + std::to_wstring(n) : L"") + L".reg"] = "earlier";
         },
         .commands = "LD", .backup = L"C:\\Work\\b-99.reg", .ends = Deleted,
         .output = L"\r\nBackup: C:\\Work\\b-99.reg\r\n"},
        {.args = {L"/delete", L"/yes", L"/backup", L"b.reg"},
         .setUp = [](FakeFiles& f) {
             for (int n = 1; n <= 99; ++n)
                 f.contents[L"C:\\Work\\b" + (n > 1 ? L"-" + std::to_wstring(n) : L"") + L".reg"] = "earlier";
         },
         .commands = "LD", .exitCode = 1, .reason = "backup-failed", .ends = NotDeleted,
         .output = L"\r\nERROR: Backup not written: C:\\Work\\b-99.reg: Windows error 80.\r\n", .unchanged = true},
        // Files planted in the backups folder while others could change it keep their owners, and are named.
        {.args = {L"/delete", L"/yes"},
         .setUp = [&mallory](FakeFiles& f) {
             const std::wstring folder = L"C:\\ProgramData\\Tandrel\\Backups";
             f.access[folder] = {{L"S-1-5-32-544", L"BUILTIN\\Administrators"}, {{L"S-1-5-32-545", L"BUILTIN\\Users"}}};
             f.contents[folder + L"\\Delete-20260101-000000.reg"] = "planted";
             f.access[folder + L"\\Delete-20260101-000000.reg"] = {mallory, {}};
             f.contents[folder + L"\\Delete-20260102-000000.reg"] = "kept";
         },
         .commands = "LD", .backup = DeleteBackup, .ends = Deleted,
         .output = L"\r\nWARNING: C:\\ProgramData\\Tandrel\\Backups\\Delete-20260101-000000.reg: WORKSTATION7\\mallory "
                   L"may change it, so it is no backup to restore.\r\n\r\nBackup: "},
        // A tree with a name the backup cannot hold stays, and the run has failed.
        {.args = {L"/delete", L"/yes"},
         .setUp = [](FakeFiles&) {
             FakeRegistry::Instance().SetString(L"Software\\Classes\\Corvane.clsMail", L"Note\n", L"x");
         },
         .commands = "LD", .exitCode = 1, .reason = "command-failed", .backup = DeleteBackup, .ends = NotDeleted,
         .output = L"\tERROR: Deleting Corvane.clsMail: left whole, as the value Note  of HKEY_LOCAL_MACHINE\\"
                   L"SOFTWARE\\Classes\\Corvane.clsMail has a line break in its name, which the backup cannot "
                   L"hold.\r\n"},

        // Restores. Logs of other machines: west of UTC, run as SYSTEM by a 64-bit build. No argument starts a line
        // of its own.
        {.args = {L"/restore", L"r\r\nVestrel Path: x", L"/log", L"x.txt"}, .machine = Bare,
         .setUp = [](FakeFiles&) {
             auto& system = FakeSystem::Instance();
             system.now.utcOffsetMinutes = -330;
             system.accountName = L"NT AUTHORITY\\SYSTEM";
             system.programBits = 64;
             system.windowsVersion = L"6.1.7601";
         },
         .logFile = L"x.txt", .commands = "R", .exitCode = 1, .reason = "command-failed", .log = L"C:\\Work\\x.txt",
         .ends = NotRestored,
         .time = "2026-12-08T09:05:07-05:30",
         .identity = L"Tandrel " TANDREL_VERSION L" (64-bit) on WORKSTATION7, 2026-12-08T09:05:07-05:30, Windows "
                     L"6.1.7601, as NT AUTHORITY\\SYSTEM",
         .commandLine = L"/restore \"r??Vestrel Path: x\" /log x.txt"},
        {.args = {L"/restore", L"r.reg"}, .machine = Bare, .commands = "R", .exitCode = 1, .reason = "command-failed",
         .ends = NotRestored, .output = L"\tERROR: Cannot restore C:\\Work\\r.reg: Windows error 2.\r\n"},
        {.args = {L"/restore", L"ok.reg"}, .machine = Bare, .regFile = {{L"Software\\Classes\\Wrenna.clsIFace"}},
         .commands = "R", .ends = L"\tRestored HKEY_LOCAL_MACHINE\\Software\\Classes\\Wrenna.clsIFace\r\n"},
        // What a restore writes and refuses, file by file, is in the restore's own table.
        // Checks and repairs: the last check's findings.
        {.args = {L"/check"}, .machine = Bare, .commands = "K", .exitCode = 1, .reason = "problems", .healthy = false,
         .problems = 15, .classes = EveryClass, .ends = Found15},
        // A repair proven by creation: the verdict is the creations'.
        {.args = {L"/repair", L"/verify"}, .machine = Healthy, .commands = "PV", .healthy = true, .problems = 0,
         .ends = L"\tOK\r\n\tCreated: OK\r\n\r\nNo problems found.\r\n"},
        {.args = {L"/verify"}, .machine = Healthy,
         .setUp = [](FakeFiles&) {
             FakeCreation::Instance().results[L"Vestrel.clsLinkIFace"] = {.kind = FakeCreation::Result::Kind::Hangs};
         },
         .commands = "V", .exitCode = 1, .reason = "problems", .healthy = false, .problems = 1,
         .classes = {L"Vestrel.clsLinkIFace"},
         .ends = L"cannot be created: the server did not answer within 20 s (the check found nothing wrong)\r\n\r\n"
                 L"*** 1 PROBLEM FOUND - Scroll back to see them.\r\n"},
        // Create's stand-ins register nothing here: the last check still fails. A backup's name says which command
        // made it.
        {.args = {L"/repair"}, .commands = "P", .exitCode = 1, .reason = "problems", .healthy = false, .problems = 15,
         .classes = EveryClass, .backup = L"C:\\ProgramData\\Tandrel\\Backups\\Repair-20261208-090507.reg",
         .ends = Found15, .output = L"\r\nBackup: C:\\ProgramData\\Tandrel\\Backups\\Repair-20261208-090507.reg\r\n"},
        {.args = {L"/repair", L"/backup", L"r.reg"}, .machine = FilesOnly, .commands = "P", .exitCode = 1,
         .reason = "problems", .healthy = false, .problems = 15, .classes = EveryClass, .ends = Found15},
        // A repair that Create could not finish, or whose backup is not written, changes nothing.
        {.args = {L"/repair"},
         .setUp = [](FakeFiles&) {
             FakeDisk::Instance().files.erase(L"C:\\WINDOWS\\system32\\Wrenna.dll");
             FakeDisk::Instance().files.erase(L"C:\\WINDOWS\\system32\\regsvr32.exe");
         },
         .commands = "P", .exitCode = 1, .reason = "cannot-repair", .healthy = false, .problems = 25,
         .classes = EveryClass, .ends = NothingChanged,
         .output = L" FOUND - Scroll back to see them.\r\n\tMISSING: C:\\WINDOWS\\system32\\Wrenna.dll\r\n"
                   L"\tMISSING: C:\\WINDOWS\\system32\\regsvr32.exe\r\n",
         .unchanged = true},
        // Nor can it register again what its callers could not load; a note, or a program of the other bitness,
        // stops nothing.
        {.args = {L"/repair"},
         .setUp = [](FakeFiles&) {
             auto& disk = FakeDisk::Instance();
             disk.Put(L"C:\\WINDOWS\\system32\\Glimmet.ocx", BuildPeImage({.delayImports = {"Rare.dll"}}));
             disk.Put(L"C:\\WINDOWS\\system32\\Daskel.dll", SuiteFixture::SuiteImage({"DaskelAid.dll"}));
             disk.Put(L"C:\\WINDOWS\\system32\\Wrenna.dll", BuildPeImage({.machine = 0x8664, .pe32Plus = true}));
             disk.Put(L"C:\\Program Files\\Vestrel\\Corvane.exe", BuildPeImage({.machine = 0x8664, .pe32Plus = true}));
         },
         .commands = "P", .exitCode = 1, .reason = "cannot-repair", .healthy = false, .problems = 30,
         .classes = EveryClass, .ends = NothingChanged,
         .output = L" FOUND - Scroll back to see them.\r\n\tCANNOT LOAD: C:\\WINDOWS\\system32\\Daskel.dll: it needs "
                   L"DaskelAid.dll, which is not in its own folder, the system folder, the 16-bit system folder, the "
                   L"Windows folder or a folder of PATH\r\n\tCANNOT LOAD: C:\\WINDOWS\\system32\\Wrenna.dll: it is a 64-bit image (x64)\r\n",
         .unchanged = true},
        // A user's own registration is named and left; with the machine's sound there is nothing to mend.
        {.args = {L"/repair"}, .machine = Healthy,
         .setUp = [](FakeFiles&) {
             FakeRegistry::Instance().SetString(L"HKEY_USERS\\S-1-5-21-7\\Software\\Classes\\Wrenna.clsIFace\\CLSID",
                                                L"", L"{C0000000-0000-4000-8000-000000000006}");
         },
         .commands = "P", .exitCode = 1, .reason = "user-overrides", .healthy = false, .problems = 1,
         .classes = {L"Wrenna.clsIFace"},
         .ends = L"Vestrel.clsLinkIFace\r\n\tOK\r\n\r\n*** 1 PROBLEM FOUND - Scroll back to see them.\r\n"},
        // Mended, the machine's part is checked once more; a user's own registration left over is no reason to wait.
        {.args = {L"/repair"}, .machine = Healthy,
         .setUp = [](FakeFiles&) {
             FakeRegistry::Instance().SetString(L"HKEY_USERS\\S-1-5-21-7\\Software\\Classes\\Wrenna.clsIFace\\CLSID",
                                                L"", L"{C0000000-0000-4000-8000-000000000006}");
             FakeRegistry::Instance().DeleteTree(L"Software\\Classes\\Daskel.clsDaskel");
             FakeProcesses::Instance().onStart = [](const FakeProcesses::Start&) {
                 for (const auto& c : SuiteFixture::SuiteClasses())
                     SuiteFixture::Register(FakeRegistry::Instance(), c);
                 SuiteFixture::ServeHealthy();
             };
         },
         .commands = "P", .exitCode = 1, .reason = "user-overrides", .healthy = false, .problems = 1,
         .classes = {L"Wrenna.clsIFace"}, .backup = L"C:\\ProgramData\\Tandrel\\Backups\\Repair-20261208-090507.reg",
         .ends = L"Vestrel.clsLinkIFace\r\n\tOK\r\n\r\n*** 1 PROBLEM FOUND - Scroll back to see them.\r\n"},
        {.args = {L"/repair"}, .setUp = [](FakeFiles& f) { f.openErrors[L"C:\\ProgramData\\Tandrel"] = 5; },
         .commands = "P", .exitCode = 1, .reason = "backup-failed", .healthy = false, .problems = 24,
         .classes = EveryClass, .log = NoLog, .ends = NotDeleted + NothingChanged, .unchanged = true},

        // Every class failing and a long log name: the last line still fits a deployment tool's 2,048, as it does
        // with a switch given 300 times, or a name whose every character is an escape.
        {.args = {L"/check", L"/log", longLog}, .machine = Bare, .logFile = longLog.c_str(), .commands = "K",
         .exitCode = 1, .reason = "problems", .healthy = false, .problems = 15, .classes = EveryClass,
         .log = longLogPath.c_str(), .shortened = "log", .ends = Found15},
        {.args = loads, .machine = Bare, .parsed = std::string(300, 'L'), .commands = "L", .exitCode = 1,
         .reason = "command-failed", .ends = NotLoaded},
        {.args = {L"/load"}, .setUp = [&longName](FakeFiles&) { FakeSystem::Instance().computerName = longName; },
         .commands = "L", .computer = longName, .shortened = "computer", .ends = Loaded,
         .identity = L"Tandrel " TANDREL_VERSION L" (32-bit) on " + longName +
                     L", 2026-12-08T09:05:07+01:00, Windows 10.0.19045, as CONTOSO7\\admin"},

        // Without /log, the run's own log in Logs, never replacing one; the newest 100 of Tandrel's own names are
        // kept, and nothing else there is touched.
        {.args = {L"/check"}, .machine = Healthy,
         .setUp = [](FakeFiles& f) { f.contents[Logs + L"Check-20261208-090507.log"] = "earlier"; }, .commands = "K",
         .healthy = true, .problems = 0, .log = L"C:\\ProgramData\\Tandrel\\Logs\\Check-20261208-090507-2.log",
         .ends = CheckClean,
         .output = L"Log file: C:\\ProgramData\\Tandrel\\Logs\\Check-20261208-090507-2.log\r\nVestrel Path: "},
        {.args = {L"/check"}, .machine = Healthy, .setUp = HundredLogs, .commands = "K", .healthy = true,
         .problems = 0, .ends = CheckClean, .removed = {Logs + L"Load-20261001-000000.log"}},
        {.args = {L"/check"}, .machine = Healthy,
         .setUp = [](FakeFiles& f) {
             HundredLogs(f);
             f.removeErrors[Logs + L"Load-20261001-000000.log"] = 5;
         },
         .commands = "K", .healthy = true, .problems = 0, .ends = CheckClean,
         .output = L"WARNING: The old log C:\\ProgramData\\Tandrel\\Logs\\Load-20261001-000000.log was not removed: "
                   L"Windows error 5.\r\nVestrel Path: "},
        {.args = {L"/check"}, .machine = Healthy,
         .setUp = [](FakeFiles& f) {
             HundredLogs(f);
             f.refusals[Logs + L"Load-20261001-000000.log"] = FileRefusal::Link;
         },
         .commands = "K", .healthy = true, .problems = 0, .ends = CheckClean,
         .output = L"Load-20261001-000000.log was not removed: it is a symbolic link or a mount point"},
        // A logs folder that cannot be used leaves the run without a log, and its exit code as it was.
        {.args = {L"/check"}, .machine = Healthy,
         .setUp = [](FakeFiles& f) { f.openErrors[L"C:\\ProgramData\\Tandrel\\Logs"] = 5; }, .commands = "K",
         .healthy = true, .problems = 0, .log = NoLog, .ends = CheckClean,
         .output = L"The run goes on without a log file: C:\\ProgramData\\Tandrel\\Logs: Windows error 5.\r\n"
                   L"Vestrel Path: "},
        // The event source registered where it is missing or differs; another's message file, a link on the way,
        // or a failed write are noted, and change neither the exit code nor the verdict.
        {.args = {L"/check"}, .machine = Healthy,
         .setUp = [](FakeFiles&) { FakeRegistry::Instance().DeleteTree(SuiteFixture::EventSourceKey); },
         .commands = "K", .healthy = true, .problems = 0, .ends = CheckClean},
        {.args = {L"/check"}, .machine = Healthy,
         .setUp = [](FakeFiles&) {
             FakeRegistry::Instance().SetValue(SuiteFixture::EventSourceKey, L"TypesSupported", RegType::Dword,
                                               std::string("\x04\0\0\0", 4));
         },
         .commands = "K", .healthy = true, .problems = 0, .ends = CheckClean},
        {.args = {L"/check"}, .machine = Healthy,
         .setUp = [](FakeFiles&) {
             FakeRegistry::Instance().SetString(SuiteFixture::EventSourceKey, L"EventMessageFile",
                                                L"C:\\Other\\Messages.dll", RegType::ExpandSz);
         },
         .commands = "K", .healthy = true, .problems = 0,
         .ends = L"No problems found.\r\nNOTE: The event source Tandrel is registered with the message file "
                 L"C:\\Other\\Messages.dll, not %SystemRoot%\\System32\\EventCreate.exe; it is left as it is.\r\n",
         .messageFile = L"C:\\Other\\Messages.dll"},
        {.args = {L"/check"}, .machine = Healthy,
         .setUp = [](FakeFiles&) {
             FakeRegistry::Instance().DeleteTree(SuiteFixture::EventSourceKey);
             FakeRegistry::Instance().CreateLink(SuiteFixture::EventSourceKey, L"SOFTWARE\\Other");
         },
         .commands = "K", .healthy = true, .problems = 0,
         .ends = L"No problems found.\r\nWARNING: The event source key HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\"
                 L"Services\\EventLog\\Application\\Tandrel lies below a registry link to HKEY_LOCAL_MACHINE\\SOFTWARE\\"
                 L"Other, so the event source was not registered.\r\n",
         .unchanged = true, .messageFile = L""},
        {.args = {L"/check"}, .machine = Healthy,
         .setUp = [](FakeFiles&) {
             FakeRegistry::Instance().DeleteTree(SuiteFixture::EventSourceKey);
             FakeRegistry::Instance().Fail(FakeRegistry::Call::Create, SuiteFixture::EventSourceKey, 5);
         },
         .commands = "K", .healthy = true, .problems = 0,
         .ends = L"No problems found.\r\nWARNING: The event source key HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\"
                 L"Services\\EventLog\\Application\\Tandrel cannot be created: Windows error 5.\r\n",
         .messageFile = L""},
        {.args = {L"/repair"}, .setUp = [](FakeFiles&) { FakeEventLog::Instance().failCall = L"ReportEventW"; },
         .commands = "P", .exitCode = 1, .reason = "problems", .healthy = false, .problems = 15,
         .classes = EveryClass, .backup = L"C:\\ProgramData\\Tandrel\\Backups\\Repair-20261208-090507.reg",
         .ends = Found15 + L"WARNING: The run's event was not written to the Application log: ReportEventW failed: "
                           L"Windows error 5.\r\n"},

        // One run at a time: another holding the lock leaves this one to do nothing, not even to open the log
        // named, which the run that has the lock may be writing. It names what it was asked to do, for a retry.
        {.args = {L"/delete", L"/yes", L"/log", L"d.log"},
         .setUp = [](FakeFiles& f) {
             FakeSystem::Instance().runLockHeldElsewhere = true;
             f.contents[L"C:\\Work\\d.log"] = "earlier";
         },
         .logFile = L"d.log", .reach = NoLock, .commands = "LD", .exitCode = 1618, .reason = "busy",
         .error = L"Another Tandrel run is in progress on this computer; nothing was done."},
        // A lock that someone else made first is not taken, held or not, wherever it lives.
        {.args = {L"/check", L"/log", L"c.log"}, .machine = Healthy,
         .setUp = [&mallory](FakeFiles& f) {
             FakeSystem::Instance().runLockOwner = mallory;
             f.contents[L"C:\\Work\\c.log"] = "earlier";
         },
         .logFile = L"c.log", .reach = OthersLock, .commands = "K", .exitCode = 1, .reason = "lock-refused",
         .error = L"ERROR: The run lock Tandrel\\RunLock was made by WORKSTATION7\\mallory, not by an administrator; "
                  L"nothing was done."},
        {.args = {L"/load"},
         .setUp = [](FakeFiles&) {
             FakeSystem::Instance().privateNamespaces = false;
             FakeSystem::Instance().runLockError = 5;
         },
         .reach = NoLock, .commands = "L", .exitCode = 1, .reason = "lock-refused",
         .error = L"ERROR: The run lock Global\\Tandrel.RunLock was made by an account that lets no administrator read "
                  L"who made it, not by an administrator; nothing was done."},
        // Another kind of object at the lock's name keeps every run out: named, with who made it.
        {.args = {L"/delete", L"/yes", L"/log", L"e.log"},
         .setUp = [&mallory](FakeFiles& f) {
             FakeSystem::Instance().privateNamespaces = false;
             FakeSystem::Instance().runLockKind = L"an event";
             FakeSystem::Instance().runLockOwner = mallory;
             f.contents[L"C:\\Work\\e.log"] = "earlier";
         },
         .logFile = L"e.log", .reach = NoLock, .commands = "LD", .exitCode = 1, .reason = "lock-refused",
         .error = L"ERROR: The run lock Global\\Tandrel.RunLock cannot be taken: an event of that name is there, made "
                  L"by WORKSTATION7\\mallory. Nothing was done."},
        // One that this account made, or whoever owns what this process makes, is another run's.
        {.args = {L"/load"},
         .setUp = [](FakeFiles&) {
             FakeSystem::Instance().privateNamespaces = false;
             FakeSystem::Instance().runLockOwner = {FakeSystem::Instance().accountSid, L"WORKSTATION7\\admin"};
         },
         .commands = "L", .ends = Loaded},
        {.args = {L"/load"},
         .setUp = [](FakeFiles&) {
             FakeSystem::Instance().runLockOwner = {FakeSystem::Instance().defaultOwnerSid, L"WORKSTATION7\\None"};
         },
         .commands = "L", .ends = Loaded},
        {.args = {L"/load"}, .setUp = [](FakeFiles&) { FakeSystem::Instance().runLockAbandoned = true; },
         .commands = "L", .ends = Loaded,
         .output = L"The last Tandrel run on this computer ended before it finished.\r\nVestrel Path: "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Utf8(Joined(row.args)));
        ExpectRun(row);
    }
}

// The restore is the exact undo of a Delete, a broken registration included: a class served from outside the
// suite's folder, another without its ProgID subkey and a type library that only a key of a class names.
TEST(CommandLine, ARestoreOfDeletesBackupPutsABrokenRegistrationBackWhole)
{
    SuiteFixture::Prepare(Machine::SuiteInstalled);
    FakeFiles::Instance().hasConsole = true;
    auto& registry = FakeRegistry::Instance();
    const std::vector<SuiteFixture::SuiteClass> suite = SuiteFixture::SuiteClasses();
    const std::wstring classes = L"Software\\Classes\\CLSID\\";
    registry.SetString(classes + suite[1].clsid + L"\\InprocServer32", L"", L"D:\\Elsewhere\\Daskel.dll");
    registry.DeleteTree(classes + suite[6].clsid + L"\\ProgID");
    // The backup's own permissions, not its folder's, keep it restorable.
    FakeFiles::Instance().access[L"C:\\Work"] = {{L"S-1-5-32-544", L"BUILTIN\\Administrators"},
                                                 {{L"S-1-5-32-545", L"BUILTIN\\Users"}}};
    const std::wstring before = registry.Dump();
    ASSERT_EQ(RunCommandLine({L"/delete", L"/yes", L"/backup", L"undo.reg"}), 0);
    ASSERT_NE(registry.Dump(), before);
    FakeFiles::Instance().console.clear();
    EXPECT_EQ(RunCommandLine({L"/restore", L"undo.reg"}), 0);
    EXPECT_EQ(registry.Dump(), before);
    EXPECT_NE(FakeFiles::Instance().console.find(L"\tWARNING: The default value of HKEY_LOCAL_MACHINE\\SOFTWARE\\"
                                                 L"Classes\\CLSID\\" + suite[1].clsid + L"\\InprocServer32 names "
                                                 L"D:\\Elsewhere\\Daskel.dll, whose folder D:\\Elsewhere is not there"),
              std::wstring::npos) << Utf8(FakeFiles::Instance().console);
}

}  // namespace
