#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "registry/RegTree.h"
#include "tests/fakes/RegCodes.h"

// The in-memory registry that the host build links in place of the Win32
// adapter. It behaves as the "A" registry calls do where the program can
// notice (case-insensitive names kept as written, subkeys enumerated in the
// system's sorted order, 259 past the end, 1018 on a deleted key's handle,
// no deletion of a key that has subkeys, registry links followed except when
// opened as links, and deleted by name as their target), counts every handle,
// and can make any single call fail. HKEY_USERS is the key "HKEY_USERS" at the root, when a test makes it. Value data is held as the bytes an "A" call returns;
// its code page is Latin-1. The wide calls see text (types 1, 2 and 7) as UTF-16LE.
class FakeRegistry {
public:
    enum class Call { Open, Close, Enum, QuerySize, QueryData, Delete, EnumValue, KeyPath, Create, SetValue };

    static FakeRegistry& Instance();

    void Reset();

    // Setting up and inspecting content; none of these counts as a call.
    void CreateKey(const std::wstring& path);
    void SetValue(const std::wstring& path, const std::wstring& name, std::uint32_t type, std::string data);
    // REG_SZ or REG_EXPAND_SZ stored with its terminating NUL.
    void SetString(const std::wstring& path, const std::wstring& name, const std::wstring& text,
                   std::uint32_t type = RegType::Sz);
    // A REG_SZ as the wide calls store it, with characters that Latin-1 lacks: the "A" calls see them as '?'.
    void SetWideString(const std::wstring& path, const std::wstring& name, const std::wstring& text);
    // A registry link at `path` to the key at `target` (which need not exist).
    void CreateLink(const std::wstring& path, const std::wstring& target);
    void DeleteTree(const std::wstring& path);
    [[nodiscard]] bool KeyExists(const std::wstring& path) const;
    // Every key below the root, one path a line, in enumeration order, with
    // its values; for comparing the registry before and after a command.
    [[nodiscard]] std::wstring Dump() const;

    // Makes `call` on the key at `path` return `error`, `times` times (or
    // always when times < 0). For Open, Create and Delete the path is the key
    // being opened, created or deleted; for the others it is the key the
    // handle refers to. With `index`, an Enum or EnumValue fault applies at
    // that index only.
    void Fail(Call call, const std::wstring& path, long error, int times = -1,
              std::optional<std::uint32_t> index = std::nullopt);
    // Runs after every successful size query, before the data query.
    void AfterSizeQuery(std::function<void(const std::wstring& path, const std::wstring& valueName)> hook);
    // Runs once, when a delete call is about to delete the key at `path`: another program's write between a
    // read and a deletion.
    void BeforeDeleting(const std::wstring& path, std::function<void()> hook);

    // Handle accounting.
    [[nodiscard]] int OpenHandleCount() const;
    [[nodiscard]] int OpenedCount() const { return opened_; }
    // Closes of a handle that was not open: never opened, closed before, or a
    // predefined root. Closing RegKey::None is counted apart.
    [[nodiscard]] int StrayCloseCount() const { return strayCloses_; }
    [[nodiscard]] int NullCloseCount() const { return nullCloses_; }
    [[nodiscard]] std::vector<std::wstring> OpenHandlePaths() const;

    // Every call made, as "Open Software\X", "Enum Software\X 3",
    // "QuerySize Software\X:name", "Delete Software\X\Y", "Close Software\X",
    // "EnumValue Software\X 0", "KeyPath Software\X", "Create Software\X",
    // "SetValue Software\X:name".
    [[nodiscard]] const std::vector<std::wstring>& Calls() const { return calls_; }
    [[nodiscard]] int CallCount(Call call) const;
    void ClearCalls() { calls_.clear(); }

    // The platform calls.
    long OpenKey(RegKey root, const std::wstring& path, RegKey& key, bool openLink = false);
    long CloseKey(RegKey key);
    long DeleteOpenKey(RegKey key);
    long EnumKey(RegKey key, std::uint32_t index, std::wstring& buffer);
    long QueryValue(RegKey key, const std::wstring& valueName, std::uint32_t& type, std::wstring* data,
                    std::uint32_t& size);
    long DeleteKey(RegKey parent, const std::wstring& name);
    long KeyCounts(RegKey key, KeyStamp& stamp);
    long EnumKeyWide(RegKey key, std::uint32_t index, std::wstring& name);
    long EnumValueWide(RegKey key, std::uint32_t index, RegValueData& value);
    long QueryValueWide(RegKey key, const std::wstring& valueName, RegValueData& value);
    long KeyPath(RegKey key, std::wstring& path);
    long CreateKey64(const std::wstring& subPath, RegKey& key);
    long SetValueWide(RegKey key, const RegValueData& value);

    static std::string ToLatin1(const std::wstring& text);
    static std::wstring FromLatin1(const std::string& bytes);
    // Value data as the wide calls see it, from the bytes held, and back.
    static std::string WideBytes(std::uint32_t type, const std::string& held);
    static std::string HeldBytes(std::uint32_t type, const std::string& wide);

private:
    struct Node;
    struct NameLess {
        bool operator()(const std::wstring& a, const std::wstring& b) const;
    };
    struct Value {
        std::wstring name;
        std::uint32_t type = RegType::None;
        std::string data;
        std::string wide;  // what the wide calls see, when it is more than `data` can hold
    };
    struct Node {
        std::wstring name;
        Node* parent = nullptr;
        bool deleted = false;
        std::uint64_t written = 0;  // a tick of writes_, as the system's last write time
        std::wstring linkTarget;  // a registry link's target; "" for a key
        std::map<std::wstring, std::shared_ptr<Node>, NameLess> children;
        std::map<std::wstring, Value, NameLess> values;
    };
    struct Handle {
        std::shared_ptr<Node> node;
        bool open = true;
    };
    struct Fault {
        Call call;
        std::wstring path;
        long error;
        int times;
        std::optional<std::uint32_t> index;
    };

    static RegValueData AsWide(const Value& held);
    // Follows links on the way, and at the end too unless `openLink`.
    std::shared_ptr<Node> Find(const std::shared_ptr<Node>& from, const std::wstring& path, long& error,
                               bool openLink = false, int depth = 0) const;
    // With `followLinks`, as the create call does: null at a link that leads nowhere.
    std::shared_ptr<Node> Make(const std::wstring& path, bool followLinks = false);
    std::shared_ptr<Node> NodeOf(RegKey key, long& error) const;
    RegKey NewHandle(std::shared_ptr<Node> node);
    // The subkey at `index`, or null with the error the enumeration gives.
    std::shared_ptr<Node> SubKeyAt(RegKey key, std::uint32_t index, long& error);
    static std::wstring PathOf(const Node& node);
    std::optional<long> TakeFault(Call call, const std::wstring& path, std::optional<std::uint32_t> index = {});
    // Records the call; true when the sweep's fault is to fail it.
    bool Record(Call call, const std::wstring& detail);
    void DumpNode(const Node& node, std::wstring& out) const;
    static void MarkDeleted(Node& node);
    // Stamps `node` as written now: a value set or removed, a subkey made or deleted.
    void Touch(Node& node) { node.written = ++writes_; }
    void RunBeforeDeleting(const Node& node);
    // Deletes a key that has no subkeys, as the system does.
    long Remove(const std::shared_ptr<Node>& node);

    std::shared_ptr<Node> root_ = std::make_shared<Node>();
    std::map<std::uintptr_t, Handle> handles_;
    std::uintptr_t nextHandle_ = 0x1000;
    int opened_ = 0;
    int strayCloses_ = 0;
    int nullCloses_ = 0;
    std::vector<Fault> faults_;
    std::function<void(const std::wstring&, const std::wstring&)> afterSizeQuery_;
    std::vector<std::pair<std::wstring, std::function<void()>>> beforeDeleting_;
    std::uint64_t writes_ = 0;
    std::vector<std::wstring> calls_;
};
