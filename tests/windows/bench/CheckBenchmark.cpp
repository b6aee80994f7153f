// /check of the healthy suite, every server file read and its imports
// resolved, against /load of the same suite; and /verify against /check
// plus a bare client that creates the 15 classes in a row, which is the
// system's own share of /verify's time. Whole processes, alternated, the
// median of each.
//   tandrel_bench_check.exe [RUNS]
//   tandrel_bench_check.exe create      (the bare client)
#include <objbase.h>
#include <oleauto.h>
#include <windows.h>
#include <tlhelp32.h>

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

const wchar_t* const ProgIds[] = {
    L"Glimmet.ctlGlimmet", L"Daskel.clsDaskel",   L"Daskel.clsEntities", L"Daskel.clsEntity",
    L"Daskel.clsXFields",  L"Daskel.clsXField",   L"Wrenna.clsIFace",    L"Corvane.clsMail",
    L"Sulvary.clsPhone",   L"Brenlow.clsIFace",   L"Ladrisk.clsIFace",   L"Omberly.clsOmberly",
    L"Vestrel.clsIFace",   L"Vestrel.clsEMailIFace", L"Vestrel.clsLinkIFace",
};

// Until none of the suite's programs runs, for at most 15 s: a run does not pay for the last one's servers.
void WaitForServers()
{
    for (auto start = Clock::now(); Clock::now() - start < std::chrono::seconds(15); Sleep(100)) {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32 entry{};
        entry.dwSize = sizeof entry;
        bool running = false;
        for (BOOL more = Process32First(snapshot, &entry); more && !running; more = Process32Next(snapshot, &entry))
            for (const char* file : Files)
                running = running || lstrcmpiA(entry.szExeFile, file) == 0;
        CloseHandle(snapshot);
        if (!running)
            return;
    }
}

// What a script does for each class, and nothing more; the number that failed.
int CreateAll()
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int failed = 0;
    for (const wchar_t* progId : ProgIds) {
        CLSID clsid;
        IUnknown* unknown = nullptr;
        IDispatch* dispatch = nullptr;
        bool ok = SUCCEEDED(CLSIDFromProgID(progId, &clsid)) &&
                  SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                             reinterpret_cast<void**>(&unknown))) &&
                  SUCCEEDED(unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)));
        if (dispatch)
            dispatch->Release();
        if (unknown)
            unknown->Release();
        failed += ok ? 0 : 1;
    }
    CoUninitialize();
    return failed;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::string(argv[1]) == "create")
        return CreateAll();
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

    // The bare client creates as /verify's children do; the program servers it starts end on their own.
    const std::string client = "\"" + UiAutomation::OwnFolder() + "tandrel_bench_check.exe\" create";
    std::vector<double> bare, verify, recheck;
    for (int i = 0; i < runs; ++i) {
        for (auto [command, times] : {std::pair{client, &bare}, std::pair{tandrel + " /check", &recheck},
                                      std::pair{tandrel + " /verify", &verify}}) {
            WaitForServers();
            auto start = Clock::now();
            int code = UiAutomation::RunAndWait(command, 120000, nullptr, &output);
            times->push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            if (code != 0) {
                std::printf("%s exits %d\n", command.c_str(), code);
                return 1;
            }
        }
    }
    std::printf("\n%-8s %12s %12s %12s\n", "runs", "client (ms)", "/check (ms)", "/verify (ms)");
    for (int i = 0; i < runs; ++i)
        std::printf("%-8d %12.1f %12.1f %12.1f\n", i + 1, bare[i], recheck[i], verify[i]);
    std::printf("median   %12.1f %12.1f %12.1f   /verify is %.2fx /check + client\n", Median(bare), Median(recheck),
                Median(verify), Median(verify) / (Median(recheck) + Median(bare)));

    const std::string backup = UiAutomation::OwnFolder() + "bench-check.reg";
    run(" /delete /yes /backup \"" + backup + "\"");
    DeleteFileA(backup.c_str());
    for (const char* file : Files)
        DeleteFileA(Where(file).c_str());
    UiAutomation::SetVestrelAppPath(0, "");
    return 0;
}
