#include "bench/footprint.h"

#include <tlhelp32.h>

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

const char kProbeDll[] = "bench_probe.dll";

// Where the module with this file name is loaded in another process, or 0
// (a thread's exit code is too short to carry it on a 64-bit system).
DWORD_PTR remoteModuleBase(DWORD pid, const char* fileName)
{
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, pid);
    if (snap == INVALID_HANDLE_VALUE)
        return 0;
    DWORD_PTR base = 0;
    MODULEENTRY32 me = {};
    me.dwSize = sizeof me;
    for (BOOL more = Module32First(snap, &me); more && base == 0; more = Module32Next(snap, &me))
        if (lstrcmpiA(me.szModule, fileName) == 0)
            base = reinterpret_cast<DWORD_PTR>(me.modBaseAddr);
    CloseHandle(snap);
    return base;
}

}  // namespace

Probe::Probe(const e2e::KesvoraProcess& p)
{
    m_hProcess = OpenProcess(PROCESS_ALL_ACCESS, FALSE, p.processId());
    // Mapped here only to look up its exports' offsets: nothing of it runs
    // in this process.
    const std::string path = e2e::binFile(kProbeDll);
    m_hLocal = LoadLibraryExA(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    if (m_hProcess != nullptr && m_hLocal != nullptr && e2e::injectLibrary(m_hProcess, path))
        m_remoteBase = remoteModuleBase(p.processId(), kProbeDll);
}

Probe::~Probe()
{
    FreeLibrary(m_hLocal);
    CloseHandle(m_hProcess);
}

DWORD Probe::call(const char* name, void* arg) const
{
    // Exported with or without the stdcall decoration.
    FARPROC f = GetProcAddress(m_hLocal, name);
    if (f == nullptr)
        f = GetProcAddress(m_hLocal, (std::string(name) + "@4").c_str());
    if (f == nullptr || m_remoteBase == 0)
        return 0xFFFFFFFF;
    DWORD_PTR rva = reinterpret_cast<DWORD_PTR>(f) - reinterpret_cast<DWORD_PTR>(m_hLocal);
    return e2e::runRemote(m_hProcess, reinterpret_cast<void*>(m_remoteBase + rva), arg);
}

Footprint measure(const e2e::KesvoraProcess& p, const Probe& probe)
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
