#pragma once

#include <string>
#include <vector>

// Where the keys that Delete removes show in a whole-machine export of one
// registry view. A program sees the class keys of its own bitness; ProgIDs
// and type libraries are shared by both views.
namespace RegistryViews {

enum class Bitness { Bits32, Bits64 };

struct Setting {
    Bitness program;    // of the Tandrel.exe under test
    bool prefixIs64Bit; // a 64-bit Windows (or Wine prefix) has two views
};

// The folders, lower-case and ending in "\", where the program's own class
// keys show in the export of one view; the first is where the view keeps
// them. Empty when that view does not show them at all.
[[nodiscard]] std::vector<std::wstring> ClassKeyFolders(Setting setting, bool view32);

// The trees that a Delete report's "Deleted <name>" entries name, as
// lower-case key paths in the export of one view.
[[nodiscard]] std::vector<std::wstring> DeletedRoots(const std::wstring& log, Setting setting, bool view32);

// Whether `key` is one of `roots` or lies below one.
[[nodiscard]] bool Under(const std::wstring& key, const std::vector<std::wstring>& roots);

}  // namespace RegistryViews
