#pragma once

#include <cwchar>
#include <string>
#include <vector>

#include "tests/fakes/FakeRegistry.h"

// The suite's 15 classes registered in the in-memory registry as a healthy
// installation registers them.
namespace SuiteRegistry {

struct SuiteClass {
    std::wstring progId;
    std::wstring clsid;
    std::wstring typeLib;
    std::wstring library;
};

inline std::wstring Guid(int n, wchar_t kind)
{
    wchar_t text[40];
    swprintf(text, 40, L"{%c0000000-0000-4000-8000-0000000000%02d}", kind, n);
    return text;
}

inline std::vector<SuiteClass> SuiteClasses()
{
    const std::pair<const wchar_t*, const wchar_t*> classes[] = {
        {L"Glimmet.ctlGlimmet", L"Glimmet"}, {L"Daskel.clsDaskel", L"Daskel"},
        {L"Daskel.clsEntities", L"Daskel"},  {L"Daskel.clsEntity", L"Daskel"},
        {L"Daskel.clsXFields", L"Daskel"},   {L"Daskel.clsXField", L"Daskel"},
        {L"Wrenna.clsIFace", L"Wrenna"},     {L"Corvane.clsMail", L"Corvane"},
        {L"Sulvary.clsPhone", L"Sulvary"},   {L"Brenlow.clsIFace", L"Brenlow"},
        {L"Ladrisk.clsIFace", L"Ladrisk"},   {L"Omberly.clsOmberly", L"Omberly"},
        {L"Vestrel.clsIFace", L"Vestrel"},   {L"Vestrel.clsEMailIFace", L"Vestrel"},
        {L"Vestrel.clsLinkIFace", L"Vestrel"},
    };
    const std::wstring libraries[] = {L"Glimmet", L"Daskel",  L"Wrenna",  L"Corvane", L"Sulvary",
                                      L"Brenlow", L"Ladrisk", L"Omberly", L"Vestrel"};
    std::vector<SuiteClass> suite;
    for (int i = 0; i < 15; ++i) {
        int library = 0;
        while (libraries[library] != classes[i].second)
            ++library;
        suite.push_back({classes[i].first, Guid(i, L'C'), Guid(library, L'A'), classes[i].second});
    }
    return suite;
}

inline void Register(FakeRegistry& registry, const SuiteClass& c)
{
    const std::wstring classes = L"Software\\Classes\\";
    registry.SetString(classes + c.progId, L"", c.progId + L" class");
    registry.SetString(classes + c.progId + L"\\CLSID", L"", c.clsid);
    const std::wstring key = classes + L"CLSID\\" + c.clsid;
    registry.SetString(key, L"", c.progId + L" class");
    registry.SetString(key + L"\\InprocServer32", L"", L"C:\\WINDOWS\\system32\\" + c.library + L".dll");
    registry.SetString(key + L"\\ProgID", L"", c.progId);
    registry.SetString(key + L"\\TypeLib", L"", c.typeLib);
    registry.SetString(key + L"\\VERSION", L"", L"1.0");
    registry.SetString(classes + L"TypeLib\\" + c.typeLib + L"\\1.0", L"", c.library + L" Library");
}

}  // namespace SuiteRegistry
