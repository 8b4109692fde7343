// The simulated wnaspi32.dll, loaded as the program loads it, checked for
// the behaviour that the drive-layer and end-to-end tests rely on.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "drive/aspi.h"
#include "tests/support/sim_setup.h"

using namespace ksim;

namespace {

GetASPI32SupportInfoProc g_supportInfo = nullptr;
SendASPI32CommandProc g_send = nullptr;

std::vector<BYTE> bytes(std::initializer_list<int> list)
{
    std::vector<BYTE> v;
    for (int b : list)
        v.push_back(static_cast<BYTE>(b));
    return v;
}

std::vector<BYTE> modeSenseCdb(int page, int cdb1 = 0)
{
    return bytes({0x5A, cdb1, page, 0, 0, 0, 0, 0x01, 0x00, 0, 0, 0});
}

std::vector<BYTE> setSpeedCdb(unsigned kbps)
{
    return bytes({0xBB, 0, static_cast<int>(kbps >> 8) & 0xFF, static_cast<int>(kbps) & 0xFF, 0xFF, 0xFF, 0, 0, 0,
                  0, 0, 0});
}

// A spin-down parameter list as the program sends it.
std::vector<BYTE> spindownList(int code)
{
    return bytes({0, 0, 0, 0, 0, 0, 0, 0, 0x0D, 0x06, 0, code, 0, 0x3C, 0, 0x4B});
}

struct Request {
    int ha = 0;
    int tgt = 0;
    int lun = 0;
    std::vector<BYTE> cdb;
    BYTE flags = SRB_DIR_IN | SRB_EVENT_NOTIFY;
    DWORD bufLen = 0;
    BYTE* buffer = nullptr;
    BYTE senseLen = 14;
};

struct Reply {
    DWORD result = 0xFFFFFFFF;
    SRB_ExecSCSICmd srb;
};

// Submits once and, when the request was queued, waits for its event.
Reply submit(const Request& q)
{
    Reply r;
    std::memset(&r.srb, 0, sizeof r.srb);
    r.srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
    r.srb.SRB_HaId = static_cast<BYTE>(q.ha);
    r.srb.SRB_Target = static_cast<BYTE>(q.tgt);
    r.srb.SRB_Lun = static_cast<BYTE>(q.lun);
    r.srb.SRB_Flags = q.flags;
    r.srb.SRB_BufLen = q.bufLen;
    r.srb.SRB_BufPointer = q.buffer;
    r.srb.SRB_SenseLen = q.senseLen;
    r.srb.SRB_CDBLen = static_cast<BYTE>(q.cdb.size());
    std::memcpy(r.srb.CDBByte, q.cdb.data(), std::min<size_t>(q.cdb.size(), 16));
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    r.srb.SRB_PostProc = event;
    r.result = g_send(&r.srb);
    if (r.result == SS_PENDING) {
        EXPECT_EQ(WaitForSingleObject(event, 10000), WAIT_OBJECT_0) << "queued request never signalled";
    }
    CloseHandle(event);
    return r;
}

// A data-in command into a 256-byte buffer; returns the buffer.
std::vector<BYTE> readIn(const std::vector<BYTE>& cdb, BYTE* status, int tgt = 0)
{
    std::vector<BYTE> buf(256, 0);
    Request q;
    q.tgt = tgt;
    q.cdb = cdb;
    q.bufLen = 256;
    q.buffer = buf.data();
    *status = submit(q).srb.SRB_Status;
    return buf;
}

Reply noData(const std::vector<BYTE>& cdb, BYTE flags = SRB_DIR_OUT | SRB_EVENT_NOTIFY)
{
    Request q;
    q.cdb = cdb;
    q.flags = flags;
    return submit(q);
}

Reply modeSelect(std::vector<BYTE> list)
{
    Request q;
    q.cdb = bytes({0x55, 0x10, 0, 0, 0, 0, 0, static_cast<int>(list.size() >> 8), static_cast<int>(list.size() & 0xFF),
                   0, 0, 0});
    q.flags = SRB_DIR_OUT | SRB_EVENT_NOTIFY;
    q.bufLen = static_cast<DWORD>(list.size());
    q.buffer = list.data();
    return submit(q);
}

unsigned be16(const std::vector<BYTE>& b, size_t at)
{
    return (b[at] << 8) | b[at + 1];
}

class SimTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        HMODULE dll = LoadLibraryA("wnaspi32.dll");
        ASSERT_NE(dll, nullptr);
        char path[MAX_PATH];
        GetModuleFileNameA(dll, path, sizeof path);
        ASSERT_EQ(std::string(path).find("system32"), std::string::npos)
            << "Wine's own wnaspi32.dll was loaded: " << path;
        g_supportInfo = reinterpret_cast<GetASPI32SupportInfoProc>(
            reinterpret_cast<void*>(GetProcAddress(dll, "GetASPI32SupportInfo")));
        g_send = reinterpret_cast<SendASPI32CommandProc>(
            reinterpret_cast<void*>(GetProcAddress(dll, "SendASPI32Command")));
        ASSERT_NE(g_supportInfo, nullptr);
        ASSERT_NE(g_send, nullptr);
    }

    // Each test gets its own folder, so the simulator starts afresh.
    void SetUp() override
    {
        static int s_count = 0;
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        m_dir = std::string(temp) + "ksim_test_" + std::to_string(GetCurrentProcessId()) + "_" +
                std::to_string(++s_count);
        CreateDirectoryA(m_dir.c_str(), nullptr);
        m_ini = m_dir + "\\ksim.ini";
        m_log = m_dir + "\\ksim.log";
        SetEnvironmentVariableA("KSIM_CONFIG", m_ini.c_str());
        SetEnvironmentVariableA("KSIM_LOG", m_log.c_str());
        m_setup.device(0, 0).cdrom("KSIM", "TEST DRIVE", "1.0").maxSpeed(7056);
    }

    void TearDown() override
    {
        DeleteFileA(m_ini.c_str());
        DeleteFileA(m_log.c_str());
        RemoveDirectoryA(m_dir.c_str());
    }

    void write() { ASSERT_TRUE(m_setup.write(m_ini)); }
    // The simulator reads the file at its next call.
    void writeAndRead()
    {
        write();
        g_supportInfo();
    }

    std::string m_dir, m_ini, m_log;
    SimSetup m_setup;
};

TEST_F(SimTest, SupportInfoCarriesStatusAndAdapterCount)
{
    const struct {
        int status, adapters;
        DWORD expected;
    } rows[] = {{0x01, 1, 0x0101}, {0x01, 0, 0x0100}, {0xE8, 0, 0xE800}, {0x04, 3, 0x0403}};
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        m_setup.supportStatus(rows[i].status).adapters(rows[i].adapters).lastError(1234);
        write();
        SetLastError(0);
        EXPECT_EQ(g_supportInfo(), rows[i].expected) << "row " << i;
        EXPECT_EQ(GetLastError(), 1234u) << "row " << i;
    }
    SimLog log = readSimLog(m_log);
    ASSERT_FALSE(log.records.empty());
    EXPECT_EQ(log.records.back().kind, SimRecord::SupportInfo);
    EXPECT_EQ(log.records.back().line, "SUPPORTINFO result=0x00000403");
}

TEST_F(SimTest, AdapterInquiryReportsMaxTargetsByteAsConfigured)
{
    const int values[] = {8, 16, 0, 7, 15};
    for (int v : values) {
        m_setup.adapters(2).adapter(1).maxTargets(v);
        write();
        SRB_HAInquiry srb;
        std::memset(&srb, 0, sizeof srb);
        srb.SRB_HaId = 1;
        EXPECT_EQ(g_send(&srb), static_cast<DWORD>(SS_COMP)) << v;
        EXPECT_EQ(srb.HA_Unique[3], v);
        EXPECT_EQ(srb.HA_Count, 2);
    }
    m_setup.adapter(1).inquiryResult(SS_ERR);
    write();
    SRB_HAInquiry srb;
    std::memset(&srb, 0, sizeof srb);
    srb.SRB_HaId = 1;
    EXPECT_EQ(g_send(&srb), static_cast<DWORD>(SS_ERR));
    EXPECT_EQ(srb.HA_Unique[3], 0) << "a failed inquiry fills in no adapter data";
    srb.SRB_HaId = 2;
    EXPECT_EQ(g_send(&srb), static_cast<DWORD>(SS_INVALID_HA));
}

TEST_F(SimTest, InquiryKeepsBlanksAndRespectsBothLengths)
{
    m_setup.device(0, 0).cdrom("        ", "PRODUCT  TEN    ", "1.0 ").qualifier(1);
    write();
    const struct {
        int alloc;
        DWORD bufLen;
        size_t written;  // bytes the device may write
    } rows[] = {{100, 100, 96}, {192, 100, 96}, {36, 100, 36}, {192, 20, 20}, {0, 100, 0}};
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        std::vector<BYTE> buf(256, 0xCC);
        Request q;
        q.cdb = bytes({0x12, 0, 0, 0, rows[i].alloc, 0});
        q.bufLen = rows[i].bufLen;
        q.buffer = buf.data();
        Reply r = submit(q);
        ASSERT_EQ(r.srb.SRB_Status, SS_COMP) << "row " << i;
        for (size_t b = rows[i].written; b < buf.size(); ++b)
            ASSERT_EQ(buf[b], 0xCC) << "row " << i << ": byte " << b << " written past the limit";
        if (rows[i].written >= 36) {
            EXPECT_EQ(buf[0], 0x25) << "row " << i;
            EXPECT_EQ(std::string(reinterpret_cast<char*>(&buf[8]), 28), "        PRODUCT  TEN    1.0 ");
        }
    }
}

TEST_F(SimTest, DeviceAnswersOnlyWhereAndAsConfigured)
{
    m_setup.device(0, 0).nameInquiryFails();
    m_setup.device(0, 1).type(0).lun(1);
    write();
    BYTE status;
    std::vector<BYTE> data = readIn(bytes({0x12, 0, 0, 0, 100, 0}), &status);
    EXPECT_EQ(status, SS_COMP) << "the type inquiry works";
    readIn(bytes({0x12, 0, 0, 0, 192, 0}), &status);
    EXPECT_EQ(status, SS_ERR) << "the name inquiry fails";

    readIn(bytes({0x12, 0, 0, 0, 100, 0}), &status, 1);
    EXPECT_EQ(status, SS_ERR) << "LUN 0 of a device at LUN 1";
    std::vector<BYTE> buf(100, 0);
    Request q;
    q.tgt = 1;
    q.lun = 1;
    q.cdb = bytes({0x12, 0, 0, 0, 100, 0});
    q.bufLen = 100;
    q.buffer = buf.data();
    Reply r = submit(q);
    EXPECT_EQ(r.srb.SRB_Status, SS_COMP);
    EXPECT_EQ(buf[0], 0x00) << "disk";

    // Nothing at target 2: completes (through the event) with an error.
    Request none = q;
    none.tgt = 2;
    none.lun = 0;
    r = submit(none);
    EXPECT_EQ(r.result, static_cast<DWORD>(SS_PENDING));
    EXPECT_NE(r.srb.SRB_Status, SS_COMP);
}

TEST_F(SimTest, BlockDescriptorShiftsPagesByEight)
{
    const struct {
        bool descriptor;
        int cdb1;  // 0x08: DBD
        size_t page;
    } rows[] = {{false, 0, 8}, {true, 0, 16}, {true, 0x08, 8}};
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        m_setup.device(0, 0).blockDescriptor(rows[i].descriptor).speed(1411).lock(true, true).spindown(0x1A);
        write();
        BYTE status;
        std::vector<BYTE> d = readIn(modeSenseCdb(0x2A, rows[i].cdb1), &status);
        ASSERT_EQ(status, SS_COMP) << "row " << i;
        size_t p = rows[i].page;
        EXPECT_EQ(be16(d, 6), p - 8) << "row " << i << ": block descriptor length";
        EXPECT_EQ(be16(d, 0), p + 22 - 2) << "row " << i << ": mode data length";
        EXPECT_EQ(d[p], 0x2A) << "row " << i;
        EXPECT_EQ(d[p + 6], 0x03) << "row " << i;
        EXPECT_EQ(be16(d, p + 8), 7056u) << "row " << i;
        EXPECT_EQ(be16(d, p + 14), 1411u) << "row " << i;
        d = readIn(modeSenseCdb(0x0D, rows[i].cdb1), &status);
        EXPECT_EQ(d[p], 0x0D) << "row " << i;
        EXPECT_EQ(d[p + 3], 0x1A) << "row " << i;
    }
}

TEST_F(SimTest, SpeedPoliciesSelectTheDocumentedSpeed)
{
    const struct {
        const char* policy;
        unsigned request, expected;
    } rows[] = {
        {"any", 1411, 1411},   {"any", 9000, 9000},   {"any", 0xFFFF, 7056}, {"clip", 9000, 7056},
        {"clip", 1000, 1000},  {"table", 7050, 5645}, {"table", 7056, 7056}, {"table", 1411, 1411},
        {"table", 1410, 706},  {"table", 100, 176},   {"table", 0xFFFF, 7056}, {"ignore", 1411, 2822},
        {"zero", 1411, 0},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        m_setup.device(0, 0).policy(rows[i].policy).speed(2822).speedTable({176, 706, 1411, 5645, 7056, 8467});
        // Another speed first, so that every row starts from 2822: the
        // simulator applies a speed when it differs from the last file read.
        m_setup.device(0, 0).speed(3000);
        writeAndRead();
        m_setup.device(0, 0).speed(2822);
        writeAndRead();
        EXPECT_EQ(noData(setSpeedCdb(rows[i].request)).srb.SRB_Status, SS_COMP) << "row " << i;
        BYTE status;
        std::vector<BYTE> d = readIn(modeSenseCdb(0x2A), &status);
        EXPECT_EQ(be16(d, 22), rows[i].expected)
            << "row " << i << ": " << rows[i].policy << " asked " << rows[i].request;
    }
}

TEST_F(SimTest, LockFollowsPreventAllowOnlyWhenSupported)
{
    const struct {
        bool supported, ignore;
        int afterPrevent, afterAllow;
    } rows[] = {{true, false, 0x03, 0x01}, {false, false, 0x00, 0x00}, {true, true, 0x01, 0x01}};
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        m_setup.device(0, 0).lock(rows[i].supported, false).lockIgnore(rows[i].ignore);
        write();
        BYTE status;
        std::vector<BYTE> buf(256, 0xCC);
        Request q;
        q.cdb = bytes({0x1E, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0});
        q.bufLen = 256;
        q.buffer = buf.data();
        EXPECT_EQ(submit(q).srb.SRB_Status, SS_COMP);
        EXPECT_EQ(buf, std::vector<BYTE>(256, 0xCC)) << "a command without data wrote the buffer";
        EXPECT_EQ(readIn(modeSenseCdb(0x2A), &status)[14], rows[i].afterPrevent) << "row " << i;
        q.cdb[4] = 0;
        submit(q);
        EXPECT_EQ(readIn(modeSenseCdb(0x2A), &status)[14], rows[i].afterAllow) << "row " << i;
    }
}

TEST_F(SimTest, ModeSelectStoresSpindownAndRejectsMalformedLists)
{
    m_setup.device(0, 0).spindown(0x05);
    write();
    std::vector<BYTE> list = spindownList(0x0A);
    std::vector<BYTE> sent = list;
    EXPECT_EQ(modeSelect(list).srb.SRB_Status, SS_COMP);
    EXPECT_EQ(list, sent) << "a DIR_OUT buffer was written";
    BYTE status;
    EXPECT_EQ(readIn(modeSenseCdb(0x0D), &status)[11], 0x0A);

    std::vector<BYTE> withDescriptor = bytes({0, 0, 0, 0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 8, 0});
    std::vector<BYTE> page = bytes({0x0D, 0x06, 0, 0x03, 0, 0x3C, 0, 0x4B});
    withDescriptor.insert(withDescriptor.end(), page.begin(), page.end());
    EXPECT_EQ(modeSelect(withDescriptor).srb.SRB_Status, SS_COMP);
    EXPECT_EQ(readIn(modeSenseCdb(0x0D), &status)[11], 0x03);

    const struct {
        const char* what;
        std::vector<BYTE> list;
    } bad[] = {
        {"shorter than the header", bytes({0, 0, 0, 0, 0, 0})},
        {"page cut short", bytes({0, 0, 0, 0, 0, 0, 0, 0, 0x0D, 0x06, 0, 0x0B, 0, 0x3C})},
        {"wrong page length", bytes({0, 0, 0, 0, 0, 0, 0, 0, 0x0D, 0x04, 0, 0x0B, 0, 0x3C})},
        {"block descriptor length 4", bytes({0, 0, 0, 0, 0, 0, 0, 4, 0x0D, 0x06, 0, 0x0B, 0, 0x3C, 0, 0x4B})},
        {"capabilities page", bytes({0, 0, 0, 0, 0, 0, 0, 0, 0x2A, 0x06, 0, 0x0B, 0, 0x3C, 0, 0x4B})},
        {"good page then a cut one", bytes({0, 0, 0, 0, 0, 0, 0, 0, 0x0D, 0x06, 0, 0x0B, 0, 0x3C, 0, 0x4B, 0x0D})},
    };
    for (const auto& row : bad) {
        EXPECT_EQ(modeSelect(row.list).srb.SRB_Status, SS_ERR) << row.what;
        EXPECT_EQ(readIn(modeSenseCdb(0x0D), &status)[11], 0x03) << row.what << " changed the code";
    }
}

TEST_F(SimTest, RefusalsLeaveTheRequestUntouchedAndCountDown)
{
    m_setup.device(0, 0).refuse(0x5A, 2).refuseResult(0xE0);
    write();
    std::vector<BYTE> buf(256, 0xCC);
    SRB_ExecSCSICmd srb;
    std::memset(&srb, 0x5C, sizeof srb);
    srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
    srb.SRB_HaId = 0;
    srb.SRB_Target = 0;
    srb.SRB_Lun = 0;
    srb.SRB_Flags = SRB_DIR_IN | SRB_EVENT_NOTIFY;
    srb.SRB_BufLen = 256;
    srb.SRB_BufPointer = buf.data();
    srb.SRB_CDBLen = 12;
    std::vector<BYTE> cdb = modeSenseCdb(0x2A);
    std::memcpy(srb.CDBByte, cdb.data(), 12);
    srb.SRB_PostProc = nullptr;
    SRB_ExecSCSICmd before = srb;
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(g_send(&srb), 0xE0u) << "submission " << i;
        EXPECT_EQ(std::memcmp(&srb, &before, sizeof srb), 0) << "a refusal changed the request block";
        EXPECT_EQ(buf, std::vector<BYTE>(256, 0xCC));
    }
    BYTE status;
    readIn(modeSenseCdb(0x2A), &status);
    EXPECT_EQ(status, SS_COMP) << "the third submission is accepted";
    EXPECT_EQ(readSimLog(m_log).commands(0x5A).size(), 3u);
}

TEST_F(SimTest, ErrorsCarrySenseUpToSenseLenAndMayBePerPage)
{
    m_setup.device(0, 0).error(0x5A, 1, 0x2A).sense(0x5A, 0x03, 0x11, 0x05, 0x2A).error(0xBB, kSimAlways);
    write();
    BYTE status;
    readIn(modeSenseCdb(0x0D), &status);
    EXPECT_EQ(status, SS_COMP) << "the fault is for page 0x2A only";

    std::vector<BYTE> buf(256, 0);
    Request q;
    q.cdb = modeSenseCdb(0x2A);
    q.bufLen = 256;
    q.buffer = buf.data();
    q.senseLen = 14;
    Reply r = submit(q);
    EXPECT_EQ(r.result, static_cast<DWORD>(SS_PENDING)) << "an error completion is not a refusal";
    EXPECT_EQ(r.srb.SRB_Status, SS_ERR);
    EXPECT_EQ(r.srb.SRB_TargStat, STATUS_CHKCOND);
    EXPECT_EQ(r.srb.SenseArea[0], 0x70);
    EXPECT_EQ(r.srb.SenseArea[2], 0x03);
    EXPECT_EQ(r.srb.SenseArea[12], 0x11);
    EXPECT_EQ(r.srb.SenseArea[13], 0x05);
    for (size_t i = 14; i < sizeof r.srb.SenseArea; ++i)
        EXPECT_EQ(r.srb.SenseArea[i], 0) << "sense byte " << i << " beyond SRB_SenseLen";
    readIn(modeSenseCdb(0x2A), &status);
    EXPECT_EQ(status, SS_COMP) << "only the next one fails";

    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(noData(setSpeedCdb(1411)).srb.SRB_Status, SS_ERR) << "always, attempt " << i;

    Reply unknown = noData(bytes({0x00, 0, 0, 0, 0, 0}), SRB_EVENT_NOTIFY);
    EXPECT_EQ(unknown.srb.SRB_Status, SS_ERR);
    EXPECT_EQ(unknown.srb.SenseArea[2], 0x05) << "ILLEGAL REQUEST";
    EXPECT_EQ(unknown.srb.SenseArea[12], 0x20) << "invalid opcode";
}

TEST_F(SimTest, MaximumSpeedReadsZeroForTheNextReads)
{
    m_setup.device(0, 0).maxSpeedZero(2);
    write();
    unsigned got[3];
    for (unsigned& g : got) {
        BYTE status;
        g = be16(readIn(modeSenseCdb(0x2A), &status), 16);
    }
    EXPECT_EQ(got[0], 0u);
    EXPECT_EQ(got[1], 0u);
    EXPECT_EQ(got[2], 7056u);
}

TEST_F(SimTest, DelayedCompletionSignalsAfterTheDelayWithStatusPendingBefore)
{
    const DWORD delayMs = 300;
    m_setup.device(0, 0).delay(0x5A, delayMs, 1);
    write();
    std::vector<BYTE> buf(256, 0);
    SRB_ExecSCSICmd srb;
    std::memset(&srb, 0, sizeof srb);
    srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
    srb.SRB_Flags = SRB_DIR_IN | SRB_EVENT_NOTIFY;
    srb.SRB_BufLen = 256;
    srb.SRB_BufPointer = buf.data();
    srb.SRB_CDBLen = 12;
    std::vector<BYTE> cdb = modeSenseCdb(0x2A);
    std::memcpy(srb.CDBByte, cdb.data(), 12);
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    srb.SRB_PostProc = event;

    DWORD start = GetTickCount();
    ASSERT_EQ(g_send(&srb), static_cast<DWORD>(SS_PENDING));
    EXPECT_EQ(WaitForSingleObject(event, 100), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(*static_cast<volatile BYTE*>(&srb.SRB_Status), SS_PENDING);
    EXPECT_EQ(buf[8], 0) << "data delivered before completion";
    ASSERT_EQ(WaitForSingleObject(event, 10000), WAIT_OBJECT_0);
    DWORD elapsed = GetTickCount() - start;
    CloseHandle(event);
    EXPECT_GE(elapsed, delayMs - 20);
    EXPECT_EQ(srb.SRB_Status, SS_COMP);
    EXPECT_EQ(buf[8], 0x2A);

    std::vector<SimRecord> cmds = readSimLog(m_log).commands(0x5A);
    ASSERT_EQ(cmds.size(), 1u);
    EXPECT_EQ(cmds[0].pendingMs, static_cast<int>(delayMs));
    EXPECT_EQ(cmds[0].result, static_cast<unsigned long>(SS_PENDING));
    EXPECT_EQ(cmds[0].status, SS_COMP);

    BYTE status;
    readIn(modeSenseCdb(0x2A), &status);
    EXPECT_EQ(readSimLog(m_log).commands(0x5A).back().pendingMs, 0) << "delayCount 1";
}

TEST_F(SimTest, ReloadRearmsFaultsAndKeepsDynamicState)
{
    m_setup.device(0, 0).policy("any").spindown(0x05);
    write();
    noData(setSpeedCdb(1411));
    modeSelect(spindownList(0x0B));

    m_setup.device(0, 0).refuse(0xBB, 1);
    write();
    EXPECT_EQ(noData(setSpeedCdb(2000)).result, 0xE0u) << "new fault applied";
    BYTE status;
    std::vector<BYTE> d = readIn(modeSenseCdb(0x2A), &status);
    EXPECT_EQ(be16(d, 22), 1411u) << "speed kept across the reload";
    EXPECT_EQ(readIn(modeSenseCdb(0x0D), &status)[11], 0x0B) << "spin-down kept across the reload";

    write();  // same settings, new generation
    EXPECT_EQ(noData(setSpeedCdb(2000)).result, 0xE0u) << "rewriting re-arms the counter";

    m_setup.device(0, 0).speed(2822);
    write();
    EXPECT_EQ(be16(readIn(modeSenseCdb(0x2A), &status), 22), 2822u) << "a speed the file sets anew";
}

TEST_F(SimTest, BadRequestsAndGarbageSetupAreRefusedNotFatal)
{
    {
        HANDLE f = CreateFileA(m_ini.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        const char junk[] = "[interface]\nadapters=99999999999999\nsupportStatus=zz\n[device0:0]\ntype=-4\n"
                            "maxSpeed=0x\nspeedTable=1,,x\nrefuse.5A.2A.1=3\nrefuse.ZZ=2\nsense.5A=1 2\n"
                            "delay.BB=9999999999\n\x01\xFF[[[\n=\n[device999:1]\n[device0:]\n";
        DWORD written;
        WriteFile(f, junk, sizeof junk - 1, &written, nullptr);
        CloseHandle(f);
    }
    EXPECT_EQ(g_supportInfo(), 0x0101u) << "defaults";
    BYTE status;
    std::vector<BYTE> d = readIn(bytes({0x12, 0, 0, 0, 100, 0}), &status);
    EXPECT_EQ(status, SS_COMP);
    EXPECT_EQ(d[0], 5) << "a bad type leaves the default";

    EXPECT_EQ(g_send(nullptr), static_cast<DWORD>(SS_INVALID_SRB));
    SRB_ExecSCSICmd srb;
    std::memset(&srb, 0, sizeof srb);
    srb.SRB_Cmd = 0x05;
    EXPECT_NE(g_send(&srb), static_cast<DWORD>(SS_COMP));
    srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
    srb.SRB_CDBLen = 6;
    srb.CDBByte[0] = 0x12;
    srb.CDBByte[4] = 100;
    srb.SRB_BufLen = 100;  // and no buffer
    EXPECT_EQ(g_send(&srb), static_cast<DWORD>(SS_INVALID_SRB));
    srb.SRB_BufLen = 0;
    srb.SRB_CDBLen = 17;
    EXPECT_EQ(g_send(&srb), static_cast<DWORD>(SS_INVALID_SRB));
}

TEST_F(SimTest, LogLinesHaveTheDocumentedFormatAndParseBack)
{
    write();
    BYTE status;
    readIn(bytes({0x12, 0, 0, 0, 100, 0}), &status);
    modeSelect(spindownList(0x0A));
    SRB_ExecSCSICmd bad;
    std::memset(&bad, 0, sizeof bad);
    bad.SRB_Cmd = 0x07;
    g_send(&bad);

    SimLog log = readSimLog(m_log);
    std::vector<SimRecord> cmds = log.commands();
    ASSERT_EQ(cmds.size(), 2u);
    EXPECT_EQ(cmds[0].line,
              "EXEC ha=0 tgt=0 lun=0 flags=0x48 buflen=256 senselen=14 cdblen=6 cdb=12 00 00 00 64 00 "
              "result=0x01 status=0x01");
    EXPECT_EQ(cmds[1].line,
              "EXEC ha=0 tgt=0 lun=0 flags=0x50 buflen=16 senselen=14 cdblen=12 cdb=55 10 00 00 00 00 00 00 10 "
              "00 00 00 out=00 00 00 00 00 00 00 00 0D 06 00 0A 00 3C 00 4B result=0x01 status=0x01");
    const SimRecord& sel = cmds[1];
    EXPECT_EQ(sel.flags, 0x50);
    EXPECT_EQ(sel.buflen, 16);
    EXPECT_EQ(sel.senselen, 14);
    EXPECT_EQ(sel.cdblen, 12);
    EXPECT_EQ(sel.cdb, bytes({0x55, 0x10, 0, 0, 0, 0, 0, 0, 0x10, 0, 0, 0}));
    ASSERT_TRUE(sel.hasOut);
    EXPECT_EQ(sel.out, spindownList(0x0A));
    EXPECT_EQ(sel.result, 1ul);
    EXPECT_EQ(sel.status, 1);
    EXPECT_FALSE(cmds[0].hasOut);
    ASSERT_EQ(log.records.back().kind, SimRecord::BadCmd);
    EXPECT_EQ(log.records.back().line, "BADCMD cmd=0x07 result=0x80");
}

}  // namespace
