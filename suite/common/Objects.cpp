#include "common/Objects.h"

#include <oleauto.h>

#include <cwchar>
#include <vector>

namespace Register {
namespace {

// Objects and locks alive in this module: a library may be unloaded and a
// program may end once none are left.
LONG Alive = 0;
// Set while a program serves: the last release then ends its message loop.
bool Serving = false;
std::vector<DWORD> Registrations;

void Revoke()
{
    for (DWORD cookie : Registrations)
        CoRevokeClassObject(cookie);
    Registrations.clear();
}

void Hold()
{
    InterlockedIncrement(&Alive);
}

void LetGo()
{
    if (InterlockedDecrement(&Alive) == 0 && Serving) {
        // Revoked at once, so that a client arriving while the loop winds
        // down starts a new server instead of reaching this one.
        Revoke();
        PostQuitMessage(0);
    }
}

// IUnknown, written once for the object and the factory: each answers for its one interface and IUnknown, and
// deletes itself with its last reference.
template <typename Interface, const IID& Id>
class Unknown : public Interface {
public:
    Unknown() = default;
    Unknown(const Unknown&) = delete;
    Unknown& operator=(const Unknown&) = delete;
    virtual ~Unknown() = default;

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, Id)) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<Interface*>(this);
        this->AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
    STDMETHODIMP_(ULONG) Release() override
    {
        ULONG left = InterlockedDecrement(&references_);
        if (left == 0)
            delete this;
        return left;
    }

private:
    LONG references_ = 1;
};

class Object final : public Unknown<IDispatch, IID_IDispatch> {
public:
    Object() { Hold(); }
    ~Object() override { LetGo(); }

    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override
    {
        if (info)
            *info = nullptr;
        return DISP_E_BADINDEX;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID, DISPID* ids) override
    {
        for (UINT i = 0; ids && i < count; ++i)
            ids[i] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return DISP_E_MEMBERNOTFOUND;
    }
};

class Factory final : public Unknown<IClassFactory, IID_IClassFactory> {
public:
    explicit Factory(const Component& component) : component_(component) {}

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        if (Requested(component_, "TANDREL_SUITE_CREATE_HANG"))
            Sleep(600000);  // long past any caller's patience, yet it does end
        if (Requested(component_, "TANDREL_SUITE_CREATE_CRASH"))
            *static_cast<int volatile*>(nullptr) = 0;
        // A library refuses in DllGetClassObject already; a program can only here.
        if (Serving && Requested(component_, "TANDREL_SUITE_REFUSE"))
            return CLASS_E_CLASSNOTAVAILABLE;
        Object* created = new Object;
        HRESULT result = created->QueryInterface(iid, object);
        created->Release();
        return result;
    }
    STDMETHODIMP LockServer(BOOL lock) override
    {
        if (lock)
            Hold();
        else
            LetGo();
        return S_OK;
    }

private:
    const Component& component_;
};

bool HasClass(const Component& component, REFCLSID clsid)
{
    for (const ClassEntry& entry : component.classes)
        if (IsEqualCLSID(entry.clsid, clsid))
            return true;
    return false;
}

bool SameWord(const wchar_t* start, const wchar_t* end, const wchar_t* word)
{
    size_t length = std::wcslen(word);
    return static_cast<size_t>(end - start) == length && _wcsnicmp(start, word, length) == 0;
}

// A program started to serve but told never to register: it stays a while,
// as a server that hangs in its start-up would, and then ends by itself.
constexpr DWORD SilentMilliseconds = 60000;
// A program started to serve that no client reaches ends by itself.
constexpr UINT UnusedMilliseconds = 60000;

bool RegisterClasses(const Component& component)
{
    for (const ClassEntry& entry : component.classes) {
        Factory* factory = new Factory(component);
        DWORD cookie = 0;
        HRESULT result =
            CoRegisterClassObject(entry.clsid, factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie);
        factory->Release();
        if (FAILED(result))
            return false;
        Registrations.push_back(cookie);
    }
    return true;
}

int Serve(const Component& component)
{
    AppendLog(component, "Serve");
    if (Requested(component, "TANDREL_SUITE_SILENT")) {
        Sleep(SilentMilliseconds);
        return 0;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
    Serving = true;
    int code = 1;
    if (RegisterClasses(component)) {
        // A client that was served and let go has ended the loop already.
        SetTimer(nullptr, 0, UnusedMilliseconds, nullptr);
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            if (message.hwnd == nullptr && message.message == WM_TIMER) {
                KillTimer(nullptr, message.wParam);
                if (Alive == 0)
                    break;
                continue;
            }
            DispatchMessageW(&message);
        }
        code = 0;
    }
    Serving = false;
    Revoke();
    CoUninitialize();
    return code;
}

}  // namespace

HRESULT GetClassObject(const Component& component, REFCLSID clsid, REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!HasClass(component, clsid) || Requested(component, "TANDREL_SUITE_REFUSE"))
        return CLASS_E_CLASSNOTAVAILABLE;
    Factory* factory = new Factory(component);
    HRESULT result = factory->QueryInterface(iid, object);
    factory->Release();
    return result;
}

HRESULT CanUnloadNow()
{
    return Alive == 0 ? S_OK : S_FALSE;
}

BOOL LibraryLoads(const Component& component)
{
    return !Requested(component, "TANDREL_SUITE_NOLOAD");
}

bool AsksToServe(const wchar_t* commandLine)
{
    auto blank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
    const wchar_t* at = commandLine;
    // The program's own name, quoted or not, is no switch.
    if (*at == L'"') {
        const wchar_t* close = std::wcschr(at + 1, L'"');
        at = close ? close + 1 : at + std::wcslen(at);
    } else {
        while (*at && !blank(*at))
            ++at;
    }
    for (;;) {
        while (blank(*at))
            ++at;
        if (!*at)
            return false;
        const wchar_t* end = at;
        while (*end && !blank(*end))
            ++end;
        if (SameWord(at, end, L"-Embedding") || SameWord(at, end, L"/Embedding"))
            return true;
        at = end;
    }
}

int RunLocalServer(const Component& component)
{
    if (AsksToServe(GetCommandLineW()))
        return Serve(component);
    AppendLog(component, "Register");
    return SUCCEEDED(RegisterComponent(component)) ? 0 : 1;
}

}  // namespace Register
