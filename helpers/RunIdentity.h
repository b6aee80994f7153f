#pragma once

#include <string>
#include <vector>

#include "platform/SystemPlatform.h"

// What tells one run's log or backup from those of other machines, accounts and
// runs, when hundreds of them are collected in one place.

// "2026-12-08T09:05:07+01:00": ISO 8601 with the offset from UTC.
[[nodiscard]] std::wstring IsoTime(const SystemPlatform::LocalTime& time);

// "Tandrel 3.06 (32-bit)": the build, as /version prints it.
[[nodiscard]] std::wstring ProgramTitle();

// "20261208-090507": the local time as the names of Tandrel's backups and logs carry it, so that they sort by it.
[[nodiscard]] std::wstring NameStamp(const SystemPlatform::LocalTime& time);

// "Tandrel 3.06 (32-bit) on PC-0042, 2026-12-08T09:05:07+01:00, Windows 10.0.19045, as NT AUTHORITY\SYSTEM".
[[nodiscard]] std::wstring RunIdentity(const SystemPlatform::LocalTime& time);

// The arguments as they were given: one that is empty or holds a space or a
// quote is quoted. A control character shows as '?', so that no argument can
// end the line it is written on and start one of its own.
[[nodiscard]] std::wstring ArgumentsText(const std::vector<std::wstring>& arguments);
