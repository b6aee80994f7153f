#include "console/Form1.h"

#include <cwctype>
#include <string_view>

#include "console/DeleteBackup.h"
#include "helpers/Foreground.h"
#include "helpers/FuncLib.h"
#include "helpers/SuiteFiles.h"
#include "platform/ProcessPlatform.h"
#include "registry/RegFuncs.h"
#include "registry/RegKeyOwner.h"

namespace {

// A long command still shows progress this often.
constexpr std::chrono::milliseconds LogBatchInterval{100};

// Each command's report begins with a run of 40 dashes.
constexpr std::wstring_view Separator = L"\r\n----------------------------------------";
constexpr std::wstring_view ClassesKey = L"Software\\CLASSES\\";

}  // namespace

Form1::Form1(FormView& view, Clock clock) : view_(view), clock_(std::move(clock)), lastFlush_(clock_()) {}

void Form1::Form_Load()
{
    AppPath = AppPathOf(L"Vestrel.exe");
    AddMsg(L"Vestrel Path: " + AppPath);
    SystemPath = SystemDirectory();
    FlushLog();
}

void Form1::cmdClose_Click()
{
    view_.Close();
}

void Form1::AddMsg(const std::wstring& msg)
{
    pendingLog_ += msg;
    pendingLog_ += L"\r\n";
    if (view_.TakesEntriesAtOnce() || clock_() - lastFlush_ >= LogBatchInterval)
        FlushLog();
}

void Form1::FlushLog()
{
    if (!pendingLog_.empty()) {
        view_.AppendLog(pendingLog_);
        pendingLog_.clear();
    }
    lastFlush_ = clock_();
}

bool Form1::ReadKeyValue(RegKey root, const std::wstring& subKey, const std::wstring& valueName,
                         std::wstring& value, bool closeKey, RegKey& keyOut)
{
    value.clear();
    RegKey key = RegKey::None;
    bool opened = OpenRegKey(root, subKey, key);
    if (opened) {
        std::wstring read;
        if (GetRegString(key, valueName, read))
            value = read;
    } else {
        AddMsg(L"ERROR: Could not locate the key in the Registry.\r\n" + subKey);
        LoadFailed = true;
    }
    if (closeKey)
        CloseRegKey(key);
    else
        keyOut = key;
    return opened;
}

void Form1::ListSubKeys(RegKey key, const std::wstring& keyPath, const std::wstring& indent, std::wstring* typeLib)
{
    std::wstring name;
    for (std::uint32_t index = 0;; ++index) {
        long code = EnumRegSubKey(key, index, name);
        if (code == RegError::Success) {
            std::wstring value;
            RegKey unused = RegKey::None;
            if (ReadKeyValue(RegKey::LocalMachine, keyPath + L"\\" + name, L"", value, true, unused)) {
                if (typeLib && EqualsIgnoringCase(name, L"typelib"))
                    *typeLib = value;
                AddMsg(indent + name + L": " + value);
            }
        }
        // A failed enumeration leaves the blank filler, which ends the list.
        if (IsBlank(name))
            break;
    }
}

void Form1::cmdLoad_Click()
{
    ShowBusyCursor(&view_);
    ClassList.emplace(ClassTable.begin(), ClassTable.end());
    FileList.emplace(ComponentTable.begin(), ComponentTable.end());
    ClsidList.emplace(ClassList->size());
    TypeLibList.emplace(ClassList->size());
    LoadFailed = false;
    AddMsg(std::wstring(Separator));

    for (std::size_t i = 0; i < ClassList->size(); ++i) {
        const std::wstring& progId = (*ClassList)[i];
        AddMsg(L"\r\nLoading Class Info: " + progId);

        std::wstring value;
        RegKey unused = RegKey::None;
        std::wstring progIdKey = std::wstring(ClassesKey) + progId;
        if (!ReadKeyValue(RegKey::LocalMachine, progIdKey, L"", value, true, unused))
            continue;
        AddMsg(L"Name: " + value);

        if (!ReadKeyValue(RegKey::LocalMachine, progIdKey + L"\\CLSID", L"", value, true, unused)) {
            LoadFailed = true;
            AddMsg(L"ERROR: Class ID not found.");
            continue;
        }
        std::wstring clsid = value;
        (*ClsidList)[i] = clsid;
        AddMsg(L"CLSID: " + clsid);

        // An empty CLSID opens the CLSID key itself and lists every class of
        // the machine: that is what the registry holds, so it is shown.
        std::wstring classKeyPath = std::wstring(ClassesKey) + L"CLSID\\" + clsid;
        RegKey opened = RegKey::None;
        if (!ReadKeyValue(RegKey::LocalMachine, classKeyPath, L"", value, false, opened))
            continue;
        RegKeyOwner classKey(opened);
        std::wstring typeLib;
        ListSubKeys(classKey.get(), classKeyPath, L"\t", &typeLib);
        if (!typeLib.empty())
            (*TypeLibList)[i] = typeLib;
        if (IsBlank(typeLib)) {
            LoadFailed = true;
            AddMsg(L"ERROR: Type Library ID not found.");
            continue;
        }
        classKey.reset();

        std::wstring typeLibPath = std::wstring(ClassesKey) + L"TypeLib\\" + typeLib;
        opened = RegKey::None;
        if (ReadKeyValue(RegKey::LocalMachine, typeLibPath, L"", value, false, opened)) {
            RegKeyOwner typeLibKey(opened);
            ListSubKeys(typeLibKey.get(), typeLibPath, L"\t\t", nullptr);
        }
    }

    if (LoadFailed)
        AddMsg(L"\r\n*** ERROR IN LOADING - Scroll back to see the Errors.");
    view_.SetDeleteEnabled(true);
    FlushLog();
    ShowDefaultCursor(&view_);
}

RegKeyOwner Form1::OpenParentKey(const std::wstring& path)
{
    std::wstring unusedValue;
    RegKey opened = RegKey::None;
    // A parent that is not there holds nothing to delete; one that is there
    // but cannot be opened keeps its trees, and the run must not end as if
    // it had removed them.
    if (!ReadKeyValue(RegKey::LocalMachine, path, L"", unusedValue, false, opened) &&
        !RegKeyMissing(RegKey::LocalMachine, path))
        DeleteFailed = true;
    return RegKeyOwner(opened);
}

bool Form1::DeleteTreeLogged(DeleteBackup& backup, const std::wstring& parentPath, const std::wstring& name)
{
    const std::wstring tree = TreeName(parentPath, name);
    if (auto left = backup.left.find(tree); left != backup.left.end()) {
        DeleteFailed = true;
        AddMsg(L"\tERROR: Deleting " + name + L": left whole, as " + left->second + L".");
        return false;
    }
    // Only a tree the backup holds is deleted, through the keys its read
    // opened; an identifier with a backslash was never read, as it would name
    // a key further down, reached through whatever lies between. A tree
    // deleted once, by an earlier class, is not held any more.
    auto held = backup.trees.find(tree);
    std::vector<std::wstring> changed;
    if (held == backup.trees.end() || !held->second.Delete(changed)) {
        DeleteFailed = true;
        AddMsg(L"\tERROR: Deleting " + name);
        for (const std::wstring& key : changed)
            AddMsg(L"\t\t" + key + L" was written after the backup read it; it stays, with the keys above it.");
        if (held != backup.trees.end())
            backup.trees.erase(held);
        return false;
    }
    backup.trees.erase(held);
    AddMsg(L"\tDeleted " + name);
    return true;
}

bool Form1::TakeRunLock(RunLock& lock)
{
    std::wstring message;
    RunLock::Outcome outcome = lock.Take(message);
    if (!message.empty())
        AddMsg(message);
    FlushLog();
    return outcome == RunLock::Outcome::Taken || outcome == RunLock::Outcome::TakenOver;
}

void Form1::cmdDelete_Click()
{
    // The button is enabled only once Load has built the lists.
    if (!ClassList || !ClsidList || !TypeLibList)
        return;
    if (!view_.AskYesNo(L"Are you sure you want to delete registry entries for Vestrel Classes"))
        return;

    AddMsg(std::wstring(Separator));
    RunLock lock;
    if (!TakeRunLock(lock))
        return;
    DeleteFailed = false;
    BackupFailed = false;
    // Nothing goes that is not in the backup, and nothing at all without one.
    DeleteBackup backup = BackUpForDelete(*ClassList, *ClsidList, *TypeLibList, view_.Backup());
    for (const std::wstring& file : backup.othersMayChange)
        AddMsg(L"\r\nWARNING: " + file);
    if (!backup.error.empty()) {
        DeleteFailed = true;
        BackupFailed = true;
        AddMsg(L"\r\nERROR: Backup not written: " + backup.error);
        AddMsg(L"\r\n*** ERROR IN DELETING - Scroll back to see the Errors.");
        FlushLog();
        return;
    }
    if (!backup.path.empty()) {
        LastBackup = backup.path;
        AddMsg(L"\r\nBackup: " + backup.path);
    }
    std::wstring lastDeletedTypeLib;

    for (std::size_t i = 0; i < ClassList->size(); ++i) {
        const std::wstring& progId = (*ClassList)[i];

        AddMsg(L"\r\nDeleting TypeLib Entries for the Class: " + progId);
        if (RegKeyOwner parent = OpenParentKey(TypeLibParent)) {
            const std::wstring& typeLib = (*TypeLibList)[i];
            // Neighbours that share a library find it gone already. Only the
            // last deleted ID is remembered, and it starts as "".
            if (typeLib == lastDeletedTypeLib) {
                AddMsg(L"\tAlready deleted.");
            } else if (IsBlank(typeLib)) {
                DeleteFailed = true;
                AddMsg(L"\tERROR: Typelib ID is blank.");
            } else if (DeleteTreeLogged(backup, TypeLibParent, typeLib)) {
                lastDeletedTypeLib = typeLib;
            }
        }

        AddMsg(L"Deleting CLSID Entries for the Class: " + progId);
        if (RegKeyOwner parent = OpenParentKey(ClsidParent)) {
            const std::wstring& clsid = (*ClsidList)[i];
            if (IsBlank(clsid)) {
                DeleteFailed = true;
                AddMsg(L"\tERROR: CLSID is blank.");
            } else {
                DeleteTreeLogged(backup, ClsidParent, clsid);
            }
        }

        AddMsg(L"Deleting Class: " + progId);
        if (RegKeyOwner parent = OpenParentKey(ProgIdParent))
            DeleteTreeLogged(backup, ProgIdParent, progId);
    }

    if (DeleteFailed)
        AddMsg(L"\r\n*** ERROR IN DELETING - Scroll back to see the Errors.");
    FlushLog();
}

void Form1::cmdCreate_Click()
{
    constexpr int ShowNormal = 1;
    constexpr int ShowMinimized = 2;
    constexpr std::uint32_t RegistrationTimeoutMs = 60000;

    ShowBusyCursor(&view_);
    AddMsg(std::wstring(Separator));
    CreateFailed = false;
    RunLock lock;
    if (!TakeRunLock(lock)) {
        ShowDefaultCursor(&view_);
        return;
    }

    // Before any Load the built-in table serves, exactly as after one.
    std::vector<std::wstring> files = FileList ? *FileList : std::vector<std::wstring>(ComponentTable.begin(),
                                                                                      ComponentTable.end());
    for (const std::wstring& file : files) {
        AddMsg(L"\r\nCreating registry entry for " + file + L"'s classes");
        std::wstring extension = FileExtension(file, false);
        for (auto& c : extension)
            c = static_cast<wchar_t>(std::towlower(c));

        // Every program is started by its full path, as the application name
        // too: a bare or relative name would be looked for in the current
        // folder and on PATH, where anyone could have put a program of that
        // name. Paths are also quoted in the command line.
        bool created = false;
        if (extension == L"exe") {
            std::wstring program = ComponentPath(AppPath, SystemPath, file);
            // The entry is out before the step that may take long.
            FlushLog();
            // The suite's programs may stay open: they are not waited for.
            created = IsFullPath(program) &&
                      ProcessPlatform::StartProgram(program, L"\"" + program + L"\"", ShowNormal) != 0;
        } else if (extension == L"dll" || extension == L"ocx") {
            std::wstring component = ComponentPath(AppPath, SystemPath, file);
            // The silent server registers nothing for a missing file and says
            // nothing: a missing library is a failure, not a success.
            if (IsFullPath(component) && !IsBlank(ProcessPlatform::FindFile(component))) {
                std::wstring serverDirectory = !IsBlank(ProcessPlatform::FindFile(SystemDirectory() + L"regsvr32.exe"))
                                                   ? SystemDirectory()
                                                   : WindowsDirectory();
                std::wstring server = serverDirectory + L"regsvr32.exe";
                FlushLog();
                // Silent, the server tells only by its exit code whether the
                // library was registered; one that does not end is a failure.
                created = IsFullPath(server) &&
                          ProcessPlatform::RunProgram(server,
                                                      L"\"" + serverDirectory + L"regsvr32\" /s \"" + component + L"\"",
                                                      ShowMinimized, RegistrationTimeoutMs) == 0u;
            }
        } else {
            AddMsg(L"\tWARNING - Unknown file type - Ignoring.");
            continue;
        }

        if (created) {
            AddMsg(L"\tCreated classes");
        } else {
            CreateFailed = true;
            AddMsg(L"\tERROR: Creating classes");
        }
    }

    view_.BringToFront();

    if (CreateFailed)
        AddMsg(L"\r\n*** ERROR IN CREATING - Scroll back to see the Errors.");
    FlushLog();
    ShowDefaultCursor(&view_);
}
