// Registration shared by the nine stand-in servers: each one only supplies its
// class table and forwards its entry points here.
#pragma once

#include <windows.h>

#include <span>

namespace Register {

enum class Server { InProc, Local };

struct ClassEntry {
    const wchar_t* progId;
    const wchar_t* description;
    const GUID& clsid;
};

struct Component {
    const char* fileName;  // as written to the log, whatever the file is renamed to
    Server server;
    const GUID& libid;
    std::span<const ClassEntry> classes;
};

// Both act on the module (DLL or EXE) that this code is linked into.
HRESULT RegisterComponent(const Component& component);
HRESULT UnregisterComponent(const Component& component);

// One line "<file> <action> <command line>" to the file named by
// TANDREL_SUITE_LOG; nothing when it is unset.
void AppendLog(const Component& component, const char* action);

// Fails with E_FAIL, registering nothing, for the file named by
// TANDREL_SUITE_FAIL; hangs, or asks Tandrel's window, for the files named by
// TANDREL_SUITE_HANG and TANDREL_SUITE_ASK.
HRESULT RegisterLibrary(const Component& component);
HRESULT UnregisterLibrary(const Component& component);

// True when the environment variable names this component's file.
bool Requested(const Component& component, const char* variable);

}  // namespace Register
