// Load on a registry whose CLSID key holds N extra classes, one suite class
// having an empty CLSID so that Load lists them all, against `reg query /s`
// of the same key and against the bare registry reads with no log; and the
// box alone: Load's log handed whole to a box like Tandrel's. Every
// round fills the registry afresh and runs them all, in turns: forwards in
// odd rounds, backwards in even ones, so that neither a busy moment nor being
// first favours one of them.
//   tandrel_bench_load.exe [ROUNDS [N ...]]
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "registry/RegFuncs.h"
#include "tests/windows/bench/BenchStats.h"
#include "tests/windows/ui/UiAutomation.h"

namespace {

using BenchStats::Clock;
using BenchStats::Seconds;

const char ClsidKey[] = "Software\\Classes\\CLSID";
const char ProgIdKey[] = "Software\\Classes\\Glimmet.ctlGlimmet";

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

struct Round {
    int keys = 0;
    int lines = 0;
    double load = -1;
    double box = -1;
    double regQuery = -1;
    double bare = -1;
};

// What showing Load's log costs in a box like Tandrel's when the box gets it
// in one piece, the cheapest way to feed it: the same class (Tandrel's own
// manifest picks it), styles, font and size, here in this process.
double TimeBoxAlone(const std::wstring& text, SIZE size)
{
    std::string exe = UiAutomation::OwnFolder() + "Tandrel.exe";
    ACTCTXA manifest{};
    manifest.cbSize = sizeof manifest;
    manifest.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    manifest.lpSource = exe.c_str();
    manifest.lpResourceName = MAKEINTRESOURCEA(1);
    HANDLE context = CreateActCtxA(&manifest);
    ULONG_PTR cookie = 0;
    if (context == INVALID_HANDLE_VALUE || !ActivateActCtx(context, &cookie))
        return -1;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    HFONT font = CreateFontA(-MulDiv(825, dpi, 7200), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                             "Tahoma");
    HWND frame = CreateWindowExA(0, "STATIC", "box alone", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, size.cx + 40,
                                 size.cy + 80, nullptr, nullptr, nullptr, nullptr);
    HWND box = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "",
                               WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_HSCROLL | WS_VSCROLL | ES_MULTILINE |
                                   ES_AUTOHSCROLL | ES_AUTOVSCROLL | ES_READONLY | ES_NOHIDESEL,
                               6, 6, size.cx, size.cy, frame, nullptr, nullptr, nullptr);
    SendMessageA(box, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SendMessageA(box, EM_SETLIMITTEXT, 0, 0);
    UpdateWindow(frame);
    SetFocus(box);
    auto start = Clock::now();
    SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageW(box, EM_SCROLLCARET, 0, 0);
    UpdateWindow(box);
    double seconds = Seconds(start);
    bool whole = GetWindowTextLengthW(box) == static_cast<int>(text.size());
    DestroyWindow(frame);
    DeleteObject(font);
    DeactivateActCtx(0, cookie);
    ReleaseActCtx(context);
    return whole ? seconds : -1;
}

// Load from the click until the command has ended and the log is complete;
// then the box alone, with that log.
void TimeLoad(Round& round)
{
    UiAutomation::TandrelProcess tandrel;
    if (!tandrel.Start())
        return;
    auto start = Clock::now();
    if (tandrel.ClickAndWait(102, 600000))
        round.load = Seconds(start);
    std::wstring log = tandrel.LogText();
    round.lines = CountLines(log);
    RECT rect{};
    GetWindowRect(tandrel.Control(101), &rect);
    tandrel.Click(105);
    tandrel.WaitExit();
    round.box = TimeBoxAlone(log, SIZE{rect.right - rect.left, rect.bottom - rect.top});
}

void TimeRegQuery(Round& round, const std::string& output)
{
    auto start = Clock::now();
    int code = UiAutomation::RunAndWait(
        "cmd.exe /c reg.exe query HKLM\\Software\\Classes\\CLSID /s > \"" + output + "\"", 600000);
    if (code == 0)
        round.regQuery = Seconds(start);
}

void TimeBareReads(Round& round)
{
    auto start = Clock::now();
    round.keys = BareReads();
    round.bare = Seconds(start);
}

Round RunRound(int number, const std::string& output)
{
    Round round;
    if (number % 2) {
        TimeLoad(round);
        TimeRegQuery(round, output);
        TimeBareReads(round);
    } else {
        TimeBareReads(round);
        TimeRegQuery(round, output);
        TimeLoad(round);
    }
    return round;
}

// Every round of one N, then the median, least and greatest of each column.
bool RunSize(int count, int rounds, const std::string& output)
{
    std::printf("\nN = %d extra classes, %d rounds:\n\n", count, rounds);
    std::printf("| round | keys listed | log lines | Load (s) | reg query /s (s) | bare reads (s) | box alone (s) |"
                " Load / reg query | Load / bare reads | box alone / bare reads |\n");
    std::printf("|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    std::vector<BenchStats::Series> columns = {{"Load (s)", {}},
                                               {"reg query /s (s)", {}},
                                               {"bare reads (s)", {}},
                                               {"box alone (s)", {}},
                                               {"Load / reg query /s", {}},
                                               {"Load / bare reads", {}},
                                               {"box alone / bare reads", {}}};
    bool ok = true;
    for (int number = 1; number <= rounds; ++number) {
        Populate(count);
        Round round = RunRound(number, output);
        Clear(count);
        ok = ok && round.load > 0 && round.box > 0 && round.regQuery > 0 && round.lines >= round.keys;
        double figures[] = {round.load,
                            round.regQuery,
                            round.bare,
                            round.box,
                            round.load / round.regQuery,
                            round.load / round.bare,
                            round.box / round.bare};
        for (std::size_t i = 0; i < columns.size(); ++i)
            columns[i].values.push_back(figures[i]);
        std::printf("| %d | %d | %d |", number, round.keys, round.lines);
        for (double figure : figures)
            std::printf(" %.2f |", figure);
        std::printf("\n");
        std::fflush(stdout);
    }
    BenchStats::PrintSummaryRows(columns, 2);
    std::printf("\n");
    for (const BenchStats::Series& column : columns)
        BenchStats::PrintMedianLine(column);
    std::fflush(stdout);
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    std::vector<int> sizes;
    for (int i = 2; i < argc; ++i)
        sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty())
        sizes = {20000};

    std::printf("Load: from the click on Load until the command has ended and its log is complete.\n"
                "reg query /s: `reg query HKLM\\Software\\Classes\\CLSID /s` written to a file, the same keys\n"
                "  and values read and printed.\n"
                "bare reads: what Load does to the registry for that key (enumerate by index, open each subkey\n"
                "  by its path, read its default value, close it), with no log.\n"
                "box alone: Load's log handed in one piece to a box like Tandrel's (class, styles, font, size),\n"
                "  what showing that text costs with no registry reads at all.\n"
                "Ratios are taken within each round; \"keys listed\" includes the prefix's own class keys.\n");
    std::string output = UiAutomation::OwnFolder() + "bench-reg-query.txt";
    bool ok = true;
    for (int count : sizes)
        ok = RunSize(count, rounds, output) && ok;
    DeleteFileA(output.c_str());
    return ok ? 0 : 1;
}
