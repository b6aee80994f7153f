#include <gtest/gtest.h>

#include <functional>

#include "tests/fakes/FakeSystem.h"
#include "helpers/RunLock.h"

namespace {

// Who made the lock decides whether a run may take it, and every outcome but a plain take says so in one line.
TEST(RunLock, EachOutcomeAndItsLineFollowFromWhatIsAtTheLocksName)
{
    const Account mallory{L"S-1-5-21-9-9-9-1001", L"WORKSTATION7\\mallory"};
    struct Row {
        const char* situation;
        std::function<void(FakeSystem&)> arrange;
        RunLock::Outcome outcome;
        const wchar_t* message;
    };
    using enum RunLock::Outcome;
    const Row rows[] = {
        {"nothing there", [](FakeSystem&) {}, Taken, L""},
        {"another run holds it", [](FakeSystem& s) { s.runLockHeldElsewhere = true; }, Held,
         L"Another Tandrel run is in progress on this computer; nothing was done."},
        {"its last holder ended without letting go", [](FakeSystem& s) { s.runLockAbandoned = true; }, TakenOver,
         L"The last Tandrel run on this computer ended before it finished."},
        {"made by SYSTEM", [](FakeSystem& s) { s.runLockOwner = {L"S-1-5-18", L"NT AUTHORITY\\SYSTEM"}; }, Taken, L""},
        {"made by this account", [](FakeSystem& s) { s.runLockOwner = {s.accountSid, L"CONTOSO7\\admin"}; }, Taken,
         L""},
        {"made by the owner of what this process makes",
         [](FakeSystem& s) { s.runLockOwner = {s.defaultOwnerSid, L"CONTOSO7\\Domain Users"}; }, Taken, L""},
        {"made by another account", [&](FakeSystem& s) { s.runLockOwner = mallory; }, Refused,
         L"ERROR: The run lock Tandrel\\RunLock was made by WORKSTATION7\\mallory, not by an administrator; nothing "
         L"was done."},
        {"held by another account", [&](FakeSystem& s) {
             s.runLockOwner = mallory;
             s.runLockHeldElsewhere = true;
         }, Refused,
         L"ERROR: The run lock Tandrel\\RunLock was made by WORKSTATION7\\mallory, not by an administrator; nothing "
         L"was done."},
        {"shut to this account, maker unknown", [](FakeSystem& s) { s.runLockError = 5; }, Refused,
         L"ERROR: The run lock Tandrel\\RunLock was made by an account that lets no administrator read who made it, "
         L"not by an administrator; nothing was done."},
        {"another kind of object, where private namespaces are missing", [&](FakeSystem& s) {
             s.privateNamespaces = false;
             s.runLockKind = L"an event";
             s.runLockOwner = mallory;
         }, Failed,
         L"ERROR: The run lock Global\\Tandrel.RunLock cannot be taken: an event of that name is there, made by "
         L"WORKSTATION7\\mallory. Nothing was done."},
        {"another kind of object whose maker has no name", [](FakeSystem& s) {
             s.runLockKind = L"a section";
             s.runLockOwner = {L"S-1-5-21-9-9-9-1002", L""};
         }, Failed,
         L"ERROR: The run lock Tandrel\\RunLock cannot be taken: a section of that name is there, made by "
         L"S-1-5-21-9-9-9-1002. Nothing was done."},
        {"a failure the system has no text for", [](FakeSystem& s) { s.runLockError = 1450; }, Failed,
         L"ERROR: The run lock Tandrel\\RunLock cannot be taken: Windows error 1450. Nothing was done."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.situation);
        FakeSystem::Instance().Reset();
        row.arrange(FakeSystem::Instance());
        std::wstring message = L"stale";
        {
            RunLock lock;
            EXPECT_EQ(lock.Take(message), row.outcome);
            EXPECT_EQ(message, row.message);
            bool holds = row.outcome == Taken || row.outcome == TakenOver;
            EXPECT_EQ(FakeSystem::Instance().runLockHeld, holds);
        }
        EXPECT_FALSE(FakeSystem::Instance().runLockHeld);
    }
}

// Taken again inside a run that holds it, the lock is held, not taken a second time.
TEST(RunLock, ASecondTakeInsideTheRunHoldsWithoutTakingAgain)
{
    FakeSystem::Instance().Reset();
    std::wstring message;
    RunLock outer;
    ASSERT_EQ(outer.Take(message), RunLock::Outcome::Taken);
    {
        RunLock inner;
        EXPECT_EQ(inner.Take(message), RunLock::Outcome::Taken);
        EXPECT_EQ(inner.Take(message), RunLock::Outcome::Taken);
    }
    EXPECT_EQ(FakeSystem::Instance().runLocksTaken, 1);
    EXPECT_TRUE(FakeSystem::Instance().runLockHeld);
}

}  // namespace
