#include "helpers/RunIdentity.h"

#include <cstdlib>
#include <cwchar>

std::wstring IsoTime(const SystemPlatform::LocalTime& t)
{
    int offset = std::abs(t.utcOffsetMinutes);
    wchar_t text[40];
    std::swprintf(text, 40, L"%04d-%02d-%02dT%02d:%02d:%02d%lc%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second, static_cast<wint_t>(t.utcOffsetMinutes < 0 ? L'-' : L'+'), offset / 60,
                  offset % 60);
    return text;
}

std::wstring ProgramTitle()
{
    return L"Tandrel " TANDREL_VERSION L" (" + std::to_wstring(SystemPlatform::ProgramBits()) + L"-bit)";
}

std::wstring NameStamp(const SystemPlatform::LocalTime& t)
{
    wchar_t text[40];
    std::swprintf(text, 40, L"%04d%02d%02d-%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return text;
}

std::wstring RunIdentity(const SystemPlatform::LocalTime& time)
{
    auto known = [](const std::wstring& text) { return text.empty() ? std::wstring(L"(unknown)") : text; };
    return ProgramTitle() + L" on " +
           known(SystemPlatform::ComputerName()) + L", " + IsoTime(time) + L", Windows " +
           known(SystemPlatform::WindowsVersion()) + L", as " + known(SystemPlatform::AccountName());
}

std::wstring ArgumentsText(const std::vector<std::wstring>& arguments)
{
    std::wstring text;
    for (const std::wstring& argument : arguments) {
        std::wstring shown = argument;
        for (wchar_t& c : shown) {
            if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0) || c == 0x2028 || c == 0x2029)
                c = L'?';
        }
        if (!text.empty())
            text += L' ';
        text += shown.empty() || shown.find_first_of(L" \t\"") != std::wstring::npos ? L"\"" + shown + L"\"" : shown;
    }
    return text;
}
