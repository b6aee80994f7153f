#pragma once

#include "platform/UniqueHandle.h"
#include "registry/RegFuncs.h"

// An open registry key, closed with CloseRegKey. Predefined roots are plain
// values and are never owned.
using RegKeyOwner = UniqueHandle<RegKey, &CloseRegKey>;
