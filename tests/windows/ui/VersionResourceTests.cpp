#include <gtest/gtest.h>

#include <vector>

#include "tests/windows/ui/UiAutomation.h"

namespace {

std::string VersionString(const std::vector<char>& block, const char* name)
{
    char* value = nullptr;
    UINT length = 0;
    std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) || !value)
        return "(missing)";
    return value;
}

TEST(TandrelExecutable, EachProgramCarriesItsVersionResourceUnderItsOwnFileName)
{
    for (const char* program : {"Tandrel.exe", "Tandrel.com"}) {
        SCOPED_TRACE(program);
        std::string exe = UiAutomation::OwnFolder() + program;
        DWORD size = GetFileVersionInfoSizeA(exe.c_str(), nullptr);
        ASSERT_GT(size, 0u);
        std::vector<char> block(size);
        ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, size, block.data()));
        EXPECT_EQ(VersionString(block, "FileVersion"), "3.06");
        EXPECT_EQ(VersionString(block, "ProductVersion"), "3.06");
        EXPECT_EQ(VersionString(block, "ProductName"), "Tandrel");
        EXPECT_EQ(VersionString(block, "InternalName"), "Tandrel");
        EXPECT_EQ(VersionString(block, "OriginalFilename"), program);
    }
}

TEST(TandrelExecutable, CarriesASmallIconForItsWindow)
{
    std::string exe = UiAutomation::OwnFolder() + "Tandrel.exe";
    HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    HICON icon = static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(1), IMAGE_ICON, 16, 16, 0));
    ASSERT_NE(icon, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP bitmap{};
    GetObjectA(info.hbmColor, sizeof bitmap, &bitmap);
    EXPECT_EQ(bitmap.bmWidth, 16);
    EXPECT_EQ(bitmap.bmHeight, 16);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
    FreeLibrary(module);
}

TEST(TandrelExecutable, AsksForElevationInItsManifest)
{
    std::string exe = UiAutomation::OwnFolder() + "Tandrel.exe";
    HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(found, nullptr);
    const char* text = static_cast<const char*>(LockResource(LoadResource(module, found)));
    std::string manifest(text, SizeofResource(module, found));
    FreeLibrary(module);
    EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos);
    EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(manifest.find("<dpiAware"), std::string::npos);
}

}  // namespace
