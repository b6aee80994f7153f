#pragma once

#include <functional>
#include <string>
#include <vector>

// What a check found: how many problems, and the ProgIDs that had any, in table order.
struct CheckReport {
    int problems = 0;
    // Of them, those in users' own registrations, which a repair of the machine's leaves as they are.
    int overrides = 0;
    std::vector<std::wstring> classes;
};

// Checks, reading only, that each of the suite's classes is registered so that it can be created, and reports each
// class through `log` (entries as AddMsg takes them: no trailing CRLF).
// `appPath` and `systemPath` are the folders Create registers from (ending in "\"; "" when unknown).
[[nodiscard]] CheckReport CheckSuite(const std::wstring& appPath, const std::wstring& systemPath,
                             const std::function<void(const std::wstring&)>& log);
