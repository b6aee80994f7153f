#pragma once

#include <windows.h>

#include "platform/UniqueHandle.h"

// The Win32 handles that the adapters and the window own, one alias a kind.
using UniqueKernelHandle = UniqueHandle<HANDLE, &CloseHandle>;
using UniqueFileHandle = UniqueHandle<HANDLE, &CloseHandle, ~std::uintptr_t{0}>;  // INVALID_HANDLE_VALUE
using UniqueFindHandle = UniqueHandle<HANDLE, &FindClose, ~std::uintptr_t{0}>;
using UniqueFont = UniqueHandle<HFONT, &DeleteObject>;
using UniqueWindow = UniqueHandle<HWND, &DestroyWindow>;
using UniqueLocalMemory = UniqueHandle<HLOCAL, &LocalFree>;
