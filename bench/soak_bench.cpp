// Soak: the refresh timer driven fast. 10,000 timer messages are posted to
// the main window (in batches the queue can hold), each refreshing the
// status with four commands to the drive; the process's footprint before
// and after is printed. Exits 1 when something it holds grew.
#include <cstdio>
#include <memory>

#include "bench/footprint.h"

using namespace e2e;

namespace {

const UINT kRefreshTimer = 1;
const int kRefreshes = 10000;
const int kBatch = 200;

bool refresh(KesvoraProcess& p, int count)
{
    for (int done = 0; done < count; done += kBatch) {
        for (int i = 0; i < kBatch && done + i < count; ++i)
            p.post(WM_TIMER, kRefreshTimer, 0);
        if (!p.sync())
            return false;
    }
    return true;
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
    refresh(p, 500);
    bench::Footprint before = bench::measure(p, probe);
    p.clearSimLog();

    double t0 = bench::nowMs();
    if (!refresh(p, kRefreshes)) {
        std::printf("soak: the program stopped answering\n");
        return 2;
    }
    double ms = bench::nowMs() - t0;
    bench::Footprint after = bench::measure(p, probe);
    size_t commands = p.simCommands().size();

    std::printf("soak: %d refreshes in %.0f ms (%.3f ms each), %u commands to the drive (%.2f per refresh)\n",
                kRefreshes, ms, ms / kRefreshes, static_cast<unsigned>(commands),
                static_cast<double>(commands) / kRefreshes);
    bench::printFootprints("soak: footprint", before, after);
    bool grew = after.gdiObjects > before.gdiObjects || after.windows > before.windows ||
                after.handles > before.handles || after.privateKb > before.privateKb + 64;
    std::printf("soak: %s\n", grew ? "GREW" : "steady");
    p.closeWithOk();
    p.waitForExit();
    return grew ? 1 : 0;
}
