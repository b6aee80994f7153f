#include <windows.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "platform/AnsiText.h"
#include "tests/common/TestRegistry.h"

namespace TestRegistry {

namespace {

void Check(LONG code, const char* what)
{
    if (code != ERROR_SUCCESS)
        throw std::runtime_error(std::string(what) + " failed with " + std::to_string(code));
}

void SetWide(const std::wstring& path, DWORD options, const std::wstring& name, DWORD type, const std::string& bytes)
{
    HKEY key = nullptr;
    Check(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, options, KEY_ALL_ACCESS,
                          nullptr, &key, nullptr),
          "RegCreateKeyExW");
    LONG code = RegSetValueExW(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                               static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
    Check(code, "RegSetValueExW");
}

}  // namespace

void SetValueWide(const std::wstring& path, const std::wstring& name, std::uint32_t type, const std::string& bytes)
{
    SetWide(path, 0, name, type, bytes);
}

void CreateLink(const std::wstring& path, const std::wstring& target)
{
    std::wstring full = L"\\Registry\\Machine\\" + target;
    SetWide(path, REG_OPTION_CREATE_LINK, L"SymbolicLinkValue", REG_LINK,
            std::string(reinterpret_cast<const char*>(full.data()), full.size() * sizeof(wchar_t)));
}

long OpenHandleCount()
{
    // The system's extended handle table (class 64): a count and a reserved word, then an entry per handle. The
    // older table (16) keeps 16 bits of each process id, too few on Windows, where ids pass 65,535.
    struct Entry {
        void* object;
        ULONG_PTR process;
        ULONG_PTR handle;
        ACCESS_MASK access;
        USHORT backTrace;
        USHORT type;
        ULONG attributes;
        ULONG reserved;
    };
    auto query = reinterpret_cast<LONG(WINAPI*)(int, void*, ULONG, ULONG*)>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    std::vector<ULONG_PTR> table(1 << 14);
    LONG status = 0;
    while ((status = query(64, table.data(), static_cast<ULONG>(table.size() * sizeof(ULONG_PTR)), nullptr)) ==
           static_cast<LONG>(0xC0000004))  // too small
        table.resize(table.size() * 2);
    Check(status, "NtQuerySystemInformation");
    auto entries = reinterpret_cast<const Entry*>(table.data() + 2);
    auto ours = [](const Entry& entry) { return entry.process == GetCurrentProcessId(); };
    return static_cast<long>(std::count_if(entries, entries + table[0], ours));
}

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
