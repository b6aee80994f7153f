#include <windows.h>

#include "helpers/AnsiText.h"
#include "registry/RegistryPlatform.h"

namespace {

HKEY ToHkey(RegKey key)
{
    if (key == RegKey::LocalMachine)
        return HKEY_LOCAL_MACHINE;
    return reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(key));
}

RegKey FromHkey(HKEY key)
{
    return static_cast<RegKey>(reinterpret_cast<std::uintptr_t>(key));
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
    if (code != ERROR_SUCCESS)
        return code;
    // A key that cannot say whether it is a link is not deleted by name.
    DWORD type = REG_NONE;
    LONG query = RegQueryValueExA(opened, "SymbolicLinkValue", nullptr, &type, nullptr, nullptr);
    if (query != ERROR_SUCCESS && query != ERROR_FILE_NOT_FOUND) {
        RegCloseKey(opened);
        return query;
    }
    isLink = query == ERROR_SUCCESS && type == REG_LINK;
    key = FromHkey(opened);
    return ERROR_SUCCESS;
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
    // Not in the documented API, but the only call that removes a link rather
    // than its target; looked up at run time so that nothing more is imported.
    using NtDeleteKeyProc = LONG(WINAPI*)(HANDLE);
    using ToDosErrorProc = ULONG(WINAPI*)(LONG);
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    auto deleteKey = reinterpret_cast<NtDeleteKeyProc>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "NtDeleteKey")));
    auto toDosError = reinterpret_cast<ToDosErrorProc>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlNtStatusToDosError")));
    if (deleteKey == nullptr || toDosError == nullptr)
        return ERROR_CALL_NOT_IMPLEMENTED;
    LONG status = deleteKey(ToHkey(key));
    return status == 0 ? ERROR_SUCCESS : static_cast<long>(toDosError(status));
}

}  // namespace RegistryPlatform
