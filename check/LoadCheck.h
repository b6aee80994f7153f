#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

// Whether the system could load a server file into one of the suite's
// callers, judged from the file alone: the machine it is built for, and every
// DLL it imports found where the loader looks for a library loaded by its
// full path. Nothing is loaded or run; each file is read once per check.
class LoadCheck {
public:
    // `systemPath` and `windowsPath` end in "\".
    LoadCheck(std::wstring systemPath, std::wstring windowsPath);

    // Why `path` cannot be loaded, one reason an entry ("it is a 64-bit image (x64)"); empty when it can.
    [[nodiscard]] std::vector<std::wstring> Reasons(const std::wstring& path);

private:
    std::vector<std::wstring> Judge(const std::wstring& path);
    // Where the loader finds `dll` for a file in `ownFolder`: its full path, "" for a name the system itself
    // provides (an API set or a known DLL), nothing when it is not found.
    bool Find(const std::wstring& dll, const std::wstring& ownFolder, std::wstring& where);
    bool IsKnownDll(const std::wstring& dll);

    std::wstring systemPath_;
    std::wstring windowsPath_;
    // By lower-case path; a file being judged is here already, so that a loop of imports ends.
    std::map<std::wstring, std::vector<std::wstring>> judged_;
    std::set<std::wstring> knownDlls_;
    bool knownDllsRead_ = false;
};
