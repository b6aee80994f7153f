#include "check/LoadCheck.h"

#include <algorithm>
#include <cwctype>
#include <utility>

#include "check/Manifest.h"
#include "helpers/FuncLib.h"
#include "platform/FilePlatform.h"
#include "platform/SystemPlatform.h"
#include "platform/RegistryPlatform.h"
#include "platform/UniqueHandle.h"
#include "platform/WinCodes.h"
#include "registry/RegFuncs.h"
#include "registry/RegKeyOwner.h"

namespace {

// No one part of a file is read beyond this: a section that large is no COM server the suite ships.
constexpr std::size_t ReadLimit = 256u << 20;
constexpr std::size_t ManifestLimit = 1u << 20;
constexpr wchar_t KnownDllsKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\KnownDLLs";
// Names beyond these are counted, not listed: a wrong version of a DLL can lack hundreds.
constexpr std::size_t ListedFunctions = 5;

using ActivationContext = UniqueHandle<ActCtxHandle, &SystemPlatform::ReleaseActivationContext>;

std::wstring FolderOf(const std::wstring& path)
{
    std::size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

bool StartsWithIgnoringCase(const std::wstring& text, const std::wstring& start)
{
    return text.size() >= start.size() && EqualsIgnoringCase(text.substr(0, start.size()), start);
}

// API sets are names the loader resolves itself, whoever defines the set; no file of that name need exist.
bool IsApiSet(const std::wstring& dll)
{
    return StartsWithIgnoringCase(dll, L"api-") || StartsWithIgnoringCase(dll, L"ext-");
}

// Names from a file, as text for the log: nothing in them may break a line.
std::wstring Printable(const std::string& name)
{
    std::wstring text;
    for (char c : name)
        text += c >= 0x20 && c <= 0x7E ? static_cast<wchar_t>(c) : L'?';
    return text;
}

bool Is64(std::uint16_t machine)
{
    return machine == PeMachine::Amd64 || machine == PeMachine::Arm64;
}

std::wstring WhatImageIs(std::uint16_t machine)
{
    if (machine == PeMachine::Amd64)
        return L"a 64-bit image (x64)";
    if (machine == PeMachine::Arm64)
        return L"a 64-bit image (ARM64)";
    if (machine == PeMachine::I386)
        return L"a 32-bit image";
    return L"an image for machine 0x" + HexDigits(machine, 4, true);
}

std::wstring ReadRefusal(FileRefusal refusal)
{
    switch (refusal) {
    case FileRefusal::Link: return L"it is a link, which is not followed";
    case FileRefusal::Folder: return L"it is a folder";
    case FileRefusal::NotDisk: return L"it is not a file on a disk";
    case FileRefusal::HardLink: return L"it has other names";
    case FileRefusal::None: break;
    }
    return L"";
}

std::wstring NameOf(const PeFunction& function)
{
    return function.name.empty() ? L"#" + std::to_wstring(function.ordinal) : Printable(function.name);
}

// "A", "A and B", "A, B and C", "A, B, C, D, E and 3 more".
std::wstring List(const std::vector<std::wstring>& names)
{
    std::size_t listed = std::min(names.size(), ListedFunctions);
    std::wstring text;
    for (std::size_t i = 0; i < listed; ++i)
        text += (i == 0 ? L"" : i + 1 == listed && names.size() == listed ? L" and " : L", ") + names[i];
    if (names.size() > listed)
        text += L" and " + std::to_wstring(names.size() - listed) + L" more";
    return text;
}

// A file on the disk, read a part at a time as the image reader asks: the system's DLLs are large, and a check
// needs their headers and export tables only.
class DiskFile : public PeFile {
public:
    long Open(const std::wstring& path, FileRefusal& refusal)
    {
        FileHandle opened = FileHandle::None;
        long code = FilePlatform::OpenToRead(path, opened, size_, refusal);
        file_.reset(code == 0 && refusal == FileRefusal::None ? opened : FileHandle::None);
        return code;
    }

    // The first read that failed; a read that fails looks to the reader like the end of the file.
    [[nodiscard]] long Failure() const { return failure_; }

    std::uint64_t Size() const override { return size_; }

    std::string_view Bytes(std::uint64_t offset, std::uint64_t length) override
    {
        length = offset < size_ ? std::min(length, size_ - offset) : 0;
        auto [part, added] = parts_.try_emplace({offset, length});
        if (added && length > ReadLimit)
            failure_ = failure_ != 0 ? failure_ : WinCode::FileTooLarge;
        else if (added && length > 0) {
            long code = FilePlatform::ReadAt(file_.get(), offset, static_cast<std::uint32_t>(length), part->second);
            long shortRead = part->second.size() < length ? WinCode::HandleEof : 0;
            failure_ = failure_ != 0 ? failure_ : code != 0 ? code : shortRead;
        }
        return part->second;
    }

private:
    UniqueHandle<FileHandle, &FilePlatform::Close> file_;
    std::uint64_t size_ = 0;
    long failure_ = 0;
    std::map<std::pair<std::uint64_t, std::uint64_t>, std::string> parts_;
};

}  // namespace

// The file's activation context, when its manifest gives it one.
class LoadCheck::Context {
public:
    ActivationContext made;
};

LoadCheck::LoadCheck()
    : build_(SystemPlatform::ProgramBits() == 64 ? PeMachine::Amd64 : PeMachine::I386),
      native_(SystemPlatform::NativeMachine()), windowsPath_(WindowsDirectory()), systemPath_(SystemDirectory())
{
    if (std::optional<std::wstring> wow64 = SystemPlatform::Wow64SystemDirectory())
        wow64Path_ = *wow64 + L"\\";
    // The folders of this process's PATH, as the loader's search ends with them. A relative one names a folder
    // of whichever process loads the file, which cannot be told here.
    std::optional<std::wstring> path = SystemPlatform::ExpandStringsW(L"%PATH%");
    std::wstring folders = path && *path != L"%PATH%" ? *path : L"";
    for (std::size_t start = 0; start <= folders.size();) {
        std::size_t end = std::min(folders.find(L';', start), folders.size());
        std::wstring folder = folders.substr(start, end - start);
        if (folder.size() >= 2 && folder.front() == L'"' && folder.back() == L'"')
            folder = folder.substr(1, folder.size() - 2);
        if (IsFullPath(folder))
            pathFolders_.push_back(folder.back() == L'\\' ? folder : folder + L"\\");
        start = end + 1;
    }
}

LoadFindings LoadCheck::Judge(const std::wstring& path, ServerKind kind)
{
    LoadFindings findings;
    std::uint16_t machine = build_;
    if (kind == ServerKind::OutOfProcess) {
        // COM starts a program server of any machine this computer runs, whatever its caller's bitness.
        const std::uint16_t own = ReadImage(path, PeParts::All).image.machine;
        const bool runs = own == PeMachine::I386 || own == native_ ||
                          (native_ == PeMachine::Arm64 && own == PeMachine::Amd64);
        if (own != 0 && !runs) {
            findings.cannot = L"cannot be run on this computer";
            findings.problems.push_back(L"it is " + WhatImageIs(own));
            return findings;
        }
        machine = own != 0 ? own : build_;
    }
    findings.cannot = std::wstring(L"cannot be loaded by a ") + (Is64(machine) ? L"64-bit" : L"32-bit") + L" caller";
    Judged judged = JudgeFile(path, machine, kind == ServerKind::OutOfProcess);
    findings.problems = std::move(judged.problems);
    findings.notes = std::move(judged.notes);
    return findings;
}

std::optional<bool> LoadCheck::Exports(const std::wstring& path, const std::string& name)
{
    const Read& read = ReadImage(path, PeParts::Exports);
    if (!read.fault.empty() || !read.image.exportFault.empty())
        return std::nullopt;
    std::string forward;
    return FindExport(read.image.exports, PeFunction{.name = name}, forward) != PeExportFound::No;
}

const LoadCheck::Read& LoadCheck::ReadImage(const std::wstring& path, PeParts parts)
{
    auto [entry, added] = read_.try_emplace(Lower(path));
    Read& read = entry->second;
    if (!added && (read.parts == PeParts::All || parts == PeParts::Exports))
        return read;
    read.parts = parts;
    DiskFile file;
    FileRefusal refusal = FileRefusal::None;
    long code = file.Open(path, refusal);
    if (refusal != FileRefusal::None)
        read.fault = ReadRefusal(refusal);
    else if (code != 0)
        read.fault = L"it cannot be read: " + FilePlatform::ErrorText(code);
    else
        read.fault = ReadPeImage(file, read.image, parts);
    if (file.Failure() != 0)
        read.fault = L"it cannot be read: " + FilePlatform::ErrorText(file.Failure());
    return read;
}

LoadCheck::Judged LoadCheck::JudgeFile(const std::wstring& path, std::uint16_t machine, bool program)
{
    const auto key = std::make_pair(machine, Lower(path));
    if (auto found = judged_.find(key); found != judged_.end())
        return found->second;
    judged_[key];
    Judged judged;
    const Read& read = ReadImage(path, PeParts::All);
    // The machine decides first: a caller of the wrong bitness cannot load even a sound image.
    if (read.image.machine != 0 && read.image.machine != machine) {
        judged.problems.push_back(L"it is " + WhatImageIs(read.image.machine));
        return judged_[key] = judged;
    }
    if (!read.fault.empty()) {
        judged.problems.push_back(read.fault);
        return judged_[key] = judged;
    }

    // The loader resolves a file's imports in the activation context of its manifest: resource 1 of a program,
    // or the manifest file beside it, and resource 2 of a library.
    const int resource = program ? 1 : 2;
    std::string manifest = read.image.manifests.count(resource) ? read.image.manifests.at(resource) : "";
    ActCtxHandle made = ActCtxHandle::None;
    long code = SystemPlatform::CreateActivationContext(path, resource, made);
    if (program && (code == WinCode::ResourceTypeNotFound || code == WinCode::ResourceNameNotFound) &&
        FilePlatform::LookForFile(path + L".manifest") == 0) {
        code = SystemPlatform::CreateActivationContext(path + L".manifest", 0, made);
        FileRefusal refusal = FileRefusal::None;
        manifest.clear();
        if (FilePlatform::ReadDiskFile(path + L".manifest", manifest, refusal, ManifestLimit) != 0)
            manifest.clear();
    }
    Context context;
    if (code == 0) {
        context.made.reset(made);
    } else if (code != WinCode::ResourceTypeNotFound && code != WinCode::ResourceNameNotFound) {
        // The system does not say which assembly it missed; the manifest says which ones it looked for.
        const std::vector<AssemblyIdentity> needed = DependentAssemblies(manifest);
        std::wstring problem = L"its side-by-side configuration is incorrect: ";
        if (code == WinCode::NoActivationContext && needed.size() == 1) {
            problem += L"it needs the assembly " + Describe(needed[0]) + L", which the system cannot find";
        } else if (code == WinCode::NoActivationContext && !needed.empty()) {
            std::vector<std::wstring> names;
            for (const AssemblyIdentity& assembly : needed)
                names.push_back(Describe(assembly));
            problem += L"it needs the assemblies " + List(names) + L", and the system cannot find them all";
        } else {
            problem += WithoutFinalStop(FilePlatform::ErrorText(code));
        }
        judged.problems.push_back(problem);
        return judged_[key] = judged;
    }
    JudgeImports(path, read.image, machine, context, judged);
    return judged_[key] = judged;
}

void LoadCheck::JudgeImports(const std::wstring& path, const PeImage& image, std::uint16_t machine,
                             const Context& context, Judged& judged)
{
    const std::wstring ownFolder = FolderOf(path);
    auto note = [&judged](const std::wstring& text) {
        if (std::find(judged.notes.begin(), judged.notes.end(), text) == judged.notes.end())
            judged.notes.push_back(text);
    };
    for (const PeImport& import : image.imports) {
        const std::wstring dll = Printable(import.dll);
        std::optional<Found> found = Find(dll, ownFolder, machine, context);
        if (!found) {
            // As on a Windows version that lacks the set.
            judged.problems.push_back(IsApiSet(dll) ? L"it needs the API set " + dll + L", which this system does not "
                                                      L"resolve to any DLL"
                                                    : L"it needs " + dll + L", which is not in its own folder, the "
                                                      L"system folder, the 16-bit system folder, the Windows folder "
                                                      L"or a folder of PATH");
            continue;
        }
        // Another account, or the program that loads the file, may have another PATH.
        if (!found->pathFolder.empty())
            note(dll + L" is found only through PATH, in " + found->pathFolder);
        if (found->file.empty())
            continue;
        const std::wstring from = IsApiSet(dll) ? dll + L" (resolved to " + found->file + L")" : found->file;
        MissingFunctions(found->file, from, import.functions, ownFolder, machine, context, judged);
        // What the system provides is the system's to keep loadable; what came with the file is followed.
        if (IsSystemFolder(FolderOf(found->file)))
            continue;
        Judged dependency = JudgeFile(found->file, machine, false);
        for (const std::wstring& problem : dependency.problems)
            judged.problems.push_back(L"it needs " + found->file + L", which cannot be loaded: " + problem);
        for (const std::wstring& text : dependency.notes)
            note(text);
    }
    // A delay-loaded DLL is looked for only when it is first called.
    for (const std::string& name : image.delayImports) {
        const std::wstring dll = Printable(name);
        std::optional<Found> found = Find(dll, ownFolder, machine, context);
        if (!found)
            note(path + L" delay-loads " + dll + L", which cannot be found; calls into it will fail");
        else if (!found->pathFolder.empty())
            note(dll + L" is found only through PATH, in " + found->pathFolder);
    }
}

void LoadCheck::MissingFunctions(const std::wstring& file, const std::wstring& from,
                                 const std::vector<PeFunction>& functions,
                                 const std::wstring& ownFolder, std::uint16_t machine, const Context& context,
                                 Judged& judged)
{
    const Read& read = ReadImage(file, PeParts::Exports);
    // A file that cannot be read, or is of another machine, is reported where it is followed.
    if (functions.empty() || !read.fault.empty() || read.image.machine != machine)
        return;
    if (!read.image.exportFault.empty()) {
        judged.problems.push_back(L"it imports functions from " + from + L", whose export table cannot be read: " +
                                  read.image.exportFault);
        return;
    }
    std::vector<std::wstring> missing;
    for (const PeFunction& function : functions) {
        std::string forward;
        PeExportFound found = FindExport(read.image.exports, function, forward);
        if (found == PeExportFound::No) {
            missing.push_back(NameOf(function));
        } else if (found == PeExportFound::Forwarded) {
            // Only whether the DLL it is passed on to is there counts; forwards are not followed further.
            std::wstring module = Printable(forward.substr(0, forward.rfind('.')));
            if (module.find(L'.') == std::wstring::npos)
                module += L".dll";
            if (!Find(module, ownFolder, machine, context))
                judged.problems.push_back(L"it imports " + NameOf(function) + L" from " + from +
                                          L", which passes it on to " + module + L", which cannot be found");
        }
    }
    if (!missing.empty())
        judged.problems.push_back(L"it imports " + List(missing) + L" from " + from + L", which does not export " +
                                  (missing.size() == 1 ? L"it" : L"them"));
}

std::optional<LoadCheck::Found> LoadCheck::Find(const std::wstring& dll, const std::wstring& ownFolder,
                                                std::uint16_t machine, const Context& context)
{
    // The same names come up for file after file, and for every function passed on to another DLL; where no
    // activation context redirects them, the answer depends on the folder and the bitness alone.
    if (context.made)
        return Search(dll, ownFolder, machine, context);
    auto key = std::make_tuple(machine, Lower(ownFolder), Lower(dll));
    auto found = found_.find(key);
    if (found == found_.end())
        found = found_.emplace(key, Search(dll, ownFolder, machine, context)).first;
    return found->second;
}

std::optional<LoadCheck::Found> LoadCheck::Search(const std::wstring& dll, const std::wstring& ownFolder,
                                                  std::uint16_t machine, const Context& context)
{
    // The order is the loader's for a desktop application with safe search on ("Dynamic-link library search
    // order" in the LoadLibrary documentation): API sets, side-by-side redirection, known DLLs, the file's own
    // folder, the system folder, the 16-bit system folder, the Windows folder, then PATH. A library loaded by its
    // full path searches from its own folder, and no current folder is known here.
    // The system is asked which DLL it resolves an API set to; it answers for this build's bitness only, so a set
    // that a file of the other bitness imports is passed over.
    if (IsApiSet(dll)) {
        std::wstring host;
        if (machine != build_)
            return Found{};
        if (SystemPlatform::ApiSetHost(dll, host) != 0)
            return std::nullopt;
        return Found{host, L""};
    }
    std::wstring redirected;
    if (context.made && SystemPlatform::RedirectedDll(context.made.get(), dll, redirected))
        return Found{redirected, L""};
    const std::optional<std::wstring> system = SystemFolderOf(machine);
    // A known DLL is mapped from the system folder ahead of any search of folders.
    if (IsKnownDll(dll)) {
        if (system && FilePlatform::LookForFile(*system + dll) == 0)
            return Found{*system + dll, L""};
        return Found{};
    }
    std::vector<std::wstring> folders{ownFolder};
    if (system)
        folders.push_back(*system);
    if (!windowsPath_.empty())
        folders.insert(folders.end(), {windowsPath_ + L"System\\", windowsPath_});
    for (const std::wstring& folder : folders) {
        if (!folder.empty() && FilePlatform::LookForFile(folder + dll) == 0)
            return Found{folder + dll, L""};
    }
    // Without the system folder of the file's bitness there is nothing to judge by: passed over, not failed.
    if (!system)
        return Found{};
    for (const std::wstring& folder : pathFolders_) {
        if (FilePlatform::LookForFile(folder + dll) == 0)
            return Found{folder + dll, folder.substr(0, folder.size() - 1)};
    }
    return std::nullopt;
}

std::optional<std::wstring> LoadCheck::SystemFolderOf(std::uint16_t machine) const
{
    if (machine == build_)
        return systemPath_;
    // The other bitness's system folder, by the name this build reaches it with.
    if (!wow64Path_)
        return std::nullopt;
    if (build_ == PeMachine::I386)
        return windowsPath_ + L"Sysnative\\";
    return machine == PeMachine::I386 ? wow64Path_ : std::nullopt;
}

bool LoadCheck::IsSystemFolder(const std::wstring& folder) const
{
    for (const std::wstring& system : {systemPath_, windowsPath_, windowsPath_ + L"System\\"}) {
        if (EqualsIgnoringCase(folder, system))
            return true;
    }
    // A 32-bit caller's system folder is also reached by its own name; side-by-side assemblies are the system's.
    return (wow64Path_ && EqualsIgnoringCase(folder, *wow64Path_)) ||
           EqualsIgnoringCase(folder, windowsPath_ + L"Sysnative\\") ||
           StartsWithIgnoringCase(folder, windowsPath_ + L"WinSxS\\");
}

bool LoadCheck::IsKnownDll(const std::wstring& dll)
{
    if (!knownDllsRead_) {
        knownDllsRead_ = true;
        RegKeyOwner key;
        // Without the list every name is looked for as a file, which is where the system keeps them anyway.
        if (RegistryPlatform::OpenKeyWide(RegKey::LocalMachine, KnownDllsKey, *key.put()) == RegError::Success) {
            RegValueData value;
            for (std::uint32_t index = 0;
                 RegistryPlatform::EnumValueWide(key.get(), index, value) == RegError::Success; ++index) {
                if (value.type == RegType::Sz)
                    knownDlls_.insert(Lower(*StringValue(value)));
            }
        }
    }
    return knownDlls_.count(Lower(dll)) > 0;
}
