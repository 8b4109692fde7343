// How soon the window answers while a drive hangs: a simulated drive whose
// every command takes 20 s, reached through ASPI and through the
// pass-through, and a healthy drive under the refresh soak. For each, the
// round trip of a WM_NULL sent to the main window and the time the icon's
// menu takes to open, median and worst in ms, and then how long Exit takes.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "bench/footprint.h"

using namespace e2e;

namespace {

const int kNullSamples = 50;
const int kMenuSamples = 5;

struct Spread {
    double median = 0;
    double worst = 0;
};

Spread spreadOf(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    return ms.empty() ? Spread() : Spread{ms[ms.size() / 2], ms.back()};
}

Spread nullRoundTrips(const KesvoraProcess& p)
{
    std::vector<double> ms;
    for (int i = 0; i < kNullSamples; ++i) {
        const double t0 = bench::nowMs();
        p.send(WM_NULL);
        ms.push_back(bench::nowMs() - t0);
        Sleep(20);
    }
    return spreadOf(ms);
}

Spread menuOpenings(const KesvoraProcess& p)
{
    std::vector<double> ms;
    for (int i = 0; i < kMenuSamples; ++i) {
        const double t0 = bench::nowMs();
        HWND w = openPopup(p);
        ms.push_back(w != nullptr ? bench::nowMs() - t0 : 1e9);
        if (w != nullptr)
            PostMessageA(w, WM_KEYDOWN, VK_ESCAPE, 1);
        waitForMenus(p, 0);
    }
    return spreadOf(ms);
}

void print(const char* what, const Spread& nulls, const Spread& menus)
{
    std::printf("answer: %-34s WM_NULL median %.1f ms worst %.1f ms; menu median %.0f ms worst %.0f ms\n", what,
                nulls.median, nulls.worst, menus.median, menus.worst);
}

// Exit from the icon's menu, timed until the process has ended.
double exitTime(KesvoraProcess& p)
{
    const double t0 = bench::nowMs();
    p.post(WM_COMMAND, 32778);
    return p.waitForExit(30000) ? bench::nowMs() - t0 : -1;
}

bool startWithDrive(KesvoraProcess& p, bool aspi)
{
    p.sim.aspiLoads(aspi).adapters(1);
    p.sim.device(0, 1).cdrom("KSIM", "CD-ROM 52X", "1.00").maxSpeed(9152).policy("any");
    p.sim.volume('D').device(0, 1);
    p.writeSettings("[0:1]\nspeedNames=8,16,32\nkbSpeeds=1411,2822,5645\n");
    return p.start();
}

int hungDrive(bool aspi)
{
    const char* what = aspi ? "drive hung 20 s, ASPI:" : "drive hung 20 s, pass-through:";
    KesvoraProcess p;
    if (!startWithDrive(p, aspi)) {
        std::printf("answer: the program did not start\n");
        return 2;
    }
    p.sim.device(0, 1).set("delay.all", 20000);
    p.rewriteSim();
    p.post(WM_TIMER, 1);
    Sleep(100);
    const Spread nulls = nullRoundTrips(p);
    const Spread menus = menuOpenings(p);
    print(what, nulls, menus);
    p.click(1023);  // Lock: a command that hangs as well
    std::printf("answer: %-34s Exit during a hung command: %.0f ms\n", what, exitTime(p));
    return 0;
}

int underSoak()
{
    KesvoraProcess p;
    if (!startWithDrive(p, true)) {
        std::printf("answer: the program did not start\n");
        return 2;
    }
    std::atomic<bool> done{false};
    std::thread soak([&] {
        while (!done) {
            for (int i = 0; i < 50; ++i)
                p.post(WM_TIMER, 1);
            Sleep(5);
        }
    });
    const Spread nulls = nullRoundTrips(p);
    const Spread menus = menuOpenings(p);
    done = true;
    soak.join();
    print("refresh soak, healthy drive:", nulls, menus);
    std::printf("answer: %-34s Exit: %.0f ms\n", "refresh soak, healthy drive:", exitTime(p));
    return 0;
}

}  // namespace

int main()
{
    int status = underSoak();
    status = std::max(status, hungDrive(false));
    status = std::max(status, hungDrive(true));
    return status;
}
