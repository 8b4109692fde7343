// What a running kesvora.exe holds, measured from outside (windows, kernel
// handles) and from the probe inside it (private bytes, the GDI objects it
// made and has not deleted since the count began). Wine's GetGuiResources
// always answers 0, hence the probe.
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

// The probe DLL (footprint_probe.cpp) loaded into the running program, its
// exports run there as thread procedures.
class Probe {
public:
    explicit Probe(const e2e::KesvoraProcess& p);
    ~Probe();
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;

    bool ok() const { return m_remoteBase != 0; }
    // Runs an exported function; 0xFFFFFFFF when it cannot be called.
    DWORD call(const char* name, void* arg = nullptr) const;

private:
    HANDLE m_hProcess = nullptr;
    HMODULE m_hLocal = nullptr;
    DWORD_PTR m_remoteBase = 0;
};

Footprint measure(const e2e::KesvoraProcess& p, const Probe& probe);

// Prints one row per measurement and the change between them.
void printFootprints(const char* what, const Footprint& before, const Footprint& after);

// Milliseconds from a fixed point, to the microsecond.
double nowMs();

}  // namespace bench
