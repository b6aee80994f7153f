#pragma once

#include <string>

// Error texts are built from sentences: the system's message for a code, then what Tandrel did about it. Every
// piece that joins them comes through here, so that a text ends with exactly one full stop, whether the system's
// message brought one or not.

// `text` without trailing spaces and line ends, ending in one full stop.
[[nodiscard]] inline std::wstring Sentence(std::wstring text)
{
    while (!text.empty() && (text.back() == L' ' || text.back() == L'\r' || text.back() == L'\n'))
        text.pop_back();
    if (!text.empty() && text.back() != L'.')
        text += L'.';
    return text;
}

// `text` without its full stop, to go on in the middle of a longer sentence.
[[nodiscard]] inline std::wstring WithoutFinalStop(std::wstring text)
{
    text = Sentence(std::move(text));
    if (!text.empty())
        text.pop_back();
    return text;
}

// Two sentences, one after the other.
[[nodiscard]] inline std::wstring JoinSentences(const std::wstring& first, const std::wstring& second)
{
    return Sentence(first) + L" " + Sentence(second);
}
