#include "registry/RegTreeRead.h"

#include <cstdint>

#include "helpers/FuncLib.h"
#include "registry/RegKeyOwner.h"
#include "registry/RegistryPlatform.h"

namespace {

constexpr std::uint32_t RegLink = 6;

// A link's target is stored as UTF-16 without a NUL; where wchar_t is 32-bit a surrogate pair becomes one character.
std::wstring FromUtf16(const std::string& bytes)
{
    std::wstring text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        auto unit = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i]) |
                                               static_cast<unsigned char>(bytes[i + 1]) << 8);
        auto last = text.empty() ? 0u : static_cast<std::uint32_t>(text.back());
        if (sizeof(wchar_t) == 4 && unit >= 0xDC00 && unit <= 0xDFFF && last >= 0xD800 && last <= 0xDBFF)
            text.back() = static_cast<wchar_t>(0x10000 + ((last - 0xD800) << 10) + (unit - 0xDC00));
        else
            text.push_back(static_cast<wchar_t>(unit));
    }
    return text;
}

// Keeps the first failure: the read goes on so that `keys` holds all that can be read.
void Note(long& first, long code)
{
    if (first == RegError::Success)
        first = code;
}

// All the values of `key` into `data`, or for a link only its target.
long ReadValues(RegKey key, bool isLink, RegKeyData& data)
{
    RegValueData value;
    bool targetFound = false;
    for (std::uint32_t index = 0;; ++index) {
        long code = RegistryPlatform::EnumValueWide(key, index, value);
        if (code == RegError::NoMoreItems)
            break;
        if (code != RegError::Success)
            return code;
        if (!isLink) {
            data.values.push_back(value);
        } else if (value.type == RegLink && EqualsIgnoringCase(value.name, L"SymbolicLinkValue")) {
            data.linkTarget = FromUtf16(value.bytes);
            targetFound = true;
        }
    }
    // A link whose value went away since it was opened would otherwise pass for an empty key.
    return isLink && !targetFound ? RegError::FileNotFound : RegError::Success;
}

// Reads the open key `key` and everything below it into `keys`. A key is listed only when its name and all its
// values were read, and always before the keys below it.
long ReadKey(RegKey key, bool isLink, std::vector<RegKeyData>& keys)
{
    RegKeyData data;
    long first = RegistryPlatform::KeyPath(key, data.path);
    if (first == RegError::Success)
        first = ReadValues(key, isLink, data);
    if (first == RegError::Success)
        keys.push_back(std::move(data));
    if (isLink)
        return first;

    std::wstring name;
    for (std::uint32_t index = 0;; ++index) {
        long code = RegistryPlatform::EnumKeyWide(key, index, name);
        if (code != RegError::Success) {
            if (code != RegError::NoMoreItems)
                Note(first, code);
            break;
        }
        RegKey opened = RegKey::None;
        bool subIsLink = false;
        code = RegistryPlatform::OpenKeyToRead(key, name, opened, subIsLink);
        // A subkey removed since it was listed is no longer part of the tree.
        if (code == RegError::FileNotFound)
            continue;
        if (code != RegError::Success) {
            Note(first, code);
            continue;
        }
        RegKeyOwner subKey(opened);
        Note(first, ReadKey(subKey.get(), subIsLink, keys));
    }
    return first;
}

}  // namespace

long ReadRegTree(RegKey parent, const std::wstring& name, std::vector<RegKeyData>& keys)
{
    keys.clear();
    RegKey opened = RegKey::None;
    bool isLink = false;
    long code = RegistryPlatform::OpenKeyToRead(parent, name, opened, isLink);
    if (code != RegError::Success)
        return code;
    RegKeyOwner key(opened);
    return ReadKey(key.get(), isLink, keys);
}
