#pragma once

#include <string>
#include <vector>

#include "platform/RegTypes.h"
#include "registry/RegTree.h"

// Reads the tree `name` below `parent` whole: every key parent-first, each with all its values as stored, a
// registry link as a link (its target, never followed). 0 when all of it was read; 2 when `name` is not there;
// otherwise the code of the first key or value that could not be read — `keys` then holds what could be.
[[nodiscard]] long ReadRegTree(RegKey parent, const std::wstring& name, std::vector<RegKeyData>& keys);
