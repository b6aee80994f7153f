#pragma once

#include <cstdio>

// A broken property traps, so that libFuzzer keeps the input that broke it.
inline void Require(bool holds, const char* property)
{
    if (holds)
        return;
    std::fprintf(stderr, "Broken: %s\n", property);
    __builtin_trap();
}
