#include "check/Manifest.h"

#include <map>

#include "helpers/Utf16.h"

namespace {

struct Tag {
    std::wstring name;  // without its namespace prefix
    bool closing = false;
    bool empty = false;  // <name ... />
    std::map<std::wstring, std::wstring> attributes;
};

// As text for the log: the names that matter are ASCII, and nothing may break a log line.
std::wstring Decode(std::string_view bytes)
{
    std::wstring text;
    if (bytes.starts_with("\xFF\xFE")) {
        bool valid = true;
        text = FromUtf16(UnitsOf(bytes.substr(2)), valid);
    } else {
        text.assign(bytes.begin() + (bytes.starts_with("\xEF\xBB\xBF") ? 3 : 0), bytes.end());
    }
    // XML reads a tab or line break in an attribute as a space.
    for (wchar_t& c : text) {
        if (c == L'\t' || c == L'\r' || c == L'\n')
            c = L' ';
        else if (c < 0x20 || c > 0x7E)
            c = L'?';
    }
    return text;
}

bool IsSpace(wchar_t c)
{
    return c == L' ';
}

// Reads the tag that `inside` holds (the text between "<" and ">"); false for a declaration or instruction.
bool ParseTag(std::wstring_view inside, Tag& tag)
{
    tag = Tag{};
    if (inside.empty() || inside.front() == L'?' || inside.front() == L'!')
        return false;
    tag.closing = inside.front() == L'/';
    tag.empty = inside.back() == L'/';
    std::size_t at = tag.closing ? 1 : 0;
    auto word = [&inside, &at] {
        std::size_t start = at;
        while (at < inside.size() && !IsSpace(inside[at]) && inside[at] != L'=' && inside[at] != L'/')
            ++at;
        std::wstring_view name = inside.substr(start, at - start);
        std::size_t colon = name.rfind(L':');
        return std::wstring(colon == std::wstring_view::npos ? name : name.substr(colon + 1));
    };
    tag.name = word();
    for (;;) {
        while (at < inside.size() && (IsSpace(inside[at]) || inside[at] == L'/'))
            ++at;
        if (at >= inside.size())
            return true;
        std::wstring name = word();
        while (at < inside.size() && (IsSpace(inside[at]) || inside[at] == L'='))
            ++at;
        if (name.empty() || at >= inside.size() || (inside[at] != L'"' && inside[at] != L'\''))
            return true;
        std::size_t end = inside.find(inside[at], at + 1);
        if (end == std::wstring_view::npos)
            return true;
        tag.attributes[name] = std::wstring(inside.substr(at + 1, end - at - 1));
        at = end + 1;
    }
}

// The next tag at or after `at`, past comments; a ">" inside a quoted value does not end the tag.
bool NextTag(std::wstring_view text, std::size_t& at, Tag& tag)
{
    for (;;) {
        std::size_t open = text.find(L'<', at);
        if (open == std::wstring_view::npos)
            return false;
        if (text.substr(open, 4) == L"<!--") {
            std::size_t end = text.find(L"-->", open + 4);
            if (end == std::wstring_view::npos)
                return false;
            at = end + 3;
            continue;
        }
        wchar_t quote = 0;
        std::size_t close = open + 1;
        for (; close < text.size() && (quote != 0 || text[close] != L'>'); ++close) {
            if (quote == 0 && (text[close] == L'"' || text[close] == L'\''))
                quote = text[close];
            else if (text[close] == quote)
                quote = 0;
        }
        if (close >= text.size())
            return false;
        at = close + 1;
        if (ParseTag(text.substr(open + 1, close - open - 1), tag))
            return true;
    }
}

}  // namespace

std::vector<AssemblyIdentity> DependentAssemblies(std::string_view manifest)
{
    const std::wstring text = Decode(manifest);
    std::vector<AssemblyIdentity> assemblies;
    bool optional = false;
    bool awaitingIdentity = false;
    Tag tag;
    for (std::size_t at = 0; NextTag(text, at, tag);) {
        if (tag.name == L"dependency") {
            optional = !tag.closing && !tag.empty && tag.attributes[L"optional"] == L"yes";
        } else if (tag.name == L"dependentAssembly") {
            awaitingIdentity = !tag.closing && !tag.empty;
        } else if (tag.name == L"assemblyIdentity" && awaitingIdentity && !tag.closing) {
            awaitingIdentity = false;
            if (!optional)
                assemblies.push_back({tag.attributes[L"name"], tag.attributes[L"version"],
                                      tag.attributes[L"processorArchitecture"]});
        }
    }
    return assemblies;
}

std::wstring Describe(const AssemblyIdentity& assembly)
{
    std::wstring text = assembly.name.empty() ? L"(no name)" : assembly.name;
    if (!assembly.version.empty())
        text += L" " + assembly.version;
    if (!assembly.architecture.empty())
        text += L" (" + assembly.architecture + L")";
    return text;
}
