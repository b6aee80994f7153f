#include <gtest/gtest.h>

#include "helpers/Foreground.h"
#include "tests/fakes/FakeWindowSystem.h"

namespace {

const WindowHandle Form{0x40};
const WindowHandle Other{0x50};

class ForegroundTest : public ::testing::Test {
protected:
    FakeWindowSystem& windows = FakeWindowSystem::Instance();
    void SetUp() override
    {
        windows.Reset();
        windows.threads[Form] = 7;
    }
};

TEST_F(ForegroundTest, AWindowAlreadyInFrontIsLeftAsItIsEvenMinimized)
{
    windows.foreground = Form;
    windows.minimized[Form] = true;
    EXPECT_TRUE(ForceForeground(Form));
    EXPECT_EQ(windows.calls, std::vector<std::string>{"GetForegroundWindow"});
}

TEST_F(ForegroundTest, AnotherWindowOfTheSameThreadNeedsNoAttachedInput)
{
    windows.foreground = Other;
    windows.threads[Other] = 7;
    EXPECT_TRUE(ForceForeground(Form));
    EXPECT_EQ(windows.calls, (std::vector<std::string>{"GetForegroundWindow", "GetForegroundWindow",
                                                       "GetWindowThreadProcessId 80", "GetWindowThreadProcessId 64",
                                                       "SetForegroundWindow 64", "IsIconic 64", "ShowWindow 64 5"}));
}

TEST_F(ForegroundTest, AWindowOfAnotherThreadIsBroughtForwardWithInputAttachedForTheOneCall)
{
    windows.foreground = Other;
    windows.threads[Other] = 9;
    windows.minimized[Form] = true;
    windows.setForegroundSucceeds = false;
    EXPECT_FALSE(ForceForeground(Form));
    // Restored and detached all the same.
    EXPECT_EQ(windows.calls,
              (std::vector<std::string>{"GetForegroundWindow", "GetForegroundWindow", "GetWindowThreadProcessId 80",
                                        "GetWindowThreadProcessId 64", "AttachThreadInput 9 7 attach",
                                        "SetForegroundWindow 64", "AttachThreadInput 9 7 detach", "IsIconic 64",
                                        "ShowWindow 64 9"}));
}

struct RecordingForm : PointerOwner {
    void SetMousePointer(int pointer) override { pointers.push_back(pointer); }
    std::vector<int> pointers;
};

TEST_F(ForegroundTest, ThePointerChangesOnTheFormGivenOrElseOnTheScreen)
{
    RecordingForm form;
    ShowBusyCursor(nullptr);
    EXPECT_EQ(windows.screenPointer, HourglassPointer);
    EXPECT_TRUE(form.pointers.empty());
    ShowDefaultCursor(nullptr);
    EXPECT_EQ(windows.screenPointer, DefaultPointer);

    ShowBusyCursor(&form);
    ShowBusyCursor(&form);
    ShowDefaultCursor(&form);
    EXPECT_EQ(form.pointers, (std::vector<int>{HourglassPointer, HourglassPointer, DefaultPointer}));
    EXPECT_EQ(windows.calls, (std::vector<std::string>{"ScreenPointer 11", "ScreenPointer 0"}));
}

}  // namespace
