#include <gtest/gtest.h>

#include "tests/common/RegistryViews.h"

namespace {

using RegistryViews::Bitness;

// Which spellings of a deleted class key a whole-view export must lack
// afterwards: a program removes its own view's class key and never the other's.
TEST(RegistryViews, DeleteReachesTheProgramsOwnClassKeysAndTheSharedKeysInEveryView)
{
    const std::wstring log = L"\r\nDeleting CLSID Entries for the Class: A.b\r\n\tDeleted {0A-Id}\r\n";
    const std::wstring plain = L"software\\classes\\clsid\\{0a-id}\\inprocserver32";
    const std::wstring redirected = L"software\\classes\\wow6432node\\clsid\\{0a-id}";
    const std::wstring viaSoftware = L"software\\wow6432node\\classes\\clsid\\{0a-id}\\progid";
    struct Case {
        Bitness program;
        bool prefixIs64Bit;
        bool view32;
        bool plainGoes, redirectedGoes, viaSoftwareGoes;
        const wchar_t* ownFolder;  // where that view keeps them, "" when it shows none
    };
    const Case cases[] = {
        {Bitness::Bits64, true, false, true, false, false, L"software\\classes\\clsid\\"},
        {Bitness::Bits64, true, true, false, false, false, L""},
        {Bitness::Bits32, true, false, false, true, true, L"software\\classes\\wow6432node\\clsid\\"},
        {Bitness::Bits32, true, true, true, true, true, L"software\\classes\\clsid\\"},
        {Bitness::Bits32, false, false, true, false, false, L"software\\classes\\clsid\\"},
        {Bitness::Bits32, false, true, true, false, false, L"software\\classes\\clsid\\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.program == Bitness::Bits32 ? "32" : "64") << "-bit program, "
                                        << (c.prefixIs64Bit ? "64" : "32") << "-bit prefix, "
                                        << (c.view32 ? "32" : "64") << "-bit view");
        RegistryViews::Setting setting{c.program, c.prefixIs64Bit};
        auto roots = RegistryViews::DeletedRoots(log, setting, c.view32);
        EXPECT_EQ(RegistryViews::Under(plain, roots), c.plainGoes);
        EXPECT_EQ(RegistryViews::Under(redirected, roots), c.redirectedGoes);
        EXPECT_EQ(RegistryViews::Under(viaSoftware, roots), c.viaSoftwareGoes);
        // Shared keys go in every view; a sibling that only starts alike stays.
        EXPECT_TRUE(RegistryViews::Under(L"software\\classes\\typelib\\{0a-id}\\1.0", roots));
        EXPECT_TRUE(RegistryViews::Under(L"software\\classes\\wow6432node\\typelib\\{0a-id}", roots));
        EXPECT_FALSE(RegistryViews::Under(L"software\\classes\\clsid\\{0a-id}x", roots));
        EXPECT_FALSE(RegistryViews::Under(L"software\\classes\\clsid", roots));

        auto folders = RegistryViews::ClassKeyFolders(setting, c.view32);
        EXPECT_EQ(folders.empty() ? L"" : folders.front(), std::wstring(c.ownFolder));
    }
}

}  // namespace
