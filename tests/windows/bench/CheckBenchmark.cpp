// /check of the healthy suite, every server file read and its imports
// resolved, against /load of the same suite: whole runs of Tandrel.exe,
// alternated, the median of each.
//   tandrel_bench_check.exe [RUNS]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/windows/ui/UiAutomation.h"

namespace {

using Clock = std::chrono::steady_clock;

const char* const Files[] = {"Glimmet.ocx", "Daskel.dll",  "Wrenna.dll",  "Corvane.exe", "Sulvary.exe",
                             "Brenlow.exe", "Ladrisk.exe", "Omberly.exe", "Vestrel.exe"};
const std::string InstallDir = "C:\\Program Files\\Vestrel\\";

std::string SystemDir()
{
    char path[MAX_PATH] = {};
    GetSystemDirectoryA(path, MAX_PATH);
    return std::string(path) + "\\";
}

std::string Where(const std::string& file)
{
    return (file.ends_with(".exe") ? InstallDir : SystemDir()) + file;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::string tandrel = "\"" + UiAutomation::OwnFolder() + "Tandrel.exe\"";
    // Each run's report is collected and dropped: only the table is printed.
    std::string output;
    auto run = [&](const std::string& switches) { return UiAutomation::RunAndWait(tandrel + switches, 60000, nullptr, &output); };
    CreateDirectoryA("C:\\Program Files", nullptr);
    CreateDirectoryA(InstallDir.c_str(), nullptr);
    for (const char* file : Files)
        CopyFileA((UiAutomation::OwnFolder() + "suite\\" + file).c_str(), Where(file).c_str(), FALSE);
    UiAutomation::SetVestrelAppPath(REG_SZ, InstallDir + "Vestrel.exe");
    run(" /create");
    // The suite's programs register side by side after Create returns.
    int healthy = 1;
    for (auto start = Clock::now(); healthy != 0 && Clock::now() - start < std::chrono::seconds(30); Sleep(200))
        healthy = run(" /check");
    if (healthy != 0) {
        std::printf("The suite did not register: /check exits %d\n", healthy);
        return 1;
    }

    std::vector<double> load, check;
    for (int i = 0; i < runs; ++i) {
        for (auto [switchName, times] : {std::pair{" /load", &load}, std::pair{" /check", &check}}) {
            auto start = Clock::now();
            int code = run(switchName);
            times->push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            if (code != 0) {
                std::printf("%s exits %d\n", switchName, code);
                return 1;
            }
        }
    }
    std::printf("%-8s %12s %12s\n", "runs", "/load (ms)", "/check (ms)");
    for (int i = 0; i < runs; ++i)
        std::printf("%-8d %12.1f %12.1f\n", i + 1, load[i], check[i]);
    std::printf("median   %12.1f %12.1f   /check is %.2fx /load\n", Median(load), Median(check),
                Median(check) / Median(load));

    const std::string backup = UiAutomation::OwnFolder() + "bench-check.reg";
    run(" /delete /yes /backup \"" + backup + "\"");
    DeleteFileA(backup.c_str());
    for (const char* file : Files)
        DeleteFileA(Where(file).c_str());
    UiAutomation::SetVestrelAppPath(0, "");
    return 0;
}
