#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <map>
#include <set>

#include "check/Check.h"
#include "commands/Verify.h"
#include "tests/fakes/FakeCreation.h"
#include "tests/host/FakeView.h"
#include "tests/host/SuiteFixture.h"

namespace {

using namespace SuiteFixture;

const std::wstring Classes = L"Software\\Classes\\";
const std::wstring Local = L"\\LocalServer32";
const std::wstring Inproc = L"\\InprocServer32";
FakeRegistry& registry = FakeRegistry::Instance();
FakeDisk& disk = FakeDisk::Instance();

std::wstring ClassKey(int index, const std::wstring& subKey = L"")
{
    return Classes + L"CLSID\\" + Guid(index, L'C') + subKey;
}

void Set(const std::wstring& key, const std::wstring& value, std::uint32_t type = RegType::Sz)
{
    registry.SetString(key, L"", value, type);
}

const std::wstring Users = L"HKEY_USERS\\S-1-5-21-7\\Software\\Classes\\";
// A machine key, as a problem names it.
const std::wstring MachineProblem = L"\tPROBLEM: HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\";

// A library a row puts without exports of its own exports DllGetClassObject, as the suite's do.
void PutImage(const std::wstring& path, PeImagePlan plan)
{
    plan.pe32Plus = plan.machine != 0x14C;
    if (plan.exports.empty() && KindOf(path) == ComponentKind::Library)
        plan.exports = {"DllGetClassObject"};
    disk.Put(path, BuildPeImage(plan));
}

void PutImage(const std::wstring& path, std::uint16_t machine, std::vector<std::string> imports = {})
{
    PutImage(path, {.machine = machine, .imports = std::move(imports)});
}

// A manifest that needs version 1.0.0.0 of an x86 assembly of each name.
std::string ManifestNeeding(std::initializer_list<const char*> names)
{
    std::string manifest = "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">";
    for (const char* name : names)
        manifest += std::string("<dependency><dependentAssembly><assemblyIdentity type=\"win32\" name=\"") + name +
                    "\" version=\"1.0.0.0\" processorArchitecture=\"x86\"/></dependentAssembly></dependency>";
    return manifest + "</assembly>";
}

const std::string AidManifest = ManifestNeeding({"Tandrel.Aid"});

const Account Administrators{L"S-1-5-32-544", L"BUILTIN\\Administrators"};
const Account Trusted{L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", L"NT SERVICE\\TrustedInstaller"};
const Account UserGroup{L"S-1-5-32-545", L"BUILTIN\\Users"};
const Account Owner{L"S-1-5-21-7-7-7-1001", L"CONTOSO7\\someone"};
const std::vector<std::wstring> LibraryClasses(ClassTable.begin(), ClassTable.begin() + 7);
const std::vector<std::wstring> ProgramClasses(ClassTable.begin() + 7, ClassTable.end());

// The suite as a 64-bit build of its callers finds it sound: every file an x64 image, each type library under win64.
void Healthy64()
{
    FakeSystem::Instance().programBits = 64;
    for (const auto& file : Files)
        PutImage(ComponentPath(AppDir, SysDir, file), 0x8664);
    for (const auto& c : SuiteClasses())
        Set(Classes + L"TypeLib\\" + c.typeLib + L"\\1.0\\0\\win64", SysDir + c.library + L".tlb");
}

// Each class is judged alone: what is broken in one class's entries is reported there, once, and nowhere else.
TEST(Check, EachBrokenEntryIsReportedOnceUnderTheClassesItBreaks)
{
    struct Case {
        const char* name;
        std::function<void()> prepare;
        std::set<std::wstring> failing;
        std::wstring problem = L"";  // the PROBLEM entry of the one failing class, where written out
        std::set<std::wstring> noted = {};
        std::wstring note = L"";  // the NOTE entry of each noted class, before its verdict
        std::map<std::wstring, std::wstring> written = {};  // PROBLEM entries written out for some of many failing
        std::vector<ClassFindings> handed = {};  // what the check hands on of some classes, servers included
    };
    const Case cases[] = {
        {"healthy", [] {}, {}},
        {"a missing ProgID key", [] { registry.DeleteTree(Classes + L"Sulvary.clsPhone"); }, {L"Sulvary.clsPhone"}},
        // On 32-bit Windows there is one view of the machine's keys.
        {"a CLSID value that is not an identifier",
         [] {
             Set(Classes + L"Daskel.clsEntity\\CLSID", L"C0000000");
             FakeSystem::Instance().nativeMachine = 0x14C;
         },
         {L"Daskel.clsEntity"},
         MachineProblem + L"Daskel.clsEntity\\CLSID holds \"C0000000\", which is not a class identifier."},
        {"a missing class key", [] { registry.DeleteTree(ClassKey(9)); }, {L"Brenlow.clsIFace"}},
        {"a ProgID subkey naming another class", [] { Set(ClassKey(14, L"\\ProgID"), L"Vestrel.clsIFace"); },
         {L"Vestrel.clsLinkIFace"}},
        {"the wrong server kind",
         [] { registry.DeleteTree(ClassKey(7, Local)); Set(ClassKey(7, Inproc), AppDir + L"Corvane.exe"); },
         {L"Corvane.clsMail"},
         MachineProblem + L"CLSID\\{C0000000-0000-4000-8000-000000000007}\\LocalServer32 (32-bit view) is missing: "
                          L"the class is served by the program Corvane.exe."},
        {"a server in another folder",
         [] { Set(ClassKey(0, Inproc), L"C:\\Old\\Glimmet.ocx"); PutImage(L"C:\\Old\\Glimmet.ocx", 0x14C); },
         {L"Glimmet.ctlGlimmet"},
         MachineProblem + L"CLSID\\{C0000000-0000-4000-8000-000000000000}\\InprocServer32 (32-bit view) "
                          L"names C:\\Old\\Glimmet.ocx, not C:\\WINDOWS\\system32\\Glimmet.ocx."},
        {"a missing server file", [] { disk.files.erase(AppDir + L"Ladrisk.exe"); },
         {L"Ladrisk.clsIFace"}, L"", {}, L"", {}, {{L"Ladrisk.clsIFace", true, {}}}},
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
             // Read with the wide calls: the "A" calls would see "C:\\?????????\\...".
             FakeFiles::Instance().shortNames[L"C:\\\u041F\u0440\u043E\u0433\u0440\u0430\u043C\u043C\u044B"] =
                 L"C:\\Program Files";
             registry.SetWideString(ClassKey(9, Local),
                                    L"", L"C:\\\u041F\u0440\u043E\u0433\u0440\u0430\u043C\u043C\u044B\\Vestrel\\Brenlow.exe");
             // A type library in a resource of its file: the file before the number must exist.
             Set(Classes + L"TypeLib\\" + Guid(0, L'A') + L"\\1.0\\0\\win32", SysDir + L"Glimmet.ocx\\2");
             // The system folder by the name 32-bit callers see: what is there is the system's, and not followed.
             FakeFiles::Instance().shortNames[L"C:\\WINDOWS\\SysWOW64"] = L"C:\\WINDOWS\\system32";
             Set(ClassKey(6, Inproc), L"C:\\WINDOWS\\SysWOW64\\Wrenna.dll");
             PutImage(SysDir + L"Wrenna.dll", 0x14C, {"WrennaHelper.dll"});
             disk.Put(SysDir + L"WrennaHelper.dll");
             // A class that names no version leaves the choice to its callers.
             registry.DeleteTree(ClassKey(12, L"\\VERSION"));
         },
         {}, L"", {L"Omberly.clsOmberly"},
         L"\tNOTE: HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{C0000000-0000-4000-8000-000000000011}\\LocalServer32 "
         L"(32-bit view) names C:\\Program Files\\Vestrel\\Omberly.EXE without quotes; a program put at "
         L"C:\\Program.exe would be started in its place"},
        // The system cuts an unquoted command line at each space inside its path and starts the first cut it finds.
        {"an unquoted program path with a program at a cut",
         [] {
             Set(ClassKey(7, Local), AppDir + L"Corvane.exe");
             disk.Put(L"C:\\Program.exe");
         },
         {L"Corvane.clsMail"},
         MachineProblem + L"CLSID\\{C0000000-0000-4000-8000-000000000007}\\LocalServer32 (32-bit view) names "
                          L"C:\\Program Files\\Vestrel\\Corvane.exe without quotes, so the system starts "
                          L"C:\\Program.exe in its place."},
        {"quoted program paths beside a program at a cut", [] { disk.Put(L"C:\\Program.exe"); }, {}},
        // Dependencies found as the loader finds them: API sets of both kinds, a known DLL, the Windows folder, and a
        // loop of the suite's own libraries, which is followed once. Users' keys that are not their own: passed over.
        {"dependencies and users' keys that stay OK",
         [] {
             PutImage(AppDir + L"Sulvary.exe", 0x14C,
                      {"api-ms-win-core-com-l1-1-0.dll", "ext-ms-win-ntuser-window-l1-1-0.dll", "kernel32.dll",
                       "Aid.dll"});
             disk.Put(L"C:\\WINDOWS\\Aid.dll");
             PutImage(AppDir + L"Omberly.exe", 0x14C, {"OmberlyA.dll"});
             PutImage(AppDir + L"OmberlyA.dll", 0x14C, {"OmberlyB.dll"});
             PutImage(AppDir + L"OmberlyB.dll", 0x14C, {"OmberlyA.dll", "OLEAUT32.dll"});
             Set(L"HKEY_USERS\\.DEFAULT\\Software\\Classes\\Omberly.clsOmberly\\CLSID", Guid(11, L'C'));
             Set(L"HKEY_USERS\\S-1-5-21-7_Classes\\Software\\Classes\\Omberly.clsOmberly\\CLSID", Guid(11, L'C'));
             Set(Users + L"Other.Class", L"x");
             // A user's keys that hold nothing COM reads hide nothing.
             Set(Users + L"Wrenna.clsIFace", L"x");
             Set(Users + L"CLSID\\" + Guid(6, L'C') + L"\\Implemented Categories", L"x");
             Set(Users + L"TypeLib\\" + Guid(2, L'A') + L"\\1.0\\0", L"x");
         },
         {}},
        {"a dependency only the 16-bit system folder has",
         [] {
             PutImage(SysDir + L"Wrenna.dll", 0x14C, {"Old16.dll"});
             disk.Put(L"C:\\WINDOWS\\System\\Old16.dll");
         },
         {}},
        {"API sets of any name, in any case",
         [] {
             FakeSystem::Instance().apiSets[L"api-vendor-thing-l1-1-0.dll"] = SysDir + L"VendorThing.dll";
             FakeSystem::Instance().apiSets[L"ext-vendor-thing-l1-1-0.dll"] = SysDir + L"VendorThing.dll";
             PutImage(SysDir + L"Wrenna.dll", 0x14C, {"API-Vendor-Thing-L1-1-0.dll", "Ext-Vendor-Thing-l1-1-0.dll"});
         },
         {}},
        // An API set's functions are looked up in the DLL the system resolves it to, where a forwarder counts.
        {"functions that the DLL an API set resolves to exports",
         [] {
             FakeSystem::Instance().apiSets[L"api-ms-win-core-synch-l1-2-0.dll"] = SysDir + L"kernelbase.dll";
             PutImage(SysDir + L"kernelbase.dll", {.exports = {"Sleep", "WakeByAddressAll>ntdll.RtlWakeAddressAll"}});
             disk.Put(SysDir + L"ntdll.dll");
             PutImage(SysDir + L"Wrenna.dll", 0x14C, {"api-ms-win-core-synch-l1-2-0.dll:Sleep,WakeByAddressAll"});
         },
         {}},
        {"a function that the DLL an API set resolves to lacks",
         [] {
             FakeSystem::Instance().apiSets[L"api-ms-win-core-synch-l1-2-0.dll"] = SysDir + L"kernelbase.dll";
             PutImage(SysDir + L"kernelbase.dll", {.exports = {"Sleep"}});
             PutImage(SysDir + L"Wrenna.dll", 0x14C, {"api-ms-win-core-synch-l1-2-0.dll:Sleep,WaitOnAddress"});
         },
         {L"Wrenna.clsIFace"},
         L"\tPROBLEM: C:\\WINDOWS\\system32\\Wrenna.dll cannot be loaded by a 32-bit caller: it imports WaitOnAddress "
         L"from api-ms-win-core-synch-l1-2-0.dll (resolved to C:\\WINDOWS\\system32\\kernelbase.dll), which does not "
         L"export it."},
        {"an API set this system does not resolve",
         [] { PutImage(SysDir + L"Wrenna.dll", 0x14C, {"KERNEL32.dll", "api-ms-win-core-path-l1-1-0.dll"}); },
         {L"Wrenna.clsIFace"},
         L"\tPROBLEM: C:\\WINDOWS\\system32\\Wrenna.dll cannot be loaded by a 32-bit caller: it needs the API set "
         L"api-ms-win-core-path-l1-1-0.dll, which this system does not resolve to any DLL."},
        // A program server runs as its own machine: on 64-bit Windows an x64 one serves 32-bit callers, and its
        // DLLs come from the 64-bit system folder, which a 32-bit process reads as Sysnative.
        {"an x64 program for a 32-bit suite, and a DLL it lacks",
         [] {
             // The system resolves API sets for callers of this build's bitness only: the x64 file's is passed over.
             PutImage(AppDir + L"Ladrisk.exe", 0x8664,
                      {"KERNEL32.dll", "Native.dll", "Gone.dll", "api-ms-win-core-path-l1-1-0.dll"});
             disk.Put(L"C:\\WINDOWS\\Sysnative\\Native.dll");
         },
         {L"Ladrisk.clsIFace"},
         L"\tPROBLEM: C:\\Program Files\\Vestrel\\Ladrisk.exe cannot be loaded by a 64-bit caller: it needs Gone.dll, "
         L"which is not in its own folder, the system folder, the 16-bit system folder, the Windows folder or a "
         L"folder of PATH."},
        // A 64-bit build reaches a 32-bit program's DLLs in SysWOW64; on ARM64 it has no name for the folder of
        // an ARM64 program's, whose DLLs are then passed over.
        {"a 32-bit program for a 64-bit suite",
         [] {
             Healthy64();
             PutImage(AppDir + L"Ladrisk.exe", 0x14C, {"KERNEL32.dll", "Old.dll"});
             disk.Put(L"C:\\WINDOWS\\SysWOW64\\Old.dll");
         },
         {}},
        {"an ARM64 program for a 64-bit suite",
         [] {
             Healthy64();
             FakeSystem::Instance().nativeMachine = 0xAA64;
             PutImage(AppDir + L"Ladrisk.exe", 0xAA64, {"KERNEL32.dll", "Native.dll"});
         },
         {}},
        {"an x64 program on 32-bit Windows",
         [] {
             FakeSystem::Instance().nativeMachine = 0x14C;
             FakeSystem::Instance().wow64Directory.clear();
             PutImage(AppDir + L"Ladrisk.exe", 0x8664);
         },
         {L"Ladrisk.clsIFace"},
         L"\tPROBLEM: C:\\Program Files\\Vestrel\\Ladrisk.exe cannot be run on this computer: it is a 64-bit image "
         L"(x64)."},
        // Redirection by the file's manifest comes before the known DLLs: the system folder's copy is not loaded.
        {"an assembly that carries a dependency, a known DLL too",
         [] {
             registry.SetString(L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\KnownDLLs", L"aid",
                                L"WrennaAid.dll");
             PutImage(SysDir + L"WrennaAid.dll", {.exports = {"Other"}});
             PutImage(SysDir + L"Wrenna.dll", {.imports = {"WrennaAid.dll:WrennaAidAnswer"}, .manifest = AidManifest});
             const std::wstring aid = L"C:\\WINDOWS\\WinSxS\\x86_tandrel.aid_1.0.0.0\\WrennaAid.dll";
             PutImage(aid, {.exports = {"WrennaAidAnswer"}});
             FakeSystem::Instance().activationContexts[SysDir + L"Wrenna.dll"].dlls[L"WrennaAid.dll"] = aid;
         },
         {}},
        {"an assembly the system cannot find",
         [] {
             PutImage(SysDir + L"Wrenna.dll", {.imports = {"WrennaAid.dll"}, .manifest = AidManifest});
             FakeSystem::Instance().activationContexts[SysDir + L"Wrenna.dll"].error = 14001;
         },
         {L"Wrenna.clsIFace"},
         L"\tPROBLEM: C:\\WINDOWS\\system32\\Wrenna.dll cannot be loaded by a 32-bit caller: its side-by-side "
         L"configuration is incorrect: it needs the assembly Tandrel.Aid 1.0.0.0 (x86), which the system cannot find."},
        {"assemblies the system cannot find all of",
         [] {
             PutImage(SysDir + L"Wrenna.dll", {.manifest = ManifestNeeding({"Tandrel.Aid", "Tandrel.Extra"})});
             FakeSystem::Instance().activationContexts[SysDir + L"Wrenna.dll"].error = 14001;
         },
         {L"Wrenna.clsIFace"},
         L"\tPROBLEM: C:\\WINDOWS\\system32\\Wrenna.dll cannot be loaded by a 32-bit caller: its side-by-side "
         L"configuration is incorrect: it needs the assemblies Tandrel.Aid 1.0.0.0 (x86) and Tandrel.Extra 1.0.0.0 "
         L"(x86), and the system cannot find them all."},
        // The loader reads a library's manifest from resource 2 only: one under a program's id is not its own.
        {"a library with a manifest under a program's id",
         [] {
             PutImage(SysDir + L"Wrenna.dll", {.manifest = AidManifest, .manifestId = 1});
             auto& context = FakeSystem::Instance().activationContexts[SysDir + L"Wrenna.dll"];
             context = {.error = 14001, .resourceId = 1, .dlls = {}};
         },
         {}},
        {"a dependency only PATH has",
         [] {
             FakeSystem::Instance().environment[L"PATH"] = L"relative;C:\\Empty;\"C:\\Tools\\\"";
             PutImage(SysDir + L"Wrenna.dll", 0x14C, {"WrennaAid.dll"});
             PutImage(L"C:\\Tools\\WrennaAid.dll", 0x14C);
             disk.Put(L"C:\\Work\\WrennaAid.dll");
         },
         {}, L"", {L"Wrenna.clsIFace"}, L"\tNOTE: WrennaAid.dll is found only through PATH, in C:\\Tools"},
        // Whoever may write in a server's folder chooses what is loaded from it.
        {"a folder of programs that users may change",
         [] { FakeFiles::Instance().access[L"C:\\Program Files\\Vestrel"] = FileAccess{Administrators, {Administrators, UserGroup}}; },
         {ProgramClasses.begin(), ProgramClasses.end()}, L"", {}, L"",
         {{L"Corvane.clsMail", L"\tPROBLEM: C:\\Program Files\\Vestrel\\Corvane.exe is in the folder "
                               L"C:\\Program Files\\Vestrel, which BUILTIN\\Users may change: anyone who can write "
                               L"there can replace what every caller loads."}},
         {{L"Corvane.clsMail", true, {AppDir + L"Corvane.exe"}},
          {L"Wrenna.clsIFace", false, {SysDir + L"Wrenna.dll"}}}},
        {"a system folder owned by a user",
         [] { FakeFiles::Instance().access[L"C:\\WINDOWS\\system32"] = FileAccess{Owner, {Administrators}}; },
         {LibraryClasses.begin(), LibraryClasses.end()}, L"", {}, L"",
         {{L"Wrenna.clsIFace", L"\tPROBLEM: C:\\WINDOWS\\system32\\Wrenna.dll is in the folder C:\\WINDOWS\\system32, "
                               L"which CONTOSO7\\someone may change: anyone who can write there can replace what "
                               L"every caller loads."}}},
        {"a folder only administrators may change, beside a file that is not there",
         [] {
             FakeFiles::Instance().access[L"C:\\WINDOWS\\system32"] = FileAccess{Administrators, {Administrators, Trusted}};
             FakeFiles::Instance().access[L"C:\\Gone"] = FileAccess{Owner, {UserGroup}};
             Set(ClassKey(6, Inproc), L"C:\\Gone\\Wrenna.dll");
         },
         {L"Wrenna.clsIFace"},
         MachineProblem + L"CLSID\\{C0000000-0000-4000-8000-000000000006}\\InprocServer32 (32-bit view) names "
                          L"C:\\Gone\\Wrenna.dll, which is missing."},
        {"a delay-loaded DLL that is missing",
         [] { PutImage(SysDir + L"Daskel.dll", {.imports = {"KERNEL32.dll"}, .delayImports = {"Rare.dll"}}); },
         {}, L"",
         {L"Daskel.clsDaskel", L"Daskel.clsEntities", L"Daskel.clsEntity", L"Daskel.clsXFields", L"Daskel.clsXField"},
         L"\tNOTE: C:\\WINDOWS\\system32\\Daskel.dll delay-loads Rare.dll, which cannot be found; calls into it "
         L"will fail"},
        {"a function passed on to a DLL that is there",
         [] {
             PutImage(AppDir + L"Corvane.exe", 0x14C, {"CorvaneAid.dll:Passed"});
             PutImage(AppDir + L"CorvaneAid.dll", {.exports = {"Passed>OLEAUT32.Real"}});
         },
         {}},
        {"functions the DLL found does not export",
         [] {
             PutImage(AppDir + L"Corvane.exe", 0x14C, {"CorvaneAid.dll:Now,Later,#9"});
             PutImage(AppDir + L"CorvaneAid.dll", {.exports = {"Now", "@"}});
         },
         {L"Corvane.clsMail"},
         L"\tPROBLEM: C:\\Program Files\\Vestrel\\Corvane.exe cannot be loaded by a 32-bit caller: it imports Later "
         L"and #9 from C:\\Program Files\\Vestrel\\CorvaneAid.dll, which does not export them."},
        {"a function passed on to a DLL that is missing",
         [] {
             PutImage(AppDir + L"Sulvary.exe", 0x14C, {"SulvaryAid.dll:Passed,#2"});
             PutImage(AppDir + L"SulvaryAid.dll", {.exports = {"Passed>Gone.Real", "@"}});
         },
         {L"Sulvary.clsPhone"},
         L"\tPROBLEM: C:\\Program Files\\Vestrel\\Sulvary.exe cannot be loaded by a 32-bit caller: it imports Passed "
         L"from C:\\Program Files\\Vestrel\\SulvaryAid.dll, which passes it on to Gone.dll, which cannot be found."},
        {"functions from a DLL whose export table is damaged",
         [] {
             PutImage(AppDir + L"Corvane.exe", 0x14C, {"CorvaneAid.dll:Now"});
             PutImage(AppDir + L"CorvaneAid.dll", {.exports = {"Now"}, .unmappedTail = 2});
         },
         {L"Corvane.clsMail"},
         L"\tPROBLEM: C:\\Program Files\\Vestrel\\Corvane.exe cannot be loaded by a 32-bit caller: it imports "
         L"functions from C:\\Program Files\\Vestrel\\CorvaneAid.dll, whose export table cannot be read: its export "
         L"name table points outside the file."},
        {"a library that does not export DllGetClassObject",
         [] { PutImage(SysDir + L"Wrenna.dll", {.exports = {"DllRegisterServer", "DllGetClassObjectEx"}}); },
         {L"Wrenna.clsIFace"},
         L"\tPROBLEM: C:\\WINDOWS\\system32\\Wrenna.dll does not export DllGetClassObject: no caller can create its "
         L"classes."},
        {"a library that passes DllGetClassObject on to a DLL that is there",
         [] {
             PutImage(SysDir + L"Wrenna.dll", {.exports = {"DllGetClassObject>WrennaCore.DllGetClassObject"}});
             PutImage(SysDir + L"WrennaCore.dll", {.exports = {"DllGetClassObject"}});
         },
         {}},
        // What it exports is not judged of a library that cannot be loaded at all.
        {"a 64-bit file for 32-bit callers",
         [] { PutImage(SysDir + L"Wrenna.dll", {.machine = 0x8664, .exports = {"Other"}}); },
         {L"Wrenna.clsIFace"},
         L"\tPROBLEM: C:\\WINDOWS\\system32\\Wrenna.dll cannot be loaded by a 32-bit caller: it is a 64-bit image (x64)."},
        {"an ARM64 program", [] { PutImage(AppDir + L"Ladrisk.exe", 0xAA64); }, {L"Ladrisk.clsIFace"}},
        {"a file that is no program image",
         [] { disk.Put(AppDir + L"Ladrisk.exe", "#!/bin/sh"); }, {L"Ladrisk.clsIFace"},
         L"\tPROBLEM: C:\\Program Files\\Vestrel\\Ladrisk.exe cannot be loaded by a 32-bit caller: it is not a program "
         L"image: it has no MZ signature."},
        {"a missing dependency", [] { PutImage(SysDir + L"Wrenna.dll", 0x14C, {"KERNEL32.dll", "WrennaAid.dll"}); },
         {L"Wrenna.clsIFace"},
         L"\tPROBLEM: C:\\WINDOWS\\system32\\Wrenna.dll cannot be loaded by a 32-bit caller: it needs WrennaAid.dll, "
         L"which is not in its own folder, the system folder, the 16-bit system folder, the Windows folder or a "
         L"folder of PATH."},
        {"a dependency's missing dependency",
         [] {
             PutImage(AppDir + L"Corvane.exe", 0x14C, {"CorvaneAid.dll"});
             PutImage(AppDir + L"CorvaneAid.dll", 0x14C, {"Gone.dll"});
         },
         {L"Corvane.clsMail"},
         L"\tPROBLEM: C:\\Program Files\\Vestrel\\Corvane.exe cannot be loaded by a 32-bit caller: it needs "
         L"C:\\Program Files\\Vestrel\\CorvaneAid.dll, which cannot be loaded: it needs Gone.dll, which is not in "
         L"its own folder, the system folder, the 16-bit system folder, the Windows folder or a folder of PATH."},
        // In a folder that is not there: the system's answer is "path not found", and the words are the same.
        {"a stale type library version",
         [] { Set(Classes + L"TypeLib\\" + Guid(8, L'A') + L"\\9.9\\0\\win32", L"C:\\Gone\\Vestrel.tlb"); },
         {L"Vestrel.clsIFace", L"Vestrel.clsEMailIFace", L"Vestrel.clsLinkIFace"},
         MachineProblem + L"TypeLib\\{A0000000-0000-4000-8000-000000000008}\\9.9\\0\\win32 (32-bit view) names "
         L"C:\\Gone\\Vestrel.tlb, which is missing."},
        {"a second locale without its file",
         [] { Set(Classes + L"TypeLib\\" + Guid(5, L'A') + L"\\1.0\\409\\win32", SysDir + L"Gone.tlb"); },
         {L"Brenlow.clsIFace"}},
        {"a class naming a version its type library lacks", [] { Set(ClassKey(10, L"\\VERSION"), L"2.0"); },
         {L"Ladrisk.clsIFace"},
         MachineProblem + L"CLSID\\{C0000000-0000-4000-8000-000000000010}\\VERSION (32-bit view) names 2.0, "
         L"which HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\TypeLib\\{A0000000-0000-4000-8000-000000000006} (32-bit view) "
         L"does not have."},
        {"a user's own class key", [] { Set(Users + L"CLSID\\" + Guid(6, L'C') + Inproc, L"C:\\Users\\x\\Wrenna.dll"); },
         {L"Wrenna.clsIFace"},
         L"\tPROBLEM: HKEY_USERS\\S-1-5-21-7\\Software\\Classes\\CLSID\\{C0000000-0000-4000-8000-000000000006} "
         L"overrides the machine's registration for that user."},
        {"a user's own ProgID", [] { Set(Users + L"Sulvary.clsPhone\\CLSID", Guid(0, L'C')); }, {L"Sulvary.clsPhone"}},
        {"a user's own type library", [] { Set(Users + L"TypeLib\\" + Guid(4, L'A') + L"\\2.0\\0\\win32", L"x"); },
         {L"Sulvary.clsPhone"}},
        {"a missing type library key", [] { registry.DeleteTree(Classes + L"TypeLib\\" + Guid(8, L'A')); },
         {L"Vestrel.clsIFace", L"Vestrel.clsEMailIFace", L"Vestrel.clsLinkIFace"}},
        {"a type library without versions",
         [] { registry.DeleteTree(Classes + L"TypeLib\\" + Guid(2, L'A') + L"\\1.0"); }, {L"Wrenna.clsIFace"}},
        {"a type library version without a locale",
         [] { registry.DeleteTree(Classes + L"TypeLib\\" + Guid(5, L'A') + L"\\1.0\\0"); }, {L"Brenlow.clsIFace"},
         MachineProblem + L"TypeLib\\{A0000000-0000-4000-8000-000000000005}\\1.0 (32-bit view) has no locale subkey."},
        {"a missing win32 file", [] { disk.files.erase(SysDir + L"Brenlow.tlb"); },
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
         MachineProblem + L"TypeLib\\{A0000000-0000-4000-8000-000000000001}\\1.0\\0\\win32 (32-bit view) is "
                          L"missing: the type library is registered only under win64."},
        {"a 64-bit build, which looks for win64",
         [] {
             FakeSystem::Instance().programBits = 64;
             for (const auto& [path, image] : disk.files)
                 PutImage(path, 0x8664);
         },
         {ClassTable.begin(), ClassTable.end()}},
    };
    const std::map<std::size_t, std::wstring> closing{{0, L"\r\nNo problems found."},
                                                      {1, L"\r\n*** 1 PROBLEM FOUND - Scroll back to see them."},
                                                      {3, L"\r\n*** 3 PROBLEMS FOUND - Scroll back to see them."},
                                                      {5, L"\r\n*** 5 PROBLEMS FOUND - Scroll back to see them."},
                                                      {7, L"\r\n*** 7 PROBLEMS FOUND - Scroll back to see them."},
                                                      {8, L"\r\n*** 8 PROBLEMS FOUND - Scroll back to see them."},
                                                      {15, L"\r\n*** 15 PROBLEMS FOUND - Scroll back to see them."}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Prepare(Machine::Healthy);
        c.prepare();
        std::vector<std::wstring> log;
        std::vector<ClassFindings> handed;
        CheckReport found = CheckSuite(
            AppDir, SysDir, [&log](const std::wstring& entry) { log.push_back(entry); },
            [&log, &handed](const ClassFindings& findings) {
                // Right after the class's own lines: its verdict is the last entry.
                EXPECT_TRUE(log.back() == L"\tOK" || log.back().starts_with(L"\tPROBLEM: ")) << log.back();
                handed.push_back(findings);
            });
        ASSERT_EQ(handed.size(), ClassTable.size());
        for (std::size_t i = 0; i < handed.size(); ++i) {
            EXPECT_EQ(handed[i].progId, ClassTable[i]);
            EXPECT_EQ(handed[i].problem, c.failing.count(ClassTable[i]) > 0) << ClassTable[i];
        }
        for (const ClassFindings& wanted : c.handed) {
            auto at = std::find_if(handed.begin(), handed.end(), [&](auto& h) { return h.progId == wanted.progId; });
            ASSERT_NE(at, handed.end());
            EXPECT_EQ(at->servers, wanted.servers) << wanted.progId;
        }

        // A failing class shows one PROBLEM entry in place of its OK; only some are written out.
        std::vector<std::wstring> expected{L"\r\n----------------------------------------"};
        for (const wchar_t* progId : ClassTable) {
            std::wstring problem = c.problem.empty() ? L"\tPROBLEM" : c.problem;
            expected.push_back(L"\r\nChecking Class: " + std::wstring(progId));
            if (c.noted.count(progId))
                expected.push_back(c.note);
            if (c.written.count(progId))
                problem = c.written.at(progId);
            expected.push_back(c.failing.count(progId) ? problem : L"\tOK");
        }
        expected.push_back(closing.at(c.failing.size()));
        auto written = [&c](const std::wstring& entry) {
            return std::any_of(c.written.begin(), c.written.end(), [&entry](auto& w) { return w.second == entry; });
        };
        for (auto& entry : log)
            entry = c.problem.empty() && entry.starts_with(L"\tPROBLEM: ") && !written(entry) ? L"\tPROBLEM" : entry;
        EXPECT_EQ(log, expected);
        EXPECT_EQ(found.problems, static_cast<int>(c.failing.size()));
        std::vector<std::wstring> classes;
        std::copy_if(ClassTable.begin(), ClassTable.end(), std::back_inserter(classes),
                     [&c](const wchar_t* progId) { return c.failing.count(progId) > 0; });
        EXPECT_EQ(found.classes, classes);
        EXPECT_EQ(registry.OpenHandleCount(), 0);
        EXPECT_EQ(FakeSystem::Instance().openActivationContexts, 0);
        EXPECT_TRUE(FakeFiles::Instance().open.empty());
    }
}

// What creation adds to the check: one line under each class, the disagreements, and one more problem for each
// class that cannot be created; a child that hangs or crashes gives way to a new one for the classes after.
TEST(Verify, EachClassGetsTheSystemsAnswerUnderItsHeading)
{
    using Kind = FakeCreation::Result::Kind;
    const std::wstring Ok = L"\tCreated: OK";
    const std::wstring OwnToken = L"in a child process with a restricted copy of Tandrel's token (Administrators for "
                                  L"deny only, no privileges).";
    struct Case {
        const char* name;
        std::function<void()> prepare;
        std::map<std::wstring, std::wstring> lines;  // the last line under each heading where it is not Created: OK
        int problems = 0;
        std::size_t children = 1;
        std::wstring token = L"";  // how the lead line ends, where not OwnToken
        std::wstring note = L"";   // the entry before the closing line, where it is not the last class's
        bool unseen = false;       // an unattended run where nobody sees the desktop
        std::vector<std::wstring> asked = {};
    };
    std::map<std::wstring, std::wstring> refusals, unstarted;
    for (const wchar_t* progId : ClassTable) {
        unstarted[progId] = L"\tPROBLEM: " + std::wstring(progId) + L" cannot be created: the process to create it "
                            L"could not be started: Windows error 2";
        const std::wstring file = ComponentOf(progId);
        if (KindOf(file) == ComponentKind::Library)
            refusals[progId] = L"\tPROBLEM: " + std::wstring(progId) + L" was not created: its server " + SysDir + file +
                               L" is in a folder that others can change.";
    }
    auto fails = [](const std::wstring& step, std::uint32_t code) { return FakeCreation::Result{.kind = Kind::Fails, .step = step, .code = code}; };
    const Case cases[] = {
        {"healthy", [] {}, {}},
        {"a failed call, with the system's message, which the check did not see",
         [&] {
             FakeCreation::Instance().results[L"Wrenna.clsIFace"] = fails(L"CoCreateInstance", 0x8007007E);
             FakeCreation::Instance().results[L"Sulvary.clsPhone"] = fails(L"QueryInterface", 0x80004002);
             FakeCreation::Instance().messages[0x8007007E] = L"The specified module could not be found.";
         },
         {{L"Wrenna.clsIFace", L"\tPROBLEM: Wrenna.clsIFace cannot be created: CoCreateInstance returned 0x8007007E "
                               L"(The specified module could not be found.) (the check found nothing wrong)"},
          {L"Sulvary.clsPhone", L"\tPROBLEM: Sulvary.clsPhone cannot be created: QueryInterface returned 0x80004002 "
                                L"(the check found nothing wrong)"}},
         2},
        {"created, although the check found a problem", [] { registry.DeleteTree(ClassKey(9, L"\\ProgID")); },
         {{L"Brenlow.clsIFace", L"\tCreated: OK (created, although the check found a problem)"}}, 1},
        {"a hang and a crash, each ending its child",
         [] {
             FakeCreation::Instance().results[L"Daskel.clsEntity"] = {.kind = Kind::Hangs};
             FakeCreation::Instance().results[L"Corvane.clsMail"] = {.kind = Kind::Crashes, .code = 0xC0000005};
         },
         {{L"Daskel.clsEntity",
           L"\tPROBLEM: Daskel.clsEntity cannot be created: the server did not answer within 20 s (the check found "
           L"nothing wrong)"},
          {L"Corvane.clsMail", L"\tPROBLEM: Corvane.clsMail cannot be created: the process that created it ended "
                               L"with exception 0xC0000005 (the check found nothing wrong)"}},
         2, 3},
        {"a server in a folder others can change is not created",
         [] {
             FakeFiles::Instance().access[L"C:\\WINDOWS\\system32"] = {
                 {L"S-1-5-32-544", L"BUILTIN\\Administrators"}, {{L"S-1-5-32-545", L"BUILTIN\\Users"}}};
         },
         refusals, 14},
        {"a restricted token the system refuses",
         [] { FakeCreation::Instance().restrictedStartError = 1314; }, {}, 0, 2,
         L"in a child process with Tandrel's own token, since the system refused a restricted copy: Windows error "
         L"1314."},
        {"a restricted token the system does not give",
         [] { FakeCreation::Instance().tokenIgnored = true; }, {}, 0, 1,
         L"in a child process with Tandrel's own token, since the system gave the child that in place of a "
         L"restricted copy."},
        {"no child at all",
         [] { FakeCreation::Instance().startError = 2; }, unstarted, 15, 2,
         L"in a child process that could not be started: Windows error 2."},
        {"a program server that outlives its object",
         [] {
             FakeCreation::Instance().results[L"Omberly.clsOmberly"] = {.startsProgram = AppDir + L"Omberly.exe",
                                                                      .runsMs = 60000};
             FakeCreation::Instance().results[L"Ladrisk.clsIFace"] = {.startsProgram = AppDir + L"Ladrisk.exe",
                                                                    .runsMs = 3000};
         },
         {}, 0, 1, L"",
         L"\tNOTE: " + AppDir + L"Omberly.exe (process 4001), which creating Omberly.clsOmberly started, is still "
         L"running 10 s after its object was released; Tandrel leaves it alone."},
        // Where nobody sees the desktop, such a server is asked to close, and ended when it does not within 10 s.
        {"program servers left where nobody sees the desktop",
         [] {
             FakeCreation::Instance().results[L"Omberly.clsOmberly"] = {.startsProgram = AppDir + L"Omberly.exe",
                                                                      .runsMs = 60000, .windows = 1};
             FakeCreation::Instance().results[L"Corvane.clsMail"] = {.startsProgram = AppDir + L"Corvane.exe",
                                                                   .runsMs = 60000, .windows = 1, .closes = false};
         },
         {}, 0, 1, L"",
         L"\tNOTE: " + AppDir + L"Corvane.exe (process 4000), which creating Corvane.clsMail started, is still "
         L"running 10 s after its object was released.\r\n\tEnded " + AppDir + L"Corvane.exe (process 4000), which "
         L"nobody can see: it did not close within 10 s.\r\n\tNOTE: " + AppDir + L"Omberly.exe (process 4001), which "
         L"creating Omberly.clsOmberly started, is still running 10 s after its object was released.\r\n\tClosed " +
         AppDir + L"Omberly.exe (process 4001), which nobody can see.",
         true, {L"close 4000", L"close 4001", L"end 4000"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Prepare(Machine::Healthy);
        c.prepare();
        FakeView view;
        CommandLog log(view);
        SuiteState state;
        state.AppPath = AppDir;
        state.SystemPath = SysDir;
        state.ProgramsUnseen = c.unseen;
        CommandOutcome outcome = VerifySuiteCommand(state, log);

        const std::wstring text = view.log;
        const std::wstring lead = L"Each class is also created as a 32-bit script or program creates it: "
                                  L"CLSIDFromProgID, CoCreateInstance for IUnknown, QueryInterface for IDispatch, ";
        EXPECT_TRUE(text.starts_with(Separator + L"\r\n" + lead + (c.token.empty() ? OwnToken : c.token) + L"\r\n")) << text;
        // The last entry under each heading, the one before the closing line, and the classes with a PROBLEM.
        std::vector<std::wstring> entries;
        for (std::size_t at = 0, next; at < text.size(); at = next + 2)
            entries.push_back(text.substr(at, (next = text.find(L"\r\n", at)) - at));
        std::vector<std::wstring> classes;
        for (const wchar_t* progId : ClassTable) {
            auto heading = std::find(entries.begin(), entries.end(), L"Checking Class: " + std::wstring(progId));
            ASSERT_NE(heading, entries.end());
            auto last = std::find_if(heading + 1, entries.end(),
                                     [](const std::wstring& e) { return e.empty() || e.starts_with(L"Checking"); });
            EXPECT_EQ(*(last - 1), c.lines.count(progId) ? c.lines.at(progId) : Ok) << progId;
            if (std::any_of(heading, last, [](const std::wstring& e) { return e.starts_with(L"\tPROBLEM"); }))
                classes.push_back(progId);
        }
        EXPECT_TRUE(text.ends_with((c.note.empty() ? L"" : L"\r\n" + c.note + L"\r\n") + ProblemsLine(c.problems) +
                                   L"\r\n"))
            << text;
        EXPECT_EQ(outcome.check->problems, c.problems);
        EXPECT_EQ(outcome.check->classes, classes);
        EXPECT_EQ(outcome.reason, c.problems ? VerdictReason::Problems : VerdictReason::None);
        EXPECT_EQ(FakeCreation::Instance().starts.size(), c.children);
        EXPECT_EQ(FakeCreation::Instance().open, 0) << "a child left running";
        EXPECT_EQ(FakeProcesses::Instance().asked, c.asked);
        EXPECT_EQ(FakeProcesses::Instance().held, 0);
        for (std::uint32_t limit : FakeCreation::Instance().limits)
            EXPECT_EQ(limit, 20000u);
    }
}

}  // namespace
