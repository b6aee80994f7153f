#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

// Program starts and files as the host tests see them. A start succeeds when
// the program it names (the first word, or the quoted head, with ".exe" added
// when it has no extension) is among `files`; names compare without case.
struct FakeProcesses {
    struct Start {
        std::wstring commandLine;
        int showCommand;
    };

    std::set<std::wstring> files;
    std::vector<Start> starts;
    std::uint32_t nextId = 100;

    static FakeProcesses& Instance();
    void Reset() { *this = FakeProcesses(); }
    void AddFile(const std::wstring& path);
    [[nodiscard]] bool HasFile(const std::wstring& path) const;
};
