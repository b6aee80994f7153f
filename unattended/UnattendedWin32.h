#pragma once

#include <string>
#include <vector>

// The words of the program's command line after its name.
std::vector<std::wstring> ProgramArguments();
