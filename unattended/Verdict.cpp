#include "unattended/Verdict.h"

#include <nlohmann/json.hpp>

#include "helpers/OutputFile.h"

namespace {

using Json = nlohmann::ordered_json;

Json Text(const std::optional<std::wstring>& text)
{
    return text ? Json(Utf8(*text)) : Json(nullptr);
}

Json ReasonWord(VerdictReason reason)
{
    const ReasonRow* row = RowOf(reason);
    return row ? Json(std::string(row->word)) : Json(nullptr);
}

std::string Line(const Verdict& verdict, const std::wstring& version, bool shortened)
{
    Json commands = Json::array();
    for (const std::wstring& command : verdict.commands)
        commands.push_back(Utf8(command));
    Json classes = Json::array();
    for (const std::wstring& progId : verdict.classesWithProblems)
        classes.push_back(Utf8(progId));
    Json line = {{"tool", "Tandrel"},
                 {"version", Utf8(version)},
                 {"computer", Utf8(verdict.computer)},
                 {"time", Utf8(verdict.time)},
                 {"commands", commands},
                 {"exitCode", verdict.exitCode},
                 {"healthy", verdict.healthy ? Json(*verdict.healthy) : Json(nullptr)},
                 {"reason", verdict.exitCode == 0 ? Json(nullptr) : ReasonWord(verdict.reason)},
                 {"problems", verdict.problems ? Json(*verdict.problems) : Json(nullptr)},
                 {"classesWithProblems", classes},
                 {"backup", Text(verdict.backup)},
                 {"log", Text(verdict.log)},
                 {"error", Text(verdict.error)},
                 {"shortened", shortened}};
    return line.dump(-1, ' ', true, Json::error_handler_t::replace);
}

}  // namespace

std::wstring FormatVerdict(const Verdict& verdict, const std::wstring& version)
{
    Verdict shortened = verdict;
    std::string line = Line(shortened, version, false);
    while (line.size() > LongestVerdict) {
        std::wstring* longest = nullptr;
        for (std::wstring* text : {&shortened.computer, shortened.error ? &*shortened.error : nullptr,
                                   shortened.log ? &*shortened.log : nullptr,
                                   shortened.backup ? &*shortened.backup : nullptr}) {
            if (text && text->size() > 3 && (!longest || text->size() > longest->size()))
                longest = text;
        }
        if (!longest)
            break;
        // The most of it that fits: found by trying, since escapes make a character cost 1 to 12 bytes.
        const std::wstring whole = *longest;
        std::size_t fits = 0, tooLong = whole.size();
        while (fits + 1 < tooLong) {
            std::size_t keep = fits + (tooLong - fits) / 2;
            *longest = whole.substr(0, keep) + L"...";
            if (Line(shortened, version, true).size() <= LongestVerdict)
                fits = keep;
            else
                tooLong = keep;
        }
        // Never half of a surrogate pair.
        if (fits > 0 && whole[fits - 1] >= 0xD800 && whole[fits - 1] <= 0xDBFF)
            --fits;
        *longest = whole.substr(0, fits) + L"...";
        line = Line(shortened, version, true);
    }
    return std::wstring(line.begin(), line.end());
}
