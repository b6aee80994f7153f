#include "commands/Verify.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "commands/UnseenPrograms.h"
#include "helpers/FuncLib.h"
#include "helpers/SecureFolder.h"
#include "helpers/SuiteFiles.h"
#include "platform/CreationPlatform.h"
#include "platform/FilePlatform.h"
#include "platform/ProcessPlatform.h"
#include "platform/Sentence.h"
#include "platform/SystemPlatform.h"
#include "platform/WinCodes.h"

namespace {

// The child writes ASCII only: the suite's ProgIDs, the names of the calls, and numbers.
std::wstring Widened(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

std::wstring Hex(std::uint32_t value)
{
    wchar_t text[16];
    std::swprintf(text, 16, L"0x%08X", static_cast<unsigned>(value));
    return text;
}

// One class's part of the report: the check's lines for it and what the check made of it.
struct ClassPart {
    std::vector<std::wstring> entries;
    ClassFindings findings;
};

// What became of one creation.
struct Outcome {
    bool created = false;
    std::wstring failure;  // what failed, as the PROBLEM line gives it
    // False where Tandrel itself could not ask, which says nothing against the check.
    bool answered = true;
};

// The children that create the classes, one at a time: one goes on with the next class until it crashes or
// passes its limit, and a new one then takes the class after.
class Children {
public:
    explicit Children(std::vector<std::wstring> progIds) : progIds_(std::move(progIds)) {}
    ~Children() { CreationPlatform::EndChild(child_); }
    Children(const Children&) = delete;
    Children& operator=(const Children&) = delete;

    // Starts the first child, so that the log can say which token the children have; "" or why none started.
    std::wstring Start()
    {
        std::wstring error;
        Ensure(error);
        return error;
    }

    // Lets the last child end once it has written all, and ends it when it does not.
    void Finish()
    {
        if (child_ != ChildHandle::None)
            (void)CreationPlatform::ReadChild(child_, CreationLimitMs);
        Drop();
    }

    // Whose token the children run with, as the last to start reported it.
    [[nodiscard]] const std::wstring& TokenText() const { return tokenText_; }

    // Creates `progId`, the next in the list.
    Outcome Create(const std::wstring& progId)
    {
        std::wstring error;
        if (!Ensure(error)) {
            ++next_;
            return {false, L"the process to create it could not be started: " + error, false};
        }
        ++next_;
        ChildRead read = CreationPlatform::ReadChild(child_, CreationLimitMs);
        switch (read.kind) {
        case ChildRead::Kind::Line:
            return Answer(progId, read.line);
        case ChildRead::Kind::TimedOut:
            Drop();
            return {false, L"the server did not answer within " + std::to_wstring(CreationLimitMs / 1000) + L" s"};
        case ChildRead::Kind::Ended:
            Drop();
            return {false, L"the process that created it " + Ending(read.exitCode)};
        case ChildRead::Kind::Failed:
            break;
        }
        Drop();
        return {false, L"its answer cannot be read: " + WithoutFinalStop(FilePlatform::ErrorText(read.error)), false};
    }

private:
    // An exception ends a process with the exception's code, which has its top bits set.
    static std::wstring Ending(std::uint32_t code)
    {
        return code >= 0xC0000000u ? L"ended with exception " + Hex(code) : L"ended with exit code " + std::to_wstring(code);
    }

    void Drop()
    {
        CreationPlatform::EndChild(child_);
        child_ = ChildHandle::None;
    }

    Outcome Answer(const std::wstring& progId, const std::string& line)
    {
        const std::wstring text = Widened(line);
        if (text == L"created " + progId)
            return {true, L""};
        const std::wstring failed = L"failed " + progId + L" ";
        if (text.rfind(failed, 0) == 0) {
            const std::wstring rest = text.substr(failed.size());
            std::size_t space = rest.find(L' ');
            if (space != std::wstring::npos) {
                const std::wstring step = rest.substr(0, space);
                const auto result = static_cast<std::uint32_t>(std::wcstoul(rest.c_str() + space + 1, nullptr, 16));
                const std::wstring message = CreationPlatform::ResultText(result);
                return {false, step + L" returned " + Hex(result) + (message.empty() ? L"" : L" (" + message + L")")};
            }
        }
        Drop();
        return {false, L"the process that created it answered \"" + text + L"\"", false};
    }

    // A child running, started with the classes not yet created; false with the reason in `error` when none can
    // start. A restricted token the system refuses gives way to Tandrel's own, and the log says so.
    bool Ensure(std::wstring& error)
    {
        if (child_ != ChildHandle::None)
            return true;
        // What keeps one child from starting keeps the next from it too.
        if (!startError_.empty()) {
            error = startError_;
            return false;
        }
        std::vector<std::wstring> arguments{CreationChildSwitch};
        arguments.insert(arguments.end(), progIds_.begin() + static_cast<std::ptrdiff_t>(next_), progIds_.end());
        long code = CreationPlatform::StartChild(arguments, ChildToken::Restricted, child_);
        std::wstring refused;
        if (code != 0) {
            refused = FilePlatform::ErrorText(code);
            code = CreationPlatform::StartChild(arguments, ChildToken::Same, child_);
        }
        if (code != 0) {
            child_ = ChildHandle::None;
            error = startError_ = WithoutFinalStop(FilePlatform::ErrorText(code));
            return false;
        }
        ChildRead first = CreationPlatform::ReadChild(child_, CreationLimitMs);
        if (first.kind != ChildRead::Kind::Line || first.line.rfind("token ", 0) != 0) {
            Drop();
            if (first.kind == ChildRead::Kind::Ended)
                error = L"it " + Ending(first.exitCode) + L" before it began";
            else if (first.kind == ChildRead::Kind::Failed)
                error = WithoutFinalStop(FilePlatform::ErrorText(first.error));
            else if (first.kind == ChildRead::Kind::TimedOut)
                error = L"it did not begin within " + std::to_wstring(CreationLimitMs / 1000) + L" s";
            else
                error = L"CoInitializeEx returned " + Widened(first.line.substr(first.line.find(' ') + 1));
            return false;
        }
        if (!refused.empty())
            tokenText_ = L"Tandrel's own token, since the system refused a restricted copy: " +
                         WithoutFinalStop(refused);
        else if (first.line == "token restricted")
            tokenText_ = L"a restricted copy of Tandrel's token (Administrators for deny only, no privileges)";
        else
            tokenText_ = L"Tandrel's own token, since the system gave the child that in place of a restricted copy";
        return true;
    }

    std::vector<std::wstring> progIds_;
    std::size_t next_ = 0;
    ChildHandle child_ = ChildHandle::None;
    std::wstring tokenText_;
    std::wstring startError_;
};

// The check, run to its end with each class's lines kept, so that which classes may be created is known before
// the first child starts.
std::vector<ClassPart> CheckedClasses(const SuiteState& state, CheckReport& report, std::vector<std::wstring>& lead)
{
    std::vector<ClassPart> parts;
    std::vector<std::wstring> entries;
    report = CheckSuite(
        state.AppPath, state.SystemPath,
        [&](const std::wstring& entry) {
            if (parts.empty() && entries.empty() && entry == ReportSeparator)
                lead.push_back(entry);
            else
                entries.push_back(entry);
        },
        [&](const ClassFindings& findings) { parts.push_back({std::exchange(entries, {}), findings}); });
    // What is left is the check's closing line, which counts less than this command finds.
    return parts;
}

// The server that others than administrators can change, which creating the class would run elevated; "" when
// none.
std::wstring ChangeableServer(const ClassFindings& findings)
{
    for (const std::wstring& server : findings.servers) {
        if (ServerFolderDoubt(server).kind == FolderDoubt::Kind::Stranger)
            return server;
    }
    return L"";
}

// A program server that a creation started, for the note when it outlives its object.
struct Started {
    std::wstring progId;
    std::uint64_t released = 0;
};

// A program server left running, held with its note once it is still the file it was: its identifier may have
// passed to another process since the list was made. Of one that has ended meanwhile the note is all.
void HoldLeftProgram(const CreationPlatform::RunningProgram& running, const std::wstring& server,
                     const std::wstring& note, std::vector<UnseenProgram>& held, CommandLog& log)
{
    OwnedProcess process;
    std::wstring path;
    bool same = false;
    const long code = ProcessPlatform::OpenProgram(running.id, process, path);
    if (code == 0 && FilePlatform::SameFile(path, server, same) == 0 && same) {
        held.push_back({running.path, running.id, std::move(process), note});
        return;
    }
    log.AddMsg(note);
    if (code != 0 && code != WinCode::InvalidParameter)
        log.AddMsg(L"\tWARNING: " + ProcessNamed(running.path, running.id) + L", which nobody can see, cannot be closed: " +
                   WithoutFinalStop(FilePlatform::ErrorText(code)) + L".");
}

// The suite's programs that were not running before the first creation and still are 10 s after the last
// release of their objects: each gets a note, and is left as it is, or closed where nobody sees the desktop.
void NoteProgramsLeft(const std::set<std::uint32_t>& before, const std::map<std::wstring, Started>& programs,
                      bool unseen, CommandLog& log)
{
    if (programs.empty())
        return;
    std::uint64_t last = 0;
    for (const auto& [path, started] : programs)
        last = std::max(last, started.released);
    constexpr std::uint32_t PollMs = 250;
    std::vector<std::pair<CreationPlatform::RunningProgram, std::wstring>> left;
    for (;;) {
        left.clear();
        for (const CreationPlatform::RunningProgram& running : CreationPlatform::RunningPrograms()) {
            if (before.count(running.id) != 0)
                continue;
            for (const auto& [path, started] : programs) {
                bool same = false;
                if (FilePlatform::SameFile(running.path, path, same) == 0 && same)
                    left.push_back({running, path});
            }
        }
        if (left.empty() || SystemPlatform::Ticks() >= last + ProgramEndMs)
            break;
        SystemPlatform::Pause(PollMs);
    }
    // Apart from the last class's lines: the programs are no class's.
    std::vector<UnseenProgram> held;
    for (std::size_t i = 0; i < left.size(); ++i) {
        const auto& [running, server] = left[i];
        const std::wstring note = std::wstring(i == 0 ? L"\r\n" : L"") + L"\tNOTE: " +
                                  ProcessNamed(running.path, running.id) + L", which creating " +
                                  programs.at(server).progId + L" started, is still running " +
                                  std::to_wstring(ProgramEndMs / 1000) + L" s after its object was released" +
                                  (unseen ? L"." : L"; Tandrel leaves it alone.");
        if (unseen)
            HoldLeftProgram(running, server, note, held, log);
        else
            log.AddMsg(note);
    }
    CloseUnseenPrograms(held, L"", log);
}

std::wstring Disagreement(bool created, bool checkFound)
{
    if (created && checkFound)
        return L" (created, although the check found a problem)";
    if (!created && !checkFound)
        return L" (the check found nothing wrong)";
    return L"";
}

// The lines of one class after the check's: its creation, or why it was not created. True when it was created.
bool VerifyClass(const ClassPart& part, const std::wstring& refusal, Children& children,
                 std::map<std::wstring, Started>& programs, CommandLog& log)
{
    const ClassFindings& findings = part.findings;
    for (const std::wstring& entry : part.entries)
        log.AddMsg(entry);
    log.FlushLog();
    if (!refusal.empty()) {
        log.AddMsg(L"\tPROBLEM: " + findings.progId + L" was not created: its server " + refusal +
                   L" is in a folder that others can change.");
        return false;
    }
    Outcome outcome = children.Create(findings.progId);
    log.AddMsg((outcome.created ? L"\tCreated: OK"
                                : L"\tPROBLEM: " + findings.progId + L" cannot be created: " + outcome.failure) +
               (outcome.answered ? Disagreement(outcome.created, findings.problem) : L""));
    for (const std::wstring& server : findings.servers) {
        if (KindOf(server) == ComponentKind::Program)
            programs[server] = {findings.progId, SystemPlatform::Ticks()};
    }
    return outcome.created;
}

}  // namespace

CommandOutcome VerifySuiteCommand(const SuiteState& state, CommandLog& log)
{
    CheckReport report;
    std::vector<std::wstring> lead;
    std::vector<ClassPart> parts = CheckedClasses(state, report, lead);
    std::vector<std::wstring> creatable;
    std::vector<std::wstring> refusals(parts.size());
    for (std::size_t i = 0; i < parts.size(); ++i) {
        refusals[i] = ChangeableServer(parts[i].findings);
        if (refusals[i].empty())
            creatable.push_back(parts[i].findings.progId);
    }
    std::set<std::uint32_t> before;
    for (const CreationPlatform::RunningProgram& running : CreationPlatform::RunningPrograms())
        before.insert(running.id);

    for (const std::wstring& entry : lead)
        log.AddMsg(entry);
    Children children(creatable);
    const std::wstring notStarted = creatable.empty() ? L"" : children.Start();
    log.AddMsg(L"\r\nEach class is also created as a " + std::to_wstring(SystemPlatform::ProgramBits()) +
               L"-bit script or program creates it: CLSIDFromProgID, CoCreateInstance for IUnknown, QueryInterface "
               L"for IDispatch, in a child process " +
               (notStarted.empty() ? L"with " + children.TokenText() : L"that could not be started: " + notStarted) +
               L".");
    std::map<std::wstring, Started> programs;
    report.classes.clear();
    for (std::size_t i = 0; i < parts.size(); ++i) {
        bool created = VerifyClass(parts[i], refusals[i], children, programs, log);
        report.problems += created ? 0 : 1;
        if (!created || parts[i].findings.problem)
            report.classes.push_back(parts[i].findings.progId);
    }
    children.Finish();
    NoteProgramsLeft(before, programs, state.ProgramsUnseen, log);
    log.AddMsg(ProblemsLine(report.problems));
    log.FlushLog();
    CommandOutcome outcome;
    outcome.check = report;
    outcome.reason = ReasonOf(report);
    return outcome;
}
