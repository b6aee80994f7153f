// Deleting one tree of 10,000 keys with DeleteRegKeyTree against the system's
// RegDeleteTreeA on an identical tree, alternating, in one run.
//   tandrel_bench_delete.exe [rounds]
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "registry/RegFuncs.h"

namespace {

using Clock = std::chrono::steady_clock;

const char Parent[] = "Software\\TandrelBench";

// 10 x 10 x 99 leaves plus the 110 keys above them: 10,000 keys.
int BuildTree(const std::string& name)
{
    int keys = 0;
    HKEY root = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(Parent) + "\\" + name).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &root, nullptr);
    for (int a = 0; a < 10; ++a) {
        for (int b = 0; b < 10; ++b) {
            for (int c = 0; c < 99; ++c) {
                HKEY key = nullptr;
                std::string path = "Branch" + std::to_string(a) + "\\Twig" + std::to_string(b) + "\\Leaf" +
                                   std::to_string(c);
                if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
                    ERROR_SUCCESS) {
                    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>("value"), 6);
                    RegCloseKey(key);
                    ++keys;
                }
            }
        }
    }
    RegCloseKey(root);
    return keys + 10 * 10 + 10 + 1;
}

double Seconds(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv)
{
    int rounds = argc > 1 ? std::atoi(argv[1]) : 3;
    HKEY parent = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, Parent, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &parent, nullptr);
    RegKey parentKey = RegKey::None;
    if (!OpenRegKey(RegKey::LocalMachine, L"Software\\TandrelBench", parentKey))
        return 1;

    std::printf("| round | keys | DeleteRegKeyTree (s) | RegDeleteTreeA (s) | ratio |\n|---:|---:|---:|---:|---:|\n");
    double ownTotal = 0;
    double systemTotal = 0;
    int status = 0;
    for (int round = 1; round <= rounds; ++round) {
        int keys = BuildTree("Own");
        BuildTree("System");

        auto start = Clock::now();
        bool ownDeleted = DeleteRegKeyTree(parentKey, L"Own");
        double own = Seconds(start);

        start = Clock::now();
        LONG systemCode = RegDeleteTreeA(parent, "System");
        double system = Seconds(start);

        if (!ownDeleted || systemCode != ERROR_SUCCESS)
            status = 1;
        ownTotal += own;
        systemTotal += system;
        std::printf("| %d | %d | %.2f | %.2f | %.2f |\n", round, keys, own, system, own / system);
        std::fflush(stdout);
    }
    std::printf("| all | | %.2f | %.2f | %.2f |\n", ownTotal, systemTotal, ownTotal / systemTotal);
    CloseRegKey(parentKey);
    RegCloseKey(parent);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, Parent);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, Parent);
    return status;
}
