#include "console/CommandLine.h"

#include <algorithm>

#include "helpers/FuncLib.h"

CommandLine ParseCommandLine(const std::vector<std::wstring>& arguments)
{
    CommandLine line;
    bool yes = false;
    bool loaded = false;
    // The first fault is the one reported; the rest is still read for a log
    // file, which then receives the report.
    auto fail = [&line](const std::wstring& reason) {
        if (line.error.empty())
            line.error = reason;
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        bool isSwitch = argument.size() > 1 && (argument[0] == L'/' || argument[0] == L'-');
        auto is = [&](const wchar_t* name) { return isSwitch && EqualsIgnoringCase(argument.substr(1), name); };
        if (is(L"?")) {
            line.help = true;
        } else if (is(L"load")) {
            line.commands.push_back(UnattendedCommand::Load);
            loaded = true;
        } else if (is(L"delete")) {
            if (!loaded)
                line.commands.push_back(UnattendedCommand::Load);
            line.commands.push_back(UnattendedCommand::Delete);
            loaded = true;
        } else if (is(L"create")) {
            line.commands.push_back(UnattendedCommand::Create);
        } else if (is(L"yes")) {
            yes = true;
        } else if (is(L"log")) {
            // "/log /load" names no file: the switch is not taken for one.
            if (i + 1 >= arguments.size() || arguments[i + 1].empty())
                fail(L"/log needs the name of a file.");
            else if (arguments[i + 1][0] == L'/' || arguments[i + 1][0] == L'-')
                fail(L"/log needs the name of a file, not the switch " + arguments[i + 1] + L".");
            else if (line.logFile)
                fail(L"/log is given twice.");
            else
                line.logFile = arguments[++i];
        } else {
            fail(L"Unknown argument: " + argument);
        }
    }
    if (!line.error.empty())
        return line;
    bool deletes = std::find(line.commands.begin(), line.commands.end(), UnattendedCommand::Delete) !=
                   line.commands.end();
    if (deletes && !yes)
        line.error = L"/delete needs /yes: nobody is there to answer its question.";
    else if (line.commands.empty() && !line.help)
        line.error = L"Nothing to do: give /load, /delete /yes or /create.";
    return line;
}

std::wstring UsageText()
{
    return L"Usage: Tandrel.exe [/load] [/delete /yes] [/create] [/log FILE]\r\n"
           L"  /load     print how each class of the Vestrel suite is registered\r\n"
           L"  /delete   remove that registration (runs /load first when none came before)\r\n"
           L"  /yes      answer Yes to the question of /delete\r\n"
           L"  /create   register the suite again from its files\r\n"
           L"  /log FILE write the log to FILE (UTF-8), replacing it\r\n"
           L"Commands run in the order given, with no window. Exit code: 0 when every\r\n"
           L"command succeeded, 1 when one reported errors, 2 for a wrong command line.\r\n"
           L"Without arguments Tandrel opens its window.\r\n";
}
