// An in-process stand-in for ASPI for Win32, installed through the
// transport's test seam. It records every request exactly as it was
// submitted and answers through a handler the test gives it.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "drive/aspi.h"

struct RecordedRequest {
    const void* address = nullptr;  // where the caller's request block lives
    std::vector<BYTE> block;  // every byte of the request block at submission
    std::vector<BYTE> data;   // the data buffer at submission (SRB_BufLen bytes; empty without buffer)
    HANDLE event = nullptr;   // SRB_PostProc of an execute request
    bool eventUnsignalled = false;     // the event was valid and not signalled
    bool eventIsNewObject = false;     // a different event object than the previous request's
    bool previousEventClosed = false;  // the previous request's handle was closed by then

    const SRB_ExecSCSICmd& exec() const { return *reinterpret_cast<const SRB_ExecSCSICmd*>(block.data()); }
};

class FakeAspi {
public:
    // Installs the fake's entry points; removed again by the destructor.
    FakeAspi();
    ~FakeAspi();
    FakeAspi(const FakeAspi&) = delete;
    FakeAspi& operator=(const FakeAspi&) = delete;

    // Handlers return what SendASPI32Command returns; without one a request
    // completes at once (an adapter inquiry reporting 8 targets).
    void onExec(std::function<DWORD(SRB_ExecSCSICmd&)> handler) { m_exec = std::move(handler); }
    void onHaInquiry(std::function<DWORD(SRB_HAInquiry&)> handler) { m_haInquiry = std::move(handler); }

    const std::vector<RecordedRequest>& requests() const { return m_requests; }

    // Completes a request from another thread after delayMs: sets its
    // status, then signals its event. Returns SS_PENDING for the handler.
    static DWORD completeLater(SRB_ExecSCSICmd& srb, BYTE status, DWORD delayMs);

private:
    static DWORD __cdecl getSupportInfo() { return 0x0101; }
    static DWORD __cdecl send(void* srb);
    DWORD dispatch(BYTE* block);

    std::function<DWORD(SRB_ExecSCSICmd&)> m_exec;
    std::function<DWORD(SRB_HAInquiry&)> m_haInquiry;
    std::vector<RecordedRequest> m_requests;
    HANDLE m_lastEvent = nullptr;
    HANDLE m_lastEventCopy = nullptr;
    static FakeAspi* s_current;
};
