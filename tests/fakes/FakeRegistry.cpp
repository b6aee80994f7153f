#include "tests/fakes/FakeRegistry.h"

#include <cwctype>
#include <utility>

#include "helpers/FuncLib.h"
#include "platform/RegistryPlatform.h"
#include "tests/fakes/CallFault.h"

namespace {

std::vector<std::wstring> SplitPath(const std::wstring& path, bool& valid)
{
    std::vector<std::wstring> parts;
    valid = true;
    std::size_t start = 0;
    while (start < path.size()) {
        std::size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos)
            end = path.size();
        // A doubled separator inside a path is passed over, as the system does.
        if (end == start) {
            if (start == 0) {
                valid = false;
                return parts;
            }
            start = end + 1;
            continue;
        }
        parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

const wchar_t* CallName(FakeRegistry::Call call)
{
    switch (call) {
    case FakeRegistry::Call::Open: return L"Open";
    case FakeRegistry::Call::Close: return L"Close";
    case FakeRegistry::Call::Enum: return L"Enum";
    case FakeRegistry::Call::QuerySize: return L"QuerySize";
    case FakeRegistry::Call::QueryData: return L"QueryData";
    case FakeRegistry::Call::Delete: return L"Delete";
    case FakeRegistry::Call::EnumValue: return L"EnumValue";
    case FakeRegistry::Call::KeyPath: return L"KeyPath";
    case FakeRegistry::Call::Create: return L"Create";
    case FakeRegistry::Call::SetValue: return L"SetValue";
    }
    return L"?";
}

bool IsText(std::uint32_t type)
{
    return type == RegType::Sz || type == RegType::ExpandSz || type == RegType::MultiSz;
}

}  // namespace

// Windows orders subkeys by their upper-cased names.
bool FakeRegistry::NameLess::operator()(const std::wstring& a, const std::wstring& b) const
{
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        auto ca = std::towupper(a[i]);
        auto cb = std::towupper(b[i]);
        if (ca != cb)
            return ca < cb;
    }
    return a.size() < b.size();
}

FakeRegistry& FakeRegistry::Instance()
{
    static FakeRegistry registry;
    return registry;
}

void FakeRegistry::Reset()
{
    *this = FakeRegistry();
}

std::string FakeRegistry::ToLatin1(const std::wstring& text)
{
    std::string bytes;
    bytes.reserve(text.size());
    for (wchar_t c : text)
        bytes.push_back(static_cast<unsigned long>(c) <= 0xFF ? static_cast<char>(c) : '?');
    return bytes;
}

std::wstring FakeRegistry::FromLatin1(const std::string& bytes)
{
    std::wstring text;
    text.reserve(bytes.size());
    for (char c : bytes)
        text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return text;
}

std::string FakeRegistry::WideBytes(std::uint32_t type, const std::string& held)
{
    if (!IsText(type))
        return held;
    std::string wide;
    for (char c : held)
        wide += std::string{c, '\0'};
    return wide;
}

std::string FakeRegistry::HeldBytes(std::uint32_t type, const std::string& wide)
{
    if (!IsText(type))
        return wide;
    std::wstring text;
    for (std::size_t i = 0; i < wide.size(); i += 2) {
        unsigned high = i + 1 < wide.size() ? static_cast<unsigned char>(wide[i + 1]) : 0u;
        text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(wide[i]) | high << 8));
    }
    return ToLatin1(text);
}

RegValueData FakeRegistry::AsWide(const Value& held)
{
    return RegValueData{held.name, held.type, held.wide.empty() ? WideBytes(held.type, held.data) : held.wide};
}

std::shared_ptr<FakeRegistry::Node> FakeRegistry::Find(const std::shared_ptr<Node>& from, const std::wstring& path,
                                                       long& error, bool openLink, int depth) const
{
    bool valid = true;
    auto parts = SplitPath(path, valid);
    if (!valid) {
        error = RegError::BadPathname;
        return nullptr;
    }
    std::shared_ptr<Node> node = from;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        auto it = node->children.find(parts[i]);
        if (it == node->children.end()) {
            error = RegError::FileNotFound;
            return nullptr;
        }
        node = it->second;
        if (!node->linkTarget.empty() && !(openLink && i + 1 == parts.size())) {
            // A dangling or circular link cannot be opened.
            if (depth > 8) {
                error = RegError::FileNotFound;
                return nullptr;
            }
            node = Find(root_, node->linkTarget, error, false, depth + 1);
            if (!node)
                return nullptr;
        }
    }
    error = RegError::Success;
    return node;
}

std::shared_ptr<FakeRegistry::Node> FakeRegistry::Make(const std::wstring& path, bool followLinks)
{
    bool valid = true;
    auto parts = SplitPath(path, valid);
    std::shared_ptr<Node> node = root_;
    for (const auto& part : parts) {
        auto& child = node->children[part];
        if (!child) {
            child = std::make_shared<Node>();
            child->name = part;
            child->parent = node.get();
            Touch(*node);
            Touch(*child);
        }
        node = child;
        if (followLinks && !node->linkTarget.empty()) {
            long error = 0;
            node = Find(root_, node->linkTarget, error);
            if (!node)
                return nullptr;
        }
    }
    return node;
}

RegKey FakeRegistry::NewHandle(std::shared_ptr<Node> node)
{
    std::uintptr_t value = nextHandle_;
    nextHandle_ += 4;
    handles_[value] = Handle{std::move(node), true};
    ++opened_;
    return static_cast<RegKey>(value);
}

std::shared_ptr<FakeRegistry::Node> FakeRegistry::NodeOf(RegKey key, long& error) const
{
    if (key == RegKey::LocalMachine) {
        error = RegError::Success;
        return root_;
    }
    if (key == RegKey::Users) {
        auto users = root_->children.find(L"HKEY_USERS");
        error = users == root_->children.end() ? RegError::FileNotFound : RegError::Success;
        return users == root_->children.end() ? nullptr : users->second;
    }
    auto it = handles_.find(static_cast<std::uintptr_t>(key));
    if (it == handles_.end() || !it->second.open) {
        error = RegError::InvalidHandle;
        return nullptr;
    }
    if (it->second.node->deleted) {
        error = RegError::KeyDeleted;
        return nullptr;
    }
    error = RegError::Success;
    return it->second.node;
}

std::wstring FakeRegistry::PathOf(const Node& node)
{
    std::wstring path;
    for (const Node* n = &node; n != nullptr && n->parent != nullptr; n = n->parent)
        path = path.empty() ? n->name : n->name + L"\\" + path;
    return path;
}

void FakeRegistry::CreateKey(const std::wstring& path)
{
    Make(path);
}

void FakeRegistry::SetValue(const std::wstring& path, const std::wstring& name, std::uint32_t type, std::string data)
{
    auto node = Make(path);
    node->values[name] = Value{name, type, std::move(data), {}};
    Touch(*node);
}

void FakeRegistry::SetString(const std::wstring& path, const std::wstring& name, const std::wstring& text,
                             std::uint32_t type)
{
    std::string data = ToLatin1(text);
    data.push_back('\0');
    SetValue(path, name, type, std::move(data));
}

void FakeRegistry::SetWideString(const std::wstring& path, const std::wstring& name, const std::wstring& text)
{
    SetString(path, name, text);
    std::string& wide = Make(path)->values[name].wide;
    for (wchar_t c : text + L'\0')
        wide += std::string{static_cast<char>(c & 0xFF), static_cast<char>((c >> 8) & 0xFF)};
}

void FakeRegistry::CreateLink(const std::wstring& path, const std::wstring& target)
{
    auto node = Make(path);
    node->linkTarget = target;
    // As the system stores it: the target's full name in UTF-16, no NUL.
    std::wstring full = L"\\Registry\\Machine\\" + target;
    std::string bytes;
    for (wchar_t c : full) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
    }
    node->values[L"SymbolicLinkValue"] = Value{L"SymbolicLinkValue", RegType::Link, bytes, {}};
}

void FakeRegistry::MarkDeleted(Node& node)
{
    node.deleted = true;
    for (auto& [name, child] : node.children)
        MarkDeleted(*child);
}

void FakeRegistry::DeleteTree(const std::wstring& path)
{
    long error = 0;
    auto node = Find(root_, path, error);
    if (!node || node == root_)
        return;
    MarkDeleted(*node);
    Touch(*node->parent);
    node->parent->children.erase(node->name);
}

bool FakeRegistry::KeyExists(const std::wstring& path) const
{
    long error = 0;
    return Find(root_, path, error) != nullptr;
}

void FakeRegistry::DumpNode(const Node& node, std::wstring& out) const
{
    for (const auto& [name, child] : node.children) {
        out += PathOf(*child) + L"\n";
        for (const auto& [valueName, value] : child->values)
            out += L"  " + (valueName.empty() ? std::wstring(L"@") : valueName) + L" (" +
                   std::to_wstring(value.type) + L") " + FromLatin1(value.data) + L"\n";
        DumpNode(*child, out);
    }
}

std::wstring FakeRegistry::Dump() const
{
    std::wstring out;
    DumpNode(*root_, out);
    return out;
}

void FakeRegistry::Fail(Call call, const std::wstring& path, long error, int times, std::optional<std::uint32_t> index)
{
    faults_.push_back(Fault{call, path, error, times, index});
}

void FakeRegistry::BeforeDeleting(const std::wstring& path, std::function<void()> hook)
{
    beforeDeleting_.emplace_back(path, std::move(hook));
}

void FakeRegistry::AfterSizeQuery(std::function<void(const std::wstring&, const std::wstring&)> hook)
{
    afterSizeQuery_ = std::move(hook);
}

std::optional<long> FakeRegistry::TakeFault(Call call, const std::wstring& path, std::optional<std::uint32_t> index)
{
    for (auto& fault : faults_) {
        if (fault.call != call || fault.times == 0 || !EqualsIgnoringCase(fault.path, path))
            continue;
        if (fault.index && fault.index != index)
            continue;
        if (fault.times > 0)
            --fault.times;
        return fault.error;
    }
    return std::nullopt;
}

bool FakeRegistry::Record(Call call, const std::wstring& detail)
{
    calls_.push_back(std::wstring(CallName(call)) + L" " + detail);
    return CallFault::Instance().Take(calls_.back());
}

int FakeRegistry::CallCount(Call call) const
{
    std::wstring prefix = std::wstring(CallName(call)) + L" ";
    int count = 0;
    for (const auto& entry : calls_)
        count += entry.compare(0, prefix.size(), prefix) == 0 ? 1 : 0;
    return count;
}

int FakeRegistry::OpenHandleCount() const
{
    int count = 0;
    for (const auto& [value, handle] : handles_)
        count += handle.open ? 1 : 0;
    return count;
}

std::vector<std::wstring> FakeRegistry::OpenHandlePaths() const
{
    std::vector<std::wstring> paths;
    for (const auto& [value, handle] : handles_) {
        if (handle.open)
            paths.push_back(PathOf(*handle.node));
    }
    return paths;
}

long FakeRegistry::OpenKey(RegKey root, const std::wstring& path, RegKey& key, bool openLink)
{
    long error = 0;
    auto parent = NodeOf(root, error);
    std::wstring fullPath = parent ? PathOf(*parent) : std::wstring();
    if (parent && !path.empty())
        fullPath = fullPath.empty() ? path : fullPath + L"\\" + path;
    if (Record(Call::Open, fullPath))
        return RegError::AccessDenied;
    if (!parent)
        return error;
    if (!path.empty() && path.front() == L'\\')
        return RegError::BadPathname;
    // RegOpenKeyA hands back the very handle it was given for an empty path.
    if (path.empty() && !openLink) {
        key = root;
        return RegError::Success;
    }
    std::wstring trimmed = !path.empty() && path.back() == L'\\' ? path.substr(0, path.size() - 1) : path;
    auto node = Find(parent, trimmed, error, openLink);
    if (!node)
        return error;
    if (auto fault = TakeFault(Call::Open, PathOf(*node)))
        return *fault;
    key = NewHandle(node);
    return RegError::Success;
}

long FakeRegistry::CloseKey(RegKey key)
{
    if (key == RegKey::None) {
        ++nullCloses_;
        Record(Call::Close, L"(none)");
        return RegError::InvalidHandle;
    }
    auto it = handles_.find(static_cast<std::uintptr_t>(key));
    if (it == handles_.end() || !it->second.open) {
        ++strayCloses_;
        Record(Call::Close, L"(not open)");
        return key == RegKey::LocalMachine ? RegError::Success : RegError::InvalidHandle;
    }
    // A swept fault on a close still closes: a failed close of a valid handle
    // would be the system's fault, and the caller has no other way out.
    bool swept = Record(Call::Close, PathOf(*it->second.node));
    if (auto fault = TakeFault(Call::Close, PathOf(*it->second.node)))
        return *fault;
    it->second.open = false;
    return swept ? RegError::AccessDenied : RegError::Success;
}

std::shared_ptr<FakeRegistry::Node> FakeRegistry::SubKeyAt(RegKey key, std::uint32_t index, long& error)
{
    auto node = NodeOf(key, error);
    if (Record(Call::Enum, (node ? PathOf(*node) : std::wstring(L"(bad)")) + L" " + std::to_wstring(index)))
        error = RegError::AccessDenied;
    else if (!node)
        return nullptr;
    else if (auto fault = TakeFault(Call::Enum, PathOf(*node), index))
        error = *fault;
    else if (index >= node->children.size())
        error = RegError::NoMoreItems;
    else
        return std::next(node->children.begin(), index)->second;
    return nullptr;
}

long FakeRegistry::EnumKey(RegKey key, std::uint32_t index, std::wstring& buffer)
{
    long error = 0;
    auto child = SubKeyAt(key, index, error);
    if (!child)
        return error;
    const std::wstring& name = child->name;
    if (name.size() + 1 > buffer.size())
        return RegError::MoreData;
    buffer.replace(0, name.size() + 1, name + L'\0');
    return RegError::Success;
}

long FakeRegistry::QueryValue(RegKey key, const std::wstring& valueName, std::uint32_t& type, std::wstring* data,
                              std::uint32_t& size)
{
    long error = 0;
    auto node = NodeOf(key, error);
    Call call = data == nullptr ? Call::QuerySize : Call::QueryData;
    std::wstring path = node ? PathOf(*node) : std::wstring(L"(bad)");
    if (Record(call, path + L":" + valueName))
        return RegError::AccessDenied;
    if (!node)
        return error;
    if (auto fault = TakeFault(call, path))
        return *fault;
    auto it = node->values.find(valueName);
    if (it == node->values.end())
        return RegError::FileNotFound;
    const Value& value = it->second;
    type = value.type;
    if (data == nullptr) {
        size = static_cast<std::uint32_t>(value.data.size());
        if (afterSizeQuery_)
            afterSizeQuery_(path, valueName);
        return RegError::Success;
    }
    if (data->size() < value.data.size()) {
        size = static_cast<std::uint32_t>(value.data.size());
        return RegError::MoreData;
    }
    size = static_cast<std::uint32_t>(value.data.size());
    *data = FromLatin1(value.data);
    return RegError::Success;
}

void FakeRegistry::RunBeforeDeleting(const Node& node)
{
    for (auto& [path, hook] : beforeDeleting_) {
        if (hook && EqualsIgnoringCase(path, PathOf(node)))
            std::exchange(hook, nullptr)();
    }
}

long FakeRegistry::DeleteKey(RegKey parent, const std::wstring& name)
{
    long error = 0;
    auto from = NodeOf(parent, error);
    std::wstring fullPath = from ? PathOf(*from) : std::wstring(L"(bad)");
    fullPath = fullPath.empty() ? name : fullPath + L"\\" + name;
    if (Record(Call::Delete, fullPath))
        return RegError::AccessDenied;
    if (!from)
        return error;
    auto node = Find(from, name, error);
    if (!node)
        return error;
    return Remove(node);
}

long FakeRegistry::DeleteOpenKey(RegKey key)
{
    long error = 0;
    auto node = NodeOf(key, error);
    if (Record(Call::Delete, node ? PathOf(*node) : std::wstring(L"(bad)")))
        return RegError::AccessDenied;
    if (!node)
        return error;
    return Remove(node);
}

long FakeRegistry::EnumKeyWide(RegKey key, std::uint32_t index, std::wstring& name)
{
    long error = 0;
    if (auto child = SubKeyAt(key, index, error))
        name = child->name;
    return error;
}

long FakeRegistry::KeyCounts(RegKey key, KeyStamp& stamp)
{
    long error = 0;
    auto node = NodeOf(key, error);
    std::wstring path = node ? PathOf(*node) : std::wstring(L"(bad)");
    if (Record(Call::Enum, path + L" counts"))
        return RegError::AccessDenied;
    if (!node)
        return error;
    if (auto fault = TakeFault(Call::Enum, path))
        return *fault;
    stamp.subKeys = static_cast<std::uint32_t>(node->children.size());
    stamp.values = static_cast<std::uint32_t>(node->values.size());
    stamp.lastWrite = node->written;
    return RegError::Success;
}

long FakeRegistry::EnumValueWide(RegKey key, std::uint32_t index, RegValueData& value)
{
    long error = 0;
    auto node = NodeOf(key, error);
    std::wstring path = node ? PathOf(*node) : std::wstring(L"(bad)");
    if (Record(Call::EnumValue, path + L" " + std::to_wstring(index)))
        return RegError::AccessDenied;
    if (!node)
        return error;
    if (auto fault = TakeFault(Call::EnumValue, path, index))
        return *fault;
    if (index >= node->values.size())
        return RegError::NoMoreItems;
    value = AsWide(std::next(node->values.begin(), index)->second);
    return RegError::Success;
}

long FakeRegistry::QueryValueWide(RegKey key, const std::wstring& valueName, RegValueData& value)
{
    long error = 0;
    auto node = NodeOf(key, error);
    std::wstring path = node ? PathOf(*node) : std::wstring(L"(bad)");
    if (Record(Call::QueryData, path + L":" + valueName))
        return RegError::AccessDenied;
    if (!node)
        return error;
    if (auto fault = TakeFault(Call::QueryData, path))
        return *fault;
    auto it = node->values.find(valueName);
    if (it == node->values.end())
        return RegError::FileNotFound;
    value = AsWide(it->second);
    return RegError::Success;
}

// The fake has one view: a key is where its stored path says.
long FakeRegistry::KeyPath(RegKey key, std::wstring& path)
{
    long error = 0;
    auto node = NodeOf(key, error);
    std::wstring held = node ? PathOf(*node) : std::wstring(L"(bad)");
    if (Record(Call::KeyPath, held))
        return RegError::AccessDenied;
    // A predefined root is no kernel handle.
    if (!node || key == RegKey::LocalMachine)
        return node ? RegError::InvalidHandle : error;
    if (auto fault = TakeFault(Call::KeyPath, held))
        return *fault;
    path = held.empty() ? L"HKEY_LOCAL_MACHINE" : L"HKEY_LOCAL_MACHINE\\" + held;
    return RegError::Success;
}

long FakeRegistry::CreateKey64(const std::wstring& subPath, RegKey& key)
{
    if (Record(Call::Create, subPath))
        return RegError::AccessDenied;
    if (auto fault = TakeFault(Call::Create, subPath))
        return *fault;
    bool valid = true;
    SplitPath(subPath, valid);
    if (!valid)
        return RegError::BadPathname;
    auto node = Make(subPath, true);
    if (!node)
        return RegError::FileNotFound;
    key = NewHandle(node);
    return RegError::Success;
}

long FakeRegistry::SetValueWide(RegKey key, const RegValueData& value)
{
    long error = 0;
    auto node = NodeOf(key, error);
    std::wstring path = node ? PathOf(*node) : std::wstring(L"(bad)");
    if (Record(Call::SetValue, path + L":" + value.name))
        return RegError::AccessDenied;
    if (!node)
        return error;
    if (auto fault = TakeFault(Call::SetValue, path))
        return *fault;
    node->values[value.name] = Value{value.name, value.type, HeldBytes(value.type, value.bytes), {}};
    Touch(*node);
    return RegError::Success;
}

long FakeRegistry::Remove(const std::shared_ptr<Node>& node)
{
    RunBeforeDeleting(*node);
    if (node == root_)
        return RegError::AccessDenied;
    if (auto fault = TakeFault(Call::Delete, PathOf(*node)))
        return *fault;
    if (!node->children.empty())
        return RegError::AccessDenied;
    node->deleted = true;
    Touch(*node->parent);
    node->parent->children.erase(node->name);
    return RegError::Success;
}

namespace RegistryPlatform {

long OpenKey(RegKey root, const std::wstring& path, RegKey& key)
{
    return FakeRegistry::Instance().OpenKey(root, path, key);
}

long OpenKeyNoFollow(RegKey parent, const std::wstring& name, RegKey& key, bool& isLink)
{
    auto& registry = FakeRegistry::Instance();
    RegKey opened = RegKey::None;
    long code = registry.OpenKey(parent, name, opened, true);
    if (code != RegError::Success)
        return code;
    std::uint32_t type = RegType::None;
    std::uint32_t size = 0;
    long query = registry.QueryValue(opened, L"SymbolicLinkValue", type, nullptr, size);
    if (query != RegError::Success && query != RegError::FileNotFound) {
        registry.CloseKey(opened);
        return query;
    }
    isLink = query == RegError::Success && type == RegType::Link;
    key = opened;
    return RegError::Success;
}

long CloseKey(RegKey key)
{
    return FakeRegistry::Instance().CloseKey(key);
}

long DeleteOpenKey(RegKey key)
{
    return FakeRegistry::Instance().DeleteOpenKey(key);
}

long EnumKey(RegKey key, std::uint32_t index, std::wstring& buffer)
{
    return FakeRegistry::Instance().EnumKey(key, index, buffer);
}

long QueryValue(RegKey key, const std::wstring& valueName, std::uint32_t& type, std::wstring* data,
                std::uint32_t& size)
{
    return FakeRegistry::Instance().QueryValue(key, valueName, type, data, size);
}

long DeleteKey(RegKey parent, const std::wstring& name)
{
    return FakeRegistry::Instance().DeleteKey(parent, name);
}

// The fake keeps no access rights: opening to read, or to delete, is opening as a link.
long OpenKeyToRead(RegKey parent, const std::wstring& name, RegKey& key, bool)
{
    return FakeRegistry::Instance().OpenKey(parent, name, key, true);
}

// The fake has one view: the 32-bit program's.
long OpenKeyWide(RegKey root, const std::wstring& path, RegKey& key, bool)
{
    return FakeRegistry::Instance().OpenKey(root, path, key);
}

long QueryValueWide(RegKey key, const std::wstring& valueName, RegValueData& value)
{
    return FakeRegistry::Instance().QueryValueWide(key, valueName, value);
}

long KeyCounts(RegKey key, KeyStamp& stamp)
{
    return FakeRegistry::Instance().KeyCounts(key, stamp);
}

long EnumKeyWide(RegKey key, std::uint32_t index, std::wstring& name)
{
    return FakeRegistry::Instance().EnumKeyWide(key, index, name);
}

long EnumValueWide(RegKey key, std::uint32_t index, RegValueData& value)
{
    return FakeRegistry::Instance().EnumValueWide(key, index, value);
}

long KeyPath(RegKey key, std::wstring& path)
{
    return FakeRegistry::Instance().KeyPath(key, path);
}

long CreateKey64(const std::wstring& subPath, RegKey& key)
{
    return FakeRegistry::Instance().CreateKey64(subPath, key);
}

long SetValueWide(RegKey key, const RegValueData& value)
{
    return FakeRegistry::Instance().SetValueWide(key, value);
}

long OpenLink64(const std::wstring& subPath, RegKey& key)
{
    return FakeRegistry::Instance().OpenKey(RegKey::LocalMachine, subPath, key, true);
}

// The query hands the stored bytes over one a character; the target is UTF-16 in them.
long LinkTarget(RegKey key, std::wstring& target)
{
    auto& registry = FakeRegistry::Instance();
    std::uint32_t type = RegType::None;
    std::uint32_t size = 0;
    if (long code = registry.QueryValue(key, L"SymbolicLinkValue", type, nullptr, size))
        return code;
    std::wstring bytes(size, L'\0');
    if (long code = registry.QueryValue(key, L"SymbolicLinkValue", type, &bytes, size))
        return code;
    if (type != RegType::Link)
        return RegError::FileNotFound;
    target.clear();
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        target.push_back(static_cast<wchar_t>(bytes[i] | bytes[i + 1] << 8));
    return RegError::Success;
}

}  // namespace RegistryPlatform
