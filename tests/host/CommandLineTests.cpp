#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>

#include "helpers/OutputFile.h"
#include "helpers/RunIdentity.h"
#include "registry/RegFile.h"
#include "tests/host/SuiteFixture.h"
#include "unattended/CommandLine.h"
#include "unattended/Unattended.h"

namespace {

using SuiteFixture::Machine;

using Json = nlohmann::ordered_json;

const std::map<char, std::string> Names{{'L', "load"},    {'D', "delete"}, {'C', "create"},
                                        {'R', "restore"}, {'K', "check"},  {'P', "repair"}};

std::string Letters(const std::vector<UnattendedCommand>& commands)
{
    std::string letters;
    for (auto command : commands)
        letters += "LDCRKP"[static_cast<int>(command)];
    return letters;
}

std::wstring RegFile(const std::wstring& key, const std::wstring& value = L"back", bool header = true)
{
    return (header ? L"Windows Registry Editor Version 5.00\r\n\r\n" : L"") + std::wstring(L"[HKEY_LOCAL_MACHINE\\") +
           key + L"]\r\n@=\"" + value + L"\"\r\n\r\n";
}

std::wstring Utf8Text(const std::string& bytes)
{
    return std::wstring(bytes.begin(), bytes.end());  // the logs here are ASCII
}

// Each command line as a script would give it: what runs, in which order,
// what reaches the console and the log file, and the exit code the run ends
// with on the machine given. The current folder is C:\Work.
TEST(CommandLine, SwitchesCommandsLogFilesAndExitCodes)
{
    struct Case {
        std::vector<std::wstring> arguments;
        std::string commands;
        const wchar_t* error;  // the start of the reason; "" when it runs
        const wchar_t* logFile;
        Machine machine;
        int exitCode;
        std::function<void(FakeFiles&)> files = nullptr;
        const wchar_t* output = L"";  // a line the console shows
        // The verdict's word for an exit code of 1 (the others have one word each), and the log's first lines.
        const char* reason = nullptr;
        const wchar_t* logStart = nullptr;
    };
    const std::wstring longLog = std::wstring(1900, L'x') + L".log";
    const std::vector<std::wstring> loads(300, L"/load");
    const Account mallory{L"S-1-5-21-9-9-9-1001", L"WORKSTATION7\\mallory"};
    const Case cases[] = {
        {{L"/load"}, "L", L"", nullptr, Machine::SuiteInstalled, 0},
        {{L"/load"}, "L", L"", nullptr, Machine::Bare, 1, nullptr, L"", "command-failed"},
        {{L"-LOAD", L"/Create"}, "LC", L"", nullptr, Machine::SuiteInstalled, 0},
        {{L"/delete", L"/yes"}, "LD", L"", nullptr, Machine::SuiteInstalled, 0},
        {{L"/yes", L"/DELETE", L"/create", L"/log", L"out file.txt"}, "LDC", L"", L"out file.txt",
         Machine::SuiteInstalled, 0, nullptr, L"Log file: C:\\Work\\out file.txt\r\nVestrel Path: ", nullptr,
         L"Tandrel " TANDREL_VERSION L" (32-bit) on WORKSTATION7, 2026-12-08T09:05:07+01:00, Windows 10.0.19045, as "
         L"CONTOSO7\\admin\r\nCommand line: /yes /DELETE /create /log \"out file.txt\"\r\n"},
        // Create succeeds, but the stand-in programs register nothing here,
        // so the Load after it fails: one failed command makes the run fail.
        {{L"/create", L"/load"}, "CL", L"", nullptr, Machine::FilesOnly, 1, nullptr, L"", "command-failed"},
        {{L"/create"}, "C", L"", nullptr, Machine::Bare, 1, nullptr, L"", "command-failed"},
        // A second Delete works on the second Load, which finds nothing.
        {{L"/delete", L"/yes", L"/delete"}, "LDD", L"", nullptr, Machine::SuiteInstalled, 1, nullptr, L"",
         "command-failed"},
        {{L"/?"}, "", L"", nullptr, Machine::Bare, 0, nullptr, L"Usage: "},
        {{L"/delete"}, "LD", L"/delete needs /yes", nullptr, Machine::SuiteInstalled, 2},
        {{L"/load", L"/log"}, "L", L"/log needs the name of a file", nullptr, Machine::SuiteInstalled, 2},
        // A switch after /log is not a file name: no file "/load" is written.
        {{L"/log", L"/load"}, "L", L"/log needs the name of a file, not the switch /load.", nullptr,
         Machine::SuiteInstalled, 2},
        {{L"/load", L"/log", L"-Create"}, "LC", L"/log needs the name of a file, not the switch -Create.", nullptr,
         Machine::SuiteInstalled, 2},
        {{L"/frobnicate", L"/log", L"x.txt"}, "", L"Unknown argument: /frobnicate", L"x.txt", Machine::Bare, 2},
        // Logs of other machines: west of UTC, run as SYSTEM by a 64-bit build. No argument starts a line of its own.
        {{L"/restore", L"r\r\nVestrel Path: x", L"/log", L"x.txt"}, "R", L"", L"x.txt", Machine::Bare, 1,
         [](FakeFiles&) {
             auto& system = FakeSystem::Instance();
             system.now.utcOffsetMinutes = -330;
             system.accountName = L"NT AUTHORITY\\SYSTEM";
             system.programBits = 64;
             system.windowsVersion = L"6.1.7601";
         },
         L"", "command-failed",
         L"Tandrel " TANDREL_VERSION L" (64-bit) on WORKSTATION7, 2026-12-08T09:05:07-05:30, Windows 6.1.7601, as NT "
         L"AUTHORITY\\SYSTEM\r\nCommand line: /restore \"r??Vestrel Path: x\" /log x.txt\r\n"},
        {{L"load"}, "", L"Unknown argument: load", nullptr, Machine::Bare, 2},
        {{L"/", L"/load"}, "L", L"Unknown argument: /", nullptr, Machine::Bare, 2},
        {{L"/log", L"a", L"/log", L"b", L"/load"}, "L", L"/log is given twice", L"a", Machine::Bare, 2},
        {{L"/log", L"a"}, "", L"Nothing to do", L"a", Machine::Bare, 2},
        // What is not a plain file on a disk is refused before anything runs.
        {{L"/load", L"/log", L"NUL"}, "L", L"Cannot use the log file C:\\Work\\NUL: it is a device or a pipe", L"NUL",
         Machine::SuiteInstalled, 2, [](FakeFiles& f) { f.refusals[L"C:\\Work\\NUL"] = FileRefusal::NotDisk; }},
        {{L"/load", L"/log", L"D:\\link.log"}, "L", L"Cannot use the log file D:\\link.log: it is a symbolic link",
         L"D:\\link.log", Machine::SuiteInstalled, 2,
         [](FakeFiles& f) { f.refusals[L"D:\\link.log"] = FileRefusal::Link; }},
        {{L"/load", L"/log", L"two.log"}, "L",
         L"Cannot use the log file C:\\Work\\two.log: it has other names (hard links), and Tandrel does not write "
         L"through one.", L"two.log", Machine::SuiteInstalled, 2,
         [](FakeFiles& f) { f.refusals[L"C:\\Work\\two.log"] = FileRefusal::HardLink; }},
        {{L"/load", L"/log", L"full.log"}, "L",
         L"Cannot use the log file C:\\Work\\full.log: There is not enough space on the disk.", L"full.log",
         Machine::SuiteInstalled, 2, [](FakeFiles& f) { f.openErrors[L"C:\\Work\\full.log"] = 112; }},
        {{L"/delete", L"/yes", L"/backup", L"b.reg"}, "LD", L"", nullptr, Machine::SuiteInstalled, 0, nullptr,
         L"\r\nBackup: C:\\Work\\b.reg\r\n"},
        {{L"/load", L"/backup", L"b.reg"}, "L", L"/backup goes with /delete", nullptr, Machine::SuiteInstalled, 2},
        {{L"/delete", L"/yes", L"/backup", L"/load"}, "LDL", L"/backup needs the name of a file, not the switch /load.",
         nullptr, Machine::SuiteInstalled, 2},
        // A backup that cannot go where it is asked to is found before anything runs.
        {{L"/delete", L"/yes", L"/backup", L"X:\\b.reg"}, "LD",
         L"Cannot use the backup file X:\\b.reg: Windows error 3.", nullptr, Machine::SuiteInstalled, 2,
         [](FakeFiles& f) { f.openErrors[L"X:\\b.reg"] = 3; }},
        {{L"/repair", L"/backup", L"C:\\Logs\\in\\b.reg"}, "P",
         L"Cannot use the backup file C:\\Logs\\in\\b.reg: the folder C:\\Logs leads to D:\\Elsewhere", nullptr,
         Machine::SuiteInstalled, 2, [](FakeFiles& f) { f.folderLinks[L"C:\\Logs"] = L"D:\\Elsewhere"; }},
        {{L"/repair", L"/backup", L"b"}, "P", L"Cannot use the backup file C:\\Work\\b: it is a folder.", nullptr,
         Machine::SuiteInstalled, 2, [](FakeFiles& f) { f.refusals[L"C:\\Work\\b"] = FileRefusal::Folder; }},
        // One that cannot be written once there stops the Delete before it removes anything.
        {{L"/delete", L"/yes"}, "LD", L"", nullptr, Machine::SuiteInstalled, 1,
         [](FakeFiles& f) { f.openErrors[L"C:\\ProgramData\\Tandrel"] = 5; },
         L"\r\nERROR: Backup not written: C:\\ProgramData\\Tandrel", "backup-failed"},
        {{L"/restore", L"r.reg"}, "R", L"", nullptr, Machine::Bare, 1, nullptr,
         L"\tERROR: Cannot restore C:\\Work\\r.reg: Windows error 2.\r\n", "command-failed"},
        {{L"/restore", L"r.reg", L"/load"}, "RL", L"/restore, /check and /repair each run alone", nullptr, Machine::Bare,
         2},
        {{L"/restore", L"ok.reg"}, "R", L"", nullptr, Machine::Bare, 0,
         [](FakeFiles& f) {
             f.contents[L"C:\\Work\\ok.reg"] = EncodeUtf16File(RegFile(L"Software\\Classes\\Wrenna.clsIFace"));
         },
         L"\tRestored HKEY_LOCAL_MACHINE\\Software\\Classes\\Wrenna.clsIFace\r\n"},
        // Only the suite's keys: its ProgIDs, and the class and type library that the file's own keys name.
        {{L"/restore", L"named.reg"}, "R", L"", nullptr, Machine::Bare, 0,
         [](FakeFiles& f) {
             f.contents[L"C:\\Work\\named.reg"] = EncodeUtf16File(
                 RegFile(L"Software\\Classes\\Wrenna.clsIFace\\CLSID", L"{C0}") +
                 RegFile(L"Software\\Classes\\Wow6432Node\\CLSID\\{C0}\\TypeLib", L"{A0}", false) +
                 RegFile(L"Software\\Classes\\TypeLib\\{A0}\\1.0", L"x", false));
         },
         L"\tRestored HKEY_LOCAL_MACHINE\\Software\\Classes\\TypeLib\\{A0}\\1.0\r\n"},
        {{L"/restore", L"foreign.reg"}, "R", L"", nullptr, Machine::Bare, 1,
         [](FakeFiles& f) {
             f.contents[L"C:\\Work\\foreign.reg"] = EncodeUtf16File(
                 RegFile(L"Software\\Classes\\Wrenna.clsIFace\\CLSID", L"{C0}") +
                 RegFile(L"Software\\Classes\\CLSID\\{C1}\\InprocServer32", L"x", false));
         },
         L"\tERROR: Cannot restore C:\\Work\\foreign.reg: line 6: The key HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{C1}"
         L"\\InprocServer32 is none of the suite's ProgIDs, classes or type libraries, and a restore writes nothing "
         L"else. Nothing was written.\r\n", "command-failed"},
        // A registry link already there would carry a key elsewhere: refused, unless it stays among the classes.
        {{L"/restore", L"out.reg"}, "R", L"", nullptr, Machine::Bare, 1,
         [](FakeFiles& f) {
             FakeRegistry::Instance().CreateLink(L"Software\\Classes\\Daskel.clsDaskel", L"Software\\Run");
             f.contents[L"C:\\Work\\out.reg"] = EncodeUtf16File(RegFile(L"Software\\Classes\\Daskel.clsDaskel\\Y"));
         },
         L"\tERROR: Cannot restore C:\\Work\\out.reg: line 3: The key HKEY_LOCAL_MACHINE\\Software\\Classes\\"
         L"Daskel.clsDaskel\\Y lies below a registry link to HKEY_LOCAL_MACHINE\\Software\\Run\\Y, outside "
         L"HKEY_LOCAL_MACHINE\\Software\\Classes. Nothing was written.\r\n", "command-failed"},
        {{L"/restore", L"sibling.reg"}, "R", L"", nullptr, Machine::Bare, 1,
         [](FakeFiles& f) {
             FakeRegistry::Instance().CreateLink(L"Software\\Classes\\Daskel.clsDaskel", L"Software\\ClassesX");
             f.contents[L"C:\\Work\\sibling.reg"] = EncodeUtf16File(RegFile(L"Software\\Classes\\Daskel.clsDaskel\\Y"));
         },
         L"lies below a registry link to HKEY_LOCAL_MACHINE\\Software\\ClassesX\\Y, outside ", "command-failed"},
        {{L"/restore", L"in.reg"}, "R", L"", nullptr, Machine::Bare, 0,
         [](FakeFiles& f) {
             FakeRegistry::Instance().CreateKey(L"Software\\Classes\\Z");
             FakeRegistry::Instance().CreateLink(L"Software\\Classes\\Daskel.clsDaskel", L"Software\\Classes\\Z");
             f.contents[L"C:\\Work\\in.reg"] = EncodeUtf16File(RegFile(L"Software\\Classes\\Daskel.clsDaskel\\Y"));
         },
         L"\tRestored HKEY_LOCAL_MACHINE\\Software\\Classes\\Daskel.clsDaskel\\Y\r\n"},
        {{L"/restore", L"loop.reg"}, "R", L"", nullptr, Machine::Bare, 1,
         [](FakeFiles& f) {
             FakeRegistry::Instance().CreateLink(L"Software\\Classes\\Daskel.clsDaskel", L"Software\\Classes\\Z");
             FakeRegistry::Instance().CreateLink(L"Software\\Classes\\Z", L"Software\\Classes\\Daskel.clsDaskel");
             f.contents[L"C:\\Work\\loop.reg"] = EncodeUtf16File(RegFile(L"Software\\Classes\\Daskel.clsDaskel\\Y"));
         },
         L"line 3: The key HKEY_LOCAL_MACHINE\\Software\\Classes\\Daskel.clsDaskel\\Y cannot be followed to where it "
         L"would be written: Windows error 1921. Nothing was written.\r\n", "command-failed"},
        // Each tree is reported once, by its top key; one that could not be written fails the run, whatever follows.
        {{L"/restore", L"two.reg"}, "R", L"", nullptr, Machine::Bare, 1,
         [](FakeFiles& f) {
             FakeRegistry::Instance().Fail(FakeRegistry::Call::Create, L"Software\\Classes\\Daskel.clsDaskel", 5);
             f.contents[L"C:\\Work\\two.reg"] =
                 EncodeUtf16File(RegFile(L"Software\\Classes\\Daskel.clsDaskel") +
                                 RegFile(L"Software\\Classes\\Wrenna.clsIFace", L"b", false));
         },
         L"\tRestored HKEY_LOCAL_MACHINE\\Software\\Classes\\Wrenna.clsIFace\r\n\r\n*** ERROR IN RESTORING - Scroll "
         L"back to see the Errors.\r\n",
         "command-failed"},
        {{L"/restore", L"tree.reg"}, "R", L"", nullptr, Machine::Bare, 0,
         [](FakeFiles& f) {
             f.contents[L"C:\\Work\\tree.reg"] = EncodeUtf16File(RegFile(L"Software\\Classes\\Wrenna.clsIFace") +
                                                                  RegFile(L"Software\\Classes\\Wrenna.clsIFace\\CLSID",
                                                                          L"{C0}", false));
         },
         L"Restoring from C:\\Work\\tree.reg\r\n\tRestored HKEY_LOCAL_MACHINE\\Software\\Classes\\Wrenna.clsIFace"
         L"\r\n{"},
        // Whose file it is, and whose classes it would change: another product's, or one others may change, is refused.
        {{L"/restore", L"w.reg"}, "R", L"", nullptr, Machine::Bare, 1,
         [](FakeFiles& f) {
             f.contents[L"C:\\Work\\w.reg"] = EncodeUtf16File(RegFile(L"Software\\Classes\\Wrenna.clsIFace"));
             f.access[L"C:\\Work\\w.reg"] = {{L"S-1-5-32-544", L"BUILTIN\\Administrators"},
                                             {{L"S-1-5-32-545", L"BUILTIN\\Users"}}};
         },
         L"\tERROR: Cannot restore C:\\Work\\w.reg: BUILTIN\\Users may change it, so it may hold what no backup held. "
         L"Copy it into C:\\ProgramData\\Tandrel\\Backups first: a copy that an administrator makes there gets that "
         L"folder's permissions. Nothing was written.\r\n", "command-failed"},
        {{L"/restore", L"steer.reg"}, "R", L"", nullptr, Machine::Bare, 1,
         [](FakeFiles& f) {
             FakeRegistry::Instance().SetString(L"Software\\Classes\\CLSID\\{C1}\\ProgID", L"", L"Other.Thing");
             f.contents[L"C:\\Work\\steer.reg"] = EncodeUtf16File(
                 RegFile(L"Software\\Classes\\Wrenna.clsIFace\\CLSID", L"{C1}") +
                 RegFile(L"Software\\Classes\\CLSID\\{C1}\\InprocServer32", L"evil.dll", false));
         },
         L"\tERROR: Cannot restore C:\\Work\\steer.reg: line 6: The key HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\"
         L"{C1} on this computer is another product's: its ProgID there is Other.Thing. Nothing was written.\r\n",
         "command-failed"},
        {{L"/restore", L"server.reg"}, "R", L"", nullptr, Machine::Bare, 1,
         [](FakeFiles& f) {
             FakeRegistry::Instance().SetString(L"Software\\Classes\\CLSID\\{C1}\\LocalServer32", L"",
                                                L"C:\\Tools\\Other.exe /automation");
             f.contents[L"C:\\Work\\server.reg"] = EncodeUtf16File(
                 RegFile(L"Software\\Classes\\Wrenna.clsIFace\\CLSID", L"{C1}") +
                 RegFile(L"Software\\Classes\\CLSID\\{C1}", L"x", false));
         },
         L"{C1} on this computer is another product's: it has no ProgID there, and its server C:\\Tools\\Other.exe "
         L"/automation is none of the suite's files. Nothing was written.\r\n", "command-failed"},
        {{L"/restore", L"lib.reg"}, "R", L"", nullptr, Machine::SuiteInstalled, 1,
         [](FakeFiles& f) {
             FakeRegistry::Instance().CreateKey(L"Software\\Classes\\TypeLib\\{A9}");
             f.contents[L"C:\\Work\\lib.reg"] = EncodeUtf16File(
                 RegFile(L"Software\\Classes\\Wrenna.clsIFace\\CLSID", L"{C0}") +
                 RegFile(L"Software\\Classes\\CLSID\\{C0}\\TypeLib", L"{A9}", false) +
                 RegFile(L"Software\\Classes\\TypeLib\\{A9}\\1.0", L"x", false));
         },
         L"line 9: The key HKEY_LOCAL_MACHINE\\Software\\Classes\\TypeLib\\{A9} on this computer is another product's: "
         L"no class of the suite on this computer names it. Nothing was written.\r\n", "command-failed"},
        // A server that is not the class's own file, or lies where others may change it, is written and named.
        {{L"/restore", L"odd.reg"}, "R", L"", nullptr, Machine::Bare, 0,
         [](FakeFiles& f) {
             f.access[L"C:\\Users\\Public"] = {{L"S-1-5-18", L"NT AUTHORITY\\SYSTEM"}, {{L"S-1-5-32-545", L"BUILTIN\\Users"}}};
             f.contents[L"C:\\Work\\odd.reg"] = EncodeUtf16File(
                 RegFile(L"Software\\Classes\\Daskel.clsDaskel\\CLSID", L"{C2}") +
                 RegFile(L"Software\\Classes\\CLSID\\{C2}\\InprocServer32", L"C:\\\\Users\\\\Public\\\\evil.dll", false) +
                 RegFile(L"Software\\Classes\\Vestrel.clsIFace\\CLSID", L"{C3}", false) +
                 RegFile(L"Software\\Classes\\CLSID\\{C3}\\LocalServer32",
                         L"\\\"C:\\\\Users\\\\Public\\\\Vestrel.exe\\\" /automation", false) +
                 RegFile(L"Software\\Classes\\CLSID\\{C3}\\TypeLib", L"{A3}", false) +
                 RegFile(L"Software\\Classes\\TypeLib\\{A3}\\1.0\\0\\win32", L"D:\\\\Gone\\\\Vestrel.exe\\\\2", false));
         },
         L"Restoring from C:\\Work\\odd.reg\r\n\tWARNING: The default value of HKEY_LOCAL_MACHINE\\Software\\Classes\\"
         L"CLSID\\{C2}\\InprocServer32 names C:\\Users\\Public\\evil.dll, which is not the suite's Daskel.dll.\r\n"
         L"\tWARNING: The default value of HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{C3}\\LocalServer32 names "
         L"C:\\Users\\Public\\Vestrel.exe, in the folder C:\\Users\\Public, which BUILTIN\\Users may change.\r\n"
         L"\tWARNING: The default value of HKEY_LOCAL_MACHINE\\Software\\Classes\\TypeLib\\{A3}\\1.0\\0\\win32 names "
         L"D:\\Gone\\Vestrel.exe, whose folder D:\\Gone is not there: whoever creates it chooses what is loaded.\r\n"
         L"\tRestored "},
        // A file from outside is refused whole when it names any other key.
        {{L"/restore", L"bad.reg"}, "R", L"", nullptr, Machine::Bare, 1,
         [](FakeFiles& f) { f.contents[L"C:\\Work\\bad.reg"] = EncodeUtf16File(RegFile(L"Software\\Run")); },
         L"\tERROR: Cannot restore C:\\Work\\bad.reg: line 3: ", "command-failed"},
        {{L"/check"}, "K", L"", nullptr, Machine::Bare, 1, nullptr,
         L"\r\n*** 15 PROBLEMS FOUND - Scroll back to see them.\r\n", "problems"},
        // Every class failing and a long log name: the last line still fits a deployment tool's 2,048, as it does
        // with a switch given 300 times, or a name whose every character is an escape.
        {{L"/check", L"/log", longLog}, "K", L"", longLog.c_str(), Machine::Bare, 1, nullptr, L"", "problems"},
        {loads, std::string(300, 'L'), L"", nullptr, Machine::Bare, 1, nullptr, L"", "command-failed"},
        {{L"/load"}, "L", L"", nullptr, Machine::SuiteInstalled, 0,
         [](FakeFiles&) { FakeSystem::Instance().computerName = std::wstring(300, L'\u00E9') + L"\U0001F600"; }},
        // Create's stand-ins register nothing here: the last check still fails.
        // A backup's name says which command made it.
        {{L"/repair"}, "P", L"", nullptr, Machine::SuiteInstalled, 1, nullptr,
         L"\r\nBackup: C:\\ProgramData\\Tandrel\\Backups\\Repair-20261208-090507.reg\r\n", "problems"},
        {{L"/repair", L"/backup", L"r.reg"}, "P", L"", nullptr, Machine::FilesOnly, 1, nullptr,
         L"\r\n*** 15 PROBLEMS FOUND - Scroll back to see them.\r\n", "problems"},
        {{L"/check", L"/load"}, "KL", L"/restore, /check and /repair each run alone", nullptr, Machine::Bare, 2},
        // A repair that Create could not finish, or whose backup is not written, changes nothing.
        {{L"/repair"}, "P", L"", nullptr, Machine::SuiteInstalled, 1,
         [](FakeFiles&) {
             FakeDisk::Instance().files.erase(L"C:\\WINDOWS\\system32\\Wrenna.dll");
             FakeDisk::Instance().files.erase(L"C:\\WINDOWS\\system32\\regsvr32.exe");
         },
         L" FOUND - Scroll back to see them.\r\n\tMISSING: C:\\WINDOWS\\system32\\Wrenna.dll\r\n"
         L"\tMISSING: C:\\WINDOWS\\system32\\regsvr32.exe\r\n\r\n*** NOTHING CHANGED - Scroll back to see why.\r\n",
         "cannot-repair"},
        // Nor can it register again what its callers could not load; a note, or a program of the other bitness,
        // stops nothing.
        {{L"/repair"}, "P", L"", nullptr, Machine::SuiteInstalled, 1,
         [](FakeFiles&) {
             auto& disk = FakeDisk::Instance();
             disk.Put(L"C:\\WINDOWS\\system32\\Glimmet.ocx", BuildPeImage({.delayImports = {"Rare.dll"}}));
             disk.Put(L"C:\\WINDOWS\\system32\\Daskel.dll", SuiteFixture::SuiteImage({"DaskelAid.dll"}));
             disk.Put(L"C:\\WINDOWS\\system32\\Wrenna.dll", BuildPeImage({.machine = 0x8664, .pe32Plus = true}));
             disk.Put(L"C:\\Program Files\\Vestrel\\Corvane.exe", BuildPeImage({.machine = 0x8664, .pe32Plus = true}));
         },
         L" FOUND - Scroll back to see them.\r\n\tCANNOT LOAD: C:\\WINDOWS\\system32\\Daskel.dll: it needs DaskelAid.dll, "
         L"which is not in its own folder, the system folder, the Windows folder or a folder of PATH\r\n\tCANNOT LOAD: "
         L"C:\\WINDOWS\\system32\\Wrenna.dll: it is a 64-bit image (x64)\r\n\r\n*** NOTHING CHANGED - Scroll back to "
         L"see why.\r\n", "cannot-repair"},
        // A user's own registration is named and left; with the machine's sound there is nothing to mend.
        {{L"/repair"}, "P", L"", nullptr, Machine::Healthy, 1,
         [](FakeFiles&) {
             FakeRegistry::Instance().SetString(L"HKEY_USERS\\S-1-5-21-7\\Software\\Classes\\Wrenna.clsIFace\\CLSID", L"",
                                                L"{C0000000-0000-4000-8000-000000000006}");
         },
         L"Vestrel.clsLinkIFace\r\n\tOK\r\n\r\n*** 1 PROBLEM FOUND - Scroll back to see them.\r\n{\"tool\"",
         "user-overrides"},
        {{L"/repair"}, "P", L"", nullptr, Machine::SuiteInstalled, 1,
         [](FakeFiles& f) { f.openErrors[L"C:\\ProgramData\\Tandrel"] = 5; },
         L"\r\n*** ERROR IN DELETING - Scroll back to see the Errors.\r\n\r\n*** NOTHING CHANGED - Scroll back to see "
         L"why.\r\n", "backup-failed"},
        // One run at a time: another holding the lock leaves this one to do nothing.
        // A run without the lock leaves the log file named alone: the run that has it may be writing it.
        {{L"/delete", L"/yes", L"/log", L"d.log"}, "LD", L"", L"d.log", Machine::SuiteInstalled, 1618,
         [](FakeFiles& f) {
             FakeSystem::Instance().runLockHeldElsewhere = true;
             f.contents[L"C:\\Work\\d.log"] = "earlier";
         },
         L"Another Tandrel run is in progress on this computer; nothing was done.\r\n"},
        // A lock that someone else made first is not taken, held or not, wherever it lives.
        {{L"/check", L"/log", L"c.log"}, "K", L"", L"c.log", Machine::Healthy, 1,
         [&mallory](FakeFiles& f) {
             FakeSystem::Instance().runLockOwner = mallory;
             f.contents[L"C:\\Work\\c.log"] = "earlier";
         },
         L"ERROR: The run lock Tandrel\\RunLock was made by WORKSTATION7\\mallory, not by an administrator; nothing was "
         L"done.\r\n", "lock-refused"},
        {{L"/load"}, "L", L"", nullptr, Machine::SuiteInstalled, 1,
         [](FakeFiles&) {
             FakeSystem::Instance().privateNamespaces = false;
             FakeSystem::Instance().runLockError = 5;
         },
         L"ERROR: The run lock Global\\Tandrel.RunLock was made by an account that lets no administrator read who made "
         L"it, not by an administrator; nothing was done.\r\n", "lock-refused"},
        // Another kind of object at the lock's name keeps every run out: named, with who made it.
        {{L"/delete", L"/yes", L"/log", L"e.log"}, "LD", L"", L"e.log", Machine::SuiteInstalled, 1,
         [&mallory](FakeFiles& f) {
             FakeSystem::Instance().privateNamespaces = false;
             FakeSystem::Instance().runLockKind = L"an event";
             FakeSystem::Instance().runLockOwner = mallory;
             f.contents[L"C:\\Work\\e.log"] = "earlier";
         },
         L"ERROR: The run lock Global\\Tandrel.RunLock cannot be taken: an event of that name is there, made by "
         L"WORKSTATION7\\mallory. Nothing was done.\r\n", "lock-refused"},
        // Files planted in the backups folder while others could change it keep their owners, and are named.
        {{L"/delete", L"/yes"}, "LD", L"", nullptr, Machine::SuiteInstalled, 0,
         [&mallory](FakeFiles& f) {
             const std::wstring folder = L"C:\\ProgramData\\Tandrel\\Backups";
             f.access[folder] = {{L"S-1-5-32-544", L"BUILTIN\\Administrators"}, {{L"S-1-5-32-545", L"BUILTIN\\Users"}}};
             f.contents[folder + L"\\Delete-20260101-000000.reg"] = "planted";
             f.access[folder + L"\\Delete-20260101-000000.reg"] = {mallory, {}};
             f.contents[folder + L"\\Delete-20260102-000000.reg"] = "kept";
         },
         L"\r\nWARNING: C:\\ProgramData\\Tandrel\\Backups\\Delete-20260101-000000.reg: WORKSTATION7\\mallory may "
         L"change it, so it is no backup to restore.\r\n\r\nBackup: "},
        // One that this account made, or whoever owns what this process makes, is another run's.
        {{L"/load"}, "L", L"", nullptr, Machine::SuiteInstalled, 0, [](FakeFiles&) {
             FakeSystem::Instance().privateNamespaces = false;
             FakeSystem::Instance().runLockOwner = {FakeSystem::Instance().accountSid, L"WORKSTATION7\\admin"};
         }},
        {{L"/load"}, "L", L"", nullptr, Machine::SuiteInstalled, 0, [](FakeFiles&) {
             FakeSystem::Instance().runLockOwner = {FakeSystem::Instance().defaultOwnerSid, L"WORKSTATION7\\None"};
         }},
        {{L"/load"}, "L", L"", nullptr, Machine::SuiteInstalled, 0,
         [](FakeFiles&) { FakeSystem::Instance().runLockAbandoned = true; },
         L"The last Tandrel run on this computer ended before it finished.\r\nVestrel Path: "},
        // A tree with a name the backup cannot hold stays, and the run has failed.
        {{L"/delete", L"/yes"}, "LD", L"", nullptr, Machine::SuiteInstalled, 1,
         [](FakeFiles&) { FakeRegistry::Instance().SetString(L"Software\\Classes\\Corvane.clsMail", L"Note\n", L"x"); },
         L"\tERROR: Deleting Corvane.clsMail: left whole, as the value Note  of HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\"
         L"Corvane.clsMail has a line break in its name, which the backup cannot hold.\r\n",
         "command-failed"},
        // A backup never replaces a file; the log names where the file system put the log.
        {{L"/delete", L"/yes", L"/backup", L"b.reg"}, "LD", L"", nullptr, Machine::SuiteInstalled, 0,
         [](FakeFiles& f) { f.contents[L"C:\\Work\\b.reg"] = "earlier"; }, L"\r\nBackup: C:\\Work\\b-2.reg\r\n"},
        {{L"/delete", L"/yes", L"/backup", L"b.reg"}, "LD", L"", nullptr, Machine::SuiteInstalled, 0,
         [](FakeFiles& f) {
             for (int n = 1; n < 99; ++n)
                 f.contents[L"C:\\Work\\b" + (n > 1 ? L"-" + std::to_wstring(n) : L"") + L".reg"] = "earlier";
         },
         L"\r\nBackup: C:\\Work\\b-99.reg\r\n"},
        {{L"/delete", L"/yes", L"/backup", L"b.reg"}, "LD", L"", nullptr, Machine::SuiteInstalled, 1,
         [](FakeFiles& f) {
             for (int n = 1; n <= 99; ++n)
                 f.contents[L"C:\\Work\\b" + (n > 1 ? L"-" + std::to_wstring(n) : L"") + L".reg"] = "earlier";
         },
         L"\r\nERROR: Backup not written: C:\\Work\\b-99.reg: Windows error 80.\r\n", "backup-failed"},
        {{L"/load", L"/log", L"x.log"}, "L", L"", L"x.log", Machine::SuiteInstalled, 0,
         [](FakeFiles& f) { f.finalPaths[L"C:\\Work\\x.log"] = L"C:\\Real\\x.log"; }, L"Log file: C:\\Real\\x.log\r\n"},
        // A folder on the way that leads elsewhere, by its tag or by where its handle resolves, refuses the name;
        // the system's own redirection of System32 does not.
        {{L"/check", L"/log", L"C:\\Logs\\in\\x.log"}, "K",
         L"Cannot use the log file C:\\Logs\\in\\x.log: the folder C:\\Logs\\in leads to C:\\WINDOWS\\system32 (a link, a "
         L"junction or a mount point), and Tandrel writes only where it is named.", L"C:\\Logs\\in\\x.log", Machine::SuiteInstalled, 2,
         [](FakeFiles& f) { f.folderLinks[L"C:\\Logs\\in"] = L"C:\\WINDOWS\\system32"; }},
        {{L"/check", L"/log", L"C:\\Logs\\in\\x.log"}, "K",
         L"Cannot use the log file C:\\Logs\\in\\x.log: the folder C:\\Logs\\in is D:\\Elsewhere as the system resolves it, "
         L"and Tandrel writes only where it is named: give that path instead.", L"C:\\Logs\\in\\x.log", Machine::SuiteInstalled, 2,
         [](FakeFiles& f) { f.finalPaths[L"C:\\Logs\\in"] = L"D:\\Elsewhere"; }},
        {{L"/load", L"/log", L"C:\\WINDOWS\\system32\\t.log"}, "L", L"", L"C:\\WINDOWS\\system32\\t.log",
         Machine::SuiteInstalled, 0,
         [](FakeFiles& f) { f.finalPaths[L"C:\\WINDOWS\\system32"] = L"C:\\WINDOWS\\SysWOW64"; },
         L"Log file: C:\\WINDOWS\\SysWOW64\\t.log\r\n"},
        // Short writes are carried on; a failed one leaves the run failed.
        {{L"/load", L"/log", L"x.log"}, "L", L"", L"x.log", Machine::SuiteInstalled, 0, [](FakeFiles& f) {
             f.maxWrite = 7;
             f.maxConsoleWrite = 5;
         }},
        {{L"/load", L"/log", L"x.log"}, "L", L"", L"x.log", Machine::SuiteInstalled, 1,
         [](FakeFiles& f) { f.failAfter = 200; },
         L"ERROR: Writing the log file C:\\Work\\x.log: There is not enough space on the disk.\r\n", "log-failed"},
        // A log that cannot take the verdict fails the run, and the console's verdict, last, says so.
        {{L"/load", L"/log", L"x.log"}, "L", L"", L"x.log", Machine::SuiteInstalled, 1,
         [](FakeFiles& f) { f.failWriteWith = "{\"tool\""; },
         L"ERROR: Writing the log file C:\\Work\\x.log: There is not enough space on the disk.\r\n{\"tool\"",
         "log-failed"},
    };
    for (const auto& c : cases) {
        std::wstring shown;
        for (const auto& argument : c.arguments)
            shown += argument + L" ";
        SCOPED_TRACE(std::string(shown.begin(), shown.end()));
        CommandLine line = ParseCommandLine(c.arguments);
        // A log file that cannot be used is found out only by opening it.
        bool readsWrong = c.exitCode == ExitCode::UsageError && !c.files;
        EXPECT_EQ(line.error.rfind(readsWrong ? c.error : L"", 0), 0u)
            << std::string(line.error.begin(), line.error.end());
        EXPECT_EQ(line.error.empty(), !readsWrong);
        EXPECT_EQ(line.logFile, c.logFile ? std::optional<std::wstring>(c.logFile) : std::nullopt);
        EXPECT_EQ(line.help, c.arguments == std::vector<std::wstring>{L"/?"});
        EXPECT_EQ(Letters(line.commands), c.commands);

        SuiteFixture::Prepare(c.machine);
        auto& files = FakeFiles::Instance();
        files.hasConsole = true;
        if (c.files)
            c.files(files);
        std::wstring before = FakeRegistry::Instance().Dump();
        auto there = files.contents;
        std::wstring logPath;
        auto& system = FakeSystem::Instance();
        bool busy = system.runLockHeldElsewhere;
        EXPECT_EQ(RunCommandLine(c.arguments), c.exitCode);
        const std::wstring& console = files.console;
        bool refused = console.rfind(L"ERROR: The run lock ", 0) == 0;
        if (busy || refused) {
            EXPECT_EQ(files.contents, there) << "a run without the lock wrote a file";
        }
        EXPECT_NE(console.find(c.output), std::wstring::npos) << std::string(console.begin(), console.end());
        EXPECT_TRUE(files.open.empty());
        // Every run of commands holds the lock once, for all of them, and lets it go.
        EXPECT_EQ(system.runLocksTaken,
                  readsWrong || line.help || busy || system.runLockError != 0 || !system.runLockKind.empty() ? 0 : 1);
        EXPECT_FALSE(system.runLockHeld);
        // What says that nothing changed has changed nothing, and started nothing.
        bool unchanged = console.find(L"NOTHING CHANGED") != std::wstring::npos || busy || refused ||
                         (c.reason && std::string(c.reason) == "backup-failed");
        if (unchanged || c.exitCode == ExitCode::UsageError) {
            EXPECT_EQ(FakeRegistry::Instance().Dump(), before);
            EXPECT_TRUE(FakeProcesses::Instance().starts.empty());
        }
        if (c.exitCode == ExitCode::UsageError) {
            EXPECT_EQ(console.rfind(c.error, 0), 0u) << std::string(console.begin(), console.end());
            EXPECT_NE(console.find(L"\r\nUsage: "), std::wstring::npos);
        } else if (!c.commands.empty() && !busy && !refused) {
            // The window's log text: start-up's line first, then the reports.
            EXPECT_NE(console.find(L"Vestrel Path: "), std::wstring::npos);
            EXPECT_EQ(c.exitCode == ExitCode::CommandFailed, console.find(L"\r\n*** ERROR IN ") != std::wstring::npos ||
                                                                 console.find(L"ERROR: Writing") != std::wstring::npos ||
                                                                 console.find(L" FOUND - Scroll") != std::wstring::npos);
        }
        // What the console shows, the log file holds after two lines that tell
        // this run from others, as far as it could be written.
        for (const auto& [path, content] : files.contents) {
            if (there.count(path) && there[path] == content)
                continue;  // left alone
            if (path.size() > 4 && path.substr(path.size() - 4) == L".reg") {
                EXPECT_FALSE(unchanged) << "a backup was written";
                if (there.count(path)) {
                    EXPECT_EQ(content, there[path]) << "a backup replaced a file";
                    continue;
                }
                // Its second line says where, when, by what and as whom it was made.
                std::wstring text = DecodeUtf16File(content).value_or(L"");
                std::size_t second = text.find(L"\r\n") + 2;
                EXPECT_EQ(text.substr(second, text.find(L"\r\n", second) - second),
                          L"; " + RunIdentity(system.now) + L"; command line: " + ArgumentsText(c.arguments));
                continue;  // the rest: the Delete tests read that
            }
            std::size_t end = content.find("\r\nCommand line: ");
            ASSERT_NE(end, std::string::npos);
            end = content.find("\r\n", end + 2) + 2;
            EXPECT_EQ(content.rfind("Tandrel ", 0), 0u);
            if (c.logStart) {
                EXPECT_EQ(content.substr(0, end), Utf8(c.logStart));
            }
            EXPECT_EQ(console.rfind(Utf8Text(content.substr(end)), 0), 0u) << std::string(path.begin(), path.end());
            // A log that failed stops there; a whole one ends with the verdict, as the console does.
            if (console.find(L"ERROR: Writing the log file") == std::wstring::npos) {
                EXPECT_EQ(content.size(), end + console.size());
            } else {
                EXPECT_EQ(content.size(), std::min(files.failAfter, console.rfind(L"ERROR: Writing") + end));
            }
            logPath = files.finalPaths.count(path) ? files.finalPaths[path] : path;
        }

        // The last line, for the tools that keep only that: what ran, what it found, where things went.
        std::size_t last = console.size() < 3 ? std::wstring::npos : console.rfind(L"\r\n", console.size() - 3);
        std::wstring lastLine = console.substr(last == std::wstring::npos ? 0 : last + 2);
        ASSERT_TRUE(lastLine.ends_with(L"\r\n"));
        EXPECT_LE(lastLine.size() - 2, 2048u);
        Json verdict = Json::parse(Utf8(lastLine), nullptr, false);
        ASSERT_TRUE(verdict.is_object()) << Utf8(lastLine);
        Json commands = Json::array();
        // A run that found the lock taken names what it was asked to do, for whoever tries again.
        for (char letter : c.exitCode == ExitCode::UsageError || line.help ? "" : c.commands) {
            if (std::find(commands.begin(), commands.end(), Names.at(letter)) == commands.end())
                commands.push_back(Names.at(letter));
        }
        Json expected = {{"tool", "Tandrel"}, {"version", TANDREL_VERSION}, {"time", "2026-12-08T09:05:07"},
                         {"commands", commands}, {"exitCode", c.exitCode}};
        for (auto& [member, value] : expected.items())
            EXPECT_EQ(verdict[member], value) << member;
        // A text cut short keeps as much of the whole as fits, and says so.
        bool cut = false;
        auto shortened = [&cut](const Json& text, const std::string& whole) {
            std::string kept = text.is_null() ? "" : text.get<std::string>();
            cut = cut || (kept.ends_with("...") && kept != whole);
            return kept.ends_with("...") && kept != whole ? whole.substr(0, kept.size() - 3) + "..." : whole;
        };
        EXPECT_EQ(verdict["computer"], shortened(verdict["computer"], Utf8(system.computerName)));
        // The reason is the console's first line when it is one the run gave up for.
        EXPECT_EQ(verdict["error"], c.exitCode < 2 && !refused ? Json(nullptr)
                                                               : Json(Utf8(console.substr(0, console.find(L"\r\n")))));
        std::size_t backup = console.find(L"\r\nBackup: ");
        EXPECT_EQ(verdict["backup"], backup == std::wstring::npos
                                         ? Json(nullptr)
                                         : Json(Utf8(console.substr(backup + 10, console.find(L"\r\n", backup + 2) -
                                                                                     backup - 10))));
        EXPECT_EQ(verdict["log"].is_null() ? "" : verdict["log"].get<std::string>(),
                  shortened(verdict["log"], Utf8(logPath)));
        EXPECT_EQ(verdict["shortened"], cut);
        if (cut) {
            EXPECT_GT(lastLine.size() - 2, 2048u - 12) << "more was cut than the line needed";
        }
        const std::map<int, const char*> reasons{{1, c.reason}, {2, "usage"}, {1618, "busy"}};
        ASSERT_TRUE(c.exitCode == 0 || reasons.at(c.exitCode));
        EXPECT_EQ(verdict["reason"], c.exitCode == 0 ? Json(nullptr) : Json(reasons.at(c.exitCode)));
        bool checks = (c.commands == "K" || c.commands == "P") && !busy && !refused &&
                      c.exitCode != ExitCode::UsageError;
        EXPECT_EQ(verdict["problems"].is_null(), !checks);
        EXPECT_EQ(verdict["healthy"].is_null(), !checks);
        if (checks) {
            std::size_t found = console.rfind(L" FOUND - Scroll");
            std::size_t clean = console.rfind(L"No problems found.");
            int problems = found == std::wstring::npos || (clean != std::wstring::npos && clean > found)
                               ? 0
                               : std::stoi(console.substr(console.rfind(L"*** ", found) + 4));
            EXPECT_EQ(verdict["problems"], problems);
            EXPECT_EQ(verdict["healthy"], problems == 0);
            // The rows break every class, or one class once.
            EXPECT_EQ(verdict["classesWithProblems"].size(), static_cast<std::size_t>(std::min(problems, 15)));
        }
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
