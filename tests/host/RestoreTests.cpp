#include <gtest/gtest.h>

#include <functional>

#include "commands/Restore.h"
#include "registry/RegFile.h"
#include "tests/host/SuiteFixture.h"

namespace {

// A key of a registry file, under HKEY_LOCAL_MACHINE, with its default value.
struct RegKey {
    std::wstring key;
    std::wstring value = L"back";
};

// A registry file in C:\Work, what the machine holds beside it, and every entry the restore logs after naming the
// file, in full.
struct Row {
    std::wstring name;
    SuiteFixture::Machine machine = SuiteFixture::Machine::Bare;
    std::function<void(FakeFiles&)> setUp = nullptr;
    std::vector<RegKey> file;
    bool restored;
    std::wstring log;
};

// What a restore writes, refuses and warns of, one file at a time. A file refused whole writes nothing at all.
TEST(RestoreRegFile, WritesOnlyTheSuitesKeysAndSaysWhatItRefusedOrWarnsOf)
{
    const Row rows[] = {
        // Only the suite's keys: its ProgIDs, and the class and type library that the file's own keys name.
        {.name = L"named.reg",
         .file = {{L"Software\\Classes\\Wrenna.clsIFace\\CLSID", L"{C0}"},
                  {L"Software\\Classes\\Wow6432Node\\CLSID\\{C0}\\TypeLib", L"{A0}"},
                  {L"Software\\Classes\\TypeLib\\{A0}\\1.0", L"x"}},
         .restored = true,
         .log = L"\tRestored HKEY_LOCAL_MACHINE\\Software\\Classes\\Wrenna.clsIFace\\CLSID\r\n"
                L"\tRestored HKEY_LOCAL_MACHINE\\Software\\Classes\\Wow6432Node\\CLSID\\{C0}\\TypeLib\r\n"
                L"\tRestored HKEY_LOCAL_MACHINE\\Software\\Classes\\TypeLib\\{A0}\\1.0\r\n"},
        {.name = L"foreign.reg",
         .file = {{L"Software\\Classes\\Wrenna.clsIFace\\CLSID", L"{C0}"},
                  {L"Software\\Classes\\CLSID\\{C1}\\InprocServer32", L"x"}},
         .restored = false,
         .log = L"\tERROR: Cannot restore C:\\Work\\foreign.reg: line 6: The key "
                L"HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{C1}\\InprocServer32 is none of the suite's ProgIDs, "
                L"classes or type libraries, and a restore writes nothing else. Nothing was written.\r\n"},
        // A registry link already there would carry a key elsewhere: refused, unless it stays among the classes.
        {.name = L"out.reg",
         .setUp =
             [](FakeFiles&) {
                 FakeRegistry::Instance().CreateLink(L"Software\\Classes\\Daskel.clsDaskel", L"Software\\Run");
             },
         .file = {{L"Software\\Classes\\Daskel.clsDaskel\\Y"}},
         .restored = false,
         .log = L"\tERROR: Cannot restore C:\\Work\\out.reg: line 3: The key "
                L"HKEY_LOCAL_MACHINE\\Software\\Classes\\Daskel.clsDaskel\\Y lies below a registry link to "
                L"HKEY_LOCAL_MACHINE\\Software\\Run\\Y, outside HKEY_LOCAL_MACHINE\\Software\\Classes. Nothing was "
                L"written.\r\n"},
        {.name = L"sibling.reg",
         .setUp =
             [](FakeFiles&) {
                 FakeRegistry::Instance().CreateLink(L"Software\\Classes\\Daskel.clsDaskel", L"Software\\ClassesX");
             },
         .file = {{L"Software\\Classes\\Daskel.clsDaskel\\Y"}},
         .restored = false,
         .log = L"\tERROR: Cannot restore C:\\Work\\sibling.reg: line 3: The key "
                L"HKEY_LOCAL_MACHINE\\Software\\Classes\\Daskel.clsDaskel\\Y lies below a registry link to "
                L"HKEY_LOCAL_MACHINE\\Software\\ClassesX\\Y, outside HKEY_LOCAL_MACHINE\\Software\\Classes. Nothing "
                L"was written.\r\n"},
        {.name = L"in.reg",
         .setUp =
             [](FakeFiles&) {
                 FakeRegistry::Instance().CreateKey(L"Software\\Classes\\Z");
                 FakeRegistry::Instance().CreateLink(L"Software\\Classes\\Daskel.clsDaskel", L"Software\\Classes\\Z");
             },
         .file = {{L"Software\\Classes\\Daskel.clsDaskel\\Y"}},
         .restored = true,
         .log = L"\tRestored HKEY_LOCAL_MACHINE\\Software\\Classes\\Daskel.clsDaskel\\Y\r\n"},
        {.name = L"loop.reg",
         .setUp =
             [](FakeFiles&) {
                 FakeRegistry::Instance().CreateLink(L"Software\\Classes\\Daskel.clsDaskel", L"Software\\Classes\\Z");
                 FakeRegistry::Instance().CreateLink(L"Software\\Classes\\Z", L"Software\\Classes\\Daskel.clsDaskel");
             },
         .file = {{L"Software\\Classes\\Daskel.clsDaskel\\Y"}},
         .restored = false,
         .log = L"\tERROR: Cannot restore C:\\Work\\loop.reg: line 3: The key "
                L"HKEY_LOCAL_MACHINE\\Software\\Classes\\Daskel.clsDaskel\\Y cannot be followed to where it would be "
                L"written: Windows error 1921. Nothing was written.\r\n"},
        // Each tree is reported once, by its top key; one that could not be written fails the run, whatever follows.
        {.name = L"two.reg",
         .setUp =
             [](FakeFiles&) {
                 FakeRegistry::Instance().Fail(FakeRegistry::Call::Create, L"Software\\Classes\\Daskel.clsDaskel", 5);
             },
         .file = {{L"Software\\Classes\\Daskel.clsDaskel"}, {L"Software\\Classes\\Wrenna.clsIFace", L"b"}},
         .restored = false,
         .log = L"\tERROR: Restoring HKEY_LOCAL_MACHINE\\Software\\Classes\\Daskel.clsDaskel: "
                L"HKEY_LOCAL_MACHINE\\Software\\Classes\\Daskel.clsDaskel: Windows error 5.\r\n"
                L"\tRestored HKEY_LOCAL_MACHINE\\Software\\Classes\\Wrenna.clsIFace\r\n"},
        {.name = L"tree.reg",
         .file = {{L"Software\\Classes\\Wrenna.clsIFace"}, {L"Software\\Classes\\Wrenna.clsIFace\\CLSID", L"{C0}"}},
         .restored = true,
         .log = L"\tRestored HKEY_LOCAL_MACHINE\\Software\\Classes\\Wrenna.clsIFace\r\n"},
        // Whose file it is, and whose classes it would change: another product's, or one others may change, is refused.
        {.name = L"w.reg",
         .setUp =
             [](FakeFiles& f) {
                 f.access[L"C:\\Work\\w.reg"] = {{L"S-1-5-32-544", L"BUILTIN\\Administrators"},
                                                 {{L"S-1-5-32-545", L"BUILTIN\\Users"}}};
             },
         .file = {{L"Software\\Classes\\Wrenna.clsIFace"}},
         .restored = false,
         .log = L"\tERROR: Cannot restore C:\\Work\\w.reg: BUILTIN\\Users may change it, so it may hold what no backup "
                L"held. Copy it into C:\\ProgramData\\Tandrel\\Backups first: a copy that an administrator makes there "
                L"gets that folder's permissions. Nothing was written.\r\n"},
        {.name = L"steer.reg",
         .setUp =
             [](FakeFiles&) {
                 FakeRegistry::Instance().SetString(L"Software\\Classes\\CLSID\\{C1}\\ProgID", L"", L"Other.Thing");
             },
         .file = {{L"Software\\Classes\\Wrenna.clsIFace\\CLSID", L"{C1}"},
                  {L"Software\\Classes\\CLSID\\{C1}\\InprocServer32", L"evil.dll"}},
         .restored = false,
         .log = L"\tERROR: Cannot restore C:\\Work\\steer.reg: line 6: The key "
                L"HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{C1} on this computer is another product's: its ProgID "
                L"there is Other.Thing. Nothing was written.\r\n"},
        {.name = L"server.reg",
         .setUp =
             [](FakeFiles&) {
                 FakeRegistry::Instance().SetString(L"Software\\Classes\\CLSID\\{C1}\\LocalServer32", L"",
                                                    L"C:\\Tools\\Other.exe /automation");
             },
         .file = {{L"Software\\Classes\\Wrenna.clsIFace\\CLSID", L"{C1}"}, {L"Software\\Classes\\CLSID\\{C1}", L"x"}},
         .restored = false,
         .log = L"\tERROR: Cannot restore C:\\Work\\server.reg: line 6: The key "
                L"HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{C1} on this computer is another product's: it has no "
                L"ProgID there, and its server C:\\Tools\\Other.exe /automation is none of the suite's files. Nothing "
                L"was written.\r\n"},
        {.name = L"lib.reg",
         .machine = SuiteFixture::Machine::SuiteInstalled,
         .setUp = [](FakeFiles&) { FakeRegistry::Instance().CreateKey(L"Software\\Classes\\TypeLib\\{A9}"); },
         .file = {{L"Software\\Classes\\Wrenna.clsIFace\\CLSID", L"{C0}"},
                  {L"Software\\Classes\\CLSID\\{C0}\\TypeLib", L"{A9}"},
                  {L"Software\\Classes\\TypeLib\\{A9}\\1.0", L"x"}},
         .restored = false,
         .log = L"\tERROR: Cannot restore C:\\Work\\lib.reg: line 9: The key "
                L"HKEY_LOCAL_MACHINE\\Software\\Classes\\TypeLib\\{A9} on this computer is another product's: no class "
                L"of the suite on this computer names it. Nothing was written.\r\n"},
        // A server that is not the class's own file, or lies where others may change it, is written and named.
        {.name = L"odd.reg",
         .machine = SuiteFixture::Machine::SuiteInstalled,
         .setUp =
             [](FakeFiles& f) {
                 f.access[L"C:\\Users\\Public"] = {{L"S-1-5-18", L"NT AUTHORITY\\SYSTEM"},
                                                   {{L"S-1-5-32-545", L"BUILTIN\\Users"}}};
             },
         .file = {{L"Software\\Classes\\Daskel.clsDaskel\\CLSID", L"{C2}"},
                  {L"Software\\Classes\\CLSID\\{C2}\\InprocServer32", L"C:\\\\Users\\\\Public\\\\evil.dll"},
                  {L"Software\\Classes\\Vestrel.clsIFace\\CLSID", L"{C3}"},
                  {L"Software\\Classes\\CLSID\\{C3}\\LocalServer32",
                   L"\\\"C:\\\\Users\\\\Public\\\\Vestrel.exe\\\" /automation"},
                  {L"Software\\Classes\\CLSID\\{C3}\\TypeLib", L"{A3}"},
                  {L"Software\\Classes\\TypeLib\\{A3}\\1.0\\0\\win32", L"D:\\\\Gone\\\\Vestrel.exe\\\\2"},
                  {L"Software\\Classes\\TypeLib\\{A3}\\1.0\\0\\win64", L"C:\\\\WINDOWS\\\\Gone\\\\Vestrel.exe"}},
         .restored = true,
         .log =
             L"\tWARNING: The default value of HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{C2}\\InprocServer32 "
             L"names C:\\Users\\Public\\evil.dll, which is not the suite's Daskel.dll.\r\n"
             L"\tWARNING: The default value of HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{C3}\\LocalServer32 names "
             L"C:\\Users\\Public\\Vestrel.exe, in the folder C:\\Users\\Public, which BUILTIN\\Users may change.\r\n"
             L"\tWARNING: The default value of HKEY_LOCAL_MACHINE\\Software\\Classes\\TypeLib\\{A3}\\1.0\\0\\win32 "
             L"names D:\\Gone\\Vestrel.exe, whose folder D:\\Gone is not there: whoever creates it chooses what is "
             L"loaded.\r\n"
             L"\tWARNING: The default value of HKEY_LOCAL_MACHINE\\Software\\Classes\\TypeLib\\{A3}\\1.0\\0\\win64 "
             L"names C:\\WINDOWS\\Gone\\Vestrel.exe, whose folder C:\\WINDOWS\\Gone is not there: whoever creates it "
             L"chooses what is loaded.\r\n"
             L"\tRestored HKEY_LOCAL_MACHINE\\Software\\Classes\\Daskel.clsDaskel\\CLSID\r\n"
             L"\tRestored HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{C2}\\InprocServer32\r\n"
             L"\tRestored HKEY_LOCAL_MACHINE\\Software\\Classes\\Vestrel.clsIFace\\CLSID\r\n"
             L"\tRestored HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{C3}\\LocalServer32\r\n"
             L"\tRestored HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{C3}\\TypeLib\r\n"
             L"\tRestored HKEY_LOCAL_MACHINE\\Software\\Classes\\TypeLib\\{A3}\\1.0\\0\\win32\r\n"
             L"\tRestored HKEY_LOCAL_MACHINE\\Software\\Classes\\TypeLib\\{A3}\\1.0\\0\\win64\r\n"},
        // A file from outside is refused whole when it names any other key.
        {.name = L"bad.reg",
         .file = {{L"Software\\Run"}},
         .restored = false,
         .log = L"\tERROR: Cannot restore C:\\Work\\bad.reg: line 3: The key is not below "
                L"HKEY_LOCAL_MACHINE\\Software\\Classes. Nothing was written.\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SuiteFixture::Prepare(row.machine);
        auto& files = FakeFiles::Instance();
        std::wstring text = L"Windows Registry Editor Version 5.00\r\n\r\n";
        for (const RegKey& key : row.file)
            text += L"[HKEY_LOCAL_MACHINE\\" + key.key + L"]\r\n@=\"" + key.value + L"\"\r\n\r\n";
        files.contents[L"C:\\Work\\" + row.name] = EncodeUtf16File(text);
        if (row.setUp)
            row.setUp(files);
        const std::wstring before = FakeRegistry::Instance().Dump();
        std::wstring log;
        const std::wstring header =
            L"\r\n----------------------------------------\r\n\r\nRestoring from C:\\Work\\" + row.name + L"\r\n";
        const std::wstring closing = L"\r\n*** ERROR IN RESTORING - Scroll back to see the Errors.\r\n";
        EXPECT_EQ(
            RestoreRegFile(L"C:\\Work\\" + row.name, [&log](const std::wstring& entry) { log += entry + L"\r\n"; }),
            row.restored);
        EXPECT_EQ(log, header + row.log + (row.restored ? L"" : closing));
        // Refused before the first write, a file leaves the registry as it was.
        if (row.log.starts_with(L"\tERROR: Cannot restore"))
            EXPECT_EQ(FakeRegistry::Instance().Dump(), before);
        EXPECT_TRUE(files.open.empty());
    }
}

} // namespace
