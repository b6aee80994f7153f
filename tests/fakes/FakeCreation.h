#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/CreationPlatform.h"

// Creations as the host tests see them. A child runs Tandrel's own child side at once, in this process, against
// the creations a row sets; its lines are then read one by one, and a hang or a crash is where its lines stop.
struct FakeCreation {
    struct Result {
        enum class Kind { Created, Fails, Hangs, Crashes } kind = Kind::Created;
        std::wstring step;         // Fails: the call that fails
        std::uint32_t code = 0;    // Fails: its HRESULT; Crashes: the exception
        std::wstring startsProgram;  // Created: the program server it starts, which then runs for `runsMs`
        std::uint64_t runsMs = 0;
        int windows = 0;             // the server's top-level windows, which close on WM_CLOSE when it `closes`
        bool closes = true;
    };
    std::map<std::wstring, Result> results;  // by ProgID; a ProgID not here is created
    std::map<std::uint32_t, std::wstring> messages;  // the system's message for each HRESULT
    long restrictedStartError = 0;  // starting with a restricted token fails with this
    long startError = 0;            // starting at all fails with this
    bool tokenIgnored = false;      // the system starts the child with Tandrel's own token in place of the copy
    std::uint32_t prepareResult = 0;

    struct Start {
        std::vector<std::wstring> arguments;
        ChildToken token;
    };
    std::vector<Start> starts;
    std::vector<std::uint32_t> limits;  // the time limit of each read
    int open = 0;                       // children not yet ended
    // Program servers started so far: the FakeProcesses they run as are 4000, 4001 ...
    std::uint32_t programsStarted = 0;

    static FakeCreation& Instance();
    void Reset() { *this = FakeCreation(); }
};
