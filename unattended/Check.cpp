#include "unattended/Check.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "console/Tables.h"
#include "helpers/FilePlatform.h"
#include "helpers/FuncLib.h"
#include "helpers/SystemPlatform.h"
#include "registry/RegKeyOwner.h"
#include "registry/RegistryPlatform.h"

namespace {

constexpr std::wstring_view Separator = L"\r\n----------------------------------------";
constexpr std::wstring_view ClassesKey = L"Software\\CLASSES\\";
constexpr long PathNotFound = 3;

bool IsHexDigit(wchar_t c)
{
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

// Also what keeps a value read from the registry from leading the check into another key.
bool IsIdentifier(const std::wstring& text)
{
    if (text.size() != 38 || text.front() != L'{' || text.back() != L'}')
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

// The file a value names, read as the system reads it: a quoted name is what the quotes hold, and a program's
// command line without quotes ends at its first ".exe".
std::wstring NamedFile(const std::wstring& value, bool program)
{
    if (!value.empty() && value.front() == L'"')
        return value.substr(1, value.find(L'"', 1) - 1);
    for (std::size_t i = 0; program && i + 4 <= value.size(); ++i) {
        if (EqualsIgnoringCase(value.substr(i, 4), L".exe"))
            return value.substr(0, i + 4);
    }
    return value;
}

class Checker {
public:
    Checker(const std::wstring& appPath, const std::wstring& systemPath,
            const std::function<void(const std::wstring&)>& log)
        : appPath_(appPath), systemPath_(systemPath), log_(log)
    {
    }

    [[nodiscard]] int Problems() const { return problems_; }

    void CheckClass(const std::wstring& progId)
    {
        log_(L"\r\nChecking Class: " + progId);
        int before = problems_;
        CheckRegistration(progId);
        if (problems_ == before)
            log_(L"\tOK");
    }

private:
    void Problem(const std::wstring& what)
    {
        ++problems_;
        log_(L"\tPROBLEM: " + what);
    }

    // Empty once the reason is reported; `reason` tells more about a key that is missing.
    RegKeyOwner Open(const std::wstring& path, const std::wstring& reason = L"")
    {
        RegKey key = RegKey::None;
        long code = RegistryPlatform::OpenKey(RegKey::LocalMachine, path, key);
        if (code == RegError::FileNotFound)
            Problem(path + L" is missing" + reason + L".");
        else if (code != RegError::Success)
            Problem(path + L" cannot be opened: " + FilePlatform::ErrorText(code));
        return RegKeyOwner(code == RegError::Success ? key : RegKey::None);
    }

    std::optional<std::wstring> ReadDefault(const std::wstring& path, const std::wstring& reason = L"")
    {
        RegKeyOwner key = Open(path, reason);
        if (!key)
            return std::nullopt;
        std::wstring value;
        if (!GetRegString(key.get(), L"", value)) {
            Problem(path + L" has no default value that can be read.");
            return std::nullopt;
        }
        return value;
    }

    std::optional<std::wstring> ReadIdentifier(const std::wstring& path, const std::wstring& kind)
    {
        std::optional<std::wstring> value = ReadDefault(path);
        if (value && !IsIdentifier(*value)) {
            Problem(path + L" holds \"" + *value + L"\", which is not a " + kind + L".");
            return std::nullopt;
        }
        return value;
    }

    std::optional<std::wstring> FirstSubKey(const std::wstring& path, const std::wstring& kind,
                                            bool (*fits)(const std::wstring&))
    {
        RegKeyOwner key = Open(path);
        if (!key)
            return std::nullopt;
        std::wstring name;
        for (std::uint32_t index = 0;; ++index) {
            long code = EnumRegSubKey(key.get(), index, name);
            if (code == RegError::NoMoreItems)
                break;
            if (code != RegError::Success) {
                Problem(path + L" cannot be listed: " + FilePlatform::ErrorText(code));
                return std::nullopt;
            }
            if (fits(name))
                return name;
        }
        Problem(path + L" has no " + kind + L" subkey.");
        return std::nullopt;
    }

    // Files are compared, not names: a short name, another letter case or a doubled separator is the same file.
    void CheckFile(const std::wstring& key, const std::wstring& path, const std::wstring& expected)
    {
        if (IsBlank(path)) {
            Problem(key + L" names no file.");
            return;
        }
        // Asked about alone first: a failure of the pair would not tell which of the two is missing.
        bool same = false;
        long code = FilePlatform::SameFile(path, path, same);
        if (code == RegError::FileNotFound || code == PathNotFound)
            Problem(key + L" names " + path + L", which is missing.");
        else if (code != 0)
            Problem(key + L" names " + path + L", which cannot be opened: " + FilePlatform::ErrorText(code));
        else if (!expected.empty() && (FilePlatform::SameFile(path, expected, same) != 0 || !same))
            Problem(key + L" names " + path + L", not " + expected + L".");
    }

    void CheckRegistration(const std::wstring& progId)
    {
        const std::wstring progIdKey = std::wstring(ClassesKey) + progId;
        if (!Open(progIdKey))
            return;
        std::optional<std::wstring> clsid = ReadIdentifier(progIdKey + L"\\CLSID", L"class identifier");
        if (!clsid)
            return;
        const std::wstring classKey = std::wstring(ClassesKey) + L"CLSID\\" + *clsid;
        if (!Open(classKey))
            return;
        std::optional<std::wstring> named = ReadDefault(classKey + L"\\ProgID");
        if (named && !EqualsIgnoringCase(*named, progId))
            Problem(classKey + L"\\ProgID names " + *named + L", not " + progId + L".");
        CheckServer(progId, classKey);
        CheckTypeLib(classKey);
    }

    void CheckServer(const std::wstring& progId, const std::wstring& classKey)
    {
        const std::wstring base = progId.substr(0, progId.find(L'.'));
        auto component = std::find_if(ComponentTable.begin(), ComponentTable.end(), [&base](const wchar_t* file) {
            std::wstring name = file;
            return EqualsIgnoringCase(name.substr(0, name.find(L'.')), base);
        });
        if (component == ComponentTable.end()) {
            Problem(L"No file of the suite is named " + base + L".");
            return;
        }
        const std::wstring file = *component;
        const bool program = EqualsIgnoringCase(FileExtension(file, false), L"exe");
        const std::wstring serverKey = classKey + (program ? L"\\LocalServer32" : L"\\InprocServer32");
        const std::wstring server = (program ? L"the program " : L"the library ") + file;
        std::optional<std::wstring> value = ReadDefault(serverKey, L": the class is served by " + server);
        if (!value)
            return;
        // Without the folder Create uses, only that the file exists can be told.
        const std::wstring& folder = program ? appPath_ : systemPath_;
        CheckFile(serverKey, NamedFile(*value, program), folder.empty() ? L"" : folder + file);
    }

    void CheckTypeLib(const std::wstring& classKey)
    {
        std::optional<std::wstring> id = ReadIdentifier(classKey + L"\\TypeLib", L"type library identifier");
        if (!id)
            return;
        const std::wstring typeLibKey = std::wstring(ClassesKey) + L"TypeLib\\" + *id;
        std::optional<std::wstring> version = FirstSubKey(typeLibKey, L"version", AnyName);
        if (!version)
            return;
        const std::wstring versionKey = typeLibKey + L"\\" + *version;
        std::optional<std::wstring> locale = FirstSubKey(versionKey, L"locale", IsLocale);
        if (!locale)
            return;
        // The system loads a type library for a caller of its own bitness
        // only: a 32-bit caller from "win32", a 64-bit one from "win64".
        const bool bits64 = SystemPlatform::ProgramBits() == 64;
        const std::wstring localeKey = versionKey + L"\\" + *locale;
        const std::wstring fileKey = localeKey + (bits64 ? L"\\win64" : L"\\win32");
        const std::wstring other = bits64 ? L"win32" : L"win64";
        std::wstring reason;
        if (RegKeyMissing(RegKey::LocalMachine, fileKey) &&
            !RegKeyMissing(RegKey::LocalMachine, localeKey + L"\\" + other))
            reason = L": the type library is registered only under " + other;
        if (std::optional<std::wstring> path = ReadDefault(fileKey, reason))
            CheckFile(fileKey, NamedFile(*path, false), L"");
    }

    const std::wstring& appPath_;
    const std::wstring& systemPath_;
    const std::function<void(const std::wstring&)>& log_;
    int problems_ = 0;
};

}  // namespace

CheckReport CheckSuite(const std::wstring& appPath, const std::wstring& systemPath,
                       const std::function<void(const std::wstring&)>& log)
{
    log(std::wstring(Separator));
    Checker checker(appPath, systemPath, log);
    CheckReport report;
    for (const wchar_t* progId : ClassTable) {
        int before = checker.Problems();
        checker.CheckClass(progId);
        if (checker.Problems() > before)
            report.classes.push_back(progId);
    }
    int problems = report.problems = checker.Problems();
    if (problems == 0)
        log(L"\r\nNo problems found.");
    else
        log(L"\r\n*** " + std::to_wstring(problems) + (problems == 1 ? L" PROBLEM" : L" PROBLEMS") +
            L" FOUND - Scroll back to see them.");
    return report;
}
