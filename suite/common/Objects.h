// The objects the stand-in servers hand out, written once for all nine: each
// class makes a bare automation object, so that a client can create it, ask
// for IDispatch and let it go as it would with the real servers.
#pragma once

#include "common/Register.h"

namespace Register {

// What a library's own entry points forward to.
HRESULT GetClassObject(const Component& component, REFCLSID clsid, REFIID iid, void** object);
HRESULT CanUnloadNow();
BOOL LibraryLoads(const Component& component);

// The library linked into this module; each library's file defines it.
const Component& ThisLibrary();

// True when the command line (after the program's own name) holds -Embedding
// or /Embedding in any case, as the system starts a local server.
bool AsksToServe(const wchar_t* commandLine);

// Exit code of an executable server. Started to serve, it hands out its
// classes until the last object and lock are gone; otherwise it registers
// them and ends: 0 once its classes are registered.
int RunLocalServer(const Component& component);

}  // namespace Register
