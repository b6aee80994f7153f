#pragma once

#include <string>
#include <vector>

#include "commands/Commands.h"

// The switch that makes Tandrel's own program a child that creates classes for its parent; the usage text does
// not list it, since nobody but Tandrel has a reason to give it.
inline constexpr wchar_t CreationChildSwitch[] = L"/creation-child";

// How long one creation may take. Wine gives up on a program server that never registers after about 30 s, so the
// two cannot be mistaken for each other.
inline constexpr std::uint32_t CreationLimitMs = 20000;
// How long a program server that a creation started may take to end after its object was released.
inline constexpr std::uint32_t ProgramEndMs = 10000;

// Judges each class as the check does and then creates it as a script or program of this build's bitness would,
// in a child process; a class that cannot be created is one more problem.
[[nodiscard]] CommandOutcome VerifySuiteCommand(const SuiteState& state, CommandLog& log);

// The child's side: `arguments` are the words after the program's name, the switch first. Creates each ProgID of
// the suite's that follows in turn and writes one line for each to its parent. Its exit code.
[[nodiscard]] int RunCreationChild(const std::vector<std::wstring>& arguments);
