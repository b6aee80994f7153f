#include "tests/fakes/FakeWindowSystem.h"

namespace {

std::string Name(WindowHandle window)
{
    return std::to_string(static_cast<std::uintptr_t>(window));
}

}  // namespace

FakeWindowSystem& FakeWindowSystem::Instance()
{
    static FakeWindowSystem system;
    return system;
}

namespace WindowPlatform {

WindowHandle ForegroundWindow()
{
    auto& system = FakeWindowSystem::Instance();
    system.calls.push_back("GetForegroundWindow");
    return system.foreground;
}

std::uint32_t WindowThread(WindowHandle window)
{
    auto& system = FakeWindowSystem::Instance();
    system.calls.push_back("GetWindowThreadProcessId " + Name(window));
    auto it = system.threads.find(window);
    return it == system.threads.end() ? 0 : it->second;
}

bool AttachInput(std::uint32_t fromThread, std::uint32_t toThread, bool attach)
{
    FakeWindowSystem::Instance().calls.push_back("AttachThreadInput " + std::to_string(fromThread) + " " +
                                                 std::to_string(toThread) + (attach ? " attach" : " detach"));
    return true;
}

bool SetForeground(WindowHandle window)
{
    auto& system = FakeWindowSystem::Instance();
    system.calls.push_back("SetForegroundWindow " + Name(window));
    if (system.setForegroundSucceeds)
        system.foreground = window;
    return system.setForegroundSucceeds;
}

bool IsMinimized(WindowHandle window)
{
    auto& system = FakeWindowSystem::Instance();
    system.calls.push_back("IsIconic " + Name(window));
    return system.minimized[window];
}

bool Show(WindowHandle window, int showCommand)
{
    FakeWindowSystem::Instance().calls.push_back("ShowWindow " + Name(window) + " " + std::to_string(showCommand));
    return true;
}

void Focus(WindowHandle window)
{
    FakeWindowSystem::Instance().calls.push_back("SetFocus " + Name(window));
}

void SetScreenPointer(int pointer)
{
    auto& system = FakeWindowSystem::Instance();
    system.calls.push_back("ScreenPointer " + std::to_string(pointer));
    system.screenPointer = pointer;
}

int ShowPointer(int pointer)
{
    return FakeWindowSystem::Instance().screenPointer == HourglassPointer ? HourglassPointer : pointer;
}

}  // namespace WindowPlatform
