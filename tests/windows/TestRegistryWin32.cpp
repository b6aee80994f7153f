#include <windows.h>

#include <stdexcept>

#include "helpers/AnsiText.h"
#include "tests/common/TestRegistry.h"

namespace TestRegistry {

namespace {

void Check(LONG code, const char* what)
{
    if (code != ERROR_SUCCESS)
        throw std::runtime_error(std::string(what) + " failed with " + std::to_string(code));
}

}  // namespace

void CreateKey(const std::wstring& path)
{
    HKEY key = nullptr;
    Check(RegCreateKeyExA(HKEY_LOCAL_MACHINE, AnsiText::FromWide(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                          nullptr, &key, nullptr),
          "RegCreateKeyExA");
    RegCloseKey(key);
}

void SetValue(const std::wstring& path, const std::wstring& name, std::uint32_t type, const std::string& bytes)
{
    HKEY key = nullptr;
    Check(RegCreateKeyExA(HKEY_LOCAL_MACHINE, AnsiText::FromWide(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                          nullptr, &key, nullptr),
          "RegCreateKeyExA");
    LONG code = RegSetValueExA(key, AnsiText::FromWide(name).c_str(), 0, type,
                               reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
    Check(code, "RegSetValueExA");
}

void DeleteTree(const std::wstring& path)
{
    LONG code = RegDeleteTreeA(HKEY_LOCAL_MACHINE, AnsiText::FromWide(path).c_str());
    if (code != ERROR_FILE_NOT_FOUND)
        Check(code, "RegDeleteTreeA");
    code = RegDeleteKeyA(HKEY_LOCAL_MACHINE, AnsiText::FromWide(path).c_str());
    if (code != ERROR_FILE_NOT_FOUND)
        Check(code, "RegDeleteKeyA");
}

bool KeyExists(const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, AnsiText::FromWide(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void SetEnvironment(const std::wstring& name, const std::wstring& value)
{
    SetEnvironmentVariableA(AnsiText::FromWide(name).c_str(), AnsiText::FromWide(value).c_str());
}

}  // namespace TestRegistry
