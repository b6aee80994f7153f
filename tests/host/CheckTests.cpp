#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>

#include "unattended/Check.h"
#include "tests/host/SuiteFixture.h"

namespace {

using namespace SuiteFixture;

const std::wstring Classes = L"Software\\Classes\\";
const std::wstring Local = L"\\LocalServer32";
const std::wstring Inproc = L"\\InprocServer32";
FakeRegistry& registry = FakeRegistry::Instance();
FakeProcesses& disk = FakeProcesses::Instance();

std::wstring ClassKey(int index, const std::wstring& subKey = L"")
{
    return Classes + L"CLSID\\" + Guid(index, L'C') + subKey;
}

void Set(const std::wstring& key, const std::wstring& value, std::uint32_t type = RegType::Sz)
{
    registry.SetString(key, L"", value, type);
}

// The fixture registers every class as a library's: each is served here as its file is, with a type library file.
void PrepareHealthy()
{
    Prepare(Machine::SuiteInstalled);
    for (const auto& c : SuiteClasses()) {
        std::wstring file = *std::ranges::find_if(Files, [&c](auto& f) { return f.starts_with(c.library); });
        bool program = file.ends_with(L".exe");
        registry.DeleteTree(Classes + L"CLSID\\" + c.clsid + Inproc);
        Set(Classes + L"CLSID\\" + c.clsid + (program ? Local : Inproc), (program ? AppDir : SysDir) + file);
        Set(Classes + L"TypeLib\\" + c.typeLib + L"\\1.0\\0\\win32", SysDir + c.library + L".tlb");
        Set(Classes + L"TypeLib\\" + c.typeLib + L"\\1.0\\FLAGS", L"0");
        disk.AddFile(SysDir + c.library + L".tlb");
    }
}

// Each class is judged alone: what is broken in one class's entries is reported there, once, and nowhere else.
TEST(Check, EachBrokenEntryIsReportedOnceUnderTheClassesItBreaks)
{
    struct Case {
        const char* name;
        std::function<void()> prepare;
        std::set<std::wstring> failing;
        std::wstring problem = L"";  // the PROBLEM entry of the one failing class, where written out
    };
    const Case cases[] = {
        {"healthy", [] {}, {}},
        {"a missing ProgID key", [] { registry.DeleteTree(Classes + L"Sulvary.clsPhone"); }, {L"Sulvary.clsPhone"}},
        {"a CLSID value that is not an identifier", [] { Set(Classes + L"Daskel.clsEntity\\CLSID", L"C0000000"); },
         {L"Daskel.clsEntity"},
         L"\tPROBLEM: Software\\CLASSES\\Daskel.clsEntity\\CLSID holds \"C0000000\", which is not a class identifier."},
        {"a missing class key", [] { registry.DeleteTree(ClassKey(9)); }, {L"Brenlow.clsIFace"}},
        {"a ProgID subkey naming another class", [] { Set(ClassKey(14, L"\\ProgID"), L"Vestrel.clsIFace"); },
         {L"Vestrel.clsLinkIFace"}},
        {"the wrong server kind",
         [] { registry.DeleteTree(ClassKey(7, Local)); Set(ClassKey(7, Inproc), AppDir + L"Corvane.exe"); },
         {L"Corvane.clsMail"}, L"\tPROBLEM: Software\\CLASSES\\CLSID\\{C0000000-0000-4000-8000-000000000007}"
                               L"\\LocalServer32 is missing: the class is served by the program Corvane.exe."},
        {"a server in another folder",
         [] { Set(ClassKey(0, Inproc), L"C:\\Old\\Glimmet.ocx"); disk.AddFile(L"C:\\Old\\Glimmet.ocx"); },
         {L"Glimmet.ctlGlimmet"},
         L"\tPROBLEM: Software\\CLASSES\\CLSID\\{C0000000-0000-4000-8000-000000000000}\\InprocServer32 names "
         L"C:\\Old\\Glimmet.ocx, not C:\\WINDOWS\\system32\\Glimmet.ocx."},
        {"a missing server file", [] { disk.files.erase(L"c:\\program files\\vestrel\\ladrisk.exe"); },
         {L"Ladrisk.clsIFace"}},
        {"the same entries written otherwise",
         [] {
             Set(ClassKey(7, Local), L"\"" + AppDir + L"Corvane.exe\" /automation");
             Set(ClassKey(11, Local), AppDir + L"Omberly.EXE /automation");
             FakeSystem::Instance().environment[L"SystemRoot"] = L"c:\\windows";
             Set(ClassKey(0, Inproc), L"%SystemRoot%\\System32\\Glimmet.ocx", RegType::ExpandSz);
             FakeFiles::Instance().shortNames[L"C:\\PROGRA~1"] = L"C:\\Program Files";
             Set(ClassKey(8, Local), L"C:\\PROGRA~1\\VESTREL\\\\Sulvary.exe");
             Set(ClassKey(6, L"\\ProgID"), L"WRENNA.CLSIFACE");
             Set(Classes + L"Wrenna.clsIFace\\CLSID", L"{c0000000-0000-4000-8000-000000000006}");
         },
         {}},
        {"a missing type library key", [] { registry.DeleteTree(Classes + L"TypeLib\\" + Guid(8, L'A')); },
         {L"Vestrel.clsIFace", L"Vestrel.clsEMailIFace", L"Vestrel.clsLinkIFace"}},
        {"a type library without versions",
         [] { registry.DeleteTree(Classes + L"TypeLib\\" + Guid(2, L'A') + L"\\1.0"); }, {L"Wrenna.clsIFace"}},
        {"a type library version without a locale",
         [] { registry.DeleteTree(Classes + L"TypeLib\\" + Guid(5, L'A') + L"\\1.0\\0"); }, {L"Brenlow.clsIFace"},
         L"\tPROBLEM: Software\\CLASSES\\TypeLib\\{A0000000-0000-4000-8000-000000000005}\\1.0 has no locale subkey."},
        {"a missing win32 file", [] { disk.files.erase(L"c:\\windows\\system32\\brenlow.tlb"); },
         {L"Brenlow.clsIFace"}},
        {"a key that cannot be opened", [] { registry.Fail(FakeRegistry::Call::Open, ClassKey(11), 5); },
         {L"Omberly.clsOmberly"}},
        // A caller loads the type library of its own bitness only.
        {"a type library registered for 64-bit callers only",
         [] {
             const std::wstring locale = Classes + L"TypeLib\\" + Guid(1, L'A') + L"\\1.0\\0";
             registry.DeleteTree(locale + L"\\win32");
             Set(locale + L"\\win64", SysDir + L"Daskel.tlb");
         },
         {L"Daskel.clsDaskel", L"Daskel.clsEntities", L"Daskel.clsEntity", L"Daskel.clsXFields", L"Daskel.clsXField"},
         L"\tPROBLEM: Software\\CLASSES\\TypeLib\\{A0000000-0000-4000-8000-000000000001}\\1.0\\0\\win32 is missing: "
         L"the type library is registered only under win64."},
        {"a 64-bit build, which looks for win64", [] { FakeSystem::Instance().programBits = 64; },
         {ClassTable.begin(), ClassTable.end()}},
    };
    const std::map<std::size_t, std::wstring> closing{{0, L"\r\nNo problems found."},
                                                      {1, L"\r\n*** 1 PROBLEM FOUND - Scroll back to see them."},
                                                      {3, L"\r\n*** 3 PROBLEMS FOUND - Scroll back to see them."},
                                                      {5, L"\r\n*** 5 PROBLEMS FOUND - Scroll back to see them."},
                                                      {15, L"\r\n*** 15 PROBLEMS FOUND - Scroll back to see them."}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PrepareHealthy();
        c.prepare();
        std::vector<std::wstring> log;
        CheckReport found = CheckSuite(AppDir, SysDir, [&log](const std::wstring& entry) { log.push_back(entry); });

        // A failing class shows one PROBLEM entry in place of its OK; only some are written out.
        std::vector<std::wstring> expected{L"\r\n----------------------------------------"};
        for (const wchar_t* progId : ClassTable) {
            std::wstring problem = c.problem.empty() ? L"\tPROBLEM" : c.problem;
            expected.insert(expected.end(), {L"\r\nChecking Class: " + std::wstring(progId),
                                             c.failing.count(progId) ? problem : L"\tOK"});
        }
        expected.push_back(closing.at(c.failing.size()));
        for (auto& entry : log)
            entry = c.problem.empty() && entry.starts_with(L"\tPROBLEM: ") ? L"\tPROBLEM" : entry;
        EXPECT_EQ(log, expected);
        EXPECT_EQ(found.problems, static_cast<int>(c.failing.size()));
        std::vector<std::wstring> classes;
        std::copy_if(ClassTable.begin(), ClassTable.end(), std::back_inserter(classes),
                     [&c](const wchar_t* progId) { return c.failing.count(progId) > 0; });
        EXPECT_EQ(found.classes, classes);
        EXPECT_EQ(registry.OpenHandleCount(), 0);
    }
}

}  // namespace
