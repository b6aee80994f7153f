#include "unattended/RunRecord.h"

#include <algorithm>
#include <cwctype>
#include <regex>
#include <string_view>
#include <tuple>
#include <vector>

#include "helpers/CheckedFolder.h"
#include "helpers/FuncLib.h"
#include "helpers/RunIdentity.h"
#include "helpers/SecureFolder.h"
#include "helpers/Utf16.h"
#include "platform/RegistryPlatform.h"
#include "registry/RegFuncs.h"
#include "registry/RegKeyOwner.h"
#include "registry/RegLinkResolve.h"

namespace {

constexpr std::wstring_view Machine = L"HKEY_LOCAL_MACHINE\\";
constexpr wchar_t UsageStem[] = L"Usage";

std::wstring Capitalised(std::wstring word)
{
    if (!word.empty())
        word[0] = static_cast<wchar_t>(std::towupper(word[0]));
    return word;
}

// Tandrel's own names, and no other: "check-...", "Check-....log.bak" or "-02" were made by someone else.
const std::wregex& DefaultLogPattern()
{
    static const std::wregex pattern = [] {
        std::wstring commands = UsageStem;
        for (int command = 0; command <= static_cast<int>(LastCommand); ++command)
            commands += L"|" + Capitalised(CommandName(static_cast<UnattendedCommand>(command)));
        return std::wregex(L"(" + commands + LR"()-(\d{8}-\d{6})(?:-([2-9]|[1-9]\d))?\.log)");
    }();
    return pattern;
}

// Removes the oldest logs of Tandrel's names beyond the newest LogsKept, never `made`, the run's own, whatever the
// clock said. The lines of what could not be removed.
std::wstring PruneLogs(const std::wstring& folder, const std::wstring& made)
{
    std::vector<std::wstring> names;
    if (long code = FilePlatform::ListFiles(folder, names))
        return L"WARNING: No old log was removed: the files of " + folder + L" cannot be listed: " +
               FilePlatform::ErrorText(code) + L"\r\n";
    std::vector<std::tuple<std::wstring, int, std::wstring>> logs;  // by time, then by the number a taken name got
    for (const std::wstring& name : names) {
        std::wsmatch match;
        if (name != made && std::regex_match(name, match, DefaultLogPattern()))
            logs.emplace_back(match[2].str(), match[3].matched ? std::stoi(match[3].str()) : 1, name);
    }
    if (logs.size() + 1 <= LogsKept)
        return L"";
    std::sort(logs.begin(), logs.end());
    logs.resize(logs.size() + 1 - LogsKept);
    std::wstring notes;
    CheckedFolder checked;
    std::wstring reason;
    FileRefusal refusal = FileRefusal::None;
    long code = OpenCheckedFolder(folder + L"\\" + made, checked, reason, refusal);
    // Why no log of the folder can be removed; "" when it was opened.
    const std::wstring folderWhy = !reason.empty()                ? reason
                                   : code != 0                    ? FilePlatform::ErrorText(code)
                                   : refusal != FileRefusal::None ? OutputFile::RefusalText(refusal)
                                                                  : L"";
    for (const auto& [stamp, number, name] : logs) {
        std::wstring why = folderWhy;
        if (why.empty()) {
            FileRefusal found = FileRefusal::None;
            long removed = FilePlatform::RemoveFile(checked.folder.get(), name, found);
            if (removed == 0 && found == FileRefusal::None)
                continue;
            why = removed != 0 ? FilePlatform::ErrorText(removed) : OutputFile::RefusalText(found);
        }
        notes += L"WARNING: The old log " + folder + L"\\" + name + L" was not removed: " + why + L"\r\n";
    }
    return notes;
}

RegValueData Text(const wchar_t* name, std::uint32_t type, const std::wstring& text)
{
    return {name, type, BytesOf(ToUtf16(text) + u'\0')};
}

RegValueData Number(const wchar_t* name, std::uint32_t number)
{
    return {name, RegType::Dword, DwordBytes(number)};
}

// The key named, or the same in the control set that CurrentControlSet, the system's own link, leads to. Any other
// link on the way would take the one write Tandrel makes there somewhere else.
bool SourceKeyWhereNamed(const std::wstring& landing)
{
    static const std::wregex controlSet(LR"(HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet\d{3}\\Services\\EventLog\\)"
                                        LR"(Application\\Tandrel)",
                                        std::regex::icase);
    return EqualsIgnoringCase(landing, EventSourceKey) || std::regex_match(landing, controlSet);
}

bool SameMessageFile(const RegValueData& value)
{
    std::optional<std::wstring> named = StringValue(value);
    std::optional<std::wstring> expanded = ExpandedStringValue(value);
    std::optional<std::wstring> ours = SystemPlatform::ExpandStringsW(EventMessageFile);
    return (named && EqualsIgnoringCase(*named, EventMessageFile)) ||
           (expanded && ours && EqualsIgnoringCase(*expanded, *ours));
}

std::wstring RegisterSource()
{
    const std::wstring key = EventSourceKey;
    RegLinkResolver resolver;
    std::wstring landing;
    if (long code = resolver.Resolve(key, landing))
        return L"WARNING: The event source key " + key + L" cannot be followed to where it is: " +
               FilePlatform::ErrorText(code) + L"\r\n";
    if (!SourceKeyWhereNamed(landing))
        return L"WARNING: The event source key " + key + L" lies below a registry link to " + landing +
               L", so the event source was not registered.\r\n";
    const std::wstring path = landing.substr(Machine.size());
    const RegValueData wanted[] = {Text(L"EventMessageFile", RegType::ExpandSz, EventMessageFile),
                                   Number(L"TypesSupported", 7), Number(L"CustomSource", 1)};
    std::vector<const RegValueData*> missing;
    RegKeyOwner there;
    if (RegistryPlatform::OpenKeyWide(RegKey::LocalMachine, path, *there.put()) == 0) {
        // Another program's source of that name keeps its own message file: its events read as it meant them.
        RegValueData file;
        if (RegistryPlatform::QueryValueWide(there.get(), L"EventMessageFile", file) == 0 && !SameMessageFile(file))
            return L"NOTE: The event source " + std::wstring(EventSource) + L" is registered with the message file " +
                   StringValue(file).value_or(L"(not a text)") + L", not " + EventMessageFile +
                   L"; it is left as it is.\r\n";
        for (const RegValueData& value : wanted) {
            RegValueData found;
            if (RegistryPlatform::QueryValueWide(there.get(), value.name, found) != 0 || found.type != value.type ||
                found.bytes != value.bytes)
                missing.push_back(&value);
        }
    } else {
        for (const RegValueData& value : wanted)
            missing.push_back(&value);
    }
    if (missing.empty())
        return L"";
    RegKeyOwner made;
    if (long code = RegistryPlatform::CreateKey64(path, *made.put()))
        return L"WARNING: The event source key " + landing + L" cannot be created: " + FilePlatform::ErrorText(code) +
               L"\r\n";
    for (const RegValueData* value : missing) {
        if (long code = RegistryPlatform::SetValueWide(made.get(), *value))
            return L"WARNING: The value " + value->name + L" of the event source key " + landing +
                   L" cannot be written: " + FilePlatform::ErrorText(code) + L"\r\n";
    }
    return L"";
}

}  // namespace

std::wstring DefaultLogStem(const CommandLine& line, const SystemPlatform::LocalTime& start)
{
    const std::wstring command =
        line.error.empty() && !line.commands.empty() ? Capitalised(CommandName(line.commands.front())) : UsageStem;
    return command + L"-" + NameStamp(start);
}

bool IsDefaultLogName(const std::wstring& name)
{
    return std::regex_match(name, DefaultLogPattern());
}

DefaultLog OpenDefaultLog(UnattendedOutput& output, const CommandLine& line, const SystemPlatform::LocalTime& start,
                          bool prune)
{
    DefaultLog log;
    std::wstring folder;
    std::wstring error;
    if (!SecureTandrelFolder(L"Logs", folder, error) ||
        !output.OpenNewLog(folder + L"\\" + DefaultLogStem(line, start), L".log", error)) {
        log.notes = L"The run goes on without a log file: " + error + L"\r\n";
        return log;
    }
    log.open = true;
    const std::wstring& path = output.LogPath();
    if (prune)
        log.notes = PruneLogs(folder, path.substr(path.find_last_of(L'\\') + 1));
    return log;
}

EventKind EventKindOf(VerdictReason reason, int exitCode)
{
    if (exitCode == ExitCode::Success)
        return EventKind::Information;
    // What a check found is the machine's state, not Tandrel failing.
    return reason == VerdictReason::Problems || reason == VerdictReason::UserOverrides ? EventKind::Warning
                                                                                       : EventKind::Error;
}

std::uint32_t EventIdOf(VerdictReason reason, int exitCode)
{
    const ReasonRow* row = exitCode == ExitCode::Success ? nullptr : RowOf(reason);
    return static_cast<std::uint32_t>(row ? row->eventId : SuccessEventId);
}

std::wstring RecordEvent(const std::wstring& verdictLine, VerdictReason reason, int exitCode)
{
    std::wstring notes = RegisterSource();
    std::wstring call;
    if (long code = EventLogPlatform::Report(EventSource, EventKindOf(reason, exitCode), EventIdOf(reason, exitCode),
                                             verdictLine, call))
        notes += L"WARNING: The run's event was not written to the Application log: " + call + L" failed: " +
                 FilePlatform::ErrorText(code) + L"\r\n";
    return notes;
}
