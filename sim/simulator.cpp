#include "sim/simulator.h"

#include <cstring>

#include "drive/aspi.h"
#include "drive/mmc.h"
#include "sim/completion.h"
#include "sim/faults.h"
#include "sim/log.h"

namespace ksim {

namespace {

const DWORD kMaxSetupFileSize = 1 << 20;
const BYTE kRefuseResult = SS_INVALID_SRB;

Simulator g_simulator;

class Guard {
public:
    explicit Guard(CRITICAL_SECTION* cs) : m_cs(cs) { EnterCriticalSection(m_cs); }
    ~Guard() { LeaveCriticalSection(m_cs); }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

private:
    CRITICAL_SECTION* m_cs;
};

}  // namespace

// Full path of the set-up file: KSIM_CONFIG, else ksim.ini in the current
// directory. (The profile functions would look for a bare name in the
// Windows directory.)
std::string setupPath()
{
    char name[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("KSIM_CONFIG", name, sizeof name);
    if (n == 0 || n >= sizeof name)
        lstrcpyA(name, "ksim.ini");
    char full[MAX_PATH];
    DWORD m = GetFullPathNameA(name, sizeof full, full, nullptr);
    if (m == 0 || m >= sizeof full)
        return name;
    return full;
}

namespace {

bool readWholeFile(const std::string& path, std::string* content)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    std::string data;
    char buf[4096];
    DWORD got = 0;
    bool ok = true;
    while (ok && data.size() < kMaxSetupFileSize) {
        ok = ReadFile(h, buf, sizeof buf, &got, nullptr) != 0;
        if (!ok || got == 0)
            break;
        data.append(buf, got);
    }
    CloseHandle(h);
    if (ok)
        content->swap(data);
    return ok;
}

}  // namespace

Simulator& simulator()
{
    return g_simulator;
}

Simulator::Simulator()
{
    InitializeCriticalSection(&m_lock);
}

Simulator::~Simulator()
{
    DeleteCriticalSection(&m_lock);
}

void Simulator::refresh()
{
    std::string path = setupPath();
    WIN32_FILE_ATTRIBUTE_DATA attr;
    bool exists = GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &attr) != 0 &&
                  (attr.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    std::string content;
    FILETIME writeTime = {0, 0};
    bool samePath = m_loaded && path == m_path;
    if (exists) {
        writeTime = attr.ftLastWriteTime;
        if (!readWholeFile(path, &content)) {
            // Momentarily unreadable (being replaced): keep what is in force.
            if (samePath)
                return;
            exists = false;
        }
    }
    if (samePath && exists == m_fileExists && content == m_content &&
        CompareFileTime(&writeTime, &m_writeTime) == 0)
        return;

    // The profile functions may cache a file whose write time has not
    // moved; flushing makes them read it afresh.
    if (exists)
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
    SimConfig config = exists ? loadSimConfig(path) : SimConfig();
    config.adapters.resize(config.adapterCount);
    apply(config, samePath);

    m_loaded = true;
    m_path = path;
    m_fileExists = exists;
    m_content.swap(content);
    m_writeTime = writeTime;
}

// New static settings and fault counters from the file; the dynamic state
// of devices that stay is kept unless the file gives a new value for it.
void Simulator::apply(const SimConfig& config, bool samePath)
{
    std::vector<Device> next;
    next.reserve(config.devices.size());
    for (const DeviceConfig& dc : config.devices) {
        Device d;
        d.config = dc;
        const Device* old = samePath ? findDevice(dc.adapter, dc.target) : nullptr;
        if (old == nullptr) {
            d.state = initialState(dc.profile);
        } else {
            const DeviceConfig& oc = old->config;
            d.state = old->state;
            if (dc.speedGiven && (!oc.speedGiven || dc.speedText != oc.speedText))
                d.state.speed = dc.profile.initialSpeed;
            if (dc.lockedGiven && (!oc.lockedGiven || dc.lockedText != oc.lockedText))
                d.state.locked = dc.profile.initialLocked;
            if (dc.spindownGiven && (!oc.spindownGiven || dc.spindownText != oc.spindownText))
                d.state.spindown = dc.profile.initialSpindown;
            if (dc.discsGiven && (!oc.discsGiven || dc.discsText != oc.discsText))
                insertDisc(dc.profile, d.state);
        }
        d.state.maxSpeedZeroLeft = dc.maxSpeedZero;
        next.push_back(d);
    }
    m_devices.swap(next);
    m_config = config;
}

Simulator::Device* Simulator::findDevice(BYTE adapter, BYTE target)
{
    for (Device& d : m_devices) {
        if (d.config.adapter == adapter && d.config.target == target)
            return &d;
    }
    return nullptr;
}

DWORD Simulator::supportInfo()
{
    std::string log = logPath();
    DWORD result;
    bool setError;
    DWORD error;
    {
        Guard guard(&m_lock);
        refresh();
        result = (static_cast<DWORD>(m_config.supportStatus) << 8) | m_config.adapterCount;
        setError = m_config.lastErrorGiven;
        error = m_config.lastError;
    }
    appendLog(log, format("SUPPORTINFO result=0x%08lX", static_cast<unsigned long>(result)));
    if (setError)
        SetLastError(error);
    return result;
}

DWORD Simulator::sendCommand(void* p)
{
    std::string log = logPath();
    if (p == nullptr) {
        appendLog(log, format("BADCMD cmd=null result=0x%02X", SS_INVALID_SRB));
        return SS_INVALID_SRB;
    }
    Guard guard(&m_lock);
    refresh();
    BYTE cmd = static_cast<SRB_Header*>(p)->SRB_Cmd;
    switch (cmd) {
    case SC_HA_INQUIRY:
        return adapterInquiry(static_cast<SRB_HAInquiry*>(p), log);
    case SC_EXEC_SCSI_CMD:
        return execute(static_cast<SRB_ExecSCSICmd*>(p), log, true);
    default:
        appendLog(log, format("BADCMD cmd=0x%02X result=0x%02X", cmd, SS_INVALID_CMD));
        return SS_INVALID_CMD;
    }
}

DWORD Simulator::adapterInquiry(SRB_HAInquiry* srb, const std::string& log)
{
    BYTE ha = srb->SRB_HaId;
    DWORD result;
    if (ha >= m_config.adapterCount) {
        result = SS_INVALID_HA;
    } else if (m_config.adapters[ha].inquiryResult != SS_COMP) {
        result = m_config.adapters[ha].inquiryResult;
    } else {
        srb->HA_Count = m_config.adapterCount;
        std::memset(srb->HA_Unique, 0, sizeof srb->HA_Unique);
        srb->HA_Unique[3] = m_config.adapters[ha].maxTargets;
        result = SS_COMP;
    }
    srb->SRB_Status = static_cast<BYTE>(result);
    appendLog(log, format("HAINQ ha=%u result=0x%02lX", ha, static_cast<unsigned long>(result)));
    return result;
}

DWORD Simulator::logicalDrives()
{
    Guard guard(&m_lock);
    refresh();
    DWORD mask = 0;
    for (const VolumeConfig& v : m_config.volumes)
        mask |= DWORD(1) << (v.letter - 'A');
    return mask;
}

bool Simulator::findVolume(char letter, VolumeConfig* volume)
{
    Guard guard(&m_lock);
    refresh();
    for (const VolumeConfig& v : m_config.volumes) {
        if (v.letter == letter) {
            *volume = v;
            return true;
        }
    }
    return false;
}

unsigned Simulator::secondMs()
{
    Guard guard(&m_lock);
    refresh();
    return m_config.secondMs;
}

DWORD Simulator::sendVolumeCommand(SRB_ExecSCSICmd* srb)
{
    std::string log = logPath();
    Guard guard(&m_lock);
    refresh();
    return execute(srb, log, false);
}

DWORD Simulator::execute(SRB_ExecSCSICmd* srb, const std::string& log, bool checkAdapter)
{
    std::string prefix = execPrefix(*srb);
    auto refuse = [&](DWORD result) {
        appendLog(log, prefix + execSuffix(result, srb->SRB_Status, 0));
        return result;
    };
    if ((srb->SRB_BufLen > 0 && srb->SRB_BufPointer == nullptr) || srb->SRB_CDBLen == 0 ||
        srb->SRB_CDBLen > sizeof srb->CDBByte)
        return refuse(SS_INVALID_SRB);
    if (checkAdapter && srb->SRB_HaId >= m_config.adapterCount) {
        srb->SRB_Status = SS_INVALID_HA;
        return refuse(SS_INVALID_HA);
    }

    Completion c;
    c.srb = srb;
    c.buffer = srb->SRB_BufPointer;
    c.signalEvent = (srb->SRB_Flags & SRB_EVENT_NOTIFY) != 0;
    c.event = static_cast<HANDLE>(srb->SRB_PostProc);
    c.logPath = log;
    c.logPrefix = prefix;
    unsigned delayMs = 0;

    Device* dev = findDevice(srb->SRB_HaId, srb->SRB_Target);
    if (dev == nullptr) {
        // Nothing answers the selection.
        c.outcome.srbStatus = SS_NO_DEVICE;
        c.outcome.haStat = HASTAT_SEL_TO;
    } else {
        uint8_t opcode = srb->CDBByte[0];
        int page = opcode == mmc::MODE_SENSE_10 && srb->SRB_CDBLen >= 3 ? (srb->CDBByte[2] & 0x3F) : kAnyPage;
        FaultDecision fault = takeFaults(dev->config, opcode, page);
        if (fault.refuse)
            return refuse(kRefuseResult);
        if (fault.error) {
            c.outcome = checkCondition();
        } else {
            Command cmd;
            cmd.cdb = srb->CDBByte;
            cmd.cdbLen = srb->SRB_CDBLen;
            cmd.lun = srb->SRB_Lun;
            // Flags without a direction leave it to the command.
            cmd.dataInAllowed = (srb->SRB_Flags & SRB_DIR_OUT) == 0;
            cmd.dataOutAllowed = (srb->SRB_Flags & SRB_DIR_IN) == 0;
            cmd.outData = cmd.dataOutAllowed ? srb->SRB_BufPointer : nullptr;
            cmd.bufLen = srb->SRB_BufLen;
            c.outcome = executeCommand(dev->config.profile, dev->state, cmd);
        }
        delayMs = fault.delayMs;
    }

    if (delayMs > 0 && completeLater(c, delayMs))
        return SS_PENDING;
    // A request that does not complete cleanly at once goes the queued way:
    // SS_PENDING with the event already signalled, so that the caller tells
    // an error status from a refusal.
    bool viaEvent = c.signalEvent && c.outcome.srbStatus != SS_COMP;
    c.result = viaEvent ? SS_PENDING : c.outcome.srbStatus;
    completeNow(c, 0);
    return c.result;
}

}  // namespace ksim
