// Load through the real window, on a registry imported from a fixture.
#include <gtest/gtest.h>

#include "tests/windows/ui/UiAutomation.h"

namespace {

using UiAutomation::TandrelProcess;

class LoadWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        UiAutomation::SetVestrelAppPath(0, "");
        UiAutomation::RemoveFixtureKeys("suite-mixed.reg");
    }
    void TearDown() override
    {
        tandrel.Kill();
        UiAutomation::RemoveFixtureKeys("suite-mixed.reg");
    }

    TandrelProcess tandrel;
};

TEST_F(LoadWindow, PrintsEveryShapeOfRegistrationAndThenEnablesDelete)
{
    ASSERT_TRUE(UiAutomation::ImportFixture("suite-mixed.reg"));
    ASSERT_TRUE(tandrel.Start());
    EXPECT_FALSE(IsWindowEnabled(tandrel.Control(103)));

    ASSERT_TRUE(tandrel.ClickAndWait(102));
    std::wstring expected = L"Vestrel Path: \r\n" + UiAutomation::FixtureText("suite-mixed-load.txt");
    EXPECT_EQ(tandrel.LogText(), expected);
    EXPECT_TRUE(IsWindowEnabled(tandrel.Control(103)));
    auto selection = tandrel.LogSelection();
    EXPECT_EQ(selection.first, expected.size());

    // A second Load appends a second, identical report.
    ASSERT_TRUE(tandrel.ClickAndWait(102));
    EXPECT_EQ(tandrel.LogText(), expected + UiAutomation::FixtureText("suite-mixed-load.txt"));
}

}  // namespace
