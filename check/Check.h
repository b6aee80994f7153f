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

// What the check found of one class, handed on once its lines are written.
struct ClassFindings {
    std::wstring progId;
    bool problem = false;               // the check found a problem in it (an override in a user's registration counts)
    std::vector<std::wstring> servers;  // full paths of the server files registered for it that the check resolved
};

// Checks, reading only, that each of the suite's classes is registered so that it can be created, and reports each
// class through `log` (entries as AddMsg takes them: no trailing CRLF), and then to `classDone`.
// `appPath` and `systemPath` are the folders Create registers from (ending in "\"; "" when unknown).
[[nodiscard]] CheckReport CheckSuite(const std::wstring& appPath, const std::wstring& systemPath,
                                     const std::function<void(const std::wstring&)>& log,
                                     const std::function<void(const ClassFindings&)>& classDone = {});
// The check's closing line for `problems`.
[[nodiscard]] std::wstring ProblemsLine(int problems);

// Whether every class of the suite that the program `program` (a full path) serves is registered to it: its ProgID
// names a class whose LocalServer32 starts that very file. False for a program that serves none of them.
[[nodiscard]] bool ProgramRegistered(const std::wstring& program);
