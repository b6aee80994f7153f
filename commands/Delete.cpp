#include "commands/Commands.h"
#include "helpers/FuncLib.h"
#include "registry/RegFuncs.h"
#include "registry/RegKeyOwner.h"

namespace {

// One Delete: the backup it removes through, and the last type library it
// deleted, which neighbours that share it find gone already.
struct Deletion {
    SuiteState& state;
    CommandLog& log;
    DeleteBackup backup;
    // Only the last deleted ID is remembered, and it starts as "".
    std::wstring lastDeletedTypeLib;
};

// Opens a parent key for Delete through ReadKeyValue; empty when it cannot.
RegKeyOwner OpenParentKey(Deletion& run, const std::wstring& path)
{
    std::wstring unusedValue;
    RegKey opened = RegKey::None;
    // A parent that is not there holds nothing to delete; one that is there
    // but cannot be opened keeps its trees, and the run must not end as if
    // it had removed them.
    if (!ReadKeyValue(run.state, run.log, RegKey::LocalMachine, path, L"", unusedValue, false, opened) &&
        !RegKeyMissing(RegKey::LocalMachine, path))
        run.state.DeleteFailed = true;
    return RegKeyOwner(opened);
}

// Deletes the tree `name` below `parentPath` as the backup holds it and logs the result.
bool DeleteTreeLogged(Deletion& run, const std::wstring& parentPath, const std::wstring& name)
{
    DeleteBackup& backup = run.backup;
    const std::wstring tree = TreeName(parentPath, name);
    if (auto left = backup.left.find(tree); left != backup.left.end()) {
        run.state.DeleteFailed = true;
        run.log.AddMsg(L"\tERROR: Deleting " + name + L": left whole, as " + left->second + L".");
        return false;
    }
    // Only a tree the backup holds is deleted, through the keys its read
    // opened; an identifier with a backslash was never read, as it would name
    // a key further down, reached through whatever lies between. A tree
    // deleted once, by an earlier class, is not held any more.
    auto held = backup.trees.find(tree);
    std::vector<std::wstring> changed;
    if (held == backup.trees.end() || !held->second.Delete(changed)) {
        run.state.DeleteFailed = true;
        run.log.AddMsg(L"\tERROR: Deleting " + name);
        for (const std::wstring& key : changed)
            run.log.AddMsg(L"\t\t" + key + L" was written after the backup read it; it stays, with the keys above it.");
        if (held != backup.trees.end())
            backup.trees.erase(held);
        return false;
    }
    backup.trees.erase(held);
    run.log.AddMsg(L"\tDeleted " + name);
    return true;
}

void DeleteClass(Deletion& run, std::size_t i)
{
    SuiteState& state = run.state;
    const std::wstring& progId = (*state.ClassList)[i];

    run.log.AddMsg(L"\r\nDeleting TypeLib Entries for the Class: " + progId);
    if (RegKeyOwner parent = OpenParentKey(run, TypeLibParent)) {
        const std::wstring& typeLib = (*state.TypeLibList)[i];
        if (typeLib == run.lastDeletedTypeLib) {
            run.log.AddMsg(L"\tAlready deleted.");
        } else if (IsBlank(typeLib)) {
            state.DeleteFailed = true;
            run.log.AddMsg(L"\tERROR: Typelib ID is blank.");
        } else if (DeleteTreeLogged(run, TypeLibParent, typeLib)) {
            run.lastDeletedTypeLib = typeLib;
        }
    }

    run.log.AddMsg(L"Deleting CLSID Entries for the Class: " + progId);
    if (RegKeyOwner parent = OpenParentKey(run, ClsidParent)) {
        const std::wstring& clsid = (*state.ClsidList)[i];
        if (IsBlank(clsid)) {
            state.DeleteFailed = true;
            run.log.AddMsg(L"\tERROR: CLSID is blank.");
        } else {
            DeleteTreeLogged(run, ClsidParent, clsid);
        }
    }

    run.log.AddMsg(L"Deleting Class: " + progId);
    if (RegKeyOwner parent = OpenParentKey(run, ProgIdParent))
        DeleteTreeLogged(run, ProgIdParent, progId);
}

}  // namespace

CommandOutcome DeleteSuite(SuiteState& state, CommandLog& log, const BackupOrder& order)
{
    // Delete works on what the last Load found, and does nothing before one.
    if (!state.ClassList || !state.ClsidList || !state.TypeLibList)
        return {};
    log.AddMsg(std::wstring(ReportSeparator));
    RunLock lock;
    if (!TakeRunLock(lock, log))
        return {};
    state.DeleteFailed = false;
    // Nothing goes that is not in the backup, and nothing at all without one.
    Deletion run{state, log, BackUpForDelete(*state.ClassList, *state.ClsidList, *state.TypeLibList, order), L""};
    for (const std::wstring& file : run.backup.othersMayChange)
        log.AddMsg(L"\r\nWARNING: " + file);
    CommandOutcome outcome;
    if (!run.backup.error.empty()) {
        state.DeleteFailed = true;
        outcome.reason = VerdictReason::BackupFailed;
        log.AddMsg(L"\r\nERROR: Backup not written: " + run.backup.error);
        return Finish(log, Closing::Deleting, state.DeleteFailed, outcome);
    }
    if (!run.backup.path.empty()) {
        outcome.backup = run.backup.path;
        log.AddMsg(L"\r\nBackup: " + run.backup.path);
    }
    for (std::size_t i = 0; i < state.ClassList->size(); ++i)
        DeleteClass(run, i);
    return Finish(log, Closing::Deleting, state.DeleteFailed, outcome);
}
