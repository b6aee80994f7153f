#include "registry/RegFuncs.h"

#include "helpers/FuncLib.h"
#include "helpers/Utf16.h"
#include "platform/RegistryPlatform.h"
#include "platform/SystemPlatform.h"
#include "registry/RegKeyOwner.h"

namespace {

constexpr std::size_t NameBufferLength = 300;

// An expansion that fails leaves the text as stored, which still names
// what the value holds.
std::wstring ExpandEnvironment(const std::wstring& text)
{
    return SystemPlatform::ExpandStrings(text).value_or(text);
}

}  // namespace

bool OpenRegKey(RegKey root, const std::wstring& path, RegKey& key)
{
    return RegistryPlatform::OpenKey(root, path, key) == RegError::Success;
}

bool RegKeyMissing(RegKey root, const std::wstring& path)
{
    RegKeyOwner key;
    return RegistryPlatform::OpenKey(root, path, *key.put()) == RegError::FileNotFound;
}

bool CloseRegKey(RegKey key)
{
    return RegistryPlatform::CloseKey(key) == RegError::Success;
}

long EnumRegSubKey(RegKey key, std::uint32_t index, std::wstring& name)
{
    std::wstring buffer(NameBufferLength, L' ');
    long code = RegistryPlatform::EnumKey(key, index, buffer);
    name = TrimNull(buffer);
    return code;
}

std::optional<std::wstring> StringValue(const RegValueData& value)
{
    if (value.type != RegType::Sz && value.type != RegType::ExpandSz)
        return std::nullopt;
    bool valid = true;
    return TrimNull(FromUtf16(UnitsOf(value.bytes), valid));
}

std::optional<std::wstring> ExpandedStringValue(const RegValueData& value)
{
    std::optional<std::wstring> text = StringValue(value);
    if (text && value.type == RegType::ExpandSz)
        text = SystemPlatform::ExpandStringsW(*text);
    return text;
}

bool GetRegString(RegKey key, const std::wstring& valueName, std::wstring& value)
{
    std::uint32_t type = RegType::None;
    std::uint32_t size = 0;
    if (RegistryPlatform::QueryValue(key, valueName, type, nullptr, size) != RegError::Success)
        return false;
    if (type != RegType::Sz && type != RegType::ExpandSz)
        return false;

    std::wstring buffer(size, L' ');
    std::uint32_t dataType = RegType::None;
    if (RegistryPlatform::QueryValue(key, valueName, dataType, &buffer, size) != RegError::Success)
        return false;

    std::wstring text = TrimNull(buffer);
    value = type == RegType::ExpandSz ? ExpandEnvironment(text) : text;
    return true;
}

bool DeleteRegKey(RegKey parent, const std::wstring& name)
{
    return RegistryPlatform::DeleteKey(parent, name) == RegError::Success;
}

std::wstring CurrentVersionKey()
{
    return L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
}

bool DeleteRegKeyTree(RegKey parent, const std::wstring& name)
{
    // Keys are opened as links where they are links: followed, a link would
    // lead the deletion into its target, wherever that lies.
    RegKey key = RegKey::None;
    bool isLink = false;
    if (RegistryPlatform::OpenKeyNoFollow(parent, name, key, isLink) != RegError::Success)
        return false;
    if (isLink) {
        // Deleted by name through its parent, a link takes its target along.
        bool deleted = RegistryPlatform::DeleteOpenKey(key) == RegError::Success;
        CloseRegKey(key);
        return deleted;
    }

    // Deleting the subkey at `index` moves the next one down to it, so the
    // index only advances past a subkey that stays: one that cannot be opened
    // or deleted, or an index the enumeration fails on. Without that the loop
    // would offer the same stuck subkey forever.
    std::uint32_t index = 0;
    bool lastFailed = false;
    std::wstring subKey;
    for (;;) {
        long code = EnumRegSubKey(key, index, subKey);
        if (code == RegError::Success) {
            lastFailed = false;
            if (!DeleteRegKeyTree(key, subKey))
                ++index;
        } else if (code == RegError::NoMoreItems) {
            break;
        } else {
            // Two failures in a row: the key cannot be listed (a handle
            // without the right to enumerate fails at every index).
            if (lastFailed)
                break;
            lastFailed = true;
            ++index;
        }
    }

    // Through the handle already open: by name the system would open the key
    // once more, only to delete and close it.
    bool deleted = RegistryPlatform::DeleteOpenKey(key) == RegError::Success;
    CloseRegKey(key);
    return deleted;
}
