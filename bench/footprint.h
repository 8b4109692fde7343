// What a running kesvora.exe holds, measured from outside (windows, kernel
// handles) and from the probe inside it (private bytes, its own live GDI
// objects). Wine's GetGuiResources always answers 0, hence the probe.
#pragma once

#include <windows.h>

#include <cstdio>

#include "tests/e2e/driver.h"

namespace bench {

struct Footprint {
    long privateKb = 0;
    long gdiObjects = 0;
    long windows = 0;  // top-level and child windows of the process
    long handles = 0;  // kernel handles
};

// The probe DLL that measure() calls, loaded with e2e::Probe(p, kProbeDll).
const char kProbeDll[] = "bench_probe.dll";

Footprint measure(const e2e::KesvoraProcess& p, const e2e::Probe& probe);

// Prints one row per measurement and the change between them.
void printFootprints(const char* what, const Footprint& before, const Footprint& after);

// Milliseconds from a fixed point, to the microsecond.
double nowMs();

}  // namespace bench
