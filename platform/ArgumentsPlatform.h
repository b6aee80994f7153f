#pragma once

#include <string>
#include <vector>

// The words of the program's command line after its name, as the system splits them.
[[nodiscard]] std::vector<std::wstring> ProgramArguments();
