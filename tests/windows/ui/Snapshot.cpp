// Saves what a running Tandrel window shows: its log text and a screenshot,
// then closes it. Used where there is no display to look at.
//   tandrel_snapshot.exe FOLDER [load]
#include <cstdio>
#include <string>

#include "tests/windows/ui/UiAutomation.h"

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: tandrel_snapshot FOLDER [load]\n");
        return 2;
    }
    std::string folder = std::string(argv[1]) + "\\";
    UiAutomation::TandrelProcess tandrel;
    if (!tandrel.Start()) {
        std::fprintf(stderr, "Tandrel's window did not appear\n");
        return 1;
    }
    if (argc > 2 && std::string(argv[2]) == "load")
        tandrel.ClickAndWait(102);

    std::wstring log = tandrel.LogText();
    int size = WideCharToMultiByte(CP_UTF8, 0, log.c_str(), static_cast<int>(log.size()), nullptr, 0, nullptr,
                                   nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, log.c_str(), static_cast<int>(log.size()), utf8.data(), size, nullptr, nullptr);
    if (FILE* file = std::fopen((folder + "log.txt").c_str(), "wb")) {
        std::fwrite(utf8.data(), 1, utf8.size(), file);
        std::fclose(file);
    }
    std::wstring shot(folder.begin(), folder.end());
    bool saved = UiAutomation::SaveScreenshot(tandrel.Window(), shot + L"tandrel.png");
    tandrel.Click(105);
    tandrel.WaitExit();
    return saved ? 0 : 1;
}
