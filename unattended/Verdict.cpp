#include "unattended/Verdict.h"

#include <nlohmann/json.hpp>

#include "helpers/OutputFile.h"

namespace {

using Json = nlohmann::ordered_json;

Json Text(const std::optional<std::wstring>& text)
{
    return text ? Json(Utf8(*text)) : Json(nullptr);
}

std::string Line(const Verdict& verdict, const std::wstring& version)
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
                 {"problems", verdict.problems ? Json(*verdict.problems) : Json(nullptr)},
                 {"classesWithProblems", classes},
                 {"backup", Text(verdict.backup)},
                 {"log", Text(verdict.log)},
                 {"error", Text(verdict.error)}};
    return line.dump(-1, ' ', true, Json::error_handler_t::replace);
}

}  // namespace

std::wstring FormatVerdict(const Verdict& verdict, const std::wstring& version)
{
    Verdict shortened = verdict;
    std::string line = Line(shortened, version);
    // Each cut takes at least as many characters out of the line as it is too long.
    while (line.size() > LongestVerdict) {
        std::wstring* longest = &shortened.computer;
        for (std::optional<std::wstring>* text : {&shortened.error, &shortened.log, &shortened.backup}) {
            if (*text && (*text)->size() > longest->size())
                longest = &**text;
        }
        if (longest->size() <= 3)
            break;
        std::size_t cut = line.size() - LongestVerdict + 3;  // the "..." takes three
        *longest = longest->substr(0, longest->size() > cut ? longest->size() - cut : 0) + L"...";
        line = Line(shortened, version);
    }
    return std::wstring(line.begin(), line.end());
}
