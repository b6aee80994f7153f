// Load on a registry whose CLSID key holds N extra classes, one suite class
// having an empty CLSID so that Load lists them all, against `reg query /s`
// of the same key and against the bare registry reads with no log.
//   tandrel_bench_load.exe [N ...]
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "registry/RegFuncs.h"
#include "tests/windows/ui/UiAutomation.h"

namespace {

using Clock = std::chrono::steady_clock;

const char ClsidKey[] = "Software\\Classes\\CLSID";
const char ProgIdKey[] = "Software\\Classes\\Glimmet.ctlGlimmet";

double Seconds(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string BenchClsid(int i)
{
    char text[64];
    std::snprintf(text, sizeof text, "{BE0C%04X-0000-4000-8000-%012X}", i >> 16, i);
    return text;
}

void SetDefault(const std::string& path, const std::string& value)
{
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
}

void Populate(int count)
{
    for (int i = 0; i < count; ++i)
        SetDefault(std::string(ClsidKey) + "\\" + BenchClsid(i), "Benchmark class number " + std::to_string(i));
    SetDefault(ProgIdKey, "Glimmet control");
    SetDefault(std::string(ProgIdKey) + "\\CLSID", "");
}

void Clear(int count)
{
    for (int i = 0; i < count; ++i)
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(ClsidKey) + "\\" + BenchClsid(i)).c_str());
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, ProgIdKey);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, ProgIdKey);
}

// What Load does to the registry for the CLSID key, with no log: enumerate by
// index, open each subkey, read its default value, close it.
int BareReads()
{
    RegKey parent = RegKey::None;
    if (!OpenRegKey(RegKey::LocalMachine, L"Software\\CLASSES\\CLSID\\", parent))
        return 0;
    int keys = 0;
    std::wstring name;
    for (std::uint32_t index = 0; EnumRegSubKey(parent, index, name) == 0; ++index) {
        RegKey key = RegKey::None;
        if (OpenRegKey(RegKey::LocalMachine, L"Software\\CLASSES\\CLSID\\\\" + name, key)) {
            std::wstring value;
            (void)GetRegString(key, L"", value);
            CloseRegKey(key);
            ++keys;
        }
    }
    CloseRegKey(parent);
    return keys;
}

int CountLines(const std::wstring& text)
{
    int lines = 0;
    for (wchar_t c : text)
        lines += c == L'\n' ? 1 : 0;
    return lines;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty())
        sizes = {1000, 5000, 20000};

    std::string output = UiAutomation::OwnFolder() + "bench-reg-query.txt";
    std::printf("| N extra classes | keys listed | log lines | Load (s) | reg query /s (s) | bare reads (s) |"
                " Load / reg query | Load / bare reads |\n");
    std::printf("|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    int status = 0;
    for (int count : sizes) {
        Populate(count);

        auto start = Clock::now();
        int keys = BareReads();
        double bare = Seconds(start);

        start = Clock::now();
        int code = UiAutomation::RunAndWait("cmd.exe /c reg.exe query HKLM\\Software\\Classes\\CLSID /s > \"" +
                                                output + "\"",
                                            600000);
        double regQuery = Seconds(start);

        UiAutomation::TandrelProcess tandrel;
        double load = -1;
        int lines = 0;
        if (tandrel.Start()) {
            start = Clock::now();
            if (tandrel.ClickAndWait(102, 600000))
                load = Seconds(start);
            lines = CountLines(tandrel.LogText());
            tandrel.Click(105);
            tandrel.WaitExit();
        }
        if (load < 0 || code != 0 || lines < keys)
            status = 1;
        std::printf("| %d | %d | %d | %.2f | %.2f | %.2f | %.2f | %.1f |\n", count, keys, lines, load, regQuery,
                    bare, load / regQuery, load / bare);
        std::fflush(stdout);
        Clear(count);
    }
    DeleteFileA(output.c_str());
    return status;
}
