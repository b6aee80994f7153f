#pragma once

#include <functional>
#include <string>

// Checks, reading only, that each of the suite's classes is registered so that it can be created, and reports each
// class through `log` (entries as AddMsg takes them: no trailing CRLF). Returns how many problems it found.
// `appPath` and `systemPath` are the folders Create registers from (ending in "\"; "" when unknown).
[[nodiscard]] int CheckSuite(const std::wstring& appPath, const std::wstring& systemPath,
                             const std::function<void(const std::wstring&)>& log);
