#include "commands/UnseenPrograms.h"

#include "platform/FilePlatform.h"
#include "platform/Sentence.h"

void CloseUnseenProgram(const std::wstring& path, std::uint32_t id, ProcessHandle process, CommandLog& log)
{
    const std::wstring named = path + L" (process " + std::to_wstring(id) + L")";
    // A program without a window still gets its time: one that has just registered may be ending by itself, and
    // ending it then could cut its registration short.
    const bool windows = ProcessPlatform::PostClose(id) > 0;
    if (ProcessPlatform::WaitForEnd(process, CloseLimitMs)) {
        log.AddMsg(windows ? L"\tClosed " + named + L", which nobody can see." : L"\t" + named + L" ended by itself.");
        return;
    }
    const std::wstring why = (windows ? L"it did not close within " : L"it has no window to close, and did not end within ") +
                             std::to_wstring(CloseLimitMs / 1000) + L" s";
    const long code = ProcessPlatform::EndProgram(process);
    log.AddMsg(code == 0 ? L"\tEnded " + named + L", which nobody can see: " + why + L"."
                         : L"\tWARNING: " + named + L", which nobody can see, cannot be ended (" + why + L"): " +
                               WithoutFinalStop(FilePlatform::ErrorText(code)) + L".");
}
