#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

// Program starts as the host tests see them. A start succeeds when the program
// file it names is on the FakeDisk.
// A sweep's fault (CallFault) fails a start or a file look-up.
struct FakeProcesses {
    struct Start {
        std::wstring program;
        std::wstring commandLine;
        int showCommand;
        bool operator==(const Start&) const = default;
    };

    std::vector<Start> starts;
    // Exit codes of programs that are waited for, by a text that their command
    // line holds (lower case); 0 when none matches. A command line holding a
    // text of `hanging` never ends.
    std::map<std::wstring, std::uint32_t> exitCodes;
    std::set<std::wstring> hanging;
    // The starts that succeeded: the program ran, and ended with 0 when waited for.
    int succeeded = 0;
    std::uint32_t nextId = 100;
    // Called at every start, before it succeeds or fails.
    std::function<void(const Start&)> onStart;

    static FakeProcesses& Instance();
    void Reset() { *this = FakeProcesses(); }
    void SetExitCode(const std::wstring& text, std::uint32_t code);
    void Hang(const std::wstring& text);
};
