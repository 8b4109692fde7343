// A probe that the benchmarks load into the running kesvora.exe (through
// bench::Probe): what the program holds, measured from inside it. Each export
// is a thread procedure started from outside.
#include <windows.h>

#include "tests/support/gdi_count.h"

// Starts counting the program's own GDI objects (its imports of the gdi32
// functions that make and delete them are redirected); 0 when that fails.
extern "C" __declspec(dllexport) DWORD WINAPI ProbeCountGdi(LPVOID)
{
    return gdicount::install() ? 1 : 0;
}

// GDI objects made less those deleted since ProbeCountGdi.
extern "C" __declspec(dllexport) DWORD WINAPI ProbeLiveGdi(LPVOID)
{
    return static_cast<DWORD>(gdicount::live());
}

// GDI objects made since ProbeCountGdi, deleted or not: shows that the
// program drew something.
extern "C" __declspec(dllexport) DWORD WINAPI ProbeMadeGdi(LPVOID)
{
    return static_cast<DWORD>(gdicount::created());
}

// The process's private memory in KB: its committed private pages, counted
// by walking the address space (Wine leaves PrivateUsage at 0).
extern "C" __declspec(dllexport) DWORD WINAPI ProbePrivateKb(LPVOID)
{
    SIZE_T bytes = 0;
    MEMORY_BASIC_INFORMATION mbi = {};
    for (BYTE* at = nullptr; VirtualQuery(at, &mbi, sizeof mbi) == sizeof mbi;
         at = static_cast<BYTE*>(mbi.BaseAddress) + mbi.RegionSize) {
        if (mbi.State == MEM_COMMIT && mbi.Type == MEM_PRIVATE)
            bytes += mbi.RegionSize;
        if (static_cast<BYTE*>(mbi.BaseAddress) + mbi.RegionSize < at)
            break;
    }
    return static_cast<DWORD>(bytes / 1024);
}

// The process's open kernel handles, counted by asking about every handle
// value in turn (Wine does not report the process's handle count).
extern "C" __declspec(dllexport) DWORD WINAPI ProbeHandles(LPVOID)
{
    DWORD count = 0, flags = 0;
    for (ULONG_PTR h = 4; h < 0x20000; h += 4)
        if (GetHandleInformation(reinterpret_cast<HANDLE>(h), &flags))
            ++count;
    return count;
}
