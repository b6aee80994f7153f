#pragma once

#include <windows.h>
#include <sddl.h>

#include <string>

#include "platform/FilePlatform.h"

// An account as the log names it: "DOMAIN\name", or its SID where it has no name.
inline Account AccountOf(PSID sid)
{
    Account account;
    LPWSTR text = nullptr;
    if (ConvertSidToStringSidW(sid, &text)) {
        account.sid = text;
        LocalFree(text);
    }
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
