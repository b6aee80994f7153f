#define WIN32_NO_STATUS
#include <windows.h>
#undef WIN32_NO_STATUS
#include <ntstatus.h>
#include <winternl.h>
#include <aclapi.h>
#include <sddl.h>

#include "platform/AccountWin32.h"
#include "platform/FilePlatform.h"
#include "platform/GrowBuffer.h"
#include "platform/NtdllWin32.h"
#include "platform/Win32Handles.h"

namespace {

// Asked of every open: a pipe's server at the name may learn who connected,
// but cannot act as the elevated user.
constexpr DWORD IdentifyOnly = SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION;
constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// Full control for Administrators and SYSTEM, inherited by all the folder
// holds; nothing for anyone else, and nothing inherited from above.
constexpr wchar_t AdministratorsOnly[] = L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";
// A backup's own: whatever the folder it lands in would pass on, nobody else may change it.
constexpr wchar_t AdministratorsOwnFile[] = L"O:BAD:P(A;;FA;;;BA)(A;;FA;;;SY)";
// What lets an account change a folder or what it holds.
constexpr DWORD ChangeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_DELETE_CHILD |
                               FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE |
                               GENERIC_ALL;

HANDLE ToHandle(FileHandle file)
{
    return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(file));
}

FileHandle FromHandle(HANDLE handle)
{
    return static_cast<FileHandle>(reinterpret_cast<std::uintptr_t>(handle));
}

// Only a name surrogate leads elsewhere: a symbolic link or a mount point. A
// cloud placeholder, a deduplicated or a compressed file is a reparse point
// too, and a plain file. Some systems show a link by its attribute alone,
// with no tag: a reparse point whose tag is unknown is taken for a link.
bool LeadsElsewhere(DWORD attributes, DWORD tag)
{
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && (tag == 0 || (tag & 0x20000000) != 0);
}

FileRefusal RefusalOf(DWORD attributes, DWORD tag)
{
    if (LeadsElsewhere(attributes, tag))
        return FileRefusal::Link;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return FileRefusal::Folder;
    return FileRefusal::None;
}

// Asked by name first as well: some systems show a link to a folder only
// there, and a folder would otherwise fail to open as "access denied".
FileRefusal RefusalByName(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return FileRefusal::None;
    DWORD tag = 0;
    // The search reads the tag; a name with wildcards would find another file.
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && path.find_first_of(L"*?") == std::wstring::npos) {
        WIN32_FIND_DATAW found{};
        if (UniqueFindHandle search(FindFirstFileW(path.c_str(), &found)); search)
            tag = found.dwReserved0;
    }
    return RefusalOf(attributes, tag);
}

FileRefusal RefusalOf(HANDLE opened, FILE_ATTRIBUTE_TAG_INFO& information)
{
    if (GetFileType(opened) != FILE_TYPE_DISK ||
        !GetFileInformationByHandleEx(opened, FileAttributeTagInfo, &information, sizeof information))
        return FileRefusal::NotDisk;
    return RefusalOf(information.FileAttributes, information.ReparseTag);
}

bool SameIdentity(HANDLE a, HANDLE b)
{
    BY_HANDLE_FILE_INFORMATION first{};
    BY_HANDLE_FILE_INFORMATION second{};
    return GetFileInformationByHandle(a, &first) && GetFileInformationByHandle(b, &second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}

// Opens `path` without following a link at its end, and keeps it only when it
// is a plain file on a disk; otherwise `refusal` says what it is.
HANDLE OpenDiskFile(const std::wstring& path, DWORD access, DWORD disposition, FileRefusal& refusal, DWORD& code)
{
    refusal = RefusalByName(path);
    code = ERROR_SUCCESS;
    if (refusal != FileRefusal::None)
        return INVALID_HANDLE_VALUE;
    constexpr DWORD flags = FILE_ATTRIBUTE_NORMAL | IdentifyOnly;
    UniqueFileHandle opened(
        CreateFileW(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition, flags | FILE_FLAG_OPEN_REPARSE_POINT,
                    nullptr));
    if (!opened) {
        code = GetLastError();
        return INVALID_HANDLE_VALUE;
    }
    FILE_ATTRIBUTE_TAG_INFO information{};
    refusal = RefusalOf(opened.get(), information);
    // Asked before anything is written: OPEN_ALWAYS has emptied nothing yet.
    BY_HANDLE_FILE_INFORMATION names{};
    if (refusal == FileRefusal::None && (access & GENERIC_WRITE)) {
        if (!GetFileInformationByHandle(opened.get(), &names)) {
            code = GetLastError();
            return INVALID_HANDLE_VALUE;
        }
        if (names.nNumberOfLinks > 1)
            refusal = FileRefusal::HardLink;
    }
    if (refusal != FileRefusal::None || !(information.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return refusal == FileRefusal::None ? opened.release() : INVALID_HANDLE_VALUE;
    // A placeholder or a deduplicated file gives its data only when opened
    // without the flag; it must still be the file that was looked at.
    UniqueFileHandle plain(CreateFileW(path.c_str(), access, FILE_SHARE_READ, nullptr, OPEN_EXISTING, flags, nullptr));
    if (!plain) {
        code = GetLastError();
        return INVALID_HANDLE_VALUE;
    }
    if (!SameIdentity(opened.get(), plain.get()) || RefusalOf(plain.get(), information) != FileRefusal::None) {
        refusal = FileRefusal::Link;
        return INVALID_HANDLE_VALUE;
    }
    return plain.release();
}

DWORD DosCode(NTSTATUS status)
{
    auto convert = NtdllProc<ULONG(WINAPI*)(NTSTATUS)>("RtlNtStatusToDosError");
    return convert ? convert(status) : ERROR_GEN_FAILURE;
}

// NtCreateFile of `name` relative to the open `folder`: the one call that makes or opens a file inside a folder
// handle rather than by a name that is resolved again.
NTSTATUS OpenInFolder(FileHandle folder, const std::wstring& name, ACCESS_MASK access, ULONG share,
                      ULONG disposition, ULONG options, PSECURITY_DESCRIPTOR descriptor, UniqueFileHandle& file)
{
    if (name.empty() || name.size() * sizeof(wchar_t) > 0xFFFE)
        return STATUS_OBJECT_NAME_INVALID;
    UNICODE_STRING text{static_cast<USHORT>(name.size() * sizeof(wchar_t)),
                        static_cast<USHORT>(name.size() * sizeof(wchar_t)), const_cast<wchar_t*>(name.c_str())};
    SECURITY_QUALITY_OF_SERVICE service{sizeof service, SecurityIdentification, SECURITY_STATIC_TRACKING, FALSE};
    OBJECT_ATTRIBUTES attributes{};
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, ToHandle(folder), descriptor);
    attributes.SecurityQualityOfService = &service;
    IO_STATUS_BLOCK status{};
    HANDLE opened = nullptr;
    using CreateProc = NTSTATUS(WINAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK, PLARGE_INTEGER,
                                         ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
    auto create = NtdllProc<CreateProc>("NtCreateFile");
    if (!create)
        return STATUS_NOT_IMPLEMENTED;
    NTSTATUS result = create(&opened, access, &attributes, &status, nullptr, FILE_ATTRIBUTE_NORMAL, share,
                                   disposition, options | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (NT_SUCCESS(result))
        file.reset(opened);
    return result;
}

// The folder itself, never what a link at its name leads to.
UniqueFileHandle OpenFolder(const std::wstring& path, DWORD access)
{
    return UniqueFileHandle(CreateFileW(path.c_str(), access, ShareAll, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT | IdentifyOnly,
                                        nullptr));
}

// The list of AdministratorsOnly; `owner` keeps it alive.
DWORD AdministratorsOnlyList(UniqueLocalMemory& owner, PACL& list)
{
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(AdministratorsOnly, SDDL_REVISION_1, owner.put(),
                                                              nullptr))
        return GetLastError();
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    return GetSecurityDescriptorDacl(owner.get(), &present, &list, &defaulted) ? ERROR_SUCCESS : GetLastError();
}

// Opened only to read attributes and shared fully, a file that a running program holds open can still be told.
DWORD FileIdentity(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& information)
{
    UniqueFileHandle opened(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, ShareAll, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL | IdentifyOnly, nullptr));
    if (!opened)
        return GetLastError();
    return GetFileInformationByHandle(opened.get(), &information) ? ERROR_SUCCESS : GetLastError();
}

// Who owns the open file or folder, and who its list lets change it.
DWORD AccessOf(HANDLE object, FileAccess& access)
{
    PSID owner = nullptr;
    PACL list = nullptr;
    UniqueLocalMemory held;
    DWORD code = GetSecurityInfo(object, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                 &owner, nullptr, &list, nullptr, held.put());
    if (code != ERROR_SUCCESS)
        return code;
    access.owner = AccountOf(owner);
    access.writers.clear();
    if (list == nullptr) {
        access.writers.push_back({L"S-1-1-0", L"Everyone"});
        return ERROR_SUCCESS;
    }
    for (DWORD i = 0; i < list->AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(list, i, &entry))
            return GetLastError();
        // A conditional entry may allow as much as a plain one.
        BYTE type = static_cast<ACE_HEADER*>(entry)->AceType;
        if (type != ACCESS_ALLOWED_ACE_TYPE && type != ACCESS_ALLOWED_CALLBACK_ACE_TYPE)
            continue;
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        if (allowed->Mask & ChangeRights)
            access.writers.push_back(AccountOf(&allowed->SidStart));
    }
    return ERROR_SUCCESS;
}

// A path from a call that answers a buffer too small with the size it needs: asked again at that size.
template <typename Call>
long PathOf(std::wstring& path, Call call)
{
    std::wstring buffer(MAX_PATH, L'\0');
    DWORD length = 0;
    bool fitted = GrowUntilFits(buffer, 3, [&](std::wstring& tried) -> std::size_t {
        length = call(tried.data(), static_cast<DWORD>(tried.size()));
        return length >= tried.size() ? length : 0;
    });
    if (!fitted)
        return ERROR_FILENAME_EXCED_RANGE;
    if (length == 0)
        return static_cast<long>(GetLastError());
    path.assign(buffer.data(), length);
    return ERROR_SUCCESS;
}

}  // namespace

namespace FilePlatform {

long FullPath(const std::wstring& path, std::wstring& fullPath)
{
    return PathOf(fullPath, [&path](wchar_t* buffer, DWORD size) {
        return GetFullPathNameW(path.c_str(), size, buffer, nullptr);
    });
}

long OpenFolderToWrite(const std::wstring& path, FileHandle& folder)
{
    constexpr DWORD access = FILE_ADD_FILE | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
    UniqueFileHandle opened(CreateFileW(path.c_str(), access, ShareAll, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT | IdentifyOnly,
                                        nullptr));
    if (!opened)
        return static_cast<long>(GetLastError());
    FILE_ATTRIBUTE_TAG_INFO information{};
    if (!GetFileInformationByHandleEx(opened.get(), FileAttributeTagInfo, &information, sizeof information))
        return static_cast<long>(GetLastError());
    if (!(information.FileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return ERROR_DIRECTORY;
    folder = FromHandle(opened.release());
    return ERROR_SUCCESS;
}

long LookAtFolder(const std::wstring& path, bool& isLink, std::wstring& leadsTo)
{
    isLink = false;
    leadsTo.clear();
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD code = GetLastError();
        return static_cast<long>(code == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : code);
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ERROR_DIRECTORY;
    // The name tells a link that the handle does not show (Wine's Unix links), the handle one that the name hides.
    isLink = RefusalByName(path) == FileRefusal::Link;
    if (!isLink) {
        UniqueFileHandle itself = OpenFolder(path, FILE_READ_ATTRIBUTES);
        FILE_ATTRIBUTE_TAG_INFO information{};
        isLink = itself &&
                 GetFileInformationByHandleEx(itself.get(), FileAttributeTagInfo, &information, sizeof information) &&
                 LeadsElsewhere(information.FileAttributes, information.ReparseTag);
    }
    if (isLink) {
        UniqueFileHandle target(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, ShareAll, nullptr, OPEN_EXISTING,
                                            FILE_FLAG_BACKUP_SEMANTICS | IdentifyOnly, nullptr));
        if (target && FinalPath(FromHandle(target.get()), leadsTo) != ERROR_SUCCESS)
            leadsTo.clear();
    }
    return ERROR_SUCCESS;
}

long LongPathName(const std::wstring& path, std::wstring& longPath)
{
    return PathOf(longPath,
                  [&path](wchar_t* buffer, DWORD size) { return GetLongPathNameW(path.c_str(), buffer, size); });
}

long OpenForWriting(FileHandle folder, const std::wstring& name, FileHandle& file, FileRefusal& refusal, bool newOnly,
                    bool adminsOnly)
{
    refusal = FileRefusal::None;
    UniqueLocalMemory descriptor;
    if (adminsOnly && !ConvertStringSecurityDescriptorToSecurityDescriptorW(AdministratorsOwnFile, SDDL_REVISION_1,
                                                                           descriptor.put(), nullptr))
        return static_cast<long>(GetLastError());
    // Asking for no data, the look shares everything: the one open that writes then conflicts with nothing.
    UniqueFileHandle look;
    NTSTATUS status = OpenInFolder(folder, name, FILE_READ_ATTRIBUTES | SYNCHRONIZE, ShareAll, FILE_OPEN,
                                   FILE_OPEN_REPARSE_POINT, nullptr, look);
    if (status == STATUS_OBJECT_NAME_NOT_FOUND) {
        // Made as itself, in the checked folder: a name taken meanwhile is no longer free, whatever took it.
        UniqueFileHandle made;
        status = OpenInFolder(folder, name, GENERIC_WRITE | SYNCHRONIZE, FILE_SHARE_READ, FILE_CREATE,
                              FILE_OPEN_REPARSE_POINT | FILE_NON_DIRECTORY_FILE, descriptor.get(), made);
        if (status == STATUS_OBJECT_NAME_COLLISION)
            return ERROR_FILE_EXISTS;
        if (!NT_SUCCESS(status))
            return static_cast<long>(DosCode(status));
        file = FromHandle(made.release());
        return ERROR_SUCCESS;
    }
    if (!NT_SUCCESS(status))
        return static_cast<long>(DosCode(status));
    FILE_ATTRIBUTE_TAG_INFO information{};
    BY_HANDLE_FILE_INFORMATION names{};
    refusal = RefusalOf(look.get(), information);
    // Some systems show a link to a folder only by its name (Wine's Unix links): it is named for what it is.
    std::wstring folderPath;
    if (refusal == FileRefusal::Folder && FinalPath(folder, folderPath) == ERROR_SUCCESS &&
        RefusalByName(folderPath + L"\\" + name) == FileRefusal::Link)
        refusal = FileRefusal::Link;
    if (refusal != FileRefusal::None)
        return ERROR_SUCCESS;
    if (newOnly)
        return ERROR_FILE_EXISTS;
    if (!GetFileInformationByHandle(look.get(), &names))
        return static_cast<long>(GetLastError());
    if (names.nNumberOfLinks > 1) {
        refusal = FileRefusal::HardLink;
        return ERROR_SUCCESS;
    }
    // A placeholder or a deduplicated file gives its data only when opened without the flag; whatever is opened
    // must still be the file that was looked at.
    const bool placeholder = (information.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    UniqueFileHandle opened;
    status = OpenInFolder(folder, name, GENERIC_WRITE | SYNCHRONIZE, FILE_SHARE_READ, FILE_OPEN,
                          FILE_NON_DIRECTORY_FILE | (placeholder ? 0 : FILE_OPEN_REPARSE_POINT), nullptr, opened);
    if (!NT_SUCCESS(status))
        return static_cast<long>(DosCode(status));
    if (!SameIdentity(look.get(), opened.get()) || RefusalOf(opened.get(), information) != FileRefusal::None) {
        refusal = FileRefusal::Link;
        return ERROR_SUCCESS;
    }
    // Emptied only now that the handle that writes has been checked.
    if (!SetEndOfFile(opened.get()))
        return static_cast<long>(GetLastError());
    file = FromHandle(opened.release());
    return ERROR_SUCCESS;
}

long LookAtName(const std::wstring& path, FileRefusal& refusal)
{
    DWORD code = ERROR_SUCCESS;
    UniqueFileHandle opened(OpenDiskFile(path, FILE_READ_ATTRIBUTES, OPEN_EXISTING, refusal, code));
    return static_cast<long>(code);
}

long Write(FileHandle file, const char* data, std::uint32_t size, std::uint32_t& written)
{
    DWORD count = 0;
    BOOL ok = WriteFile(ToHandle(file), data, size, &count, nullptr);
    written = count;
    return ok ? ERROR_SUCCESS : static_cast<long>(GetLastError());
}

long Flush(FileHandle file)
{
    return FlushFileBuffers(ToHandle(file)) ? ERROR_SUCCESS : static_cast<long>(GetLastError());
}

long FinalPath(FileHandle file, std::wstring& path)
{
    std::wstring buffer;
    if (long code = PathOf(buffer, [file](wchar_t* data, DWORD size) {
            return GetFinalPathNameByHandleW(ToHandle(file), data, size, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        }))
        return code;
    // The prefix only lifts the length limit; without it the path reads as people type it.
    if (buffer.rfind(L"\\\\?\\UNC\\", 0) == 0)
        path = L"\\\\" + buffer.substr(8);
    else if (buffer.rfind(L"\\\\?\\", 0) == 0)
        path = buffer.substr(4);
    else
        path = buffer;
    return ERROR_SUCCESS;
}

long CreateFolder(const std::wstring& path, FileRefusal& refusal)
{
    refusal = FileRefusal::None;
    UniqueLocalMemory descriptor;
    PACL unused = nullptr;
    if (DWORD code = AdministratorsOnlyList(descriptor, unused))
        return static_cast<long>(code);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
    if (CreateDirectoryW(path.c_str(), &attributes))
        return ERROR_SUCCESS;
    DWORD code = GetLastError();
    if (code != ERROR_ALREADY_EXISTS)
        return static_cast<long>(code);
    DWORD found = GetFileAttributesW(path.c_str());
    if (found == INVALID_FILE_ATTRIBUTES)
        return static_cast<long>(GetLastError());
    refusal = RefusalByName(path);
    if (refusal == FileRefusal::Folder)
        refusal = FileRefusal::None;
    else if (refusal == FileRefusal::None)
        return ERROR_ALREADY_EXISTS;  // a file of that name
    return ERROR_SUCCESS;
}

long ReadFolderAccess(const std::wstring& path, FileAccess& access)
{
    UniqueFileHandle folder = OpenFolder(path, READ_CONTROL);
    if (!folder)
        return static_cast<long>(GetLastError());
    return static_cast<long>(AccessOf(folder.get(), access));
}

long ProtectFolder(const std::wstring& path)
{
    UniqueFileHandle folder = OpenFolder(path, READ_CONTROL | WRITE_DAC);
    if (!folder)
        return static_cast<long>(GetLastError());
    UniqueLocalMemory descriptor;
    PACL list = nullptr;
    if (DWORD code = AdministratorsOnlyList(descriptor, list))
        return static_cast<long>(code);
    // Set on the folder alone: SetSecurityInfo would pass the new list on to
    // what the folder holds, and a file planted there before must keep the
    // owner and list that tell it apart from a backup.
    return SetKernelObjectSecurity(folder.get(), DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                   descriptor.get())
               ? ERROR_SUCCESS
               : static_cast<long>(GetLastError());
}

long RemoveFile(FileHandle folder, const std::wstring& name, FileRefusal& refusal)
{
    refusal = FileRefusal::None;
    UniqueFileHandle opened;
    NTSTATUS status = OpenInFolder(folder, name, DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, ShareAll, FILE_OPEN,
                                   FILE_OPEN_REPARSE_POINT, nullptr, opened);
    if (!NT_SUCCESS(status))
        return static_cast<long>(DosCode(status));
    FILE_ATTRIBUTE_TAG_INFO information{};
    if ((refusal = RefusalOf(opened.get(), information)) != FileRefusal::None)
        return ERROR_SUCCESS;
    // Through the handle that was looked at: the name cannot be swapped for a link in between.
    FILE_DISPOSITION_INFO disposition{TRUE};
    return SetFileInformationByHandle(opened.get(), FileDispositionInfo, &disposition, sizeof disposition)
               ? ERROR_SUCCESS
               : static_cast<long>(GetLastError());
}

long ListFiles(const std::wstring& folder, std::vector<std::wstring>& names)
{
    names.clear();
    WIN32_FIND_DATAW found{};
    UniqueFindHandle search(FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!search) {
        DWORD code = GetLastError();
        return code == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : static_cast<long>(code);
    }
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.emplace_back(found.cFileName);
    } while (FindNextFileW(search.get(), &found));
    // Read before the owner closes the search, which may set it anew.
    DWORD code = GetLastError();
    return code == ERROR_NO_MORE_FILES ? ERROR_SUCCESS : static_cast<long>(code);
}

long ReadDiskFile(const std::wstring& path, std::string& bytes, FileRefusal& refusal, std::size_t limit,
                  FileAccess* access)
{
    DWORD code = ERROR_SUCCESS;
    UniqueFileHandle opened(
        OpenDiskFile(path, GENERIC_READ | (access ? READ_CONTROL : 0), OPEN_EXISTING, refusal, code));
    if (!opened)
        return static_cast<long>(code);
    // Asked of the handle that is read: the name may be given to another file meanwhile.
    if (access && (code = AccessOf(opened.get(), *access)) != ERROR_SUCCESS)
        return static_cast<long>(code);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(opened.get(), &size) || static_cast<unsigned long long>(size.QuadPart) > limit)
        return static_cast<long>(size.QuadPart > 0 ? ERROR_FILE_TOO_LARGE : GetLastError());
    bytes.assign(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    BOOL ok =
        bytes.empty() || ReadFile(opened.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    return static_cast<long>(ok ? (read == bytes.size() ? ERROR_SUCCESS : ERROR_HANDLE_EOF) : GetLastError());
}

long OpenToRead(const std::wstring& path, FileHandle& file, std::uint64_t& size, FileRefusal& refusal)
{
    DWORD code = ERROR_SUCCESS;
    UniqueFileHandle opened(OpenDiskFile(path, GENERIC_READ, OPEN_EXISTING, refusal, code));
    if (!opened)
        return static_cast<long>(code);
    LARGE_INTEGER length{};
    if (!GetFileSizeEx(opened.get(), &length))
        return static_cast<long>(GetLastError());
    size = static_cast<std::uint64_t>(length.QuadPart);
    file = FromHandle(opened.release());
    return ERROR_SUCCESS;
}

long ReadAt(FileHandle file, std::uint64_t offset, std::uint32_t length, std::string& bytes)
{
    bytes.assign(length, '\0');
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD read = 0;
    BOOL ok = length == 0 || ReadFile(ToHandle(file), bytes.data(), length, &read, &at);
    DWORD code = ok ? ERROR_SUCCESS : GetLastError();
    bytes.resize(read);
    return code == ERROR_HANDLE_EOF ? ERROR_SUCCESS : static_cast<long>(code);
}

bool Close(FileHandle file)
{
    return CloseHandle(ToHandle(file)) != FALSE;
}

FileHandle StandardOutput(bool& isConsole)
{
    // A window program has no console of its own: borrow the caller's, if any.
    AttachConsole(ATTACH_PARENT_PROCESS);
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == nullptr || output == INVALID_HANDLE_VALUE)
        return FileHandle::None;
    DWORD mode = 0;
    isConsole = GetConsoleMode(output, &mode) != FALSE;
    return FromHandle(output);
}

long WriteConsoleText(FileHandle console, const wchar_t* text, std::uint32_t count, std::uint32_t& written)
{
    DWORD done = 0;
    BOOL ok = WriteConsoleW(ToHandle(console), text, count, &done, nullptr);
    written = done;
    return ok ? ERROR_SUCCESS : static_cast<long>(GetLastError());
}

long SameFile(const std::wstring& a, const std::wstring& b, bool& same)
{
    same = false;
    BY_HANDLE_FILE_INFORMATION first{};
    BY_HANDLE_FILE_INFORMATION second{};
    DWORD code = FileIdentity(a, first);
    if (code == ERROR_SUCCESS)
        code = FileIdentity(b, second);
    if (code != ERROR_SUCCESS)
        return static_cast<long>(code);
    same = first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
    return ERROR_SUCCESS;
}

long LookForFile(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return static_cast<long>(GetLastError());
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
}

std::wstring ErrorText(long code)
{
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    std::wstring message = length > 0 && text ? std::wstring(text, length) : std::wstring();
    LocalFree(text);
    message = Sentence(message);
    return message.empty() ? L"Windows error " + std::to_wstring(code) + L"." : message;
}

}  // namespace FilePlatform
