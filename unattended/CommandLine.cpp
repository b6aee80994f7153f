#include "unattended/CommandLine.h"

#include <algorithm>
#include <iterator>

#include "helpers/FuncLib.h"
#include "platform/SystemPlatform.h"

namespace {

// The first fault is the one reported; the rest is still read for a log
// file, which then receives the report.
void Fail(CommandLine& line, const std::wstring& reason)
{
    if (line.error.empty())
        line.error = reason;
}

// The word after the switch `name` at `i` as its file, which moves `i` past
// it. "/log /load" names no file: the switch is not taken for one.
bool TakeFile(const std::vector<std::wstring>& arguments, std::size_t& i, const std::wstring& name,
              std::optional<std::wstring>& file, CommandLine& line)
{
    if (i + 1 >= arguments.size() || arguments[i + 1].empty())
        Fail(line, name + L" needs the name of a file.");
    else if (arguments[i + 1][0] == L'/' || arguments[i + 1][0] == L'-')
        Fail(line, name + L" needs the name of a file, not the switch " + arguments[i + 1] + L".");
    else if (file)
        Fail(line, name + L" is given twice.");
    else {
        file = arguments[++i];
        return true;
    }
    return false;
}

bool IsSwitch(const std::wstring& argument, const wchar_t* name)
{
    return argument.size() > 1 && (argument[0] == L'/' || argument[0] == L'-') &&
           EqualsIgnoringCase(argument.substr(1), name);
}

// Each word in turn into `line`. True when /yes was among them.
bool ReadArguments(const std::vector<std::wstring>& arguments, CommandLine& line)
{
    bool yes = false;
    bool loaded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        auto is = [&argument](const wchar_t* name) { return IsSwitch(argument, name); };
        if (is(L"?") || is(L"help")) {
            line.help = true;
        } else if (is(L"version")) {
            line.version = true;
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
        } else if (is(L"check")) {
            line.commands.push_back(UnattendedCommand::Check);
        } else if (is(L"repair")) {
            line.commands.push_back(UnattendedCommand::Repair);
        } else if (is(L"verify")) {
            line.commands.push_back(UnattendedCommand::Verify);
        } else if (is(L"yes")) {
            yes = true;
        } else if (is(L"log")) {
            TakeFile(arguments, i, L"/log", line.logFile, line);
        } else if (is(L"backup")) {
            TakeFile(arguments, i, L"/backup", line.backupFile, line);
        } else if (is(L"restore")) {
            if (TakeFile(arguments, i, L"/restore", line.restoreFile, line))
                line.commands.push_back(UnattendedCommand::Restore);
        } else {
            Fail(line, L"Unknown argument: " + argument);
        }
    }
    return yes;
}

bool Has(const CommandLine& line, UnattendedCommand command)
{
    return std::find(line.commands.begin(), line.commands.end(), command) != line.commands.end();
}

// What the switches, each well formed, cannot mean together; empty when they can.
std::wstring CombinationError(const CommandLine& line, bool yes)
{
    bool deletes = Has(line, UnattendedCommand::Delete);
    if (deletes && !yes)
        return L"/delete needs /yes: nobody is there to answer its question.";
    if (line.backupFile && !deletes && !Has(line, UnattendedCommand::Repair))
        return L"/backup goes with /delete or /repair: it names where Delete's backup goes.";
    // A repair is proven by creating what it registered.
    const std::vector<UnattendedCommand> repairVerify{UnattendedCommand::Repair, UnattendedCommand::Verify};
    if (line.commands.size() > 1 && line.commands != repairVerify && Has(line, UnattendedCommand::Verify))
        return L"/verify runs alone, or after /repair: give it with /log only.";
    if (line.commands.size() > 1 && line.commands != repairVerify &&
        (Has(line, UnattendedCommand::Restore) || Has(line, UnattendedCommand::Check) ||
         Has(line, UnattendedCommand::Repair)))
        return L"/restore, /check and /repair each run alone: give them with /log only.";
    if (line.commands.empty() && !line.help && !line.version)
        return L"Nothing to do: give /load, /delete /yes, /create, /restore FILE, /check or /repair.";
    return {};
}

}  // namespace

const wchar_t* CommandName(UnattendedCommand command)
{
    static const wchar_t* const Names[] = {L"load", L"delete", L"create", L"restore", L"check", L"repair", L"verify"};
    static_assert(std::size(Names) == static_cast<std::size_t>(LastCommand) + 1);
    return Names[static_cast<int>(command)];
}

CommandLine ParseCommandLine(const std::vector<std::wstring>& arguments)
{
    CommandLine line;
    bool yes = ReadArguments(arguments, line);
    if (line.error.empty())
        line.error = CombinationError(line, yes);
    return line;
}

std::wstring UsageText()
{
    std::wstring name = SystemPlatform::ProgramName();
    if (name.empty())
        name = L"Tandrel.exe";
    return L"Usage: " + name + L" [/load] [/delete /yes [/backup FILE]] [/create] [/log FILE]\r\n"
           L"       " + name + L" /restore FILE [/log FILE]\r\n"
           L"       " + name + L" /check [/log FILE]\r\n"
           L"       " + name + L" /repair [/backup FILE] [/verify] [/log FILE]\r\n"
           L"       " + name + L" /verify [/log FILE]\r\n"
           L"       " + name + L" /? | /help | /version\r\n"
           L"  /load         print how each class of the Vestrel suite is registered\r\n"
           L"  /delete       remove that registration (runs /load first when none came before),\r\n"
           L"                after writing all it removes to a backup file\r\n"
           L"  /yes          answer Yes to the question of /delete\r\n"
           L"  /backup FILE  write Delete's backup to FILE (or, when FILE is there, to\r\n"
           L"                FILE-2, FILE-3 ...) instead of %ProgramData%\\Tandrel\\Backups\r\n"
           L"  /create       register the suite again from its files\r\n"
           L"  /check        say whether each class is registered so that it can be created\r\n"
           L"  /repair       when /check finds problems: /load, /delete /yes, /create, and\r\n"
           L"                /check again until it finds none or a minute has passed\r\n"
           L"  /verify       /check, and then create each class as a script would, each in a\r\n"
           L"                child process with a time limit of 20 s; after /repair, proves it\r\n"
           L"  /restore FILE put back the keys of a registry file (a backup) under\r\n"
           L"                HKEY_LOCAL_MACHINE\\Software\\Classes\r\n"
           L"  /log FILE     write the log to FILE (UTF-8), replacing it\r\n"
           L"  /version      print the program's version and bitness\r\n"
           L"Commands run in the order given, with no window. Exit code: 0 when every\r\n"
           L"command succeeded, 1 when one reported errors, 2 for a wrong command line,\r\n"
           L"1618 when another Tandrel run or a Windows Installer transaction is in\r\n"
           L"progress on this computer, 740 when Tandrel does not run elevated.\r\n"
           L"Without arguments Tandrel opens its window, where someone can see the desktop.\r\n";
}
