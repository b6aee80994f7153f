#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "check/PeImage.h"

// How a server file is used: loaded into its caller, or started as a program of its own.
enum class ServerKind { InProcess, OutOfProcess };

struct LoadFindings {
    // What the file is judged as, for "<file> cannot be loaded by a 32-bit caller: <problem>".
    std::wstring cannot;
    // Why the system would refuse it, one clause each ("it is a 64-bit image (x64)").
    std::vector<std::wstring> problems;
    // What may fail for another account or later, without stopping the load: sentences for NOTE: lines.
    std::vector<std::wstring> notes;
};

// Whether the system could load a server file as COM and regsvr32 load it, judged from the files alone: the
// machine each is built for, every DLL it imports found where the loader looks for a library loaded by its full
// path (API sets, the file's side-by-side assemblies, known DLLs, its own folder, the system folder of its
// bitness, the 16-bit system folder, the Windows folder, then PATH), and every function it imports exported by the
// DLL found. Nothing is loaded or run; each file is read once per check.
class LoadCheck {
public:
    LoadCheck();

    [[nodiscard]] LoadFindings Judge(const std::wstring& path, ServerKind kind);
    // Whether the image at `path` exports `name`, a forwarder included; nothing when it or its export table cannot
    // be read.
    [[nodiscard]] std::optional<bool> Exports(const std::wstring& path, const std::string& name);

private:
    struct Read {
        std::wstring fault;  // why it cannot be read or mapped; "" when it can
        PeImage image;
        PeParts parts = PeParts::All;
    };
    struct Judged {
        std::vector<std::wstring> problems;
        std::vector<std::wstring> notes;
    };
    // Where the loader finds a DLL: its file ("" for a name the system provides itself), and, when only a folder
    // of PATH has it, that folder.
    struct Found {
        std::wstring file;
        std::wstring pathFolder;
    };
    class Context;

    const Read& ReadImage(const std::wstring& path, PeParts parts);
    Judged JudgeFile(const std::wstring& path, std::uint16_t machine, bool program);
    void JudgeImports(const std::wstring& path, const PeImage& image, std::uint16_t machine, const Context& context,
                      Judged& judged);
    std::optional<Found> Find(const std::wstring& dll, const std::wstring& ownFolder, std::uint16_t machine,
                              const Context& context);
    std::optional<Found> Search(const std::wstring& dll, const std::wstring& ownFolder, std::uint16_t machine,
                                const Context& context);
    void MissingFunctions(const std::wstring& file, const std::wstring& from, const std::vector<PeFunction>& functions,
                          const std::wstring& ownFolder, std::uint16_t machine, const Context& context,
                          Judged& judged);
    bool IsKnownDll(const std::wstring& dll);
    bool IsSystemFolder(const std::wstring& folder) const;
    std::optional<std::wstring> SystemFolderOf(std::uint16_t machine) const;

    std::uint16_t build_;
    std::uint16_t native_;
    std::wstring windowsPath_;
    std::wstring systemPath_;
    std::optional<std::wstring> wow64Path_;
    std::vector<std::wstring> pathFolders_;
    std::map<std::wstring, Read> read_;
    // By machine and lower-case path; a file being judged is here already, so that a loop of imports ends.
    std::map<std::pair<std::uint16_t, std::wstring>, Judged> judged_;
    std::map<std::tuple<std::uint16_t, std::wstring, std::wstring>, std::optional<Found>> found_;
    std::set<std::wstring> knownDlls_;
    bool knownDllsRead_ = false;
};
