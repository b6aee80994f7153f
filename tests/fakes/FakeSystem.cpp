#include "tests/fakes/FakeSystem.h"

#include <algorithm>
#include <utility>

#include "helpers/FuncLib.h"
#include "platform/GrowBuffer.h"
#include "platform/SystemPlatform.h"
#include "tests/fakes/FakeRegistry.h"

namespace {

// The single-byte code page is the registry's.
std::string Encode(const std::wstring& text)
{
    if (!FakeSystem::Instance().doubleByteCodePage)
        return FakeRegistry::ToLatin1(text);
    std::string bytes;
    for (wchar_t c : text) {
        auto code = static_cast<std::uint32_t>(c);
        if (code <= 0x7F) {
            bytes.push_back(static_cast<char>(code));
        } else {
            bytes.push_back(static_cast<char>(0x80 | ((code >> 8) & 0x7F)));
            bytes.push_back(static_cast<char>(code & 0xFF));
        }
    }
    return bytes;
}

std::wstring Decode(const std::string& bytes)
{
    if (!FakeSystem::Instance().doubleByteCodePage)
        return FakeRegistry::FromLatin1(bytes);
    std::wstring text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte > 0x7F && i + 1 < bytes.size())
            text.push_back(static_cast<wchar_t>(((byte & 0x7F) << 8) | static_cast<unsigned char>(bytes[++i])));
        else
            text.push_back(static_cast<wchar_t>(byte));
    }
    return text;
}

// As GetWindowsDirectoryA: the name and its NUL when they fit, with the count
// of bytes copied, else the size needed in bytes.
std::uint32_t CopyDirectory(const std::wstring& directory, char* data, std::uint32_t size)
{
    if (directory.empty())
        return 0;
    std::string bytes = Encode(directory);
    if (bytes.size() + 1 > size)
        return static_cast<std::uint32_t>(bytes.size() + 1);
    std::copy(bytes.begin(), bytes.end(), data);
    data[bytes.size()] = '\0';
    return static_cast<std::uint32_t>(bytes.size());
}

std::optional<std::wstring> Directory(const std::wstring& directory)
{
    auto bytes = FillAnsiBuffer(
        [&directory](char* data, std::uint32_t size) { return CopyDirectory(directory, data, size); }, 128);
    if (!bytes)
        return std::nullopt;
    return Decode(*bytes);
}

}  // namespace

FakeSystem& FakeSystem::Instance()
{
    static FakeSystem system;
    return system;
}

namespace SystemPlatform {

std::optional<std::wstring> WindowsDirectory()
{
    return Directory(FakeSystem::Instance().windowsDirectory);
}

std::optional<std::wstring> SystemDirectory()
{
    return Directory(FakeSystem::Instance().systemDirectory);
}

std::optional<std::wstring> ProgramFolder()
{
    return Directory(FakeSystem::Instance().programFolder);
}

std::wstring ProgramName()
{
    return FakeSystem::Instance().programName;
}

std::optional<std::wstring> ProgramDataFolder()
{
    const std::wstring& folder = FakeSystem::Instance().programData;
    return folder.empty() ? std::nullopt : std::optional<std::wstring>(folder);
}

std::wstring AccountSid()
{
    return FakeSystem::Instance().accountSid;
}

std::wstring DefaultOwnerSid()
{
    return FakeSystem::Instance().defaultOwnerSid;
}

int ProgramBits()
{
    return FakeSystem::Instance().programBits;
}

std::uint16_t NativeMachine()
{
    return FakeSystem::Instance().nativeMachine;
}

std::optional<std::wstring> Wow64SystemDirectory()
{
    const std::wstring& folder = FakeSystem::Instance().wow64Directory;
    return folder.empty() ? std::nullopt : std::optional<std::wstring>(folder);
}

long CreateActivationContext(const std::wstring& source, int resourceId, ActCtxHandle& context)
{
    auto& system = FakeSystem::Instance();
    auto found = std::find_if(system.activationContexts.begin(), system.activationContexts.end(),
                              [&source](const auto& entry) { return EqualsIgnoringCase(entry.first, source); });
    // A manifest file is read whole; an image's manifest is one of its resources.
    if (found == system.activationContexts.end())
        return resourceId == 0 ? 2 : 1813;  // ERROR_FILE_NOT_FOUND, ERROR_RESOURCE_TYPE_NOT_FOUND
    // The resource is looked up before its manifest is read.
    if (resourceId != 0 && found->second.resourceId != 0 && found->second.resourceId != resourceId)
        return 1814;  // ERROR_RESOURCE_NAME_NOT_FOUND
    if (found->second.error != 0)
        return found->second.error;
    ++system.openActivationContexts;
    context = static_cast<ActCtxHandle>(reinterpret_cast<std::uintptr_t>(&found->second));
    return 0;
}

void ReleaseActivationContext(ActCtxHandle)
{
    --FakeSystem::Instance().openActivationContexts;
}

bool RedirectedDll(ActCtxHandle context, const std::wstring& dll, std::wstring& path)
{
    const auto* made = reinterpret_cast<const FakeSystem::ActivationContext*>(static_cast<std::uintptr_t>(context));
    for (const auto& [name, where] : made->dlls) {
        if (EqualsIgnoringCase(name, dll)) {
            path = where;
            return true;
        }
    }
    return false;
}

long ApiSetHost(const std::wstring& name, std::wstring& path)
{
    for (const auto& [set, host] : FakeSystem::Instance().apiSets) {
        if (EqualsIgnoringCase(set, name)) {
            path = host;
            return 0;
        }
    }
    return 126;  // ERROR_MOD_NOT_FOUND
}

long TakeRunLock(RunLockPlace place, LockHandle& lock, RunLockState& state)
{
    auto& system = FakeSystem::Instance();
    if (place == RunLockPlace::PrivateNamespace && !system.privateNamespaces)
        return 120;  // ERROR_CALL_NOT_IMPLEMENTED
    state.name = place == RunLockPlace::PrivateNamespace ? L"Tandrel\\RunLock" : L"Global\\Tandrel.RunLock";
    // One there already was made by another Tandrel run, unless the test names its maker; one that shuts this
    // account out (ERROR_ACCESS_DENIED) tells its maker only where the test gives one.
    if (!system.runLockKind.empty()) {
        state.existed = true;
        state.kind = system.runLockKind;
        state.owner = system.runLockOwner;
        return 6;  // ERROR_INVALID_HANDLE, as for a name that holds no mutex
    }
    const bool shut = system.runLockError == 5;
    state.existed = system.runLockHeldElsewhere || system.runLockAbandoned || !system.runLockOwner.sid.empty() || shut;
    if (state.existed)
        state.owner = system.runLockOwner.sid.empty() && !shut ? Account{L"S-1-5-32-544", L"BUILTIN\\Administrators"}
                                                               : system.runLockOwner;
    if (system.runLockError != 0)
        return system.runLockError;
    if (system.runLockHeldElsewhere || system.runLockHeld)
        return 258;  // WAIT_TIMEOUT: a second take of this process is a fault of the program
    state.abandoned = std::exchange(system.runLockAbandoned, false);
    ++system.runLocksTaken;
    system.runLockHeld = true;
    lock = static_cast<LockHandle>(0x4C);
    return 0;
}

void ReleaseRunLock(LockHandle)
{
    FakeSystem::Instance().runLockHeld = false;
}

long Elevation(bool& elevated, bool& administrator)
{
    const FakeSystem& system = FakeSystem::Instance();
    elevated = system.elevationError == 0 && system.elevated;
    administrator = system.elevationError == 0 && system.administrator;
    return system.elevationError;
}

long FindMutex(const std::wstring& name)
{
    const auto& mutexes = FakeSystem::Instance().mutexes;
    auto found = mutexes.find(name);
    return found == mutexes.end() ? 2 : found->second;
}

LocalTime Now()
{
    return FakeSystem::Instance().now;
}

std::wstring ComputerName()
{
    return FakeSystem::Instance().computerName;
}

std::wstring AccountName()
{
    return FakeSystem::Instance().accountName;
}

std::wstring WindowsVersion()
{
    return FakeSystem::Instance().windowsVersion;
}

void Pause(std::uint32_t milliseconds)
{
    FakeSystem::Instance().ticks += milliseconds;
}

std::uint64_t Ticks()
{
    return FakeSystem::Instance().ticks;
}

// %NAME% references to defined variables are replaced, names compared
// without regard to case; anything else stays as written.
std::optional<std::wstring> ExpandStringsW(const std::wstring& source)
{
    auto& system = FakeSystem::Instance();
    ++system.expansionCalls;
    std::wstring result;
    std::size_t pos = 0;
    while (pos < source.size()) {
        std::size_t open = source.find(L'%', pos);
        std::size_t close = open == std::wstring::npos ? open : source.find(L'%', open + 1);
        if (close == std::wstring::npos) {
            result += source.substr(pos);
            break;
        }
        result += source.substr(pos, open - pos);
        std::wstring name = source.substr(open + 1, close - open - 1);
        bool found = false;
        for (const auto& [variable, value] : system.environment) {
            if (EqualsIgnoringCase(variable, name)) {
                result += value;
                found = true;
                break;
            }
        }
        if (found) {
            pos = close + 1;
        } else {
            result += L'%' + name;
            pos = close;
        }
    }
    return result;
}

std::optional<std::wstring> ExpandStrings(const std::wstring& source)
{
    std::wstring result = *ExpandStringsW(source);
    // As ExpandEnvironmentStringsA: the size in bytes with the NUL, and the
    // text only when that fits.
    std::string bytes = Encode(result);
    auto expanded = FillAnsiBuffer(
        [&bytes](char* data, std::uint32_t size) {
            if (bytes.size() + 1 <= size) {
                std::copy(bytes.begin(), bytes.end(), data);
                data[bytes.size()] = '\0';
            }
            return static_cast<std::uint32_t>(bytes.size() + 1);
        },
        1024);
    if (!expanded)
        return std::nullopt;
    return Decode(*expanded);
}

bool DesktopVisible()
{
    return FakeSystem::Instance().desktopVisible;
}

}  // namespace SystemPlatform
