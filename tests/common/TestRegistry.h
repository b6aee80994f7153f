#pragma once

#include <cstdint>
#include <string>

// What a registry test sets up and inspects, below HKEY_LOCAL_MACHINE. On the
// host this is the in-memory registry; under Wine it is the real registry,
// written with calls the code under test never makes.
namespace TestRegistry {

void CreateKey(const std::wstring& path);
// `bytes` are stored as given: a text value carries its NUL only if written.
void SetValue(const std::wstring& path, const std::wstring& name, std::uint32_t type, const std::string& bytes);
// `bytes` as the wide calls store and read them: text in UTF-16LE. Names keep every character.
void SetValueWide(const std::wstring& path, const std::wstring& name, std::uint32_t type, const std::string& bytes);
// A registry link at `path` to the key `target` below HKEY_LOCAL_MACHINE, which need not exist.
void CreateLink(const std::wstring& path, const std::wstring& target);
// Handles the process holds open: the same before and after a call that leaves no key open.
[[nodiscard]] long OpenHandleCount();
void DeleteTree(const std::wstring& path);
[[nodiscard]] bool KeyExists(const std::wstring& path);
void SetEnvironment(const std::wstring& name, const std::wstring& value);

// Text stored with its terminating NUL, the usual form.
inline void SetString(const std::wstring& path, const std::wstring& name, const std::string& text,
                      std::uint32_t type = 1)
{
    SetValue(path, name, type, text + '\0');
}

}  // namespace TestRegistry
