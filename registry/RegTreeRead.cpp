#include "registry/RegTreeRead.h"

#include <cstdint>

#include "helpers/FuncLib.h"
#include "helpers/Utf16.h"
#include "platform/RegistryPlatform.h"
#include "registry/RegKeyOwner.h"

namespace {

constexpr std::uint32_t RegLink = 6;

// Keeps the first failure: the read goes on so that `keys` holds all that can be read.
void Note(long& first, long code)
{
    if (first == RegError::Success)
        first = code;
}

// All the values of `key` into `data`; a registry link (opened as itself)
// shows by its SymbolicLinkValue, and keeps only its target. Telling it from
// the values read anyway saves a call for every key of the tree.
long ReadValues(RegKey key, std::uint32_t count, RegKeyData& data, bool& isLink)
{
    RegValueData value;
    for (std::uint32_t index = 0; index < count; ++index) {
        long code = RegistryPlatform::EnumValueWide(key, index, value);
        if (code == RegError::NoMoreItems)
            break;
        if (code != RegError::Success)
            return code;
        if (value.type == RegLink && EqualsIgnoringCase(value.name, L"SymbolicLinkValue")) {
            bool valid = true;
            data.linkTarget = FromUtf16(UnitsOf(value.bytes), valid);
            isLink = true;
        }
        data.values.push_back(std::move(value));
    }
    if (isLink)
        data.values.clear();
    return RegError::Success;
}

// Reads the open key `key`, whose path is `path`, and everything below it
// into `keys`. A key is listed only when all its values were read, and always
// before the keys below it.
long ReadKey(RegKey key, const std::wstring& path, std::vector<RegKeyData>& keys)
{
    RegKeyData data;
    data.path = path;
    bool isLink = false;
    // Counted first, so that no call is spent finding the end of a list.
    std::uint32_t subKeys = 0;
    std::uint32_t values = 0;
    long first = RegistryPlatform::KeyCounts(key, subKeys, values);
    if (first == RegError::Success)
        first = ReadValues(key, values, data, isLink);
    if (first == RegError::Success)
        keys.push_back(std::move(data));
    if (isLink)
        return first;

    std::wstring name;
    for (std::uint32_t index = 0; index < subKeys; ++index) {
        long code = RegistryPlatform::EnumKeyWide(key, index, name);
        if (code != RegError::Success) {
            if (code != RegError::NoMoreItems)
                Note(first, code);
            break;
        }
        RegKey opened = RegKey::None;
        code = RegistryPlatform::OpenKeyToRead(key, name, opened);
        // A subkey removed since it was listed is no longer part of the tree.
        if (code == RegError::FileNotFound)
            continue;
        if (code != RegError::Success) {
            Note(first, code);
            continue;
        }
        RegKeyOwner subKey(opened);
        Note(first, ReadKey(subKey.get(), path + L"\\" + name, keys));
    }
    return first;
}

}  // namespace

long ReadRegTree(RegKey parent, const std::wstring& name, std::vector<RegKeyData>& keys)
{
    keys.clear();
    RegKey opened = RegKey::None;
    long code = RegistryPlatform::OpenKeyToRead(parent, name, opened);
    if (code != RegError::Success)
        return code;
    RegKeyOwner key(opened);
    // Only the top asks the kernel where it is; the names below follow from it.
    std::wstring path;
    code = RegistryPlatform::KeyPath(key.get(), path);
    return code != RegError::Success ? code : ReadKey(key.get(), path, keys);
}
