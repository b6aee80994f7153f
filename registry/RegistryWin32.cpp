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

}  // namespace RegistryPlatform
