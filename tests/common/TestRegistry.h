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
