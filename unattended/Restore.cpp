#include "unattended/Restore.h"

#include <algorithm>

#include "helpers/FuncLib.h"
#include "helpers/SuiteFiles.h"
#include "helpers/Utf16.h"
#include "helpers/OutputFile.h"
#include "platform/FilePlatform.h"
#include "platform/RegistryPlatform.h"
#include "registry/RegFile.h"
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

std::wstring DefaultText(const RegKeyData& key)
{
    for (const RegValueData& value : key.values) {
        bool valid = true;
        if (value.name.empty() && (value.type == RegType::Sz || value.type == RegType::ExpandSz))
            return TrimNull(FromUtf16(UnitsOf(value.bytes), valid));
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

// The first failure in writing one key and its values; "" when all went in.
std::wstring WriteKey(const RegKeyData& key)
{
    RegKey created = RegKey::None;
    if (long code = RegistryPlatform::CreateKey64(key.path.substr(Machine.size()), created))
        return FilePlatform::ErrorText(code);
    RegKeyOwner owner(created);
    for (const RegValueData& value : key.values) {
        if (long code = RegistryPlatform::SetValueWide(owner.get(), value))
            return (value.name.empty() ? L"the default value" : L"the value " + value.name) + L": " +
                   FilePlatform::ErrorText(code);
    }
    return L"";
}

}  // namespace

bool RestoreRegFile(const std::wstring& path, const std::function<void(const std::wstring&)>& log)
{
    log(L"\r\n----------------------------------------");
    std::wstring fullPath = path;
    std::string bytes;
    FileRefusal refusal = FileRefusal::None;
    long code = FilePlatform::FullPath(path, fullPath);
    if (code == 0)
        code = FilePlatform::ReadDiskFile(fullPath, bytes, refusal, LargestFile);
    log(L"\r\nRestoring from " + fullPath);
    std::wstring error = code != 0 ? FilePlatform::ErrorText(code) : OutputFile::RefusalText(refusal);
    std::optional<std::wstring> text;
    if (error.empty() && !(text = DecodeUtf16File(bytes)))
        error = L"it is not a registry file in UTF-16 with a byte-order mark.";
    RegFileParse parsed;
    if (error.empty()) {
        parsed = ParseRegFile(*text, AllowedRoot);
        if (parsed.errorLine != 0)
            error = L"line " + std::to_wstring(parsed.errorLine) + L": " + parsed.error + L" Nothing was written.";
    }
    std::size_t foreign = error.empty() ? FirstForeignKey(parsed) : parsed.keys.size();
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
            error = line + L"The key " + key + L" cannot be followed to where it would be written: " +
                    FilePlatform::ErrorText(failed) + L" Nothing was written.";
        else if (!Below(landing, std::wstring(AllowedRoot)))
            error = line + L"The key " + key + L" lies below a registry link to " + landing + L", outside " +
                    std::wstring(AllowedRoot) + L". Nothing was written.";
    }
    if (!error.empty()) {
        log(L"\tERROR: Cannot restore " + fullPath + L": " + error);
        log(L"\r\n*** ERROR IN RESTORING - Scroll back to see the Errors.");
        return false;
    }

    // Each tree at the top of the file is reported once, with the first
    // failure met anywhere in it.
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
    if (failed)
        log(L"\r\n*** ERROR IN RESTORING - Scroll back to see the Errors.");
    return !failed;
}
