#pragma once

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "helpers/SuiteFiles.h"
#include "tests/common/PeImageBuilder.h"
#include "tests/fakes/FakeCreation.h"
#include "tests/fakes/FakeEventLog.h"
#include "tests/fakes/FakeDisk.h"
#include "tests/fakes/FakeFiles.h"
#include "tests/fakes/FakeProcesses.h"
#include "tests/fakes/FakeRegistry.h"
#include "tests/fakes/FakeSystem.h"
#include "tests/fakes/FakeWindowSystem.h"

// The suite on the in-memory machine: its classes registered as a healthy
// installation registers them, its files where an installation puts them, and
// the log lines that every command's report begins and ends with.
namespace SuiteFixture {

inline const std::wstring Separator = L"\r\n----------------------------------------\r\n";
inline const std::wstring AppDir = L"C:\\Program Files\\Vestrel\\";
inline const std::wstring SysDir = L"C:\\WINDOWS\\system32\\";
inline const std::wstring AppPathsKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Vestrel.exe";
// In the order Create walks them: the libraries, then the executables.
inline const std::vector<std::wstring> Files(ComponentTable.begin(), ComponentTable.end());

// "LOADING", "DELETING" or "CREATING".
inline std::wstring ClosingLine(const std::wstring& command)
{
    return L"\r\n*** ERROR IN " + command + L" - Scroll back to see the Errors.\r\n";
}

struct SuiteClass {
    std::wstring progId;
    std::wstring clsid;
    std::wstring typeLib;
    std::wstring library;
};

inline std::wstring Guid(int n, wchar_t kind)
{
    wchar_t text[40];
    swprintf(text, 40, L"{%c0000000-0000-4000-8000-0000000000%02d}", kind, n);
    return text;
}

// Each class's type library is that of its file, which its ProgID names.
inline std::vector<SuiteClass> SuiteClasses()
{
    std::vector<SuiteClass> suite;
    for (int i = 0; i < static_cast<int>(ClassTable.size()); ++i) {
        std::wstring progId = ClassTable[i];
        std::wstring library = progId.substr(0, progId.find(L'.'));
        int file = 0;
        while (Files[file].substr(0, Files[file].find(L'.')) != library)
            ++file;
        suite.push_back({progId, Guid(i, L'C'), Guid(file, L'A'), library});
    }
    return suite;
}

inline void Register(FakeRegistry& registry, const SuiteClass& c)
{
    const std::wstring classes = L"Software\\Classes\\";
    registry.SetString(classes + c.progId, L"", c.progId + L" class");
    registry.SetString(classes + c.progId + L"\\CLSID", L"", c.clsid);
    const std::wstring key = classes + L"CLSID\\" + c.clsid;
    registry.SetString(key, L"", c.progId + L" class");
    registry.SetString(key + L"\\InprocServer32", L"", L"C:\\WINDOWS\\system32\\" + c.library + L".dll");
    registry.SetString(key + L"\\ProgID", L"", c.progId);
    registry.SetString(key + L"\\TypeLib", L"", c.typeLib);
    registry.SetString(key + L"\\VERSION", L"", L"1.0");
    registry.SetString(classes + L"TypeLib\\" + c.typeLib + L"\\1.0", L"", c.library + L" Library");
}

// Every fake as on a machine without the suite.
inline void ResetFakes()
{
    FakeRegistry::Instance().Reset();
    FakeSystem::Instance().Reset();
    FakeProcesses::Instance().Reset();
    FakeWindowSystem::Instance().Reset();
    FakeFiles::Instance().Reset();
    FakeDisk::Instance().Reset();
    FakeCreation::Instance().Reset();
    FakeEventLog::Instance().Reset();
}

// A file of the suite as its 32-bit callers load it: KERNEL32 is one of the system's known DLLs, OLEAUT32 is in
// the system folder, and the system resolves the API set. It exports DllGetClassObject, which a library needs to
// serve its classes.
inline std::string SuiteImage(std::vector<std::string> imports = {"KERNEL32.dll", "OLEAUT32.dll",
                                                                  "api-ms-win-crt-runtime-l1-1-0.dll"})
{
    return LayOutPeImage({.imports = std::move(imports), .exports = {"DllGetClassObject"}}).bytes;
}

// SuiteInstalled registers every class as a library's; Healthy serves each as its file does, with a type library
// file, as a check wants it.
enum class Machine { Bare, FilesOnly, SuiteInstalled, Healthy };

// Each class served as its file does, with a type library file, as a check wants it: what Prepare(Healthy) adds.
inline void ServeHealthy()
{
    auto& registry = FakeRegistry::Instance();
    auto& disk = FakeDisk::Instance();
    for (const auto& c : SuiteClasses()) {
        const std::wstring classKey = L"Software\\Classes\\CLSID\\" + c.clsid;
        std::wstring file = *std::ranges::find_if(Files, [&c](auto& f) { return f.starts_with(c.library); });
        bool program = file.ends_with(L".exe");
        registry.DeleteTree(classKey + L"\\InprocServer32");
        // A program's path holds a space: quoted, so that the system starts nothing else in its place.
        registry.SetString(classKey + (program ? L"\\LocalServer32" : L"\\InprocServer32"), L"",
                           program ? L"\"" + AppDir + file + L"\"" : SysDir + file);
        const std::wstring version = L"Software\\Classes\\TypeLib\\" + c.typeLib + L"\\1.0";
        registry.SetString(version + L"\\0\\win32", L"", SysDir + c.library + L".tlb");
        registry.SetString(version + L"\\FLAGS", L"", L"0");
        disk.Put(SysDir + c.library + L".tlb");
    }
}

// Tandrel's event source as its runs register it, written out here so that a wrong value in the program shows.
inline const std::wstring EventSourceKey = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Tandrel";
inline void RegisterEventSource(FakeRegistry& registry)
{
    registry.SetString(EventSourceKey, L"EventMessageFile", L"%SystemRoot%\\System32\\EventCreate.exe",
                       RegType::ExpandSz);
    registry.SetValue(EventSourceKey, L"TypesSupported", RegType::Dword, std::string("\x07\0\0\0", 4));
    registry.SetValue(EventSourceKey, L"CustomSource", RegType::Dword, std::string("\x01\0\0\0", 4));
}

// The classes of the program `program` registered as it registers them when started: served by that file.
inline void RegisterProgram(const std::wstring& program)
{
    const std::wstring file = program.substr(program.find_last_of(L'\\') + 1);
    for (const auto& c : SuiteClasses()) {
        if (!file.starts_with(c.library + L"."))
            continue;
        Register(FakeRegistry::Instance(), c);
        const std::wstring classKey = L"Software\\Classes\\CLSID\\" + c.clsid;
        FakeRegistry::Instance().DeleteTree(classKey + L"\\InprocServer32");
        FakeRegistry::Instance().SetString(classKey + L"\\LocalServer32", L"", L"\"" + program + L"\"");
    }
}

// Resets every fake, then installs as much of the suite as `machine` says:
// its files (the executables in AppDir, registered under App Paths, the
// libraries and regsvr32 in SysDir) and its classes.
inline void Prepare(Machine machine)
{
    ResetFakes();
    auto& registry = FakeRegistry::Instance();
    // Every machine has had a run of Tandrel before: its event source is there, as a run leaves it.
    RegisterEventSource(registry);
    if (machine == Machine::Bare)
        return;
    registry.SetString(AppPathsKey, L"", AppDir + L"Vestrel.exe");
    registry.SetString(L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\KnownDLLs", L"kernel32",
                       L"kernel32.dll");
    if (machine == Machine::SuiteInstalled || machine == Machine::Healthy) {
        for (const auto& c : SuiteClasses())
            Register(registry, c);
    }
    auto& disk = FakeDisk::Instance();
    disk.Put(SysDir + L"regsvr32.exe");
    disk.Put(SysDir + L"OLEAUT32.dll");
    for (const auto& file : Files)
        disk.Put((file.substr(file.size() - 3) == L"exe" ? AppDir : SysDir) + file, SuiteImage());
    if (machine == Machine::Healthy)
        ServeHealthy();
}

}  // namespace SuiteFixture
