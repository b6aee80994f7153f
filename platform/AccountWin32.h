#pragma once

#include <windows.h>
#include <sddl.h>

#include <string>

#include "platform/FilePlatform.h"

// "S-1-5-..."; "" when the SID cannot be read.
inline std::wstring SidText(PSID sid)
{
    std::wstring result;
    LPWSTR text = nullptr;
    if (ConvertSidToStringSidW(sid, &text)) {
        result = text;
        LocalFree(text);
    }
    return result;
}

// An account as the log names it: "DOMAIN\name", or its SID where it has no name.
inline Account AccountOf(PSID sid)
{
    Account account;
    account.sid = SidText(sid);
    wchar_t name[256] = {};
    wchar_t domain[256] = {};
    DWORD nameSize = 256;
    DWORD domainSize = 256;
    SID_NAME_USE use{};
    if (LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use))
        account.name = domain[0] ? std::wstring(domain) + L"\\" + name : std::wstring(name);
    else
        account.name = account.sid;
    return account;
}
