#pragma once

#include <cwctype>
#include <string>

#include "helpers/FuncLib.h"

