// Soak: the refresh timer driven faster than the drive can answer. Timer
// messages are posted to the main window without a pause for a while, so
// that a refresh (four commands to the drive) always waits for the drive
// worker; the refreshes done, their cost each, and the process's footprint
// before and after are printed. Exits 1 when something it holds grew.
#include <atomic>
#include <cstdio>
#include <memory>
#include <thread>

#include "bench/footprint.h"

using namespace e2e;

namespace {

const UINT kRefreshTimer = 1;
const DWORD kSoakMs = 20000;

// Posts timer messages for ms milliseconds; false when the program stopped
// answering.
bool refresh(KesvoraProcess& p, DWORD ms)
{
    std::atomic<bool> done{false};
    std::thread poster([&] {
        while (!done) {
            for (int i = 0; i < 20; ++i)
                p.post(WM_TIMER, kRefreshTimer, 0);
            Sleep(1);
        }
    });
    Sleep(ms);
    done = true;
    poster.join();
    return p.settle();
}

}  // namespace

int main()
{
    KesvoraProcess p;
    p.sim.adapters(1).adapter(0).maxTargets(8);
    p.sim.device(0, 1).cdrom("KSIM", "CD-ROM 52X", "1.00").maxSpeed(9152).policy("any");
    p.sim.device(0, 3).cdrom("KSIM", "DVD-ROM 16X", "3.00").maxSpeed(11080).policy("table");
    p.writeSettings("[0:1]\nspeedNames=8,16,32\nkbSpeeds=1411,2822,5645\n");
    if (!p.start()) {
        std::printf("soak: the program did not start\n");
        return 2;
    }
    bench::Probe probe(p);
    if (!probe.ok() || probe.call("ProbeCountGdi") == 0) {
        std::printf("soak: the probe could not be loaded into the program\n");
        return 2;
    }
    // A first round lets the heaps and caches settle.
    refresh(p, 1000);
    bench::Footprint before = bench::measure(p, probe);
    p.clearSimLog();

    double t0 = bench::nowMs();
    if (!refresh(p, kSoakMs)) {
        std::printf("soak: the program stopped answering\n");
        return 2;
    }
    double ms = bench::nowMs() - t0;
    bench::Footprint after = bench::measure(p, probe);
    size_t commands = p.simCommands().size();
    const size_t refreshes = commands / 4;

    std::printf("soak: %u refreshes in %.0f ms (%.3f ms each), %u commands to the drive\n",
                static_cast<unsigned>(refreshes), ms, refreshes != 0 ? ms / refreshes : 0.0,
                static_cast<unsigned>(commands));
    bench::printFootprints("soak: footprint", before, after);
    bool grew = after.gdiObjects > before.gdiObjects || after.windows > before.windows ||
                after.handles > before.handles || after.privateKb > before.privateKb + 64;
    std::printf("soak: %s\n", grew ? "GREW" : "steady");
    p.closeWithOk();
    p.waitForExit();
    return grew ? 1 : 0;
}
