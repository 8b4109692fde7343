#include "fake_aspi.h"

#include "drive/aspi_transport.h"

FakeAspi* FakeAspi::s_current = nullptr;

namespace {

struct LateCompletion {
    SRB_ExecSCSICmd* srb;
    BYTE status;
    DWORD delayMs;
};

DWORD WINAPI completeThread(void* param)
{
    LateCompletion* c = static_cast<LateCompletion*>(param);
    Sleep(c->delayMs);
    c->srb->SRB_Status = c->status;
    SetEvent(static_cast<HANDLE>(c->srb->SRB_PostProc));
    delete c;
    return 0;
}

}  // namespace

FakeAspi::FakeAspi()
{
    s_current = this;
    installASPIEntryPoints(getSupportInfo, send);
}

FakeAspi::~FakeAspi()
{
    installASPIEntryPoints(nullptr, nullptr);
    if (m_lastEventCopy != nullptr)
        CloseHandle(m_lastEventCopy);
    s_current = nullptr;
}

DWORD FakeAspi::completeLater(SRB_ExecSCSICmd& srb, BYTE status, DWORD delayMs)
{
    CloseHandle(CreateThread(nullptr, 0, completeThread, new LateCompletion{&srb, status, delayMs}, 0, nullptr));
    return SS_PENDING;
}

DWORD __cdecl FakeAspi::send(void* srb)
{
    return s_current != nullptr ? s_current->dispatch(static_cast<BYTE*>(srb)) : SS_INVALID_SRB;
}

DWORD FakeAspi::dispatch(BYTE* block)
{
    RecordedRequest r;
    r.address = block;
    if (block[0] == SC_HA_INQUIRY) {
        r.block.assign(block, block + sizeof(SRB_HAInquiry));
        m_requests.push_back(r);
        SRB_HAInquiry& srb = *reinterpret_cast<SRB_HAInquiry*>(block);
        if (m_haInquiry)
            return m_haInquiry(srb);
        srb.SRB_Status = SS_COMP;
        srb.HA_Unique[3] = 8;
        return SS_COMP;
    }

    SRB_ExecSCSICmd& srb = *reinterpret_cast<SRB_ExecSCSICmd*>(block);
    r.block.assign(block, block + sizeof(SRB_ExecSCSICmd));
    if (srb.SRB_BufPointer != nullptr)
        r.data.assign(srb.SRB_BufPointer, srb.SRB_BufPointer + srb.SRB_BufLen);
    r.event = static_cast<HANDLE>(srb.SRB_PostProc);
    r.eventUnsignalled = WaitForSingleObject(r.event, 0) == WAIT_TIMEOUT;
    // Signal our copy of the previous event: the new one stays unsignalled
    // only if it is another object.
    r.eventIsNewObject = r.previousEventClosed = true;
    if (m_lastEventCopy != nullptr) {
        SetEvent(m_lastEventCopy);
        r.eventIsNewObject = WaitForSingleObject(r.event, 0) == WAIT_TIMEOUT;
        ResetEvent(m_lastEventCopy);
        DWORD flags = 0;
        r.previousEventClosed = r.event == m_lastEvent || !GetHandleInformation(m_lastEvent, &flags);
        CloseHandle(m_lastEventCopy);
        m_lastEventCopy = nullptr;
    }
    m_lastEvent = r.event;
    DuplicateHandle(GetCurrentProcess(), r.event, GetCurrentProcess(), &m_lastEventCopy, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    m_requests.push_back(r);

    if (m_exec)
        return m_exec(srb);
    srb.SRB_Status = SS_COMP;
    return SS_COMP;
}
