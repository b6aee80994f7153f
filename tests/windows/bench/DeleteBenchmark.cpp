// Deleting one tree of 10,000 keys with DeleteRegKeyTree against the system's
// RegDeleteTreeA on an identical tree built in the same round, the two taking
// turns at going first; the medians of the rounds. With "backup",
// Delete's backup of a tree of 20,000 keys (read with every key held open,
// format, write) and then its deletion through the held keys, against the
// deletion alone by name.
//   tandrel_bench_delete.exe [backup] [rounds]
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "helpers/OutputFile.h"
#include "registry/RegFile.h"
#include "registry/RegFuncs.h"
#include "registry/RegTreeRead.h"
#include "tests/windows/bench/BenchStats.h"

namespace {

using BenchStats::Clock;
using BenchStats::Seconds;

const char Parent[] = "Software\\TandrelBench";

// 10 x twigs x 99 leaves plus the keys above them: 10,011 keys for 10 twigs.
int BuildTree(const std::string& name, int twigs = 10)
{
    int keys = 0;
    HKEY root = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(Parent) + "\\" + name).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &root, nullptr);
    for (int a = 0; a < 10; ++a) {
        for (int b = 0; b < twigs; ++b) {
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
    return keys + 10 * twigs + 10 + 1;
}

}  // namespace

// Each part of a Delete with its backup, on one tree, against the deletion of
// an identical tree alone, which goes first in even rounds.
int BackupRounds(RegKey parentKey, int rounds)
{
    std::printf("| round | keys | read (s) | format (s) | write (s) | delete (s) | with backup (s) | "
                "delete alone (s) | ratio |\n|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    std::vector<BenchStats::Series> columns = {{"read (s)", {}},       {"format (s)", {}},
                                               {"write (s)", {}},      {"delete (s)", {}},
                                               {"with backup (s)", {}}, {"delete alone (s)", {}},
                                               {"with backup / delete alone", {}}};
    int status = 0;
    for (int round = 1; round <= rounds; ++round) {
        int keys = BuildTree("Backed", 20);
        BuildTree("Alone", 20);
        bool alone = false;
        double aloneTime = 0;
        auto deleteAlone = [&] {
            auto start = Clock::now();
            alone = DeleteRegKeyTree(parentKey, L"Alone");
            aloneTime = Seconds(start);
        };
        if (round % 2 == 0)
            deleteAlone();
        auto start = Clock::now();
        std::vector<RegKeyData> tree;
        HeldRegTree held;
        long read = held.Read(parentKey, L"Backed", tree);
        double reading = Seconds(start);
        start = Clock::now();
        bool holdable = true;
        for (const RegKeyData& key : tree)
            holdable = holdable && CannotHold(key).empty();
        std::string bytes = EncodeUtf16File(FormatRegFile(tree));
        double formatting = Seconds(start);
        start = Clock::now();
        OutputFile file;
        std::wstring error;
        bool written = file.Open(L"bench-backup.reg", error) && file.Write(bytes) == 0 && file.Flush() == 0;
        double writing = Seconds(start);
        start = Clock::now();
        std::vector<std::wstring> changed;
        bool deleted = held.Delete(changed);
        double deleting = Seconds(start);
        if (round % 2 == 1)
            deleteAlone();
        if (read != 0 || static_cast<int>(tree.size()) != keys || !holdable || !written || !deleted || !alone)
            status = 1;
        double with = reading + formatting + writing + deleting;
        double figures[] = {reading, formatting, writing, deleting, with, aloneTime, with / aloneTime};
        std::printf("| %d | %d |", round, keys);
        for (std::size_t i = 0; i < columns.size(); ++i) {
            columns[i].values.push_back(figures[i]);
            std::printf(" %.2f |", figures[i]);
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    BenchStats::PrintSummaryRows(columns, 1);
    std::printf("\n");
    BenchStats::PrintMedianLine(columns.back());
    DeleteFileA("bench-backup.reg");
    return status;
}

// Both trees of a round are built before either is deleted; odd rounds
// build and delete DeleteRegKeyTree's first, even rounds RegDeleteTreeA's.
int DeleteRounds(HKEY parent, RegKey parentKey, int rounds)
{
    std::printf("DeleteRegKeyTree: Delete's deletion of a tree by name, on one tree.\n"
                "RegDeleteTreeA: the system's, on an identical tree. Ratio: the first over the second, per round.\n\n"
                "| round | keys | DeleteRegKeyTree (s) | RegDeleteTreeA (s) | ratio |\n|---:|---:|---:|---:|---:|\n");
    std::vector<BenchStats::Series> columns = {
        {"DeleteRegKeyTree (s)", {}}, {"RegDeleteTreeA (s)", {}}, {"DeleteRegKeyTree / RegDeleteTreeA", {}}};
    int status = 0;
    for (int round = 1; round <= rounds; ++round) {
        bool ownFirst = round % 2 == 1;
        int keys = BuildTree(ownFirst ? "Own" : "System");
        BuildTree(ownFirst ? "System" : "Own");
        double own = 0;
        double system = 0;
        bool ownDeleted = false;
        LONG systemCode = ERROR_SUCCESS;
        for (int turn = 0; turn < 2; ++turn) {
            auto start = Clock::now();
            if ((turn == 0) == ownFirst) {
                ownDeleted = DeleteRegKeyTree(parentKey, L"Own");
                own = Seconds(start);
            } else {
                systemCode = RegDeleteTreeA(parent, "System");
                system = Seconds(start);
            }
        }
        if (!ownDeleted || systemCode != ERROR_SUCCESS)
            status = 1;
        columns[0].values.push_back(own);
        columns[1].values.push_back(system);
        columns[2].values.push_back(own / system);
        std::printf("| %d | %d | %.2f | %.2f | %.2f |\n", round, keys, own, system, own / system);
        std::fflush(stdout);
    }
    BenchStats::PrintSummaryRows(columns, 1);
    std::printf("\n");
    for (const BenchStats::Series& column : columns)
        BenchStats::PrintMedianLine(column);
    return status;
}

int main(int argc, char** argv)
{
    bool backup = argc > 1 && std::string(argv[1]) == "backup";
    int rounds = argc > (backup ? 2 : 1) ? std::atoi(argv[backup ? 2 : 1]) : 9;
    HKEY parent = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, Parent, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &parent, nullptr);
    RegKey parentKey = RegKey::None;
    if (!OpenRegKey(RegKey::LocalMachine, L"Software\\TandrelBench", parentKey))
        return 1;
    int status = backup ? BackupRounds(parentKey, rounds) : DeleteRounds(parent, parentKey, rounds);
    CloseRegKey(parentKey);
    RegCloseKey(parent);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, Parent);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, Parent);
    return status;
}
