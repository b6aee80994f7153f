#include <string_view>

#include "commands/Commands.h"
#include "helpers/FuncLib.h"
#include "helpers/SuiteFiles.h"
#include "registry/RegFuncs.h"
#include "registry/RegKeyOwner.h"

namespace {

constexpr std::wstring_view ClassesKey = L"Software\\CLASSES\\";

// Logs one line per subkey of `key` (below `keyPath`), each as `indent` +
// name + ": " + its default value. Returns the value of a "typelib" subkey
// when `typeLib` is asked for.
void ListSubKeys(SuiteState& state, CommandLog& log, RegKey key, const std::wstring& keyPath,
                 const std::wstring& indent, std::wstring* typeLib)
{
    std::wstring name;
    for (std::uint32_t index = 0;; ++index) {
        long code = EnumRegSubKey(key, index, name);
        if (code == RegError::Success) {
            std::wstring value;
            RegKey unused = RegKey::None;
            if (ReadKeyValue(state, log, RegKey::LocalMachine, keyPath + L"\\" + name, L"", value, true, unused)) {
                if (typeLib && EqualsIgnoringCase(name, L"typelib"))
                    *typeLib = value;
                log.AddMsg(indent + name + L": " + value);
            }
        }
        // A failed enumeration leaves the blank filler, which ends the list.
        if (IsBlank(name))
            break;
    }
}

// Class `i`'s key below CLSID, then the type library it names.
void LoadClassKeys(SuiteState& state, CommandLog& log, std::size_t i, const std::wstring& clsid)
{
    // An empty CLSID opens the CLSID key itself and lists every class of
    // the machine: that is what the registry holds, so it is shown.
    std::wstring value;
    std::wstring classKeyPath = std::wstring(ClassesKey) + L"CLSID\\" + clsid;
    RegKey opened = RegKey::None;
    if (!ReadKeyValue(state, log, RegKey::LocalMachine, classKeyPath, L"", value, false, opened))
        return;
    RegKeyOwner classKey(opened);
    std::wstring typeLib;
    ListSubKeys(state, log, classKey.get(), classKeyPath, L"\t", &typeLib);
    if (!typeLib.empty())
        (*state.TypeLibList)[i] = typeLib;
    if (IsBlank(typeLib)) {
        state.LoadFailed = true;
        log.AddMsg(L"ERROR: Type Library ID not found.");
        return;
    }
    classKey.reset();

    std::wstring typeLibPath = std::wstring(ClassesKey) + L"TypeLib\\" + typeLib;
    opened = RegKey::None;
    if (ReadKeyValue(state, log, RegKey::LocalMachine, typeLibPath, L"", value, false, opened)) {
        RegKeyOwner typeLibKey(opened);
        ListSubKeys(state, log, typeLibKey.get(), typeLibPath, L"\t\t", nullptr);
    }
}

void LoadClass(SuiteState& state, CommandLog& log, std::size_t i)
{
    const std::wstring& progId = (*state.ClassList)[i];
    log.AddMsg(L"\r\nLoading Class Info: " + progId);

    std::wstring value;
    RegKey unused = RegKey::None;
    std::wstring progIdKey = std::wstring(ClassesKey) + progId;
    if (!ReadKeyValue(state, log, RegKey::LocalMachine, progIdKey, L"", value, true, unused))
        return;
    log.AddMsg(L"Name: " + value);

    if (!ReadKeyValue(state, log, RegKey::LocalMachine, progIdKey + L"\\CLSID", L"", value, true, unused)) {
        state.LoadFailed = true;
        log.AddMsg(L"ERROR: Class ID not found.");
        return;
    }
    (*state.ClsidList)[i] = value;
    log.AddMsg(L"CLSID: " + value);
    LoadClassKeys(state, log, i, value);
}

}  // namespace

CommandOutcome LoadSuite(SuiteState& state, CommandLog& log)
{
    state.ClassList.emplace(ClassTable.begin(), ClassTable.end());
    state.FileList.emplace(ComponentTable.begin(), ComponentTable.end());
    state.ClsidList.emplace(state.ClassList->size());
    state.TypeLibList.emplace(state.ClassList->size());
    state.LoadFailed = false;
    log.AddMsg(std::wstring(ReportSeparator));

    for (std::size_t i = 0; i < state.ClassList->size(); ++i)
        LoadClass(state, log, i);

    return Finish(log, Closing::Loading, state.LoadFailed);
}
