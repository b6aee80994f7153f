// Delete through the real window: the question, the answer, and a registry
// that afterwards lacks exactly the trees the log names.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <algorithm>
#include <set>

#include "tests/windows/ui/UiAutomation.h"

namespace {

using UiAutomation::TandrelProcess;

const char Fixture[] = "suite-deep.reg";

std::set<std::wstring> ToSet(const std::vector<std::wstring>& keys)
{
    return {keys.begin(), keys.end()};
}

// The trees that the log's "Deleted <name>" entries name, as lower-case paths.
std::vector<std::wstring> DeletedRoots(const std::wstring& log)
{
    std::vector<std::wstring> roots;
    const std::wstring marker = L"\tDeleted ";
    for (std::size_t pos = 0; (pos = log.find(marker, pos)) != std::wstring::npos;) {
        std::size_t start = pos + marker.size();
        std::size_t end = log.find(L"\r\n", start);
        std::wstring name = log.substr(start, end - start);
        CharLowerBuffW(name.data(), static_cast<DWORD>(name.size()));
        // Type libraries and ProgIDs are one key shared by both registry
        // views, so they also show (and go) below Wow6432Node; class keys
        // are not shared, and the 32-bit view's must stay.
        for (const wchar_t* parent :
             {L"software\\classes\\typelib\\", L"software\\classes\\clsid\\", L"software\\classes\\",
              L"software\\classes\\wow6432node\\typelib\\", L"software\\classes\\wow6432node\\",
              L"software\\wow6432node\\classes\\typelib\\", L"software\\wow6432node\\classes\\"})
            roots.push_back(parent + name);
        pos = end;
    }
    return roots;
}

bool Under(const std::wstring& key, const std::vector<std::wstring>& roots)
{
    return std::any_of(roots.begin(), roots.end(), [&key](const std::wstring& root) {
        return key == root || key.rfind(root + L"\\", 0) == 0;
    });
}

class DeleteWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        UiAutomation::SetVestrelAppPath(0, "");
        UiAutomation::RemoveFixtureKeys(Fixture);
        ASSERT_TRUE(UiAutomation::ImportFixture(Fixture));
        ASSERT_TRUE(tandrel.Start());
        ASSERT_TRUE(tandrel.ClickAndWait(102));
        loaded = tandrel.LogText();
    }
    void TearDown() override
    {
        tandrel.Kill();
        UiAutomation::RemoveFixtureKeys(Fixture);
    }

    // Clicks Delete, checks the question and gives `answer`.
    void DeleteAnswering(int answer)
    {
        tandrel.Click(103);
        auto box = tandrel.WaitMessageBox();
        ASSERT_TRUE(box.has_value());
        EXPECT_EQ(box->caption, L"Tandrel");
        EXPECT_EQ(box->prompt, L"Are you sure you want to delete registry entries for Vestrel Classes");
        EXPECT_EQ(box->buttons, (std::vector<std::wstring>{L"&Yes", L"&No"}));
        EXPECT_TRUE(box->hasQuestionIcon);
        // Yes is the default button.
        LONG yesStyle = GetWindowLongA(GetDlgItem(box->window, IDYES), GWL_STYLE);
        EXPECT_EQ(yesStyle & BS_TYPEMASK, BS_DEFPUSHBUTTON);
        TandrelProcess::Answer(box->window, answer);
        ASSERT_TRUE(UiAutomation::WaitGone(box->window));
        ASSERT_TRUE(tandrel.WaitIdle());
    }

    TandrelProcess tandrel;
    std::wstring loaded;
};

TEST_F(DeleteWindow, AnsweringNoLeavesLogAndRegistryAsTheyWere)
{
    auto before64 = UiAutomation::ExportMachineKeys(false);
    DeleteAnswering(IDNO);
    EXPECT_EQ(tandrel.LogText(), loaded);
    EXPECT_EQ(UiAutomation::ExportMachineKeys(false), before64);
}

TEST_F(DeleteWindow, AnsweringYesRemovesExactlyTheTreesItReports)
{
    auto before64 = ToSet(UiAutomation::ExportMachineKeys(false));
    auto before32 = ToSet(UiAutomation::ExportMachineKeys(true));
    DeleteAnswering(IDYES);
    std::wstring log = tandrel.LogText();
    EXPECT_EQ(log, loaded + UiAutomation::FixtureText("suite-deep-delete.txt"));

    auto roots = DeletedRoots(log.substr(loaded.size()));
    for (bool view32 : {false, true}) {
        SCOPED_TRACE(view32 ? "32-bit view" : "64-bit view");
        const auto& before = view32 ? before32 : before64;
        auto after = ToSet(UiAutomation::ExportMachineKeys(view32));
        std::size_t classKeysRemoved = 0;
        for (const auto& key : before) {
            bool gone = after.count(key) == 0;
            EXPECT_EQ(gone, Under(key, roots)) << "key: " << std::string(key.begin(), key.end());
            if (gone && key.rfind(L"software\\classes\\clsid\\", 0) == 0)
                ++classKeysRemoved;
        }
        for (const auto& key : after)
            EXPECT_EQ(before.count(key), 1u) << "new key: " << std::string(key.begin(), key.end());
        // 15 class keys, each with 4 subkeys and a chain 6 levels deep; the
        // 32-bit view has class keys of its own, which stay.
        EXPECT_EQ(classKeysRemoved, view32 ? 0u : 15u * 11u);
        if (!view32) {
            EXPECT_EQ(after.count(L"software\\classes\\vestrel.other"), 1u);
            EXPECT_EQ(after.count(L"software\\classes\\typelib\\{e4f2ffff-6c3b-4d8e-9fa0-00000000ffff}\\1.0"), 1u);
        }
    }
}

}  // namespace
