#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "platform/SystemPlatform.h"

// The system directories and environment that the host build links in place
// of the Win32 adapter. An empty directory makes its query fail. The "A"
// calls fill byte buffers in a code page of their own: Latin-1, or a
// double-byte one in which every character above 0x7F takes two bytes.
struct FakeSystem {
    bool doubleByteCodePage = false;
    std::wstring windowsDirectory = L"C:\\WINDOWS";
    std::wstring systemDirectory = L"C:\\WINDOWS\\system32";
    std::wstring programFolder = L"C:\\Tools";
    std::wstring programData = L"C:\\ProgramData";
    std::wstring accountSid = L"S-1-5-21-7-7-7-500";
    std::wstring defaultOwnerSid = L"S-1-5-21-7-7-7-513";
    int programBits = 32;
    std::uint16_t nativeMachine = 0x8664;
    std::wstring wow64Directory = L"C:\\WINDOWS\\SysWOW64";
    // Activation contexts by the file (or manifest) they are made from, compared without case: the code
    // CreateActCtxW gives, the id of an image's manifest resource where it is not the one asked for, and where
    // each DLL that their assemblies carry is. A file not here has no manifest.
    struct ActivationContext {
        long error = 0;
        int resourceId = 0;
        std::map<std::wstring, std::wstring> dlls;
    };
    std::map<std::wstring, ActivationContext> activationContexts;
    int openActivationContexts = 0;
    // The API sets this system defines, compared without case, and the DLL each resolves to.
    std::map<std::wstring, std::wstring> apiSets{
        {L"api-ms-win-crt-runtime-l1-1-0.dll", L"C:\\WINDOWS\\system32\\ucrtbase.dll"},
        {L"api-ms-win-core-com-l1-1-0.dll", L"C:\\WINDOWS\\system32\\combase.dll"},
        {L"ext-ms-win-ntuser-window-l1-1-0.dll", L"C:\\WINDOWS\\system32\\user32.dll"},
    };
    // The machine-wide lock: another process holds it, its last holder ended
    // without letting go, or taking it fails with this code. `runLocksTaken`
    // counts the takes of this process, `runLockHeld` whether it holds it now.
    bool privateNamespaces = true;
    Account runLockOwner;  // who made a lock that was there before the run, when not another Tandrel run
    bool runLockHeldElsewhere = false;
    bool runLockAbandoned = false;
    long runLockError = 0;
    std::wstring runLockKind;  // another kind of object at the name, made by `runLockOwner`: taking fails with 6
    int runLocksTaken = 0;
    bool runLockHeld = false;
    // The token: elevated and an administrator, or the code asking it fails with. Mutexes of other programs by
    // name, with the code that opening each gives (0 when it opens); a name not here is not there.
    bool elevated = true;
    bool administrator = true;
    long elevationError = 0;
    std::map<std::wstring, long> mutexes;
    std::wstring programName = L"Tandrel.com";
    SystemPlatform::LocalTime now{2026, 12, 8, 9, 5, 7, 60};
    std::wstring computerName = L"WORKSTATION7";
    std::wstring accountName = L"CONTOSO7\\admin";
    std::wstring windowsVersion = L"10.0.19045";
    std::uint64_t ticks = 1000;  // moved only by Pause
    std::map<std::wstring, std::wstring> environment;
    int expansionCalls = 0;
    bool desktopVisible = true;

    static FakeSystem& Instance();
    void Reset() { *this = FakeSystem(); }
};
