#include "bench/footprint.h"

namespace bench {
namespace {

BOOL CALLBACK countChild(HWND, LPARAM param)
{
    ++*reinterpret_cast<long*>(param);
    return TRUE;
}

void printRow(const char* label, long kb, long gdi, long windows, long handles)
{
    std::printf("  %-8s %14ld %12ld %9ld %9ld\n", label, kb, gdi, windows, handles);
}

}  // namespace

Footprint measure(const e2e::KesvoraProcess& p, const e2e::Probe& probe)
{
    Footprint f;
    f.privateKb = static_cast<long>(probe.call("ProbePrivateKb"));
    f.gdiObjects = static_cast<long>(probe.call("ProbeLiveGdi"));
    for (HWND h : e2e::topLevelWindows(p.processId())) {
        ++f.windows;
        EnumChildWindows(h, countChild, reinterpret_cast<LPARAM>(&f.windows));
    }
    f.handles = static_cast<long>(probe.call("ProbeHandles"));
    return f;
}

void printFootprints(const char* what, const Footprint& before, const Footprint& after)
{
    std::printf("%s\n  %-8s %14s %12s %9s %9s\n", what, "", "private KB", "GDI objects", "windows", "handles");
    printRow("before", before.privateKb, before.gdiObjects, before.windows, before.handles);
    printRow("after", after.privateKb, after.gdiObjects, after.windows, after.handles);
    printRow("change", after.privateKb - before.privateKb, after.gdiObjects - before.gdiObjects,
             after.windows - before.windows, after.handles - before.handles);
}

double nowMs()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return 1000.0 * static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

}  // namespace bench
