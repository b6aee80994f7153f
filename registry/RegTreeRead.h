#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/RegTypes.h"
#include "registry/RegKeyOwner.h"
#include "registry/RegTree.h"

// Reads the tree `name` below `parent` whole: every key parent-first, each with all its values as stored, a
// registry link as a link (its target, never followed). 0 when all of it was read; 2 when `name` is not there;
// otherwise the code of the first key or value that could not be read — `keys` then holds what could be.
[[nodiscard]] long ReadRegTree(RegKey parent, const std::wstring& name, std::vector<RegKeyData>& keys);

// A tree read for deletion. Every key stays open from its read to its own deletion, so that what goes is the key
// that was read and never one made in its place under the same name; and each is deleted only when the system
// still gives it the last write time and counts that the read saw.
class HeldRegTree {
public:
    // As ReadRegTree, with every key opened to be deleted too.
    [[nodiscard]] long Read(RegKey parent, const std::wstring& name, std::vector<RegKeyData>& keys);

    // Deletes the tree deepest keys first and closes every key. A key written since its read stays, and with it
    // the keys above it, each named in `changed`; so does a key that gained a subkey, which the system does not
    // delete. True only when the whole tree went.
    [[nodiscard]] bool Delete(std::vector<std::wstring>& changed);

    struct Held {
        RegKeyOwner key;
        std::wstring path;
        KeyStamp seen;
        std::vector<RegValueData> values;  // as read, kept only for a key with subkeys
        std::size_t end = 0;  // one past the last key below it, in parent-first order
    };

private:
    bool DeleteKey(std::size_t index, std::vector<std::wstring>& changed);

    std::vector<Held> keys_;
};
