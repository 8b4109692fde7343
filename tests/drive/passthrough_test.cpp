// The pass-through transport in process, through a fake table of volume
// calls: what each command's request holds, how a failed or timed-out
// request ends, and which transport the Transport key chooses.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "drive/cd_drive.h"
#include "drive/discovery.h"
#include "drive/passthrough_transport.h"
#include "drive/transport_choice.h"
#include "trace_capture.h"

namespace {

// One CD-ROM volume E: at port 1, target 2, answering every pass-through
// request as the test says.
namespace fake {

std::vector<SCSI_PASS_THROUGH> requests;
BOOL answer = TRUE;
DWORD error = 0;
UCHAR scsiStatus = 0;

DWORD WINAPI getLogicalDrives() { return 1u << ('E' - 'A'); }
UINT WINAPI getDriveType(LPCSTR root) { return root[0] == 'E' ? DRIVE_CDROM : DRIVE_NO_ROOT_DIR; }
HANDLE WINAPI createFile(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE)
{
    return reinterpret_cast<HANDLE>(0x1234);
}
BOOL WINAPI deviceIoControl(HANDLE, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize, LPDWORD,
                            LPOVERLAPPED)
{
    if (code == IOCTL_SCSI_GET_ADDRESS_CODE) {
        *static_cast<ScsiAddress*>(out) = {8, 1, 0, 2, 0};
        return TRUE;
    }
    EXPECT_EQ(code, static_cast<DWORD>(IOCTL_SCSI_PASS_THROUGH));
    EXPECT_EQ(in, out);
    EXPECT_EQ(inSize, sizeof(PassThroughRequest));
    EXPECT_EQ(outSize, sizeof(PassThroughRequest));
    PassThroughRequest* r = static_cast<PassThroughRequest*>(in);
    requests.push_back(r->header);
    r->data[0] = 0x05;  // INQUIRY: a CD-ROM device
    r->header.ScsiStatus = scsiStatus;
    SetLastError(error);
    return answer;
}
BOOL WINAPI closeHandle(HANDLE) { return TRUE; }

}  // namespace fake

class PassThroughTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_saved = g_volumeSystemCalls;
        g_volumeSystemCalls = {fake::getLogicalDrives, fake::getDriveType, fake::createFile, fake::deviceIoControl,
                               fake::closeHandle};
        fake::requests.clear();
        fake::answer = TRUE;
        fake::error = 0;
        fake::scsiStatus = 0;
    }
    void TearDown() override
    {
        for (POSITION pos = drives.GetHeadPosition(); pos != nullptr;)
            delete static_cast<CdDrive*>(drives.GetNext(pos));
        closeTransport();
        g_volumeSystemCalls = m_saved;
    }
    CObList drives{10};

private:
    VolumeSystemCalls m_saved;
};

// Every command reaches the volume as the same CDB, direction and lengths
// as through ASPI, with the named time-out and the sense area after the
// header.
TEST_F(PassThroughTest, RequestsCarryEachCommandsBytes)
{
    detectDrives(&drives, TransportChoice::PassThrough);
    ASSERT_EQ(drives.GetCount(), 1);
    CdDrive& drive = *static_cast<CdDrive*>(drives.GetAt(drives.GetHeadPosition()));
    EXPECT_EQ(drive.address, "1:2");
    drive.setSpeed(1411);
    drive.setLock(1);
    drive.setSpindown(3);
    const struct {
        BYTE opcode;
        BYTE cdbLength, dataIn;
        ULONG length;
        BYTE senseLength;
    } rows[] = {
        {0x12, 6, SCSI_IOCTL_DATA_IN, 100, 14},   // type
        {0x12, 6, SCSI_IOCTL_DATA_IN, 100, 14},   // name: 192 bytes asked, 100 announced
        {0xBB, 12, SCSI_IOCTL_DATA_OUT, 0, 14},
        {0x1E, 12, SCSI_IOCTL_DATA_IN, 256, 14},
        {0x55, 12, SCSI_IOCTL_DATA_OUT, 16, 14},
    };
    ASSERT_EQ(fake::requests.size(), sizeof rows / sizeof rows[0]);
    for (size_t i = 0; i < fake::requests.size(); ++i) {
        const SCSI_PASS_THROUGH& h = fake::requests[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(h.Length, sizeof h);
        EXPECT_EQ(h.Cdb[0], rows[i].opcode);
        EXPECT_EQ(h.CdbLength, rows[i].cdbLength);
        EXPECT_EQ(h.DataIn, rows[i].dataIn);
        EXPECT_EQ(h.DataTransferLength, rows[i].length);
        EXPECT_EQ(h.SenseInfoLength, rows[i].senseLength);
        EXPECT_EQ(h.TargetId, 2);
        EXPECT_EQ(h.Lun, 0);
        EXPECT_EQ(h.TimeOutValue, PASS_THROUGH_TIMEOUT_SECONDS);
        EXPECT_EQ(h.SenseInfoOffset, offsetof(PassThroughRequest, sense));
        EXPECT_EQ(h.DataBufferOffset, offsetof(PassThroughRequest, data));
    }
    EXPECT_EQ(fake::requests[2].Cdb[2], 0x05);  // 1411 KB/s, big-endian
    EXPECT_EQ(fake::requests[2].Cdb[3], 0x83);
    EXPECT_EQ(fake::requests[3].Cdb[4], 1);
}

// A request the system fails (a time-out among them) or the drive ends
// with an error status is a failed command, with its trace.
TEST_F(PassThroughTest, FailedRequestsAreFailedCommandsWithTheirTrace)
{
    detectDrives(&drives, TransportChoice::PassThrough);
    ASSERT_EQ(drives.GetCount(), 1);
    CdDrive& drive = *static_cast<CdDrive*>(drives.GetAt(drives.GetHeadPosition()));
    const struct {
        BOOL answer;
        DWORD error;
        UCHAR status;
        std::string trace;
    } rows[] = {
        {FALSE, ERROR_SEM_TIMEOUT, 0, "SCSI pass-through to E: command 0x5A timed out after 20 s"},
        {FALSE, ERROR_IO_DEVICE, 0, "SCSI pass-through to E: command 0x5A failed (error 1117)"},
        {TRUE, 0, 2, " getSpeed() 0x"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.trace);
        fake::answer = row.answer;
        fake::error = row.error;
        fake::scsiStatus = row.status;
        TraceCapture trace;
        EXPECT_EQ(drive.getSpeed(), 0);
        ASSERT_EQ(trace.lines().size(), 1u);
        EXPECT_EQ(trace.lines()[0].compare(0, row.trace.size(), row.trace), 0) << trace.lines()[0];
    }
}

TEST(TransportChoice, TheKeysValues)
{
    const struct {
        const char* text;
        TransportChoice choice;
    } rows[] = {
        {nullptr, TransportChoice::Auto},        {"", TransportChoice::Auto},
        {"auto", TransportChoice::Auto},         {"aspi", TransportChoice::Aspi},
        {" ASPI\t", TransportChoice::Aspi},      {"passthrough", TransportChoice::PassThrough},
        {"PassThrough ", TransportChoice::PassThrough}, {"pass-through", TransportChoice::Auto},
        {"aspix", TransportChoice::Auto},        {"asp", TransportChoice::Auto},
    };
    for (const auto& row : rows)
        EXPECT_EQ(parseTransportChoice(row.text), row.choice) << (row.text ? row.text : "(null)");
}

}  // namespace
