#include "sim/completion.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "sim/log.h"

namespace ksim {

namespace {

struct Delayed {
    Completion completion;
    unsigned delayMs;
    HMODULE module;
};

DWORD WINAPI completionThread(void* param)
{
    Delayed* d = static_cast<Delayed*>(param);
    Sleep(d->delayMs);
    completeNow(d->completion, d->delayMs);
    HMODULE module = d->module;
    delete d;
    // The thread holds a reference to this DLL, so that freeing the library
    // while a request is outstanding cannot unmap the code it runs.
    FreeLibraryAndExitThread(module, 0);
    return 0;
}

}  // namespace

void completeNow(const Completion& c, unsigned pendingMs)
{
    SRB_ExecSCSICmd* srb = c.srb;
    const Outcome& o = c.outcome;
    if (!o.data.empty() && c.buffer != nullptr)
        std::memcpy(c.buffer, o.data.data(), o.data.size());
    srb->SRB_HaStat = o.haStat;
    srb->SRB_TargStat = o.targStat;
    size_t senseBytes = std::min({o.sense.size(), static_cast<size_t>(srb->SRB_SenseLen), sizeof srb->SenseArea});
    if (senseBytes > 0)
        std::memcpy(srb->SenseArea, o.sense.data(), senseBytes);
    appendLog(c.logPath, c.logPrefix + execSuffix(c.result, o.srbStatus, pendingMs));
    MemoryBarrier();
    *static_cast<volatile BYTE*>(&srb->SRB_Status) = o.srbStatus;
    MemoryBarrier();
    if (c.signalEvent && c.event != nullptr)
        SetEvent(c.event);
}

bool completeLater(const Completion& c, unsigned delayMs)
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&completionThread),
                            &module))
        return false;
    Delayed* d = new (std::nothrow) Delayed{c, delayMs, module};
    if (d == nullptr) {
        FreeLibrary(module);
        return false;
    }
    d->completion.result = SS_PENDING;
    c.srb->SRB_Status = SS_PENDING;
    HANDLE thread = CreateThread(nullptr, 0, completionThread, d, 0, nullptr);
    if (thread == nullptr) {
        delete d;
        FreeLibrary(module);
        return false;
    }
    CloseHandle(thread);
    return true;
}

}  // namespace ksim
