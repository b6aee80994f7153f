#include "commands/Restore.h"

#include "commands/Commands.h"

#include <algorithm>
#include <optional>
#include <set>

#include "helpers/FuncLib.h"
#include "helpers/SuiteFiles.h"
#include "helpers/Utf16.h"
#include "helpers/OutputFile.h"
#include "helpers/SecureFolder.h"
#include "platform/FilePlatform.h"
#include "platform/RegistryPlatform.h"
#include "platform/SystemPlatform.h"
#include "platform/WinCodes.h"
#include "registry/RegFile.h"
#include "registry/RegFuncs.h"
#include "registry/RegKeyOwner.h"
#include "registry/RegLinkResolve.h"

namespace {

constexpr std::wstring_view Machine = L"HKEY_LOCAL_MACHINE\\";
constexpr std::wstring_view AllowedRoot = L"HKEY_LOCAL_MACHINE\\Software\\Classes";
// A registry file this large is no backup of the suite.
constexpr std::size_t LargestFile = 64u << 20;

bool Below(const std::wstring& path, const std::wstring& top)
{
    return path.size() > top.size() && EqualsIgnoringCase(path.substr(0, top.size()), top) && path[top.size()] == L'\\';
}

// The text of a string value, expanded as the system expands it for a caller; nothing for a value of another type.
std::optional<std::wstring> StringOf(const RegValueData& value)
{
    std::optional<std::wstring> expanded = ExpandedStringValue(value);
    return expanded ? expanded : StringValue(value);
}

std::wstring DefaultText(const RegKeyData& key)
{
    for (const RegValueData& value : key.values) {
        if (value.name.empty())
            return StringOf(value).value_or(L"");
    }
    return L"";
}

// The path below Software\Classes split at its separators, without the
// Wow6432Node by which the 64-bit view names a 32-bit key.
std::vector<std::wstring> ClassesParts(const std::wstring& path)
{
    std::vector<std::wstring> parts;
    for (std::size_t start = AllowedRoot.size() + 1; start <= path.size();) {
        std::size_t end = std::min(path.find(L'\\', start), path.size());
        parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    if (parts.size() > 1 && EqualsIgnoringCase(parts[0], L"Wow6432Node"))
        parts.erase(parts.begin());
    return parts;
}

// The class or type library key that `path` lies in, by the file's own names: its first two parts below
// Software\Classes (and Wow6432Node).
std::wstring TreeTop(const std::wstring& path)
{
    std::size_t end = AllowedRoot.size();
    std::size_t wanted = path.size() > end + 12 && EqualsIgnoringCase(path.substr(end + 1, 12), L"Wow6432Node\\") ? 3 : 2;
    for (std::size_t n = 0; n < wanted && end != std::wstring::npos; ++n)
        end = path.find(L'\\', end + 1);
    return path.substr(0, end);
}

bool Names(const std::vector<std::wstring>& names, const std::wstring& name)
{
    return std::any_of(names.begin(), names.end(), [&name](const std::wstring& n) { return EqualsIgnoringCase(n, name); });
}

// The first key outside the suite's trees: its ProgIDs', and the class keys and
// type libraries that the file's own ProgID and class keys name, which is all
// that Delete's backup holds. Anything else in a file from outside could
// steer another product's classes. `parsed.keys.size()` when there is none.
std::size_t FirstForeignKey(const RegFileParse& parsed)
{
    std::vector<std::wstring> progIds(ClassTable.begin(), ClassTable.end());
    std::vector<std::wstring> clsids;
    std::vector<std::wstring> typeLibs;
    auto named = [&parsed](std::vector<std::wstring>& into, auto names) {
        for (const RegKeyData& key : parsed.keys) {
            std::wstring text = DefaultText(key);
            if (!text.empty() && names(ClassesParts(key.path)))
                into.push_back(text);
        }
    };
    named(clsids, [&progIds](const std::vector<std::wstring>& parts) {
        return parts.size() == 2 && Names(progIds, parts[0]) && EqualsIgnoringCase(parts[1], L"CLSID");
    });
    named(typeLibs, [&clsids](const std::vector<std::wstring>& parts) {
        return parts.size() == 3 && EqualsIgnoringCase(parts[0], L"CLSID") && Names(clsids, parts[1]) &&
               EqualsIgnoringCase(parts[2], L"TypeLib");
    });
    for (std::size_t i = 0; i < parsed.keys.size(); ++i) {
        std::vector<std::wstring> parts = ClassesParts(parsed.keys[i].path);
        bool suite = Names(progIds, parts[0]) ||
                     (parts.size() > 1 && EqualsIgnoringCase(parts[0], L"CLSID") && Names(clsids, parts[1])) ||
                     (parts.size() > 1 && EqualsIgnoringCase(parts[0], L"TypeLib") && Names(typeLibs, parts[1]));
        if (!suite)
            return i;
    }
    return parsed.keys.size();
}

// The default value of the key `subPath` (the 64-bit view's names below
// HKEY_LOCAL_MACHINE) as it is on the machine; nothing when it is not there.
std::optional<std::wstring> MachineDefault(const std::wstring& subPath, bool view32 = false)
{
    RegKeyOwner key;
    long code = view32 ? RegistryPlatform::OpenKeyWide(RegKey::LocalMachine, subPath, *key.put(), true)
                       : RegistryPlatform::OpenLink64(subPath, *key.put());
    if (code != RegError::Success)
        return std::nullopt;
    RegValueData value;
    if (RegistryPlatform::QueryValueWide(key.get(), L"", value) != RegError::Success)
        return std::nullopt;
    std::optional<std::wstring> text = StringOf(value);
    return text && !text->empty() ? text : std::nullopt;
}

std::wstring FileName(const std::wstring& path)
{
    return path.substr(path.find_last_of(L"\\/") + 1);
}

// The type libraries that the suite's classes on this machine name, as a 32-bit caller finds them.
std::set<std::wstring> SuiteTypeLibs()
{
    std::set<std::wstring> named;
    for (const wchar_t* progId : ClassTable) {
        std::optional<std::wstring> clsid = MachineDefault(L"Software\\Classes\\" + std::wstring(progId) + L"\\CLSID", true);
        if (!clsid || clsid->find(L'\\') != std::wstring::npos)
            continue;
        if (std::optional<std::wstring> typeLib = MachineDefault(L"Software\\Classes\\CLSID\\" + *clsid + L"\\TypeLib", true))
            named.insert(Lower(*typeLib));
    }
    return named;
}

// Why the key `top` of the machine, the top of a class or type library tree of
// the file, is another product's; "" when it is not there or is the suite's.
// Right after a Delete the suite's trees are gone, so its backup always passes.
std::wstring ForeignOnMachine(const std::wstring& top, bool typeLib, std::optional<std::set<std::wstring>>& suiteTypeLibs)
{
    const std::wstring sub = top.substr(Machine.size());
    RegKeyOwner opened;
    long code = RegistryPlatform::OpenLink64(sub, *opened.put());
    if (code == RegError::FileNotFound)
        return L"";
    if (code != RegError::Success)
        return L"it cannot be looked at: " + FilePlatform::ErrorText(code);
    opened.reset();
    if (typeLib) {
        if (!suiteTypeLibs)
            suiteTypeLibs = SuiteTypeLibs();
        return suiteTypeLibs->count(Lower(ClassesParts(top).back())) ? L""
                                                                       : L"no class of the suite on this computer names it.";
    }
    if (std::optional<std::wstring> progId = MachineDefault(sub + L"\\ProgID")) {
        bool suite = std::any_of(ClassTable.begin(), ClassTable.end(),
                                 [&progId](const wchar_t* p) { return EqualsIgnoringCase(p, *progId); });
        return suite ? L"" : L"its ProgID there is " + *progId + L".";
    }
    for (const wchar_t* server : {L"InprocServer32", L"LocalServer32"}) {
        std::optional<std::wstring> value = MachineDefault(sub + L"\\" + server);
        if (!value)
            continue;
        std::wstring file = FileName(NamedFile(*value, std::wstring(server) == L"LocalServer32"));
        bool suite = std::any_of(ComponentTable.begin(), ComponentTable.end(),
                                 [&file](const wchar_t* c) { return EqualsIgnoringCase(c, file); });
        return suite ? L"" : L"it has no ProgID there, and its server " + *value + L" is none of the suite's files.";
    }
    return L"it has neither a ProgID nor a server there that would show it is the suite's.";
}

// The component file that the file's own keys tie class `clsid` to: through the ProgID that names it.
const wchar_t* ComponentOfClass(const RegFileParse& parsed, const std::wstring& clsid)
{
    for (const RegKeyData& key : parsed.keys) {
        std::vector<std::wstring> parts = ClassesParts(key.path);
        if (parts.size() == 2 && EqualsIgnoringCase(parts[1], L"CLSID") && EqualsIgnoringCase(DefaultText(key), clsid))
            return ComponentOf(parts[0]);
    }
    return nullptr;
}

const wchar_t* ComponentOfTypeLib(const RegFileParse& parsed, const std::wstring& typeLib)
{
    for (const RegKeyData& key : parsed.keys) {
        std::vector<std::wstring> parts = ClassesParts(key.path);
        if (parts.size() == 3 && EqualsIgnoringCase(parts[0], L"CLSID") && EqualsIgnoringCase(parts[2], L"TypeLib") &&
            EqualsIgnoringCase(DefaultText(key), typeLib))
            return ComponentOfClass(parsed, parts[1]);
    }
    return nullptr;
}

// Why the file that a value the system loads or starts names deserves a look;
// "" when it is the class's own component in a folder only administrators can change.
std::wstring ServerDoubt(const std::wstring& file, const wchar_t* component)
{
    if (component == nullptr || !EqualsIgnoringCase(FileName(file), component))
        return L"which is not the suite's " + std::wstring(component ? component : L"file for it") + L".";
    return ServerFolderDoubt(file).text;
}

// One warning for each value that the system would load or start, when it
// names a file other than the class's component or one in a folder others may
// change. The restore still writes it: the backup holds what was there.
std::vector<std::wstring> ServerWarnings(const RegFileParse& parsed)
{
    std::vector<std::wstring> warnings;
    for (const RegKeyData& key : parsed.keys) {
        std::vector<std::wstring> parts = ClassesParts(key.path);
        bool inproc = parts.size() == 3 && EqualsIgnoringCase(parts[0], L"CLSID") &&
                      EqualsIgnoringCase(parts[2], L"InprocServer32");
        bool local = parts.size() == 3 && EqualsIgnoringCase(parts[0], L"CLSID") &&
                     EqualsIgnoringCase(parts[2], L"LocalServer32");
        bool typeLib = parts.size() == 5 && EqualsIgnoringCase(parts[0], L"TypeLib") &&
                       (EqualsIgnoringCase(parts[4], L"win32") || EqualsIgnoringCase(parts[4], L"win64"));
        std::wstring text = DefaultText(key);
        if ((!inproc && !local && !typeLib) || text.empty())
            continue;
        std::wstring file = typeLib ? WithoutResourceIndex(NamedFile(text, false)) : NamedFile(text, local);
        std::wstring doubt = ServerDoubt(file, typeLib ? ComponentOfTypeLib(parsed, parts[1])
                                                       : ComponentOfClass(parsed, parts[1]));
        if (!doubt.empty())
            warnings.push_back(L"\tWARNING: The default value of " + key.path + L" names " + file + L", " + doubt);
    }
    return warnings;
}

// The first failure in writing one key and its values; "" when all went in.
std::wstring WriteKey(const RegKeyData& key)
{
    RegKeyOwner owner;
    if (long code = RegistryPlatform::CreateKey64(key.path.substr(Machine.size()), *owner.put()))
        return FilePlatform::ErrorText(code);
    for (const RegValueData& value : key.values) {
        if (long code = RegistryPlatform::SetValueWide(owner.get(), value))
            return (value.name.empty() ? L"the default value" : L"the value " + value.name) + L": " +
                   FilePlatform::ErrorText(code);
    }
    return L"";
}

// The file read whole and parsed, with its full path in `fullPath`; why it
// cannot be restored from ("" when it can).
std::wstring ReadRestoreFile(const std::wstring& path, std::wstring& fullPath, RegFileParse& parsed,
                             const std::function<void(const std::wstring&)>& log)
{
    fullPath = path;
    std::string bytes;
    FileRefusal refusal = FileRefusal::None;
    FileAccess access;
    long code = FilePlatform::FullPath(path, fullPath);
    if (code == 0)
        code = FilePlatform::ReadDiskFile(fullPath, bytes, refusal, LargestFile, &access);
    log(L"\r\nRestoring from " + fullPath);
    std::wstring error = code != 0 ? FilePlatform::ErrorText(code) : OutputFile::RefusalText(refusal);
    // Whose file it is guards first: a file that only administrators could
    // have written is what an administrator kept, a broken registration included.
    const Account* stranger = nullptr;
    if (error.empty() && (stranger = Stranger(access, SystemPlatform::AccountSid())) != nullptr)
        error = AccountText(*stranger) + L" may change it, so it may hold what no backup held. Copy it into " +
                BackupsFolder().value_or(L"Tandrel's backups folder") +
                L" first: a copy that an administrator makes there gets that folder's permissions. Nothing was written.";
    std::optional<std::wstring> text;
    if (error.empty() && !(text = DecodeUtf16File(bytes)))
        error = L"it is not a registry file in UTF-16 with a byte-order mark.";
    if (error.empty()) {
        parsed = ParseRegFile(*text, AllowedRoot);
        if (parsed.errorLine != 0)
            error = L"line " + std::to_wstring(parsed.errorLine) + L": " + parsed.error + L" Nothing was written.";
    }
    return error;
}

// Why the file's keys may not be written where they would land; "" when they may.
std::wstring KeysRefused(const RegFileParse& parsed)
{
    std::wstring error;
    std::size_t foreign = FirstForeignKey(parsed);
    if (foreign < parsed.keys.size())
        error = L"line " + std::to_wstring(parsed.keyLines[foreign]) + L": The key " + parsed.keys[foreign].path +
                L" is none of the suite's ProgIDs, classes or type libraries, and a restore writes nothing else. "
                L"Nothing was written.";
    // A link already in the registry would carry a key, and all below it, to
    // wherever it leads: each key is followed to where it would land first.
    RegLinkResolver resolver;
    for (std::size_t i = 0; error.empty() && i < parsed.keys.size(); ++i) {
        const std::wstring& key = parsed.keys[i].path;
        std::wstring landing;
        std::wstring line = L"line " + std::to_wstring(parsed.keyLines[i]) + L": ";
        if (long failed = resolver.Resolve(key, landing))
            error = JoinSentences(line + L"The key " + key + L" cannot be followed to where it would be written: " +
                                      FilePlatform::ErrorText(failed),
                                  L"Nothing was written.");
        else if (!Below(landing, std::wstring(AllowedRoot)))
            error = line + L"The key " + key + L" lies below a registry link to " + landing + L", outside " +
                    std::wstring(AllowedRoot) + L". Nothing was written.";
    }
    // A tree of the file that is there already and is another product's: the
    // file's own keys cannot say which classes are the suite's.
    std::optional<std::set<std::wstring>> suiteTypeLibs;
    std::set<std::wstring> looked;
    for (std::size_t i = 0; error.empty() && i < parsed.keys.size(); ++i) {
        std::vector<std::wstring> parts = ClassesParts(parsed.keys[i].path);
        bool typeLib = EqualsIgnoringCase(parts[0], L"TypeLib");
        if (parts.size() < 2 || (!typeLib && !EqualsIgnoringCase(parts[0], L"CLSID")))
            continue;
        std::wstring landing;
        std::wstring top = TreeTop(parsed.keys[i].path);
        if (!looked.insert(Lower(top)).second || resolver.Resolve(top, landing) != 0)
            continue;
        std::wstring why = ForeignOnMachine(landing, typeLib, suiteTypeLibs);
        if (!why.empty())
            error = L"line " + std::to_wstring(parsed.keyLines[i]) + L": The key " + top +
                    L" on this computer is another product's: " + why + L" Nothing was written.";
    }
    return error;
}

// Each tree at the top of the file is written and reported once, with the
// first failure met anywhere in it. False when any failed.
bool WriteTrees(const RegFileParse& parsed, const std::function<void(const std::wstring&)>& log)
{
    bool failed = false;
    for (std::size_t i = 0; i < parsed.keys.size();) {
        const std::wstring& top = parsed.keys[i].path;
        std::wstring firstError;
        for (; i < parsed.keys.size() && (EqualsIgnoringCase(parsed.keys[i].path, top) || Below(parsed.keys[i].path, top));
             ++i) {
            std::wstring keyError = WriteKey(parsed.keys[i]);
            if (firstError.empty() && !keyError.empty())
                firstError = parsed.keys[i].path + L": " + keyError;
        }
        failed = failed || !firstError.empty();
        log(firstError.empty() ? L"\tRestored " + top : L"\tERROR: Restoring " + top + L": " + firstError);
    }
    return !failed;
}

}  // namespace

bool RestoreRegFile(const std::wstring& path, const std::function<void(const std::wstring&)>& log)
{
    log(std::wstring(ReportSeparator));
    std::wstring fullPath;
    RegFileParse parsed;
    std::wstring error = ReadRestoreFile(path, fullPath, parsed, log);
    if (error.empty())
        error = KeysRefused(parsed);
    if (!error.empty()) {
        log(L"\tERROR: Cannot restore " + fullPath + L": " + error);
        log(ClosingLine(Closing::Restoring));
        return false;
    }
    for (const std::wstring& warning : ServerWarnings(parsed))
        log(warning);
    bool written = WriteTrees(parsed, log);
    if (!written)
        log(ClosingLine(Closing::Restoring));
    return written;
}

CommandOutcome RestoreSuite(const std::wstring& path, CommandLog& log)
{
    CommandOutcome outcome;
    outcome.failed = !RestoreRegFile(path, log.Sink());
    if (outcome.failed)
        outcome.reason = VerdictReason::CommandFailed;
    log.FlushLog();
    return outcome;
}
