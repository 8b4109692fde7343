// The popup menu opened from the notification icon and closed again 1,000
// times; each opening draws every item of the menu (the GDI objects the
// drawing makes are counted to show it). The process's footprint before and
// after is printed. Exits 1 when something it holds grew.
#include <cstdio>
#include <cstdlib>

#include "bench/footprint.h"

using namespace e2e;

namespace {

const int kDefaultOpenings = 1000;

DWORD made(const bench::Probe& probe)
{
    return probe.call("ProbeMadeGdi");
}

// Opens the popup, waits until it has drawn (made at least perOpening GDI
// objects; 0: waits a fixed while) and closes it. False when the menu did
// not open, draw or close.
bool openAndClose(const KesvoraProcess& p, const bench::Probe& probe, DWORD perOpening)
{
    DWORD start = made(probe);
    HWND w = openPopup(p);
    if (w == nullptr)
        return false;
    DWORD begin = GetTickCount();
    if (perOpening == 0)
        Sleep(500);
    while (made(probe) - start < perOpening && GetTickCount() - begin < 3000)
        Sleep(1);
    bool drawn = made(probe) - start >= perOpening;
    PostMessageA(w, WM_KEYDOWN, VK_ESCAPE, 1);
    return waitForMenus(p, 0) && drawn;
}

}  // namespace

// The number of openings may be given as the only argument.
int main(int argc, char** argv)
{
    const int kOpenings = argc > 1 ? std::atoi(argv[1]) : kDefaultOpenings;
    KesvoraProcess p;
    p.sim.adapters(1).adapter(0).maxTargets(8);
    p.sim.device(0, 1).cdrom("KSIM", "CD-ROM 52X", "1.00").maxSpeed(9152).policy("any");
    p.sim.device(0, 2).cdrom("KSIM", "CD-RW 40X", "2.00").maxSpeed(7056).policy("any");
    p.writeSettings("[0:1]\nspeedNames=8,16,32\nkbSpeeds=1411,2822,5645\n");
    if (!p.start()) {
        std::printf("popup: the program did not start\n");
        return 2;
    }
    bench::Probe probe(p);
    if (!probe.ok() || probe.call("ProbeCountGdi") == 0) {
        std::printf("popup: the probe could not be loaded into the program\n");
        return 2;
    }
    // The first openings settle the caches and show what one drawing makes.
    DWORD m0 = made(probe);
    if (!openAndClose(p, probe, 0)) {
        std::printf("popup: the menu did not open\n");
        return 2;
    }
    DWORD perOpening = made(probe) - m0;
    for (int i = 0; i < 9; ++i)
        openAndClose(p, probe, perOpening);
    bench::Footprint before = bench::measure(p, probe);

    int failed = 0;
    double t0 = bench::nowMs();
    for (int i = 0; i < kOpenings; ++i)
        failed += openAndClose(p, probe, perOpening) ? 0 : 1;
    double ms = bench::nowMs() - t0;
    bench::Footprint after = bench::measure(p, probe);

    std::printf("popup: %d openings in %.0f ms (%.1f ms each), %d failed to open, draw or close; "
                "%u GDI objects made and deleted per drawing\n",
                kOpenings, ms, ms / kOpenings, failed, static_cast<unsigned>(perOpening));
    bench::printFootprints("popup: footprint", before, after);
    bool grew = after.gdiObjects > before.gdiObjects || after.windows > before.windows ||
                after.handles > before.handles || after.privateKb > before.privateKb + 64;
    std::printf("popup: %s\n", grew ? "GREW" : "steady");
    p.closeWithOk();
    p.waitForExit();
    return grew || failed != 0 ? 1 : 0;
}
