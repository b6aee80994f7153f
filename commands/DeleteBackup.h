#pragma once

#include <map>
#include <string>
#include <vector>

#include "registry/RegTreeRead.h"

// How a Delete's backup is made: where it goes ("" for a new file in the usual
// folder), the command its file name begins with, and what started the run,
// for the comment line that tells where a collected file came from.
struct BackupOrder {
    std::wstring file;
    std::wstring command = L"Delete";
    std::wstring origin = L"from the window";
};

// What a Delete keeps of the trees it is about to remove.
struct DeleteBackup {
    std::wstring path;               // the file written; "" when no tree was there to keep
    std::wstring error;              // why the file could not be written; "" otherwise
    // Trees that Delete must leave, by TreeName, each with why: not read whole, or holding what the file cannot.
    std::map<std::wstring, std::wstring> left;
    // Trees read whole and held open, by TreeName: what Delete removes, and nothing else.
    std::map<std::wstring, HeldRegTree> trees;
    // Files in the backups folder that others may change, each with who: its permissions were reset, theirs not.
    std::vector<std::wstring> othersMayChange;
};

// Where the trees that Delete removes lie, below HKEY_LOCAL_MACHINE.
inline const std::wstring TypeLibParent = L"Software\\CLASSES\\TypeLib";
inline const std::wstring ClsidParent = L"Software\\CLASSES\\CLSID";
inline const std::wstring ProgIdParent = L"Software\\CLASSES";

// How `trees` and `left` name the tree `name` below Software\CLASSES\... `parentPath`.
[[nodiscard]] inline std::wstring TreeName(const std::wstring& parentPath, const std::wstring& name)
{
    return parentPath + L"\\" + name;
}

// Reads, whole and exactly as stored, every tree that deleting these classes
// removes (the type library, class and ProgID trees that Delete names), and
// writes them in the registry editor's format, on the disk before this
// returns. Its second line is a comment that says what made it: where, when,
// as whom and from what. Without a file named in `order` the backup is a new
// file in the machine's program data: Tandrel\Backups\<command>-YYYYMMDD-HHMMSS.reg.
// A file that is there is never replaced: the backup goes beside it as
// name-2.ext, name-3.ext ...
// Every tree read whole is handed back held open in `trees`, for Delete to
// remove through the keys read; one with a name the file cannot hold, or not
// read whole, is in `left` instead, with why.
// Whether a backup can go to `file`, asked before anything is read or changed:
// false, with the full path and the reason in `error`, when its folder is not
// there or a link, a device or a folder is at that name. A plain file there is
// no obstacle: the backup goes beside it.
[[nodiscard]] bool BackupFileUsable(const std::wstring& file, std::wstring& error);

[[nodiscard]] DeleteBackup BackUpForDelete(const std::vector<std::wstring>& progIds,
                                           const std::vector<std::wstring>& clsids,
                                           const std::vector<std::wstring>& typeLibs, const BackupOrder& order);
