// Installs the nine suite files the way a real installation does, in the fresh
// Wine prefix made by run-suite-tests.sh or on a Windows machine made for one
// test run, and reads back what they registered. TANDREL_SUITE_DIR names the
// folder holding the nine files.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <cwchar>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "SuiteIds.h"

namespace {

struct Component {
    const wchar_t* file;
    bool library;
    const GUID& libid;
    const wchar_t* helpString;
};

struct Class {
    const wchar_t* progId;
    const wchar_t* description;
    const GUID& clsid;
    const wchar_t* file;
};

const Component AllComponents[] = {
    {L"Glimmet.ocx", true, LIBID_Glimmet, L"Glimmet 1.0 Type Library"},
    {L"Daskel.dll", true, LIBID_Daskel, L"Daskel 1.0 Type Library"},
    {L"Wrenna.dll", true, LIBID_Wrenna, L"Wrenna 1.0 Type Library"},
    {L"Corvane.exe", false, LIBID_Corvane, L"Corvane 1.0 Type Library"},
    {L"Sulvary.exe", false, LIBID_Sulvary, L"Sulvary 1.0 Type Library"},
    {L"Brenlow.exe", false, LIBID_Brenlow, L"Brenlow 1.0 Type Library"},
    {L"Ladrisk.exe", false, LIBID_Ladrisk, L"Ladrisk 1.0 Type Library"},
    {L"Omberly.exe", false, LIBID_Omberly, L"Omberly 1.0 Type Library"},
    {L"Vestrel.exe", false, LIBID_Vestrel, L"Vestrel 1.0 Type Library"},
};

const Class AllClasses[] = {
    {L"Glimmet.ctlGlimmet", L"Glimmet Control", CLSID_Glimmet_ctlGlimmet, L"Glimmet.ocx"},
    {L"Daskel.clsDaskel", L"Daskel Engine", CLSID_Daskel_clsDaskel, L"Daskel.dll"},
    {L"Daskel.clsEntities", L"Daskel Entities", CLSID_Daskel_clsEntities, L"Daskel.dll"},
    {L"Daskel.clsEntity", L"Daskel Entity", CLSID_Daskel_clsEntity, L"Daskel.dll"},
    {L"Daskel.clsXFields", L"Daskel Extra Fields", CLSID_Daskel_clsXFields, L"Daskel.dll"},
    {L"Daskel.clsXField", L"Daskel Extra Field", CLSID_Daskel_clsXField, L"Daskel.dll"},
    {L"Wrenna.clsIFace", L"Wrenna Interface", CLSID_Wrenna_clsIFace, L"Wrenna.dll"},
    {L"Corvane.clsMail", L"Corvane Mail", CLSID_Corvane_clsMail, L"Corvane.exe"},
    {L"Sulvary.clsPhone", L"Sulvary Phone", CLSID_Sulvary_clsPhone, L"Sulvary.exe"},
    {L"Brenlow.clsIFace", L"Brenlow Interface", CLSID_Brenlow_clsIFace, L"Brenlow.exe"},
    {L"Ladrisk.clsIFace", L"Ladrisk Interface", CLSID_Ladrisk_clsIFace, L"Ladrisk.exe"},
    {L"Omberly.clsOmberly", L"Omberly Application", CLSID_Omberly_clsOmberly, L"Omberly.exe"},
    {L"Vestrel.clsIFace", L"Vestrel Interface", CLSID_Vestrel_clsIFace, L"Vestrel.exe"},
    {L"Vestrel.clsEMailIFace", L"Vestrel E-Mail Interface", CLSID_Vestrel_clsEMailIFace, L"Vestrel.exe"},
    {L"Vestrel.clsLinkIFace", L"Vestrel Link Interface", CLSID_Vestrel_clsLinkIFace, L"Vestrel.exe"},
};

std::string Narrow(const std::wstring& text)
{
    std::string result(text.size() * 3 + 1, '\0');
    int length = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, result.data(), static_cast<int>(result.size()),
                                     nullptr, nullptr);
    result.resize(length > 0 ? length - 1 : 0);
    return result;
}

void PrintTo(const Component& component, std::ostream* out)
{
    *out << Narrow(component.file);
}

void PrintTo(const Class& entry, std::ostream* out)
{
    *out << Narrow(entry.progId);
}

const Component& ComponentOf(const Class& entry)
{
    return *std::find_if(std::begin(AllComponents), std::end(AllComponents),
                         [&](const Component& component) { return std::wcscmp(component.file, entry.file) == 0; });
}

std::wstring GuidText(const GUID& guid)
{
    wchar_t text[39] = {};
    StringFromGUID2(guid, text, 39);
    return text;
}

std::wstring Folder(const wchar_t* name)
{
    wchar_t path[MAX_PATH] = {};
    if (std::wcscmp(name, L"system") == 0)
        GetSystemDirectoryW(path, MAX_PATH);
    else
        GetEnvironmentVariableW(name, path, MAX_PATH);
    return path;
}

// Where the installation puts each file: libraries into system32, while the
// executables run from where they were built.
std::wstring InstalledPath(const Component& component)
{
    return Folder(component.library ? L"system" : L"TANDREL_SUITE_DIR") + L"\\" + component.file;
}

std::wstring Regsvr32(const wchar_t* options, const Component& component)
{
    return L"\"" + Folder(L"system") + L"\\regsvr32.exe\" " + options + L" \"" + InstalledPath(component) + L"\"";
}

std::wstring StartCommand(const Component& component)
{
    return component.library ? Regsvr32(L"/s", component) : L"\"" + InstalledPath(component) + L"\"";
}

HANDLE Start(const std::wstring& commandLine)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::wstring mutableLine = commandLine;
    if (!CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return nullptr;
    CloseHandle(process.hThread);
    return process.hProcess;
}

// Exit code, or -1 when the program did not start or did not end in time.
long Finish(HANDLE process)
{
    if (!process)
        return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process, 60000) != WAIT_OBJECT_0 || !GetExitCodeProcess(process, &code))
        code = static_cast<DWORD>(-1);
    CloseHandle(process);
    return static_cast<long>(code);
}

long Execute(const std::wstring& commandLine)
{
    return Finish(Start(commandLine));
}

bool KeyExists(const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, (L"Software\\Classes\\" + path).c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::optional<std::wstring> ReadText(const std::wstring& path, const wchar_t* name = nullptr)
{
    wchar_t value[1024] = {};
    DWORD size = sizeof(value);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, (L"Software\\Classes\\" + path).c_str(), name, RRF_RT_REG_SZ, nullptr,
                     value, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(value);
}

std::wstring Lower(std::wstring text)
{
    CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

// A log file of its own for whatever starts while it is alive.
class LogFile {
public:
    LogFile()
    {
        wchar_t folder[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, folder);
        wchar_t path[MAX_PATH] = {};
        GetTempFileNameW(folder, L"sui", 0, path);
        path_ = path;
        SetEnvironmentVariableW(L"TANDREL_SUITE_LOG", path_.c_str());
    }
    ~LogFile()
    {
        SetEnvironmentVariableW(L"TANDREL_SUITE_LOG", nullptr);
        DeleteFileW(path_.c_str());
    }
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Lines without their CR LF; a line cut short shows as one without it.
    std::vector<std::string> Lines() const
    {
        std::vector<std::string> lines;
        HANDLE file = CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return lines;
        std::string text;
        char buffer[4096];
        DWORD read = 0;
        while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0)
            text.append(buffer, read);
        CloseHandle(file);
        size_t start = 0;
        for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
            lines.push_back(text.substr(start, end - start));
        if (start < text.size())
            lines.push_back(text.substr(start) + " <unterminated>");
        return lines;
    }

private:
    std::wstring path_;
};

std::string LogLine(const Component& component, const char* action, const std::wstring& commandLine)
{
    return Narrow(component.file) + " " + action + " " + Narrow(commandLine);
}

std::string StartLogLine(const Component& component)
{
    return LogLine(component, component.library ? "DllRegisterServer" : "Register", StartCommand(component));
}

struct Installation {
    std::vector<long> exitCodes;  // in the order of AllComponents
    std::vector<std::string> log;
};

// Once per run: copy the libraries, start every file once, keep what they logged.
const Installation& Installed()
{
    static const Installation installation = [] {
        Installation result;
        LogFile log;
        for (const Component& component : AllComponents) {
            if (component.library)
                CopyFileW((Folder(L"TANDREL_SUITE_DIR") + L"\\" + component.file).c_str(),
                          InstalledPath(component).c_str(), FALSE);
            result.exitCodes.push_back(Execute(StartCommand(component)));
        }
        result.log = log.Lines();
        return result;
    }();
    return installation;
}

// Takes the libraries out for one test and puts them back however it ends.
class WithoutLibraries {
public:
    WithoutLibraries()
    {
        for (const Component& component : AllComponents)
            if (component.library)
                exitCodes_.push_back(Execute(Regsvr32(L"/u /s", component)));
    }
    ~WithoutLibraries()
    {
        for (const Component& component : AllComponents)
            if (component.library)
                Execute(Regsvr32(L"/s", component));
    }
    const std::vector<long>& ExitCodes() const { return exitCodes_; }

private:
    std::vector<long> exitCodes_;
};

TEST(SuiteInstall, EveryFileRegistersAndReturnsZero)
{
    const Installation& installation = Installed();
    ASSERT_EQ(installation.exitCodes.size(), std::size(AllComponents));
    for (size_t i = 0; i < std::size(AllComponents); ++i)
        EXPECT_EQ(installation.exitCodes[i], 0) << Narrow(StartCommand(AllComponents[i]));
}

TEST(SuiteInstall, LogHasOneLinePerFileWithTheCommandLineItWasGiven)
{
    std::vector<std::string> expected;
    for (const Component& component : AllComponents)
        expected.push_back(StartLogLine(component));
    EXPECT_EQ(Installed().log, expected);
}

class ClassRegistration : public ::testing::TestWithParam<Class> {
protected:
    void SetUp() override { Installed(); }
    std::wstring ClassKey() const { return L"CLSID\\" + GuidText(GetParam().clsid); }
};

TEST_P(ClassRegistration, ProgIdNamesTheClass)
{
    const Class& entry = GetParam();
    EXPECT_EQ(ReadText(entry.progId), entry.description);
    EXPECT_EQ(ReadText(std::wstring(entry.progId) + L"\\CLSID"), GuidText(entry.clsid));
}

TEST_P(ClassRegistration, ClassKeyDescribesItsServerAndTypeLibrary)
{
    const Class& entry = GetParam();
    const Component& component = ComponentOf(entry);
    EXPECT_EQ(ReadText(ClassKey()), entry.description);
    EXPECT_EQ(ReadText(ClassKey() + L"\\ProgID"), entry.progId);
    EXPECT_EQ(ReadText(ClassKey() + L"\\TypeLib"), GuidText(component.libid));
    EXPECT_EQ(ReadText(ClassKey() + L"\\VERSION"), L"1.0");
    EXPECT_TRUE(KeyExists(ClassKey() + L"\\Programmable"));
}

TEST_P(ClassRegistration, ServerKeyHoldsTheInstalledFile)
{
    const Component& component = ComponentOf(GetParam());
    const std::wstring present = ClassKey() + (component.library ? L"\\InprocServer32" : L"\\LocalServer32");
    const std::wstring absent = ClassKey() + (component.library ? L"\\LocalServer32" : L"\\InprocServer32");
    std::optional<std::wstring> path = ReadText(present);
    ASSERT_TRUE(path.has_value()) << Narrow(present);
    EXPECT_EQ(Lower(*path), Lower(InstalledPath(component)));
    EXPECT_FALSE(KeyExists(absent));
    if (component.library) {
        EXPECT_EQ(ReadText(present, L"ThreadingModel"), L"Apartment");
    }
}

INSTANTIATE_TEST_SUITE_P(AllClasses, ClassRegistration, ::testing::ValuesIn(AllClasses),
                         [](const ::testing::TestParamInfo<Class>& info) {
                             std::string name = Narrow(info.param.progId);
                             std::replace(name.begin(), name.end(), '.', '_');
                             return name;
                         });

class TypeLibrary : public ::testing::TestWithParam<Component> {
protected:
    void SetUp() override { Installed(); }
};

TEST_P(TypeLibrary, SystemRegisteredVersion10WithTheHelpStringAndPath)
{
    const Component& component = GetParam();
    const std::wstring versionKey = L"TypeLib\\" + GuidText(component.libid) + L"\\1.0";
    const wchar_t* platform = sizeof(void*) == 8 ? L"\\0\\win64" : L"\\0\\win32";
    EXPECT_EQ(ReadText(versionKey), component.helpString);
    std::optional<std::wstring> path = ReadText(versionKey + platform);
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(Lower(*path), Lower(InstalledPath(component)));
}

// The IDL files repeat SuiteIds.h; this is where the two would part ways.
TEST_P(TypeLibrary, EmbeddedLibraryHoldsExactlyTheComponentsClasses)
{
    const Component& component = GetParam();
    ITypeLib* library = nullptr;
    ASSERT_HRESULT_SUCCEEDED(LoadTypeLibEx(InstalledPath(component).c_str(), REGKIND_NONE, &library));
    TLIBATTR* attributes = nullptr;
    ASSERT_HRESULT_SUCCEEDED(library->GetLibAttr(&attributes));
    EXPECT_EQ(GuidText(attributes->guid), GuidText(component.libid));
    EXPECT_EQ(attributes->wMajorVerNum, 1);
    EXPECT_EQ(attributes->wMinorVerNum, 0);
    library->ReleaseTLibAttr(attributes);

    BSTR name = nullptr;
    ASSERT_HRESULT_SUCCEEDED(library->GetDocumentation(-1, &name, nullptr, nullptr, nullptr));
    const std::wstring libraryName = name;
    SysFreeString(name);

    size_t coclasses = 0;
    for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
        TYPEKIND kind = TKIND_MAX;
        if (SUCCEEDED(library->GetTypeInfoType(i, &kind)) && kind == TKIND_COCLASS)
            ++coclasses;
    }
    size_t expected = 0;
    for (const Class& entry : AllClasses) {
        if (std::wcscmp(entry.file, component.file) != 0)
            continue;
        ++expected;
        ITypeInfo* info = nullptr;
        ASSERT_HRESULT_SUCCEEDED(library->GetTypeInfoOfGuid(entry.clsid, &info)) << Narrow(entry.progId);
        BSTR className = nullptr;
        BSTR help = nullptr;
        ASSERT_HRESULT_SUCCEEDED(info->GetDocumentation(MEMBERID_NIL, &className, &help, nullptr, nullptr));
        EXPECT_EQ(libraryName + L"." + className, entry.progId);
        EXPECT_EQ(std::wstring(help ? help : L""), entry.description);
        SysFreeString(className);
        SysFreeString(help);
        info->Release();
    }
    EXPECT_EQ(coclasses, expected);
    library->Release();
}

INSTANTIATE_TEST_SUITE_P(AllComponents, TypeLibrary, ::testing::ValuesIn(AllComponents),
                         [](const ::testing::TestParamInfo<Component>& info) {
                             std::string name = Narrow(info.param.file);
                             std::replace(name.begin(), name.end(), '.', '_');
                             return name;
                         });

TEST(LibraryUnregistration, RemovesTheLibrariesClassesAndTypeLibrariesOnly)
{
    Installed();
    LogFile log;
    WithoutLibraries removed;
    for (long code : removed.ExitCodes())
        EXPECT_EQ(code, 0);
    for (const Class& entry : AllClasses) {
        const bool library = ComponentOf(entry).library;
        EXPECT_EQ(KeyExists(entry.progId), !library) << Narrow(entry.progId);
        EXPECT_EQ(KeyExists(L"CLSID\\" + GuidText(entry.clsid)), !library) << Narrow(entry.progId);
    }
    for (const Component& component : AllComponents)
        EXPECT_EQ(KeyExists(L"TypeLib\\" + GuidText(component.libid)), !component.library) << Narrow(component.file);

    std::vector<std::string> expected;
    for (const Component& component : AllComponents)
        if (component.library)
            expected.push_back(LogLine(component, "DllUnregisterServer", Regsvr32(L"/u /s", component)));
    EXPECT_EQ(log.Lines(), expected);
}

TEST(LibraryUnregistration, SucceedsAgainWhenNothingIsLeftAndRegisteringRestoresAll)
{
    Installed();
    {
        WithoutLibraries removed;
        for (const Component& component : AllComponents) {
            if (component.library) {
                EXPECT_EQ(Execute(Regsvr32(L"/u /s", component)), 0) << Narrow(component.file);
            }
        }
    }
    for (const Class& entry : AllClasses) {
        EXPECT_EQ(ReadText(entry.progId), entry.description);
        EXPECT_EQ(ReadText(L"CLSID\\" + GuidText(entry.clsid) + L"\\ProgID"), entry.progId);
    }
    for (const Component& component : AllComponents)
        EXPECT_EQ(ReadText(L"TypeLib\\" + GuidText(component.libid) + L"\\1.0"), component.helpString);
}

// Programs started together must not lose or splice each other's lines.
TEST(SuiteLog, LinesOfProgramsStartedTogetherStayWhole)
{
    Installed();
    LogFile log;
    constexpr int Rounds = 4;
    std::vector<HANDLE> processes;
    std::vector<std::string> expected;
    for (int round = 0; round < Rounds; ++round)
        for (const Component& component : AllComponents) {
            processes.push_back(Start(StartCommand(component)));
            expected.push_back(StartLogLine(component));
        }
    for (HANDLE process : processes)
        EXPECT_EQ(Finish(process), 0);

    std::vector<std::string> lines = log.Lines();
    std::sort(lines.begin(), lines.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(lines, expected);
}

}  // namespace
