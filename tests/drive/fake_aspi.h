// An in-process ASPI layer in place of a loaded library's entry points: it records every
// request as submitted and answers through the test's handler.
#pragma once

#include <windows.h>

#include <functional>
#include <thread>
#include <vector>

#include "drive/aspi_transport.h"

struct RecordedRequest {
    const void* address;      // the caller's request block
    std::vector<BYTE> block;  // its bytes at submission
    std::vector<BYTE> data;   // the data buffer at submission (SRB_BufLen bytes; empty without one)
    HANDLE event;             // SRB_PostProc
    bool eventFresh;          // valid and unsignalled, and the previous request's event closed by then
    const SRB_ExecSCSICmd& exec() const { return *reinterpret_cast<const SRB_ExecSCSICmd*>(block.data()); }
};

class FakeAspi {
public:
    FakeAspi()
    {
        s_current = this;
        installASPIEntryPoints([]() -> DWORD { return 0x0101; }, send);
    }
    ~FakeAspi()
    {
        installASPIEntryPoints(nullptr, nullptr);
        s_current = nullptr;
        for (std::thread& t : m_late)
            t.join();
    }

    // Returns what SendASPI32Command returns; by default a request completes at once.
    std::function<DWORD(SRB_ExecSCSICmd&)> onExec = [](SRB_ExecSCSICmd& srb) -> DWORD { return srb.SRB_Status = SS_COMP; };
    std::vector<RecordedRequest> requests;

    // Another thread writes the status after delayMs, then signals the event; with waitFails
    // the event is closed at once, so that waiting fails while the request still completes later.
    DWORD completeLater(SRB_ExecSCSICmd& srb, BYTE status, DWORD delayMs, bool waitFails = false)
    {
        HANDLE event = waitFails ? nullptr : static_cast<HANDLE>(srb.SRB_PostProc);
        m_late.emplace_back([&srb, status, delayMs, event] {
            Sleep(delayMs);  // the drive at work, then its answer
            srb.SRB_Status = status;
            if (event != nullptr)
                SetEvent(event);
        });
        if (waitFails)  // after the thread's creation, which could take over the closed handle's value
            CloseHandle(static_cast<HANDLE>(srb.SRB_PostProc));
        return SS_PENDING;
    }

private:
    static DWORD __cdecl send(void* srb) { return s_current ? s_current->dispatch(static_cast<BYTE*>(srb)) : SS_INVALID_SRB; }
    DWORD dispatch(BYTE* block)
    {
        if (block[0] != SC_EXEC_SCSI_CMD)
            return SS_INVALID_SRB;  // the adapter inquiry is the simulated drives' to answer
        SRB_ExecSCSICmd& srb = *reinterpret_cast<SRB_ExecSCSICmd*>(block);
        RecordedRequest r = {block, std::vector<BYTE>(block, block + sizeof srb), {}, srb.SRB_PostProc, false};
        if (srb.SRB_BufPointer != nullptr)
            r.data.assign(srb.SRB_BufPointer, srb.SRB_BufPointer + srb.SRB_BufLen);
        DWORD flags = 0;  // a closed handle's value may come back as the new event
        r.eventFresh = WaitForSingleObject(r.event, 0) == WAIT_TIMEOUT &&
                       (m_lastEvent == nullptr || m_lastEvent == r.event || !GetHandleInformation(m_lastEvent, &flags));
        m_lastEvent = r.event;
        requests.push_back(r);
        return onExec(srb);
    }

    HANDLE m_lastEvent = nullptr;
    std::vector<std::thread> m_late;
    static inline FakeAspi* s_current = nullptr;
};
