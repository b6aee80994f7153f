#include "registry/RegTreeRead.h"

#include <cstdint>

#include "helpers/FuncLib.h"
#include "helpers/Utf16.h"
#include "platform/RegistryPlatform.h"

namespace {

constexpr std::uint32_t RegLink = 6;

// Opens a key of the tree to be read, and deleted too when `toDelete`. A key
// that may be read but not deleted is still read, so that the backup holds it
// as it stays; its deletion then fails, and it stays with the keys above it.
long OpenTreeKey(RegKey parent, const std::wstring& name, RegKey& key, bool toDelete)
{
    long code = RegistryPlatform::OpenKeyToRead(parent, name, key, toDelete);
    if (code == RegError::AccessDenied && toDelete)
        code = RegistryPlatform::OpenKeyToRead(parent, name, key);
    return code;
}

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
// before the keys below it. With `held`, every key is kept open there, in the
// same order, for the deletion that follows.
long ReadKey(RegKey key, const std::wstring& path, std::vector<RegKeyData>& keys,
             std::vector<HeldRegTree::Held>* held)
{
    RegKeyData data;
    data.path = path;
    bool isLink = false;
    // Counted first, so that no call is spent finding the end of a list; and
    // a write made while the values are read shows in the stamp as a change.
    KeyStamp stamp;
    long first = RegistryPlatform::KeyCounts(key, stamp);
    if (first == RegError::Success)
        first = ReadValues(key, stamp.values, data, isLink);
    if (held) {
        held->back().seen = stamp;
        if (stamp.subKeys != 0)
            held->back().values = data.values;
    }
    if (first == RegError::Success)
        keys.push_back(std::move(data));
    if (isLink)
        return first;

    std::wstring name;
    for (std::uint32_t index = 0; index < stamp.subKeys; ++index) {
        long code = RegistryPlatform::EnumKeyWide(key, index, name);
        if (code != RegError::Success) {
            if (code != RegError::NoMoreItems)
                Note(first, code);
            break;
        }
        RegKey opened = RegKey::None;
        code = OpenTreeKey(key, name, opened, held != nullptr);
        // A subkey removed since it was listed is no longer part of the tree.
        if (code == RegError::FileNotFound)
            continue;
        if (code != RegError::Success) {
            Note(first, code);
            continue;
        }
        RegKeyOwner subKey(opened);
        std::wstring subPath = path + L"\\" + name;
        if (!held) {
            Note(first, ReadKey(subKey.get(), subPath, keys, nullptr));
            continue;
        }
        std::size_t at = held->size();
        held->push_back({std::move(subKey), subPath, {}, {}, 0});
        Note(first, ReadKey(opened, subPath, keys, held));
        (*held)[at].end = held->size();
    }
    return first;
}

// Opens the top of a tree and reads it, the kernel's name for it as its path:
// only the top asks where it is; the names below follow from it.
long ReadTop(RegKey parent, const std::wstring& name, std::vector<RegKeyData>& keys,
             std::vector<HeldRegTree::Held>* held)
{
    keys.clear();
    RegKeyOwner key;
    long code = OpenTreeKey(parent, name, *key.put(), held != nullptr);
    if (code != RegError::Success)
        return code;
    const RegKey opened = key.get();
    std::wstring path;
    code = RegistryPlatform::KeyPath(key.get(), path);
    if (code != RegError::Success)
        return code;
    if (!held)
        return ReadKey(key.get(), path, keys, nullptr);
    held->push_back({std::move(key), path, {}, {}, 0});
    code = ReadKey(opened, path, keys, held);
    held->front().end = held->size();
    return code;
}

}  // namespace

long ReadRegTree(RegKey parent, const std::wstring& name, std::vector<RegKeyData>& keys)
{
    return ReadTop(parent, name, keys, nullptr);
}

long HeldRegTree::Read(RegKey parent, const std::wstring& name, std::vector<RegKeyData>& keys)
{
    keys_.clear();
    return ReadTop(parent, name, keys, &keys_);
}

bool HeldRegTree::Delete(std::vector<std::wstring>& changed)
{
    bool deleted = !keys_.empty() && DeleteKey(0, changed);
    keys_.clear();
    return deleted;
}

namespace {

// The key, its subkeys gone, against the values the read saw: Same, Changed,
// or Unknown when the system could not say.
enum class Values { Same, Changed, Unknown };

Values ValuesAsRead(const HeldRegTree::Held& held)
{
    KeyStamp now;
    if (RegistryPlatform::KeyCounts(held.key.get(), now) != RegError::Success)
        return Values::Unknown;
    if (now.subKeys != 0 || now.values != held.values.size())
        return Values::Changed;
    RegValueData value;
    for (std::uint32_t index = 0; index < now.values; ++index) {
        if (RegistryPlatform::EnumValueWide(held.key.get(), index, value) != RegError::Success)
            return Values::Unknown;
        if (!(value == held.values[index]))
            return Values::Changed;
    }
    return Values::Same;
}

}  // namespace

// A stamp taken just before each deletion leaves a write only the call itself
// to slip into. A key with subkeys is stamped before they go, and since their
// deletion moves its last write time, its values are read again after: the
// few keys with subkeys pay for that, the leaves do not.
bool HeldRegTree::DeleteKey(std::size_t index, std::vector<std::wstring>& changed)
{
    Held& held = keys_[index];
    KeyStamp now;
    bool same = RegistryPlatform::KeyCounts(held.key.get(), now) == RegError::Success;
    if (same && now != held.seen) {
        changed.push_back(held.path);
        return false;
    }
    bool below = true;
    for (std::size_t sub = index + 1; sub < held.end; sub = keys_[sub].end)
        below = DeleteKey(sub, changed) && below;
    if (!below || !same)
        return false;
    if (held.seen.subKeys != 0) {
        Values values = ValuesAsRead(held);
        if (values == Values::Changed)
            changed.push_back(held.path);
        if (values != Values::Same)
            return false;
    }
    bool gone = RegistryPlatform::DeleteOpenKey(held.key.get()) == RegError::Success;
    held.key.reset();
    return gone;
}
