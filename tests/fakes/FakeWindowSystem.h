#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/WindowPlatform.h"

// The window manager as the host tests see it: every call is recorded in
// order, and the answers are set by the test.
struct FakeWindowSystem {
    WindowHandle foreground = WindowHandle{0x10};
    std::map<WindowHandle, std::uint32_t> threads;
    std::map<WindowHandle, bool> minimized;
    bool setForegroundSucceeds = true;
    int screenPointer = DefaultPointer;
    std::vector<std::string> calls;

    static FakeWindowSystem& Instance();
    void Reset() { *this = FakeWindowSystem(); }
};
