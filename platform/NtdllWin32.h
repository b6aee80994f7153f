#pragma once

#include <windows.h>

// Not in the documented API, but the only calls that remove a registry link rather than its target, name a key
// where it physically is, or make a file inside an open folder; looked up at run time so that the program imports
// from the documented DLLs only.
template <typename Proc>
Proc NtdllProc(const char* name)
{
    return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), name)));
}
