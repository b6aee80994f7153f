#include "check/LoadCheck.h"

#include <cstdio>
#include <cwctype>
#include <utility>

#include "check/PeImage.h"
#include "helpers/FuncLib.h"
#include "helpers/Utf16.h"
#include "platform/FilePlatform.h"
#include "platform/RegistryPlatform.h"
#include "platform/SystemPlatform.h"
#include "registry/RegKeyOwner.h"

namespace {

// A server file is read whole; a COM server larger than this is not one the suite ships.
constexpr std::size_t ReadLimit = 256u << 20;
constexpr wchar_t KnownDllsKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\KnownDLLs";

std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

std::wstring FolderOf(const std::wstring& path)
{
    std::size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

bool StartsWithIgnoringCase(const std::wstring& text, const std::wstring& start)
{
    return text.size() >= start.size() && EqualsIgnoringCase(text.substr(0, start.size()), start);
}

std::wstring WhatImageIs(std::uint16_t machine)
{
    if (machine == PeMachine::Amd64)
        return L"a 64-bit image (x64)";
    if (machine == PeMachine::Arm64)
        return L"a 64-bit image (ARM64)";
    if (machine == PeMachine::I386)
        return L"a 32-bit image";
    wchar_t number[8];
    std::swprintf(number, 8, L"0x%04X", machine);
    return std::wstring(L"an image for machine ") + number;
}

std::wstring ReadRefusal(FileRefusal refusal)
{
    switch (refusal) {
    case FileRefusal::Link: return L"it is a link, which is not followed";
    case FileRefusal::Folder: return L"it is a folder";
    case FileRefusal::NotDisk: return L"it is not a file on a disk";
    case FileRefusal::None: break;
    }
    return L"";
}

}  // namespace

LoadCheck::LoadCheck(std::wstring systemPath, std::wstring windowsPath)
    : systemPath_(std::move(systemPath)), windowsPath_(std::move(windowsPath))
{
}

std::vector<std::wstring> LoadCheck::Reasons(const std::wstring& path)
{
    const std::wstring key = Lower(path);
    auto found = judged_.find(key);
    if (found != judged_.end())
        return found->second;
    judged_[key];
    std::vector<std::wstring> reasons = Judge(path);
    judged_[key] = reasons;
    return reasons;
}

std::vector<std::wstring> LoadCheck::Judge(const std::wstring& path)
{
    std::string bytes;
    FileRefusal refusal = FileRefusal::None;
    long code = FilePlatform::ReadDiskFile(path, bytes, refusal, ReadLimit);
    if (refusal != FileRefusal::None)
        return {ReadRefusal(refusal)};
    if (code != 0)
        return {L"it cannot be read: " + FilePlatform::ErrorText(code)};

    PeImage image;
    std::wstring damage = ReadPeImage(bytes, image);
    // The machine decides first: a caller of the wrong bitness cannot load even a sound image.
    const std::uint16_t wanted = SystemPlatform::ProgramBits() == 64 ? PeMachine::Amd64 : PeMachine::I386;
    if (image.machine != 0 && image.machine != wanted)
        return {L"it is " + WhatImageIs(image.machine)};
    if (!damage.empty())
        return {damage};

    std::vector<std::wstring> reasons;
    const std::wstring ownFolder = FolderOf(path);
    for (const std::string& name : image.imports) {
        const std::wstring dll(name.begin(), name.end());
        std::wstring where;
        if (!Find(dll, ownFolder, where)) {
            reasons.push_back(L"it needs " + dll +
                              L", which is not in its own folder, the system folder or the Windows folder");
            continue;
        }
        // What the system provides is the system's to keep loadable; what came with the file is followed.
        const std::wstring folder = FolderOf(where);
        if (where.empty() || EqualsIgnoringCase(folder, systemPath_) || EqualsIgnoringCase(folder, windowsPath_))
            continue;
        for (const std::wstring& reason : Reasons(where))
            reasons.push_back(L"it needs " + where + L", which cannot be loaded: " + reason);
    }
    return reasons;
}

bool LoadCheck::Find(const std::wstring& dll, const std::wstring& ownFolder, std::wstring& where)
{
    where.clear();
    // API sets are names the loader resolves itself; no file of that name need exist.
    if (StartsWithIgnoringCase(dll, L"api-ms-win-") || StartsWithIgnoringCase(dll, L"ext-ms-") ||
        IsKnownDll(dll))
        return true;
    const std::wstring* folders[] = {&ownFolder, &systemPath_, &windowsPath_};
    for (const std::wstring* folder : folders) {
        if (!folder->empty() && FilePlatform::LookForFile(*folder + dll) == 0) {
            where = *folder + dll;
            return true;
        }
    }
    return false;
}

bool LoadCheck::IsKnownDll(const std::wstring& dll)
{
    if (!knownDllsRead_) {
        knownDllsRead_ = true;
        RegKey opened = RegKey::None;
        // Without the list every name is looked for as a file, which is where the system keeps them anyway.
        if (RegistryPlatform::OpenKeyWide(RegKey::LocalMachine, KnownDllsKey, opened) == RegError::Success) {
            RegKeyOwner key(opened);
            RegValueData value;
            for (std::uint32_t index = 0;
                 RegistryPlatform::EnumValueWide(key.get(), index, value) == RegError::Success; ++index) {
                bool valid = true;
                if (value.type == RegType::Sz)
                    knownDlls_.insert(Lower(TrimNull(FromUtf16(UnitsOf(value.bytes), valid))));
            }
        }
    }
    return knownDlls_.count(Lower(dll)) > 0;
}
