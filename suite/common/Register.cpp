#include "common/Register.h"

#include <oleauto.h>

#include <cwchar>
#include <string>
#include <string_view>

namespace Register {
namespace {

constexpr std::wstring_view ClassesRoot = L"Software\\Classes\\";

std::wstring GuidText(const GUID& guid)
{
    wchar_t text[39] = {};
    StringFromGUID2(guid, text, 39);
    return text;
}

std::wstring ModulePath()
{
    // The address of anything in this file names the DLL or EXE it is linked into.
    static const char anchor = 0;
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&anchor), &module))
        return {};
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// Keeps the first failure: once one write is refused the rest would be too.
class KeyWriter {
public:
    void Text(const std::wstring& key, const std::wstring& text, const wchar_t* name = nullptr)
    {
        if (code_ == ERROR_SUCCESS)
            code_ = RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, REG_SZ, text.c_str(),
                                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    void EmptyKey(const std::wstring& key)
    {
        if (code_ != ERROR_SUCCESS)
            return;
        HKEY created = nullptr;
        code_ = RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &created,
                                nullptr);
        if (code_ == ERROR_SUCCESS)
            RegCloseKey(created);
    }
    LONG Code() const { return code_; }

private:
    LONG code_ = ERROR_SUCCESS;
};

LONG WriteClassKeys(const ClassEntry& entry, Server server, const std::wstring& module, const std::wstring& libid)
{
    const std::wstring clsid = GuidText(entry.clsid);
    const std::wstring progIdKey = std::wstring(ClassesRoot) + entry.progId;
    const std::wstring classKey = std::wstring(ClassesRoot) + L"CLSID\\" + clsid;
    KeyWriter writer;
    writer.Text(progIdKey, entry.description);
    writer.Text(progIdKey + L"\\CLSID", clsid);
    writer.Text(classKey, entry.description);
    if (server == Server::InProc) {
        writer.Text(classKey + L"\\InprocServer32", module);
        writer.Text(classKey + L"\\InprocServer32", L"Apartment", L"ThreadingModel");
    } else {
        writer.Text(classKey + L"\\LocalServer32", module);
    }
    writer.Text(classKey + L"\\ProgID", entry.progId);
    writer.Text(classKey + L"\\TypeLib", libid);
    writer.Text(classKey + L"\\VERSION", L"1.0");
    writer.EmptyKey(classKey + L"\\Programmable");
    return writer.Code();
}

// Registered by hand rather than with REGKIND_REGISTER, which under Wine
// records the path as "\\?\C:\..." instead of the module's own path.
HRESULT RegisterTypeLibOf(const std::wstring& module)
{
    ITypeLib* typeLib = nullptr;
    HRESULT result = LoadTypeLibEx(module.c_str(), REGKIND_NONE, &typeLib);
    if (FAILED(result))
        return result;
    std::wstring folder = module.substr(0, module.find_last_of(L'\\'));
    result = RegisterTypeLib(typeLib, const_cast<wchar_t*>(module.c_str()), folder.data());
    typeLib->Release();
    return result;
}

LONG DeleteTree(const std::wstring& key)
{
    LONG code = RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
    return code == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : code;
}

bool TypeLibVersionRegistered(const TLIBATTR& attributes)
{
    wchar_t version[16] = {};
    swprintf(version, 16, L"\\%x.%x", attributes.wMajorVerNum, attributes.wMinorVerNum);
    const std::wstring path = std::wstring(ClassesRoot) + L"TypeLib\\" + GuidText(attributes.guid) + version;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// The system wrote the type library's keys from the library's own attributes,
// so the same attributes name what to remove.
HRESULT UnregisterTypeLib(const std::wstring& module)
{
    ITypeLib* typeLib = nullptr;
    HRESULT result = LoadTypeLibEx(module.c_str(), REGKIND_NONE, &typeLib);
    if (FAILED(result))
        return result;
    TLIBATTR* attributes = nullptr;
    result = typeLib->GetLibAttr(&attributes);
    // Unregistering twice is no error: UnRegisterTypeLib would call it one.
    if (SUCCEEDED(result) && TypeLibVersionRegistered(*attributes))
        result = UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                                   attributes->lcid, attributes->syskind);
    if (attributes)
        typeLib->ReleaseTLibAttr(attributes);
    typeLib->Release();
    return result;
}

}  // namespace

HRESULT RegisterComponent(const Component& component)
{
    const std::wstring module = ModulePath();
    if (module.empty())
        return HRESULT_FROM_WIN32(GetLastError());
    HRESULT result = RegisterTypeLibOf(module);
    if (FAILED(result))
        return result;
    const std::wstring libid = GuidText(component.libid);
    for (const ClassEntry& entry : component.classes) {
        LONG code = WriteClassKeys(entry, component.server, module, libid);
        if (code != ERROR_SUCCESS)
            return HRESULT_FROM_WIN32(code);
    }
    return S_OK;
}

HRESULT UnregisterComponent(const Component& component)
{
    const std::wstring module = ModulePath();
    if (module.empty())
        return HRESULT_FROM_WIN32(GetLastError());
    for (const ClassEntry& entry : component.classes) {
        LONG code = DeleteTree(std::wstring(ClassesRoot) + entry.progId);
        if (code == ERROR_SUCCESS)
            code = DeleteTree(std::wstring(ClassesRoot) + L"CLSID\\" + GuidText(entry.clsid));
        if (code != ERROR_SUCCESS)
            return HRESULT_FROM_WIN32(code);
    }
    return UnregisterTypeLib(module);
}

void AppendLog(const Component& component, const char* action)
{
    DWORD size = GetEnvironmentVariableW(L"TANDREL_SUITE_LOG", nullptr, 0);
    if (size <= 1)
        return;
    std::wstring path(size, L'\0');
    path.resize(GetEnvironmentVariableW(L"TANDREL_SUITE_LOG", path.data(), size));
    const std::string line = std::string(component.fileName) + " " + action + " " + GetCommandLineA() + "\r\n";
    // Programs started together take turns: Wine does not make appends from
    // several processes atomic, and two at once can leave one line of the two
    // (nine programs writing 200 lines each, three times, lost 34 to 47 of the
    // 5,400 lines; taking turns, none).
    HANDLE turn = CreateMutexW(nullptr, FALSE, L"Local\\TandrelSuiteLog");
    DWORD waited = turn ? WaitForSingleObject(turn, 10000) : WAIT_FAILED;
    bool owned = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    // Append-only access puts every write at the end of the file, and one
    // WriteFile per line keeps each line whole.
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        CloseHandle(file);
    }
    if (owned)
        ReleaseMutex(turn);
    if (turn)
        CloseHandle(turn);
}

// Each variable names one component file that misbehaves, so that tests can
// see how Tandrel copes: TANDREL_SUITE_FAIL fails its registration,
// TANDREL_SUITE_HANG hangs for six seconds first, TANDREL_SUITE_ASK asks
// Tandrel's window something while it registers, as servers that broadcast do.
// Creating a class: TANDREL_SUITE_NOLOAD fails a library's load,
// TANDREL_SUITE_REFUSE refuses the class, TANDREL_SUITE_SILENT keeps a program
// from ever registering it, TANDREL_SUITE_CREATE_HANG and _CREATE_CRASH hang or
// fault in making the object.
bool Requested(const Component& component, const char* variable)
{
    char name[MAX_PATH] = {};
    DWORD length = GetEnvironmentVariableA(variable, name, MAX_PATH);
    return length > 0 && length < MAX_PATH && lstrcmpiA(name, component.fileName) == 0;
}

HRESULT RegisterLibrary(const Component& component)
{
    AppendLog(component, "DllRegisterServer");
    if (Requested(component, "TANDREL_SUITE_ASK")) {
        HWND window = FindWindowA("TandrelForm1", nullptr);
        DWORD_PTR answer = 0;
        bool answered = window && SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer);
        AppendLog(component, answered ? "Answered" : "NotAnswered");
    }
    if (Requested(component, "TANDREL_SUITE_HANG")) {
        Sleep(6000);
        return E_FAIL;
    }
    if (Requested(component, "TANDREL_SUITE_FAIL"))
        return E_FAIL;
    return RegisterComponent(component);
}

HRESULT UnregisterLibrary(const Component& component)
{
    AppendLog(component, "DllUnregisterServer");
    return UnregisterComponent(component);
}

}  // namespace Register
