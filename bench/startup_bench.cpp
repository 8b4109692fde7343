// Start-up: the time from starting kesvora.exe until its main window shows
// the first drive's status (the current speed filled in, the window
// visible), against the same for a minimal dialog program under the same
// Wine. Both are started alternately several times; medians are printed.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/footprint.h"

using namespace e2e;

namespace {

const int kRuns = 7;
const DWORD kTimeoutMs = 30000;

// Polls until the process shows its window with the status text; the
// window, or null on time-out.
HWND waitShown(DWORD pid, const char* title, double t0, double* ms)
{
    while (bench::nowMs() - t0 < kTimeoutMs) {
        for (HWND h : topLevelWindows(pid)) {
            if (IsWindowVisible(h) && windowText(h) == title && !windowText(GetDlgItem(h, 1001)).empty()) {
                *ms = bench::nowMs() - t0;
                return h;
            }
        }
        Sleep(1);
    }
    return nullptr;
}

// One start of kesvora.exe in front of two simulated drives; -1 on failure.
double startKesvora()
{
    KesvoraProcess p;
    p.sim.adapters(1).adapter(0).maxTargets(8);
    p.sim.device(0, 1).cdrom("KSIM", "CD-ROM 52X", "1.00").maxSpeed(9152).policy("any");
    p.sim.device(0, 3).cdrom("KSIM", "DVD-ROM 16X", "3.00").maxSpeed(11080).policy("table");
    p.writeSettings("[0:1]\nspeedNames=8,16,32\nkbSpeeds=1411,2822,5645\n");
    double t0 = bench::nowMs(), ms = -1;
    if (!p.launch())
        return -1;
    HWND w = waitShown(p.processId(), kMainTitle, t0, &ms);
    if (w != nullptr)
        PostMessageA(w, WM_COMMAND, IDOK, 0);
    p.waitForExit();
    return w != nullptr ? ms : -1;
}

// One start of the minimal dialog program; -1 on failure.
double startMinimal()
{
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string exe = self;
    exe = exe.substr(0, exe.find_last_of("\\/") + 1) + "bench_minimal_dialog.exe";
    std::string cmdLine = "\"" + exe + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    double t0 = bench::nowMs(), ms = -1;
    if (!CreateProcessA(exe.c_str(), &cmdLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return -1;
    HWND w = waitShown(pi.dwProcessId, "Minimal", t0, &ms);
    if (w != nullptr)
        PostMessageA(w, WM_COMMAND, IDOK, 0);
    if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return w != nullptr ? ms : -1;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main()
{
    std::vector<double> kesvora, minimal;
    // One start of each first, not counted: Wine's own files come into the cache.
    startMinimal();
    startKesvora();
    for (int i = 0; i < kRuns; ++i) {
        double m = startMinimal(), k = startKesvora();
        if (m < 0 || k < 0) {
            std::printf("startup: a program did not show its window\n");
            return 2;
        }
        minimal.push_back(m);
        kesvora.push_back(k);
    }
    double k = median(kesvora), m = median(minimal);
    std::printf("startup: until the first drive's status shows, median of %d starts\n", kRuns);
    std::printf("  kesvora.exe      %8.1f ms (fastest %.1f)\n", k, *std::min_element(kesvora.begin(), kesvora.end()));
    std::printf("  minimal dialog   %8.1f ms (fastest %.1f)\n", m, *std::min_element(minimal.begin(), minimal.end()));
    std::printf("  ratio            %8.2f\n", k / m);
    return 0;
}
