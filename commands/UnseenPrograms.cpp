#include "commands/UnseenPrograms.h"

#include "platform/FilePlatform.h"
#include "platform/Sentence.h"

void CloseUnseenProgram(const std::wstring& path, std::uint32_t id, ProcessHandle process, CommandLog& log)
{
    const std::wstring named = path + L" (process " + std::to_wstring(id) + L")";
    std::wstring why;
    if (ProcessPlatform::PostClose(id) == 0)
        why = L"it has no window to close";
    else if (ProcessPlatform::WaitForEnd(process, CloseLimitMs)) {
        log.AddMsg(L"\tClosed " + named + L", which nobody can see.");
        return;
    } else
        why = L"it did not close within " + std::to_wstring(CloseLimitMs / 1000) + L" s";
    const long code = ProcessPlatform::EndProgram(process);
    log.AddMsg(code == 0 ? L"\tEnded " + named + L", which nobody can see: " + why + L"."
                         : L"\tWARNING: " + named + L", which nobody can see, cannot be ended (" + why + L"): " +
                               WithoutFinalStop(FilePlatform::ErrorText(code)) + L".");
}
