#include "check/Check.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "check/LoadCheck.h"
#include "check/PeImage.h"
#include "helpers/FuncLib.h"
#include "helpers/SecureFolder.h"
#include "helpers/SuiteFiles.h"
#include "platform/FilePlatform.h"
#include "platform/RegistryPlatform.h"
#include "platform/SystemPlatform.h"
#include "platform/WinCodes.h"
#include "registry/RegFuncs.h"
#include "registry/RegKeyOwner.h"

namespace {

constexpr std::wstring_view Separator = L"\r\n----------------------------------------";
constexpr std::wstring_view ClassesKey = L"Software\\CLASSES\\";
constexpr std::wstring_view MachineClasses = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\";

// Also what keeps a value read from the registry from leading the check into another key.
bool IsIdentifier(const std::wstring& text)
{
    // "{" 32 hex digits in 8-4-4-4-12 with their 4 dashes "}"
    constexpr std::size_t IdentifierLength = 38;
    if (text.size() != IdentifierLength || text.front() != L'{' || text.back() != L'}')
        return false;
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? text[i] != L'-' : !IsHexDigit(text[i]))
            return false;
    }
    return true;
}

// A version key holds its locales (hexadecimal numbers) beside FLAGS and HELPDIR.
bool IsLocale(const std::wstring& name)
{
    return !name.empty() && std::all_of(name.begin(), name.end(), IsHexDigit);
}

bool AnyName(const std::wstring&)
{
    return true;
}

// Text read with the wide calls, so that a name outside the ANSI code page reads as it is stored.
bool ReadWideString(RegKey key, const std::wstring& name, std::wstring& text)
{
    RegValueData value;
    if (RegistryPlatform::QueryValueWide(key, name, value) != RegError::Success)
        return false;
    std::optional<std::wstring> read = ExpandedStringValue(value);
    if (read)
        text = *read;
    return read.has_value();
}

class Checker {
public:
    Checker(const std::wstring& appPath, const std::wstring& systemPath,
            const std::function<void(const std::wstring&)>& log)
        : appPath_(appPath), systemPath_(systemPath),
          // A 32-bit program on 64-bit Windows reads the machine's classes through WoW64's view of them.
          view_(SystemPlatform::ProgramBits() == 32 && SystemPlatform::NativeMachine() != PeMachine::I386
                    ? L" (32-bit view)"
                    : L""),
          log_(log)
    {
    }

    [[nodiscard]] int Problems() const { return problems_; }
    [[nodiscard]] int Overrides() const { return overrides_; }
    // The server file the last class's registration names, when it is there; "" otherwise.
    [[nodiscard]] const std::wstring& Server() const { return server_; }

    void CheckClass(const std::wstring& progId)
    {
        log_(L"\r\nChecking Class: " + progId);
        int before = problems_;
        clsid_.clear();
        typeLib_.clear();
        server_.clear();
        CheckRegistration(progId);
        CheckOverrides(progId);
        if (problems_ == before)
            log_(L"\tOK");
    }

private:
    // A machine key as regedit names it, hive and view included: the lines of many machines are compared.
    [[nodiscard]] std::wstring Full(const std::wstring& path) const
    {
        return std::wstring(MachineClasses) + path.substr(ClassesKey.size()) + view_;
    }

    void Problem(const std::wstring& what)
    {
        ++problems_;
        log_(L"\tPROBLEM: " + what);
    }

    // Empty once the reason is reported; `reason` tells more about a key that is missing.
    RegKeyOwner Open(const std::wstring& path, const std::wstring& reason = L"")
    {
        RegKeyOwner key;
        long code = RegistryPlatform::OpenKeyWide(RegKey::LocalMachine, path, *key.put());
        if (code == RegError::FileNotFound)
            Problem(Full(path) + L" is missing" + reason + L".");
        else if (code != RegError::Success)
            Problem(Full(path) + L" cannot be opened: " + FilePlatform::ErrorText(code));
        return key;
    }

    bool Missing(const std::wstring& path)
    {
        RegKeyOwner key;
        return RegistryPlatform::OpenKeyWide(RegKey::LocalMachine, path, *key.put()) == RegError::FileNotFound;
    }

    std::optional<std::wstring> ReadDefault(const std::wstring& path, const std::wstring& reason = L"")
    {
        RegKeyOwner key = Open(path, reason);
        if (!key)
            return std::nullopt;
        std::wstring value;
        if (!ReadWideString(key.get(), L"", value)) {
            Problem(Full(path) + L" has no default value that can be read.");
            return std::nullopt;
        }
        return value;
    }

    std::optional<std::wstring> ReadIdentifier(const std::wstring& path, const std::wstring& kind)
    {
        std::optional<std::wstring> value = ReadDefault(path);
        if (value && !IsIdentifier(*value)) {
            Problem(Full(path) + L" holds \"" + *value + L"\", which is not a " + kind + L".");
            return std::nullopt;
        }
        return value;
    }

    // Every subkey of `path` that `fits`; nothing once a failure, or the lack of any, is reported.
    std::optional<std::vector<std::wstring>> SubKeys(const std::wstring& path, const std::wstring& kind,
                                                     bool (*fits)(const std::wstring&))
    {
        RegKeyOwner key = Open(path);
        if (!key)
            return std::nullopt;
        std::vector<std::wstring> names;
        std::wstring name;
        for (std::uint32_t index = 0;; ++index) {
            long code = RegistryPlatform::EnumKeyWide(key.get(), index, name);
            if (code == RegError::NoMoreItems)
                break;
            if (code != RegError::Success) {
                Problem(Full(path) + L" cannot be listed: " + FilePlatform::ErrorText(code));
                return std::nullopt;
            }
            if (fits(name))
                names.push_back(name);
        }
        if (names.empty()) {
            Problem(Full(path) + L" has no " + kind + L" subkey.");
            return std::nullopt;
        }
        return names;
    }

    // Files are compared, not names: a short name, another letter case or a doubled separator is the same file.
    // True when the file is there.
    bool CheckFile(const std::wstring& keyPath, const std::wstring& path, const std::wstring& expected)
    {
        const std::wstring key = Full(keyPath);
        if (IsBlank(path)) {
            Problem(key + L" names no file.");
            return false;
        }
        // Asked about alone first: a failure of the pair would not tell which of the two is missing.
        bool same = false;
        long code = FilePlatform::SameFile(path, path, same);
        if (code == RegError::FileNotFound || code == WinCode::PathNotFound)
            Problem(key + L" names " + path + L", which is missing.");
        else if (code != 0)
            Problem(key + L" names " + path + L", which cannot be opened: " + FilePlatform::ErrorText(code));
        else if (!expected.empty() && (FilePlatform::SameFile(path, expected, same) != 0 || !same))
            Problem(key + L" names " + path + L", not " + expected + L".");
        return code == 0;
    }

    void CheckRegistration(const std::wstring& progId)
    {
        const std::wstring progIdKey = std::wstring(ClassesKey) + progId;
        if (!Open(progIdKey))
            return;
        std::optional<std::wstring> clsid = ReadIdentifier(progIdKey + L"\\CLSID", L"class identifier");
        if (!clsid)
            return;
        clsid_ = *clsid;
        const std::wstring classKey = std::wstring(ClassesKey) + L"CLSID\\" + *clsid;
        if (!Open(classKey))
            return;
        std::optional<std::wstring> named = ReadDefault(classKey + L"\\ProgID");
        if (named && !EqualsIgnoringCase(*named, progId))
            Problem(Full(classKey + L"\\ProgID") + L" names " + *named + L", not " + progId + L".");
        CheckServer(progId, classKey);
        CheckTypeLib(classKey);
    }

    void CheckServer(const std::wstring& progId, const std::wstring& classKey)
    {
        const wchar_t* component = ComponentOf(progId);
        if (component == nullptr) {
            Problem(L"No file of the suite is named " + progId.substr(0, progId.find(L'.')) + L".");
            return;
        }
        const std::wstring file = component;
        const bool program = KindOf(file) == ComponentKind::Program;
        const std::wstring serverKey = classKey + (program ? L"\\LocalServer32" : L"\\InprocServer32");
        const std::wstring server = (program ? L"the program " : L"the library ") + file;
        std::optional<std::wstring> value = ReadDefault(serverKey, L": the class is served by " + server);
        if (!value)
            return;
        // Without the folder Create uses, only that the file exists can be told.
        const std::wstring& folder = program ? appPath_ : systemPath_;
        const std::wstring path = NamedFile(*value, program);
        if (program)
            CheckUnquoted(serverKey, path, EarlierCuts(*value));
        if (!CheckFile(serverKey, path, folder.empty() ? L"" : folder + file))
            return;
        server_ = path;
        // The check names a file that is not there its own way; a folder that others may write is judged here.
        FolderDoubt doubt = ServerFolderDoubt(path);
        if (doubt.kind == FolderDoubt::Kind::Stranger)
            Problem(path + L" is " + WithoutFinalStop(doubt.text) +
                    L": anyone who can write there can replace what every caller loads.");
        LoadFindings findings = loadCheck_.Judge(path, program ? ServerKind::OutOfProcess : ServerKind::InProcess);
        for (const std::wstring& note : findings.notes)
            log_(L"\tNOTE: " + note);
        for (const std::wstring& reason : findings.problems)
            Problem(path + L" " + findings.cannot + L": " + reason + L".");
        // COM asks a library for its classes through this one export; a library that cannot be loaded at all is
        // reported as that alone.
        if (!program && findings.problems.empty() && loadCheck_.Exports(path, "DllGetClassObject") == false)
            Problem(path + L" does not export DllGetClassObject: no caller can create its classes.");
    }

    // The system starts the first of the cuts that exists in place of the program, whoever put it there.
    void CheckUnquoted(const std::wstring& serverKey, const std::wstring& path, const std::vector<std::wstring>& cuts)
    {
        if (cuts.empty())
            return;
        const std::wstring named = Full(serverKey) + L" names " + path + L" without quotes";
        std::wstring listed;
        for (std::size_t i = 0; i < cuts.size(); ++i) {
            if (FilePlatform::LookForFile(cuts[i]) == 0) {
                Problem(named + L", so the system starts " + cuts[i] + L" in its place.");
                return;
            }
            listed += (i == 0 ? L"" : i + 1 == cuts.size() ? L" or " : L", ") + cuts[i];
        }
        log_(L"\tNOTE: " + named + L"; a program put at " + listed + L" would be started in its place");
    }

    // Every version and locale is looked at: the system may pick any of them for a caller.
    void CheckTypeLib(const std::wstring& classKey)
    {
        std::optional<std::wstring> id = ReadIdentifier(classKey + L"\\TypeLib", L"type library identifier");
        if (!id)
            return;
        typeLib_ = *id;
        const std::wstring typeLibKey = std::wstring(ClassesKey) + L"TypeLib\\" + *id;
        std::optional<std::vector<std::wstring>> versions = SubKeys(typeLibKey, L"version", AnyName);
        if (!versions)
            return;
        for (const std::wstring& version : *versions)
            CheckTypeLibVersion(typeLibKey + L"\\" + version);

        // The class names the version its callers load; a key without it leaves the choice to them.
        if (Missing(classKey + L"\\VERSION"))
            return;
        std::optional<std::wstring> wanted = ReadDefault(classKey + L"\\VERSION");
        if (wanted && std::none_of(versions->begin(), versions->end(),
                                   [&wanted](const std::wstring& v) { return EqualsIgnoringCase(v, *wanted); }))
            Problem(Full(classKey + L"\\VERSION") + L" names " + *wanted + L", which " + Full(typeLibKey) +
                    L" does not have.");
    }

    void CheckTypeLibVersion(const std::wstring& versionKey)
    {
        std::optional<std::vector<std::wstring>> locales = SubKeys(versionKey, L"locale", IsLocale);
        if (!locales)
            return;
        // The system loads a type library for a caller of its own bitness
        // only: a 32-bit caller from "win32", a 64-bit one from "win64".
        const bool bits64 = SystemPlatform::ProgramBits() == 64;
        const std::wstring other = bits64 ? L"win32" : L"win64";
        for (const std::wstring& locale : *locales) {
            const std::wstring localeKey = versionKey + L"\\" + locale;
            const std::wstring fileKey = localeKey + (bits64 ? L"\\win64" : L"\\win32");
            std::wstring reason;
            if (Missing(fileKey) && !Missing(localeKey + L"\\" + other))
                reason = L": the type library is registered only under " + other;
            if (std::optional<std::wstring> path = ReadDefault(fileKey, reason))
                CheckFile(fileKey, WithoutResourceIndex(NamedFile(*path, false)), L"");
        }
    }

    // A user's own registration comes first for that user's 32-bit callers, whatever the machine's says. The
    // views merge key by key, so a user's key hides the machine's only where it has what COM reads.
    void CheckOverrides(const std::wstring& progId)
    {
        if (!usersListed_)
            ListUsers();
        if (usersError_ != RegError::Success) {
            UserProblem(L"HKEY_USERS cannot be listed: " + FilePlatform::ErrorText(usersError_));
            return;
        }
        const std::wstring file = SystemPlatform::ProgramBits() == 64 ? L"win64" : L"win32";
        for (const std::wstring& user : users_) {
            const std::wstring classes = user + L"\\Software\\Classes\\";
            Override(classes + progId, {L"CLSID"});
            if (!clsid_.empty())
                Override(classes + L"CLSID\\" + clsid_,
                         {L"InprocServer32", L"LocalServer32", L"InprocHandler32", L"TreatAs", L"ProgID"});
            if (!typeLib_.empty()) {
                // A version holds its locales, and a locale the file of each bitness.
                std::vector<std::wstring> files;
                for (const std::wstring& version : UserSubKeys(classes + L"TypeLib\\" + typeLib_, AnyName)) {
                    for (const std::wstring& locale : UserSubKeys(classes + L"TypeLib\\" + typeLib_ + L"\\" + version, IsLocale))
                        files.push_back(version + L"\\" + locale + L"\\" + file);
                }
                Override(classes + L"TypeLib\\" + typeLib_, files);
            }
        }
    }

    // A user's key that holds any of `parts` overrides the machine's registration; one that cannot be opened
    // cannot be told from one that does.
    void Override(const std::wstring& path, const std::vector<std::wstring>& parts)
    {
        long code = OpenUserKey(path);
        if (code == RegError::FileNotFound)
            return;
        if (code != RegError::Success) {
            UserProblem(L"HKEY_USERS\\" + path + L" cannot be opened: " + FilePlatform::ErrorText(code));
            return;
        }
        for (const std::wstring& part : parts) {
            code = OpenUserKey(path + L"\\" + part);
            if (code == RegError::Success) {
                UserProblem(L"HKEY_USERS\\" + path + L" overrides the machine's registration for that user.");
                return;
            }
            if (code != RegError::FileNotFound) {
                UserProblem(L"HKEY_USERS\\" + path + L"\\" + part + L" cannot be opened: " +
                            FilePlatform::ErrorText(code));
                return;
            }
        }
    }

    // As a 32-bit program of that user reads it.
    static long OpenUserKey(const std::wstring& path)
    {
        RegKeyOwner key;
        return RegistryPlatform::OpenKeyWide(RegKey::Users, path, *key.put(), true);
    }

    // The subkeys of a user's key that `fits`; those that cannot be listed are found when they are opened.
    static std::vector<std::wstring> UserSubKeys(const std::wstring& path, bool (*fits)(const std::wstring&))
    {
        std::vector<std::wstring> names;
        RegKeyOwner key;
        if (RegistryPlatform::OpenKeyWide(RegKey::Users, path, *key.put(), true) != RegError::Success)
            return names;
        std::wstring name;
        for (std::uint32_t index = 0; RegistryPlatform::EnumKeyWide(key.get(), index, name) == RegError::Success;
             ++index) {
            if (fits(name))
                names.push_back(name);
        }
        return names;
    }

    void UserProblem(const std::wstring& what)
    {
        ++overrides_;
        Problem(what);
    }

    // The users whose hives are loaded; .DEFAULT is no user's, and a "_Classes" key shows a hive's classes twice.
    void ListUsers()
    {
        usersListed_ = true;
        std::wstring name;
        for (std::uint32_t index = 0;; ++index) {
            long code = RegistryPlatform::EnumKeyWide(RegKey::Users, index, name);
            if (code == RegError::NoMoreItems || code == RegError::FileNotFound)
                return;
            if (code != RegError::Success) {
                usersError_ = code;
                return;
            }
            bool classes = name.size() >= 8 && EqualsIgnoringCase(name.substr(name.size() - 8), L"_Classes");
            if (!classes && !EqualsIgnoringCase(name, L".DEFAULT"))
                users_.push_back(name);
        }
    }

    const std::wstring& appPath_;
    const std::wstring& systemPath_;
    const std::wstring view_;
    const std::function<void(const std::wstring&)>& log_;
    LoadCheck loadCheck_;
    std::wstring clsid_;
    std::wstring typeLib_;
    std::wstring server_;
    std::vector<std::wstring> users_;
    bool usersListed_ = false;
    long usersError_ = RegError::Success;
    int problems_ = 0;
    int overrides_ = 0;
};

// The default value of `path` below HKEY_LOCAL_MACHINE; nothing when there is none to read.
std::optional<std::wstring> DefaultOf(const std::wstring& path)
{
    RegKeyOwner key;
    std::wstring value;
    if (RegistryPlatform::OpenKeyWide(RegKey::LocalMachine, path, *key.put()) != RegError::Success ||
        !ReadWideString(key.get(), L"", value))
        return std::nullopt;
    return value;
}

}  // namespace

bool ProgramRegistered(const std::wstring& program)
{
    const std::wstring file = program.substr(program.find_last_of(L'\\') + 1);
    bool serves = false;
    for (const wchar_t* progId : ClassTable) {
        const wchar_t* component = ComponentOf(progId);
        if (component == nullptr || !EqualsIgnoringCase(component, file))
            continue;
        serves = true;
        std::optional<std::wstring> clsid = DefaultOf(std::wstring(ClassesKey) + progId + L"\\CLSID");
        std::optional<std::wstring> server =
            clsid && IsIdentifier(*clsid)
                ? DefaultOf(std::wstring(ClassesKey) + L"CLSID\\" + *clsid + L"\\LocalServer32")
                : std::nullopt;
        bool same = false;
        if (!server || FilePlatform::SameFile(NamedFile(*server, true), program, same) != 0 || !same)
            return false;
    }
    return serves;
}

std::wstring ProblemsLine(int problems)
{
    if (problems == 0)
        return L"\r\nNo problems found.";
    return L"\r\n*** " + std::to_wstring(problems) + (problems == 1 ? L" PROBLEM" : L" PROBLEMS") +
           L" FOUND - Scroll back to see them.";
}

CheckReport CheckSuite(const std::wstring& appPath, const std::wstring& systemPath,
                       const std::function<void(const std::wstring&)>& log,
                       const std::function<void(const ClassFindings&)>& classDone)
{
    log(std::wstring(Separator));
    Checker checker(appPath, systemPath, log);
    CheckReport report;
    for (const wchar_t* progId : ClassTable) {
        int before = checker.Problems();
        checker.CheckClass(progId);
        bool problem = checker.Problems() > before;
        if (problem)
            report.classes.push_back(progId);
        if (classDone) {
            ClassFindings findings{progId, problem, {}};
            if (!checker.Server().empty())
                findings.servers.push_back(checker.Server());
            classDone(findings);
        }
    }
    report.overrides = checker.Overrides();
    report.problems = checker.Problems();
    log(ProblemsLine(report.problems));
    return report;
}
