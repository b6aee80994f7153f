#include "commands/UnseenPrograms.h"

#include <utility>

#include "platform/FilePlatform.h"
#include "platform/Sentence.h"
#include "platform/SystemPlatform.h"

std::wstring ProcessNamed(const std::wstring& path, std::uint32_t id)
{
    return path + L" (process " + std::to_wstring(id) + L")";
}

void CloseUnseenPrograms(std::vector<UnseenProgram>& programs, const std::wstring& lead, CommandLog& log)
{
    bool first = true;
    auto add = [&](const std::wstring& line) {
        if (std::exchange(first, false) && !lead.empty())
            log.AddMsg(lead);
        log.AddMsg(line);
    };
    std::vector<bool> windows;
    for (const UnseenProgram& program : programs)
        windows.push_back(ProcessPlatform::PostClose(program.id) > 0);
    // All are asked first, so that their 10 s run side by side. A program without a window still gets its time:
    // one that has just registered may be ending by itself, and ending it then could cut its registration short.
    const std::uint64_t deadline = SystemPlatform::Ticks() + CloseLimitMs;
    for (std::size_t i = 0; i < programs.size(); ++i) {
        const UnseenProgram& program = programs[i];
        const std::wstring named = ProcessNamed(program.path, program.id);
        const std::uint64_t now = SystemPlatform::Ticks();
        const bool ended = ProcessPlatform::WaitForEnd(program.process.get(),
                                                       static_cast<std::uint32_t>(deadline > now ? deadline - now : 0));
        if (ended && !windows[i] && program.note.empty())
            continue;
        if (!program.note.empty())
            add(program.note);
        if (ended) {
            add(windows[i] ? L"\tClosed " + named + L", which nobody can see." : L"\t" + named + L" ended by itself.");
            continue;
        }
        const std::wstring why =
            (windows[i] ? L"it did not close within " : L"it has no window to close, and did not end within ") +
            std::to_wstring(CloseLimitMs / 1000) + L" s";
        const long code = ProcessPlatform::EndProgram(program.process.get());
        add(code == 0 ? L"\tEnded " + named + L", which nobody can see: " + why + L"."
                             : L"\tWARNING: " + named + L", which nobody can see, cannot be ended (" + why + L"): " +
                                   WithoutFinalStop(FilePlatform::ErrorText(code)) + L".");
    }
    log.FlushLog();
}
