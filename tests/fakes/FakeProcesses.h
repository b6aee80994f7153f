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

    // What a program started and not waited for does, in ms after its start, by a text that its command line
    // holds (lower case). A program without one ends at once, as the stand-ins do once they have registered.
    static constexpr std::uint64_t Never = ~std::uint64_t{0};
    struct Conduct {
        std::uint64_t registersAfter = 0;  // then `onRegister` runs for it
        std::uint64_t endsAfter = Never;
        int windows = 1;      // its top-level windows
        bool closes = true;   // they close at once on WM_CLOSE
        long endError = 0;    // what ending it fails with; 0: it can be ended
    };
    std::map<std::wstring, Conduct> conducts;
    std::function<void(const std::wstring& program)> onRegister;
    // The processes there are, Create's and the program servers that creations start alike; an identifier here
    // stays taken. Times are FakeSystem ticks.
    struct Process {
        std::wstring path;
        std::uint64_t registersAt = Never, endsAt = Never;
        int windows = 0;
        bool closes = false;
        long endError = 0;
    };
    std::map<std::uint32_t, Process> processes;
    std::vector<std::wstring> asked;  // "close 100", "end 100": what was asked of them, in order
    int held = 0;                     // process handles not let go

    [[nodiscard]] bool Running(std::uint32_t id) const;

    static FakeProcesses& Instance();
    void Reset() { *this = FakeProcesses(); }
    void SetExitCode(const std::wstring& text, std::uint32_t code);
    void Hang(const std::wstring& text);
};
