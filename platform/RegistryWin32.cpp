#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <vector>

#include "platform/AnsiText.h"
#include "platform/GrowBuffer.h"
#include "platform/NtdllWin32.h"
#include "platform/RegistryPlatform.h"

namespace {

HKEY ToHkey(RegKey key)
{
    if (key == RegKey::LocalMachine)
        return HKEY_LOCAL_MACHINE;
    if (key == RegKey::Users)
        return HKEY_USERS;
    return reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(key));
}

RegKey FromHkey(HKEY key)
{
    return static_cast<RegKey>(reinterpret_cast<std::uintptr_t>(key));
}

using ToDosErrorProc = ULONG(WINAPI*)(LONG);

// Hands out a key opened as a link only once it is known whether it is one.
LONG CheckLink(HKEY opened, RegKey& key, bool& isLink)
{
    DWORD type = REG_NONE;
    LONG query = RegQueryValueExW(opened, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr);
    if (query != ERROR_SUCCESS && query != ERROR_FILE_NOT_FOUND) {
        RegCloseKey(opened);
        return query;
    }
    isLink = query == ERROR_SUCCESS && type == REG_LINK;
    key = FromHkey(opened);
    return ERROR_SUCCESS;
}

}  // namespace

namespace RegistryPlatform {

long OpenKey(RegKey root, const std::wstring& path, RegKey& key)
{
    HKEY opened = nullptr;
    LONG code = RegOpenKeyA(ToHkey(root), AnsiText::FromWide(path).c_str(), &opened);
    if (code == ERROR_SUCCESS)
        key = FromHkey(opened);
    return code;
}

long OpenKeyNoFollow(RegKey parent, const std::wstring& name, RegKey& key, bool& isLink)
{
    HKEY opened = nullptr;
    // The rights RegOpenKeyA asks for, so that a key opens for deletion
    // exactly when it opens for reading.
    LONG code = RegOpenKeyExA(ToHkey(parent), AnsiText::FromWide(name).c_str(), REG_OPTION_OPEN_LINK,
                              MAXIMUM_ALLOWED, &opened);
    // A key that cannot say whether it is a link is not deleted by name.
    return code == ERROR_SUCCESS ? CheckLink(opened, key, isLink) : code;
}

long CloseKey(RegKey key)
{
    return RegCloseKey(ToHkey(key));
}

long EnumKey(RegKey key, std::uint32_t index, std::wstring& buffer)
{
    std::string bytes = AnsiText::FromWide(buffer);
    LONG code = RegEnumKeyA(ToHkey(key), index, bytes.data(), static_cast<DWORD>(bytes.size()));
    buffer = AnsiText::ToWide(bytes);
    return code;
}

long QueryValue(RegKey key, const std::wstring& valueName, std::uint32_t& type, std::wstring* data,
                std::uint32_t& size)
{
    std::string name = AnsiText::FromWide(valueName);
    DWORD valueType = type;
    DWORD count = size;
    if (data == nullptr) {
        LONG code = RegQueryValueExA(ToHkey(key), name.c_str(), nullptr, &valueType, nullptr, &count);
        type = valueType;
        size = count;
        return code;
    }
    std::string bytes = AnsiText::FromWide(*data);
    count = static_cast<DWORD>(bytes.size());
    LONG code = RegQueryValueExA(ToHkey(key), name.c_str(), nullptr, &valueType,
                                 reinterpret_cast<BYTE*>(bytes.data()), &count);
    type = valueType;
    size = count;
    // Only what the call wrote is text: a size query may ask for more than the
    // data query fills, and the filler must not become part of the value.
    if (code == ERROR_SUCCESS && count < bytes.size())
        bytes.resize(count);
    *data = AnsiText::ToWide(bytes);
    return code;
}

long DeleteKey(RegKey parent, const std::wstring& name)
{
    return RegDeleteKeyA(ToHkey(parent), AnsiText::FromWide(name).c_str());
}

long DeleteOpenKey(RegKey key)
{
    using NtDeleteKeyProc = LONG(WINAPI*)(HANDLE);
    auto deleteKey = NtdllProc<NtDeleteKeyProc>("NtDeleteKey");
    auto toDosError = NtdllProc<ToDosErrorProc>("RtlNtStatusToDosError");
    if (deleteKey == nullptr || toDosError == nullptr)
        return ERROR_CALL_NOT_IMPLEMENTED;
    LONG status = deleteKey(ToHkey(key));
    return status == 0 ? ERROR_SUCCESS : static_cast<long>(toDosError(status));
}

long OpenKeyToRead(RegKey parent, const std::wstring& name, RegKey& key, bool toDelete)
{
    HKEY opened = nullptr;
    LONG code = RegOpenKeyExW(ToHkey(parent), name.c_str(), REG_OPTION_OPEN_LINK, KEY_READ | (toDelete ? DELETE : 0),
                              &opened);
    if (code == ERROR_SUCCESS)
        key = FromHkey(opened);
    return code;
}

long OpenKeyWide(RegKey root, const std::wstring& path, RegKey& key, bool view32)
{
    HKEY opened = nullptr;
    LONG code = RegOpenKeyExW(ToHkey(root), path.c_str(), 0, KEY_READ | (view32 ? KEY_WOW64_32KEY : 0), &opened);
    if (code == ERROR_SUCCESS)
        key = FromHkey(opened);
    return code;
}

long QueryValueWide(RegKey key, const std::wstring& valueName, RegValueData& value)
{
    // Asked again at the size reported: the value may grow between the calls.
    std::string bytes(512, '\0');
    LONG code = ERROR_MORE_DATA;
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (!GrowUntilFits(bytes, 8, [&](std::string& tried) -> std::size_t {
            size = static_cast<DWORD>(tried.size());
            code = RegQueryValueExW(ToHkey(key), valueName.c_str(), nullptr, &type,
                                    reinterpret_cast<BYTE*>(tried.data()), &size);
            return code == ERROR_MORE_DATA ? size : 0;
        }))
        return ERROR_MORE_DATA;
    if (code == ERROR_SUCCESS)
        value = RegValueData{valueName, type, bytes.substr(0, size)};
    return code;
}

long KeyCounts(RegKey key, KeyStamp& stamp)
{
    DWORD keyCount = 0;
    DWORD valueCount = 0;
    FILETIME written{};
    LONG code = RegQueryInfoKeyW(ToHkey(key), nullptr, nullptr, nullptr, &keyCount, nullptr, nullptr, &valueCount,
                                 nullptr, nullptr, nullptr, &written);
    stamp.subKeys = keyCount;
    stamp.values = valueCount;
    stamp.lastWrite = static_cast<std::uint64_t>(written.dwHighDateTime) << 32 | written.dwLowDateTime;
    return code;
}

long EnumKeyWide(RegKey key, std::uint32_t index, std::wstring& name)
{
    // Windows keeps key names within 255 characters; the buffer still grows for a registry that does not.
    // The call does not say how long the name is, so each try doubles: 256 to 32,768 characters in eight.
    std::wstring buffer(256, L'\0');
    LONG code = ERROR_MORE_DATA;
    DWORD length = 0;
    if (!GrowUntilFits(buffer, 8, [&](std::wstring& tried) -> std::size_t {
            length = static_cast<DWORD>(tried.size());
            code = RegEnumKeyExW(ToHkey(key), index, tried.data(), &length, nullptr, nullptr, nullptr, nullptr);
            return code == ERROR_MORE_DATA ? tried.size() * 2 : 0;
        }))
        return ERROR_MORE_DATA;
    if (code == ERROR_SUCCESS)
        name = buffer.substr(0, length);
    return code;
}

long EnumValueWide(RegKey key, std::uint32_t index, RegValueData& value)
{
    // Small buffers first: Wine's cost grows with what is offered, and most
    // values fit. Only a value that does not asks for the key's largest sizes.
    std::wstring name(256, L'\0');
    std::string bytes(512, '\0');
    LONG code = ERROR_MORE_DATA;
    DWORD nameLength = 0;
    DWORD dataLength = 0;
    DWORD type = REG_NONE;
    if (!GrowUntilFits(bytes, 8, [&](std::string& tried) -> std::size_t {
            nameLength = static_cast<DWORD>(name.size());
            dataLength = static_cast<DWORD>(tried.size());
            code = RegEnumValueW(ToHkey(key), index, name.data(), &nameLength, nullptr, &type,
                                 reinterpret_cast<BYTE*>(tried.data()), &dataLength);
            if (code != ERROR_MORE_DATA)
                return 0;
            DWORD nameMax = 0;
            DWORD dataMax = 0;
            code = RegQueryInfoKeyW(ToHkey(key), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                    &nameMax, &dataMax, nullptr, nullptr);
            if (code != ERROR_SUCCESS)
                return 0;
            name.resize(std::max<std::size_t>(name.size(), nameMax + 1));
            return std::max<std::size_t>(tried.size(), dataMax);
        }))
        return ERROR_MORE_DATA;
    if (code == ERROR_SUCCESS)
        value = RegValueData{name.substr(0, nameLength), type, bytes.substr(0, dataLength)};
    return code;
}

long KeyPath(RegKey key, std::wstring& path)
{
    // A predefined root is a pseudo-handle that the kernel does not know.
    if (key == RegKey::LocalMachine || key == RegKey::Users)
        return ERROR_INVALID_HANDLE;
    using NtQueryKeyProc = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    auto queryKey = NtdllProc<NtQueryKeyProc>("NtQueryKey");
    auto toDosError = NtdllProc<ToDosErrorProc>("RtlNtStatusToDosError");
    if (queryKey == nullptr || toDosError == nullptr)
        return ERROR_CALL_NOT_IMPLEMENTED;
    constexpr int KeyNameInformation = 3;
    constexpr LONG BufferOverflow = static_cast<LONG>(0x80000005);
    constexpr LONG BufferTooSmall = static_cast<LONG>(0xC0000023);
    // KEY_NAME_INFORMATION: the name's length in bytes, then the name without a NUL.
    std::vector<ULONG> buffer(128);
    LONG status = 0;
    if (!GrowUntilFits(buffer, 8, [&](std::vector<ULONG>& tried) -> std::size_t {
            ULONG size = static_cast<ULONG>(tried.size() * sizeof(ULONG));
            ULONG needed = 0;
            status = queryKey(ToHkey(key), KeyNameInformation, tried.data(), size, &needed);
            bool small = (status == BufferOverflow || status == BufferTooSmall) && needed > size;
            return small ? needed / sizeof(ULONG) + 1 : 0;
        }))
        return ERROR_MORE_DATA;
    if (status != 0)
        return static_cast<long>(toDosError(status));
    std::wstring name(reinterpret_cast<const wchar_t*>(buffer.data() + 1), buffer[0] / sizeof(wchar_t));
    const std::wstring machine = L"\\REGISTRY\\MACHINE";
    // Only a key of HKEY_LOCAL_MACHINE has a name that a restore can write back.
    if (_wcsnicmp(name.c_str(), machine.c_str(), machine.size()) != 0 ||
        (name.size() > machine.size() && name[machine.size()] != L'\\'))
        return ERROR_INVALID_DATA;
    path = L"HKEY_LOCAL_MACHINE" + name.substr(machine.size());
    return ERROR_SUCCESS;
}

long CreateKey64(const std::wstring& subPath, RegKey& key)
{
    HKEY created = nullptr;
    LONG code = RegCreateKeyExW(HKEY_LOCAL_MACHINE, subPath.c_str(), 0, nullptr, 0,
                                KEY_WOW64_64KEY | KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_QUERY_VALUE, nullptr,
                                &created, nullptr);
    if (code == ERROR_SUCCESS)
        key = FromHkey(created);
    return code;
}

long OpenLink64(const std::wstring& subPath, RegKey& key)
{
    HKEY opened = nullptr;
    LONG code = RegOpenKeyExW(HKEY_LOCAL_MACHINE, subPath.c_str(), REG_OPTION_OPEN_LINK,
                              KEY_QUERY_VALUE | KEY_WOW64_64KEY, &opened);
    if (code == ERROR_SUCCESS)
        key = FromHkey(opened);
    return code;
}

long LinkTarget(RegKey key, std::wstring& target)
{
    // The target is a registry path, which the system keeps within 32,767 characters.
    std::wstring buffer(32768, L'\0');
    DWORD type = REG_NONE;
    DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    LONG code = RegQueryValueExW(ToHkey(key), L"SymbolicLinkValue", nullptr, &type,
                                 reinterpret_cast<BYTE*>(buffer.data()), &size);
    if (code != ERROR_SUCCESS)
        return code;
    if (type != REG_LINK)
        return ERROR_FILE_NOT_FOUND;
    target = buffer.substr(0, size / sizeof(wchar_t));
    return ERROR_SUCCESS;
}

long SetValueWide(RegKey key, const RegValueData& value)
{
    return RegSetValueExW(ToHkey(key), value.name.c_str(), 0, value.type,
                          reinterpret_cast<const BYTE*>(value.bytes.data()), static_cast<DWORD>(value.bytes.size()));
}

}  // namespace RegistryPlatform
