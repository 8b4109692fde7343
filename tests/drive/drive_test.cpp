// The drive layer in process: request blocks, ASPI attempts and waiting,
// discovery, letters and the pass-through against the simulated drives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "drive/cd_drive.h"
#include "drive/conversions.h"
#include "drive/discovery.h"
#include "drive/passthrough_transport.h"
#include "fake_aspi.h"
#include "sim_drives.h"

namespace {

typedef std::vector<BYTE> Bytes;

// Volume calls go to the simulated volumes (ksim_volumes.dll, loaded once per run) through
// this table, which records the letters asked and opened and counts the handles still open.
namespace volumes {
DWORD extraMask;    // drives beside the simulated ones, of no type
std::string asked;  // letters asked for their type, then "/" and those opened
bool argumentsAsExpected;
int handlesOpen;

DWORD WINAPI getLogicalDrives() { return GetLogicalDrives() | extraMask; }
UINT WINAPI getDriveType(LPCSTR root) { asked += root[0]; return GetDriveTypeA(root); }
HANDLE WINAPI createFile(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                         DWORD attributes, HANDLE hTemplate)
{
    asked += std::string("/") + name[4];
    argumentsAsExpected &= (access == (GENERIC_READ | GENERIC_WRITE) || access == 0) &&
                           share == (FILE_SHARE_READ | FILE_SHARE_WRITE) && disposition == OPEN_EXISTING;
    HANDLE h = CreateFileA(name, access, share, security, disposition, attributes, hTemplate);
    handlesOpen += h != INVALID_HANDLE_VALUE;
    return h;
}
BOOL WINAPI closeHandle(HANDLE h) { --handlesOpen; return CloseHandle(h); }
}  // namespace volumes

// Every test may fill `drives`, undone at its end with the transport chosen.
class DriveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(LoadLibraryA("ksim_volumes.dll"), nullptr);
        m_saved = g_volumeSystemCalls;
        g_volumeSystemCalls = {volumes::getLogicalDrives, volumes::getDriveType, volumes::createFile, DeviceIoControl,
                               volumes::closeHandle};
        volumes::extraMask = 0;
        volumes::asked.clear();
        volumes::argumentsAsExpected = true;
        volumes::handlesOpen = 0;
    }
    void TearDown() override
    {
        for (POSITION pos = drives.GetHeadPosition(); pos != nullptr;)
            delete static_cast<CdDrive*>(drives.GetNext(pos));
        closeTransport();
        g_volumeSystemCalls = m_saved;
    }
    CdDrive& first() { return *static_cast<CdDrive*>(drives.GetAt(drives.GetHeadPosition())); }

    CObList drives{10};
    VolumeSystemCalls m_saved;
};

// Each operation is exactly its request blocks, each answered as its letter
// says: g good, e an error (the failure value), n not ready, r refused, u a unit
// attention (U: failed as the request is sent, the attention in its block), after
// which the chosen speed is sent again while it lasts, then the command if not that.
TEST_F(DriveTest, CommandsAsRequestBlocks)
{
    struct Block { BYTE flags; DWORD bufLen; Bytes data; };  // data: the buffer at submission (empty: zeros)
    auto cdb12 = [](Bytes head) { head.resize(12, 0); return head; };
    std::map<BYTE, Block> blocks = {
        {0x5A, {0x48, 256, {}}},
        {0x1E, {0x48, 256, {}}},
        {0x12, {0x48, 100, {}}},
        {0xBB, {0x50, 0, {}}},
        {0x55, {0x50, 16, {0, 0, 0, 0, 0, 0, 0, 0, 0x0D, 0x06, 0x00, 0x0A, 0x00, 0x3C, 0x00, 0x4B}}}};
    const Bytes sense2A = cdb12({0x5A, 0, 0x2A, 0, 0, 0, 0, 0x01}), speed1411 = cdb12({0xBB, 0, 0x05, 0x83, 0xFF, 0xFF});
    const Bytes lock1 = cdb12({0x1E, 0, 0, 0, 0x01}), speed176 = cdb12({0xBB, 0, 0x00, 0xB0, 0xFF, 0xFF});
    const Bytes sense0D = cdb12({0x5A, 0, 0x0D, 0, 0, 0, 0, 0x01}), sense1A = cdb12({0x5A, 0, 0x1A, 0, 0, 0, 0, 0x01});
    // The spin-down time as a number: the inactivity code, 1000 + a standby
    // timer, -1 failed, -2 not reported.
    auto spindown = [](CdDrive& d) {
        const CdDrive::Spindown s = d.getSpindown();
        return s.source == CdDrive::Spindown::Inactivity ? int(s.value)
             : s.source == CdDrive::Spindown::Standby    ? 1000 + int(s.value)
             : s.source == CdDrive::Spindown::Failed     ? -1 : -2;
    };
    auto speedOutcome = [](int kbps) { return [kbps](CdDrive& d) { return int(d.setSpeed(kbps)); }; };
    const int kGood = int(CommandOutcome::Good), kFailed = int(CommandOutcome::Failed);
    const struct {
        const char* what;
        std::function<int(CdDrive&)> call;
        int chosenKbps;
        const char* answers;
        std::vector<Bytes> cdbs;
        int result;
    } rows[] = {
        {"getSpeed", [](CdDrive& d) { return d.getSpeed(); }, 0, "e", {sense2A}, 0},
        {"getLock", [](CdDrive& d) { return d.getLock(); }, 0, "e", {sense2A}, -1},
        {"getSpindown", spindown, 0, "e", {sense0D}, -1},
        {"setSpeed 1X", speedOutcome(176), 0, "e", {speed176}, kFailed},
        {"setSpeed past 16 bits", speedOutcome(65536 + 176), 0, "e", {cdb12({0xBB, 0, 0xFF, 0xFF, 0xFF, 0xFF})}, kFailed},
        {"setSpeed below 1X", speedOutcome(175), 0, "", {}, kFailed},
        {"setSpeed, no disc", speedOutcome(176), 0, "n", {speed176}, int(CommandOutcome::NotReady)},
        {"setSpeed refused", speedOutcome(176), 0, "r", {speed176}, int(CommandOutcome::Refused)},
        {"getSpindown, neither page", spindown, 0, "r", {sense0D, sense1A}, -2},
        {"getSpindown, other pages sent", spindown, 0, "g", {sense0D, sense1A}, -2},
        {"setSpindown after neither page", [spindown](CdDrive& d) { spindown(d); return int(d.setSpindown(11)); }, 0, "r", {sense0D, sense1A}, 0},
        {"setLock", [](CdDrive& d) { return int(d.setLock(0x81)); }, 0, "e", {cdb12({0x1E, 0, 0, 0, 0x81})}, 0},
        {"setSpindown", [](CdDrive& d) { return int(d.setSpindown(10)); }, 0, "e", {cdb12({0x55, 0x10, 0, 0, 0, 0, 0, 0, 0x10})}, 0},
        {"getDeviceType", [](CdDrive& d) { BYTE t; return int(getDeviceType(aspiTransport(), d.at(), &t)); }, 0, "e", {{0x12, 0, 0, 0, 0x64, 0}}, 0},
        {"getDriveName", [](CdDrive& d) { char n[31] = {}; return int(getDriveName(aspiTransport(), d.at(), n)); }, 0, "e", {{0x12, 0, 0, 0, 0x64, 0}}, 0},
        {"new disc", [](CdDrive& d) { return d.getLock(); }, 1411, "ugg", {sense2A, speed1411, sense2A}, 0},
        {"new disc, told as the request is sent", [](CdDrive& d) { return d.getLock(); }, 1411, "Ugg", {sense2A, speed1411, sense2A}, 0},
        {"new disc, attention pending", [](CdDrive& d) { return d.getLock(); }, 1411, "uugg", {sense2A, speed1411, speed1411, sense2A}, 0},
        {"new disc, the chosen speed", speedOutcome(1411), 1411, "ug", {speed1411, speed1411}, kGood},
        {"new disc, another speed", speedOutcome(176), 1411, "ugg", {speed176, speed1411, speed176}, kGood},
        {"new disc, no speed chosen", [](CdDrive& d) { return d.getLock(); }, 0, "ug", {sense2A, sense2A}, 0},
        {"new disc, attentions go on", [](CdDrive& d) { return int(d.setLock(1)); }, 1411, "uuuu", {lock1, speed1411, speed1411, lock1}, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        FakeAspi fake;
        fake.onExec = [&](SRB_ExecSCSICmd& srb) -> DWORD {
            const char answer = row.answers[std::min(fake.requests.size(), std::strlen(row.answers)) - 1];
            const char* senses = "u\x06\x28U\x06\x28n\x02\x3Ar\x05\x20";  // answer, sense key, ASC
            const char* sense = std::strchr(senses, answer);
            BYTE fixed[14] = {0x70, 0, 0, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0};
            if (sense != nullptr) {
                fixed[2] = BYTE(sense[1]);
                fixed[12] = BYTE(sense[2]);
                srb.SRB_TargStat = STATUS_CHKCOND;
                std::memcpy(srb.SenseArea, fixed, sizeof fixed);
            }
            srb.SRB_Status = sense != nullptr ? SS_ERR : SS_COMP;
            // U: the layer fails the request as it is sent, the attention in its block.
            return answer == 'e' ? fake.completeLater(srb, 0x83, 10) : DWORD(answer == 'U' ? SS_ERR : SS_COMP);
        };
        CdDrive drive(aspiTransport(), {2, 0, 5, 0});
        drive.setChosenKbps(row.chosenKbps);
        EXPECT_EQ(row.call(drive), row.result);
        ASSERT_EQ(fake.requests.size(), row.cdbs.size());
        for (size_t i = 0; i < row.cdbs.size(); ++i) {
            const Block& b = blocks[row.cdbs[i][0]];
            SRB_ExecSCSICmd expected = {}, got = fake.requests[i].exec();
            expected.SRB_Cmd = SC_EXEC_SCSI_CMD;
            expected.SRB_HaId = 2;
            expected.SRB_Flags = b.flags;
            expected.SRB_Target = 5;
            expected.SRB_BufLen = b.bufLen;
            expected.SRB_SenseLen = 14;
            expected.SRB_CDBLen = static_cast<BYTE>(row.cdbs[i].size());
            std::memcpy(expected.CDBByte, row.cdbs[i].data(), row.cdbs[i].size());
            EXPECT_EQ(got.SRB_BufPointer != nullptr, b.bufLen != 0);
            got.SRB_BufPointer = nullptr;  // compared apart
            got.SRB_PostProc = nullptr;
            const BYTE *e = reinterpret_cast<const BYTE*>(&expected), *g = reinterpret_cast<const BYTE*>(&got);
            EXPECT_EQ(Bytes(g, g + sizeof got), Bytes(e, e + sizeof expected)) << "request " << i;
            EXPECT_EQ(fake.requests[i].data, b.data.empty() ? Bytes(b.bufLen, 0) : b.data) << "request " << i;
        }
    }
    CdDrive drive(aspiTransport(), {1, 0, 0, 0});
    CStringList* kb = new CStringList(10);
    kb->AddTail("1411");
    drive.replaceLists(MediumKind::Cd, drive.speedNames, kb);
    drive.replaceLists(MediumKind::Cd, drive.speedNames, kb);
    EXPECT_EQ(drive.kbSpeeds->GetCount(), 1) << "putting in place the list already there keeps it";
}

// Every submission is answered by its row; each attempt has an event of its
// own, closed once the request has completed; a request whose wait failed,
// or that did not complete in time, is outstanding and not submitted again.
// Only a busy layer is asked again: a request it failed at once has ended.
DWORD WINAPI noCompletionInTime(HANDLE, DWORD) { return WAIT_TIMEOUT; }

TEST_F(DriveTest, AspiAttemptsEventsAndWaiting)
{
    typedef std::function<DWORD(FakeAspi&, SRB_ExecSCSICmd&)> Answer;
    auto returns = [](DWORD r) -> Answer { return [r](FakeAspi&, SRB_ExecSCSICmd&) { return r; }; };
    auto later = [](BYTE status, bool waitFails) -> Answer {
        return [=](FakeAspi& f, SRB_ExecSCSICmd& s) { return f.completeLater(s, status, 100, waitFails); };
    };
    int calls = 0;
    const Answer busyTwice = [&calls](FakeAspi&, SRB_ExecSCSICmd& s) {
        s.SRB_Status = SS_COMP;
        return DWORD(++calls < 3 ? SS_ASPI_IS_BUSY : SS_COMP);
    };
    const Answer failsAtOnce = [](FakeAspi&, SRB_ExecSCSICmd& s) { return DWORD(s.SRB_Status = SS_ERR); };
    const struct { const char* what; Answer answer; AspiSend sent; size_t submissions; BYTE status; } rows[] = {
        {"at once", nullptr, AspiSend::Completed, 1, SS_COMP},
        {"busy", returns(SS_ASPI_IS_BUSY), AspiSend::Refused, 3, 0},
        {"failed at once", failsAtOnce, AspiSend::Completed, 1, SS_ERR},
        {"third attempt", busyTwice, AspiSend::Completed, 3, SS_COMP},
        {"queued", later(SS_COMP, false), AspiSend::Completed, 1, SS_COMP},
        {"queued, error", later(SS_ABORTED, false), AspiSend::Completed, 1, SS_ABORTED},
        {"wait fails", later(SS_COMP, true), AspiSend::Outstanding, 1, 0},
        {"no completion in time", later(SS_COMP, false), AspiSend::TimedOut, 1, 0},
    };
    const AspiSystemCalls saved = g_aspiSystemCalls;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        g_aspiSystemCalls.waitForSingleObject = row.sent == AspiSend::TimedOut ? noCompletionInTime : saved.waitForSingleObject;
        SRB_ExecSCSICmd srb = {};  // outlives the fake, which waits for late completions
        FakeAspi fake;
        if (row.answer)
            fake.onExec = [&](SRB_ExecSCSICmd& s) { return row.answer(fake, s); };
        srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
        srb.SRB_Flags = SRB_DIR_IN | SRB_EVENT_NOTIFY;
        EXPECT_EQ(sendASPI32Command(&srb), row.sent);
        // An outstanding request's status is the late completion's to write.
        EXPECT_TRUE(row.sent == AspiSend::Outstanding || row.sent == AspiSend::TimedOut || srb.SRB_Status == row.status)
            << "status " << int(srb.SRB_Status);
        ASSERT_EQ(fake.requests.size(), row.submissions);
        EXPECT_TRUE(std::all_of(fake.requests.begin(), fake.requests.end(), [](const RecordedRequest& r) { return r.eventFresh; }));
        DWORD flags = 0;
        EXPECT_EQ(srb.SRB_PostProc, fake.requests.back().event);
        EXPECT_EQ(GetHandleInformation(srb.SRB_PostProc, &flags) != FALSE, row.sent == AspiSend::TimedOut)
            << "the last event is closed, unless the layer may still signal it";
    }
    g_aspiSystemCalls = saved;
    SRB_ExecSCSICmd srb = {};
    EXPECT_EQ(sendASPI32Command(&srb), AspiSend::Refused) << "without an interface";
    FakeAspi fake;
    EXPECT_EQ(sendASPI32Command(nullptr), AspiSend::Refused);
    EXPECT_TRUE(fake.requests.empty());
}

// The block and buffer of a command whose wait failed, which the layer still
// completes into, are never given to the next command.
TEST_F(DriveTest, AspiRequestWhoseWaitFailedIsNeverReused)
{
    FakeAspi fake;
    fake.onExec = [&fake](SRB_ExecSCSICmd& s) -> DWORD {  // the first waits in vain, the second finds a CD-ROM
        if (fake.requests.size() == 1)
            return fake.completeLater(s, SS_COMP, 50, true);
        s.SRB_BufPointer[0] = 0x05;
        return s.SRB_Status = SS_COMP;
    };
    BYTE type = 0;
    EXPECT_FALSE(getDeviceType(aspiTransport(), {0, 0, 1, 0}, &type));
    EXPECT_TRUE(getDeviceType(aspiTransport(), {0, 0, 1, 0}, &type) && type == 0x05);
    ASSERT_EQ(fake.requests.size(), 2u);
    EXPECT_NE(fake.requests[1].address, fake.requests[0].address);
    EXPECT_NE(fake.requests[1].exec().SRB_BufPointer, fake.requests[0].exec().SRB_BufPointer);
}

// Adapters in order, targets up to the adapter's bound (8 or 16), asked again before every
// further target; an adapter whose inquiry fails is left alone. Listed: type 5 (qualifier
// aside) whose name can be read. Values are read past a block descriptor.
TEST_F(DriveTest, DetectsCdRomsInAdapterAndTargetOrder)
{
    SimDrives sim;
    sim.setup.adapters(3).adapter(0).maxTargets(8);
    sim.setup.adapter(1).set("inquiryResult", 0x81);  // the adapter inquiry fails
    sim.setup.adapter(2).maxTargets(16);
    sim.setup.device(0, 0).cdrom("VENDOR78", "PRODUCT890123456", "REV4").maxSpeed(7056).speed(1411).policy("any")
        .lock(true, true).spindown(0x0A).set("blockDescriptor", 1);
    sim.setup.device(0, 1).cdrom("", "DVD-ROM DDU1615", "B8S1");  // all-blank vendor
    sim.setup.device(0, 2).type(0).ident("DISKCO", "HARD DISK", "0001");
    sim.setup.device(0, 3).type(0x15).ident("V", "T15", "1");
    sim.setup.device(0, 4).cdrom("V", "QUALIFIER", "1").set("qualifier", 1);
    sim.setup.device(0, 5).cdrom("V", "NONAME", "1").set("nameInquiryFails", 1);
    sim.setup.device(1, 0).cdrom("A1", "HIDDEN", "1");
    sim.setup.device(2, 15).cdrom("A2", "LAST", "1");
    sim.write();
    detectDrives(&drives);
    std::vector<std::string> found;
    for (POSITION pos = drives.GetHeadPosition(); pos != nullptr;) {
        const CdDrive* d = static_cast<CdDrive*>(drives.GetNext(pos));
        found.push_back(d->address.str() + " " + d->name.str());
    }
    EXPECT_EQ(found,
              (std::vector<std::string>{"0:0 VENDOR78 PRODUCT890123456 REV4", "0:1  DVD-ROM DDU1615 B8S1",
                                        "0:4 V QUALIFIER 1", "2:15 A2 LAST 1"}));
    std::map<int, std::vector<int>> inquired;  // adapter: targets of its INQUIRYs, in order
    ksim::SimLog log = sim.log();
    for (const ksim::SimRecord& r : log.commands(0x12))
        inquired[r.ha].push_back(r.tgt);
    // A CD-ROM drive's type, name and serial number; another device's type.
    EXPECT_EQ(inquired, (std::map<int, std::vector<int>>{{0, {0, 0, 0, 1, 1, 1, 2, 3, 4, 4, 4, 5, 5, 6, 7}},
                                                         {2, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 15, 15}}}));
    EXPECT_EQ(std::count_if(log.records.begin(), log.records.end(),
                            [](const ksim::SimRecord& r) { return r.kind == ksim::SimRecord::HaInquiry; }),
              9 + 1 + 17);
    EXPECT_TRUE(first().getSpeed() == 1411 && first().getMaxSpeed() == 7056 && first().getLock() == 0x03 && first().getSpindown().value == 0x0A);
}

// Volumes as letter, type, adapter, target and how it opens: "." as asked,
// "n" not at all, "d" only without access rights, "a" not answering
// IOCTL_SCSI_GET_ADDRESS; drives as adapter and target.
TEST_F(DriveTest, EachDriveGetsTheLastLetterOfItsAddress)
{
    const struct { DWORD mask; const char *volumes, *drives, *letters, *asked; } rows[] = {  // mask: beside the volumes' letters
        {0x14, "", "00", "?", "ABCDE"},  // C: and E:, of no type
        {0xFFFFFFFF, "", "00", "?", "ABCDEFGHIJKLMNOPQRSTUVWXYZ"},  // nothing past Z
        {0, "C310. D210. E510. F410.", "00 10", "?E", "ABCDE/EF"},  // fixed, removable, CD-ROM, remote
        {0, "D500n E501. F502a G500.", "00 01 02", "GE?", "ABCD/DE/EF/FG/G"},  // the later G: still matched
        {0, "E501d", "01", "E", "ABCDE/E/E"},  // asked again without access rights
        {0, "E514. H514. K504. L515.", "14 03 14", "H?H", "ABCDE/EFGH/HIJK/KL/L"},  // the last of two letters
    };
    SimDrives sim;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.asked);
        sim.setup = ksim::SimSetup();
        for (const char* v = row.volumes; *v != '\0'; v += v[5] ? 6 : 5)
            sim.setup.volume(v[0]).driveType(v[1] - '0').device(v[2] - '0', v[3] - '0')
                .open(v[4] == 'n' ? "no" : v[4] == 'd' ? "denied" : "yes").set("address", v[4] != 'a');
        sim.write();
        volumes::extraMask = row.mask, volumes::asked.clear();
        CObList list(10);
        for (const char* d = row.drives; *d != '\0'; d += d[2] ? 3 : 2)
            list.AddTail(new CdDrive(passThroughTransport(), {BYTE(d[0] - '0'), 0, BYTE(d[1] - '0'), 0}));
        matchDriveLetters(&list);
        std::string letters;
        for (POSITION pos = list.GetHeadPosition(); pos != nullptr;) {
            CdDrive* d = static_cast<CdDrive*>(list.GetNext(pos));
            letters += d->letter();
            delete d;
        }
        EXPECT_TRUE(letters == row.letters && volumes::asked == row.asked) << letters << " " << volumes::asked;
        EXPECT_TRUE(volumes::argumentsAsExpected);
        EXPECT_EQ(volumes::handlesOpen, 0) << "every opened volume is closed";
    }
    matchDriveLetters(nullptr);
}

// Through the pass-through each command reaches the device as its row of the
// command table (the simulated volume refuses one without a time-out or with
// areas outside its buffer); a system or drive failure fails it.
TEST_F(DriveTest, PassThroughCarriesTheCommandsAndReportsFailures)
{
    SimDrives sim;
    sim.setup.device(1, 2).cdrom("V", "P", "1").speed(1411).refuse(0x5A, 1, 0x2A).error(0x5A, 1, 0x2A);
    sim.setup.volume('E').device(1, 2);
    sim.write();
    detectDrives(&drives, TransportChoice::PassThrough);
    ASSERT_EQ(drives.GetCount(), 1);
    EXPECT_TRUE(first().setSpindown(3));
    const ScsiCommand* commands[] = {&CMD_INQUIRY_DEVICE_TYPE, &CMD_INQUIRY_NAME, &CMD_INQUIRY_SERIAL, &CMD_SET_SPINDOWN,
                                     &CMD_GET_SPEED};
    // Refused below the device, the device's error, then neither.
    for (int speed : {0, 0, 1411})
        EXPECT_EQ(first().getSpeed(), speed);
    const std::vector<ksim::SimRecord> sent = sim.log().commands();
    ASSERT_EQ(sent.size(), 7u);
    for (size_t i = 0; i < sent.size(); ++i) {
        const ScsiCommand& c = *commands[std::min<size_t>(i, 4)];
        SCOPED_TRACE(sent[i].line);
        EXPECT_EQ(sent[i].cdb, Bytes(c.cdb, c.cdb + c.cdbLength));
        const int flags = c.direction == DataDirection::Out ? 0x50 : 0x48;
        EXPECT_TRUE(sent[i].ha == 1 && sent[i].tgt == 2 && sent[i].flags == flags &&
                    sent[i].buflen == int(c.transferLength) && sent[i].senselen == c.senseLength);
    }
    EXPECT_EQ(volumes::handlesOpen, 0);
}

// Chosen automatically, ASPI that reaches no CD-ROM drive gives way to the pass-through.
// There, two volumes on one port and target are two drives, told apart by their bus, each
// reached at its own device. A lock keeps its volume open (the system lets the medium go
// when the last handle closes), and later commands use it, until the unlock, also when the
// drives are looked for again; a lock that failed keeps nothing, and the end of the
// transport lets go.
TEST_F(DriveTest, PassThroughTellsBusesApartAndHoldsALockedVolume)
{
    SimDrives sim;
    sim.setup.adapters(1);
    sim.setup.device(3, 0).cdrom("V", "SATA0", "1");
    sim.setup.device(4, 0).cdrom("V", "SATA1", "1").error(0x1E, 1);
    sim.setup.volume('D').device(3, 0).set("port", 2);
    sim.setup.volume('E').device(4, 0).set("port", 2).set("path", 1);
    sim.write();
    detectDrives(&drives);
    ASSERT_EQ(drives.GetCount(), 2);
    CdDrive& second = *static_cast<CdDrive*>(drives.GetAt(drives.FindIndex(1)));
    EXPECT_EQ(first().address + " " + first().name + "|" + second.address + " " + second.name, "2:0 V SATA0 1|2:1:0:0 V SATA1 1");
    matchDriveLetters(&drives);
    EXPECT_EQ(std::string() + first().letter() + second.letter(), "DE");
    sim.clearLog();
    const struct { const char* what; std::function<bool()> act; int held; } steps[] = {
        {"a lock the drive failed", [&] { return !second.setLock(1); }, 0},
        {"a lock", [&] { return second.setLock(1); }, 1},
        {"a read through the volume kept", [&] { return second.getLock() == 0x03; }, 1},
        {"the unlock", [&] { return second.setLock(0); }, 0},
        {"a lock again", [&] { return second.setLock(1); }, 1},
        {"looking for the drives again",
         [&] {
             CObList again(10);
             detectDrivesAgain(passThroughTransport(), &again);
             const bool both = again.GetCount() == 2;
             for (POSITION pos = again.GetHeadPosition(); pos != nullptr;)
                 delete static_cast<CdDrive*>(again.GetNext(pos));
             return both;
         },
         1},
        {"the transport's end", [&] { return closeTransport(); }, 0},
    };
    for (const auto& step : steps) {
        volumes::asked.clear();
        EXPECT_TRUE(step.act()) << step.what;
        EXPECT_EQ(volumes::handlesOpen, step.held) << step.what;
    }
    for (const ksim::SimRecord& r : sim.log().commands())
        EXPECT_TRUE(r.ha == 4 || r.opcode() == 0x12) << r.line;
}

// A drive that went back to a speed of its own while the chosen speed was in force (it
// was given a disc that nothing announced) gets the chosen speed again at the next read
// of its speed, once. The speed it rounded the chosen one to, another speed sent since,
// or a drive without a disc (reading 0), are left alone.
TEST_F(DriveTest, ChosenSpeedFollowsADiscNothingAnnounced)
{
    SimDrives sim;
    sim.setup.device(0, 1).cdrom("V", "P", "1").maxSpeed(2822).policy("table").speedTable({706, 1411, 2822}).unitAttention(false);
    sim.write();
    ASSERT_TRUE(loadASPI());
    CdDrive drive(aspiTransport(), {0, 0, 1, 0});
    auto newDisc = [&](int n) { sim.setup.device(0, 1).discs(n); sim.write(); };
    const struct { const char* what; std::function<int()> act; int result; int speedsSent; } steps[] = {
        {"the chosen speed, rounded", [&] { drive.setChosenKbps(1500); return int(drive.setSpeed(1500)); }, 0, 1},
        {"read", [&] { return drive.getSpeed(); }, 1411, 0},
        {"read again", [&] { return drive.getSpeed(); }, 1411, 0},
        {"a new disc", [&] { newDisc(1); return drive.getSpeed(); }, 1411, 1},
        {"read after it", [&] { return drive.getSpeed(); }, 1411, 0},
        {"another speed", [&] { return int(drive.setSpeed(706)) + drive.getSpeed(); }, 706, 1},
        {"a new disc then", [&] { newDisc(2); return drive.getSpeed(); }, 2822, 0},
        {"no disc", [&] { drive.setSpeed(1500); drive.getSpeed(); sim.setup.device(0, 1).speed(0); sim.write(); return drive.getSpeed(); }, 0, 1},
    };
    for (const auto& step : steps) {
        sim.clearLog();
        EXPECT_EQ(step.act(), step.result) << step.what;
        EXPECT_EQ(sim.log().commands(0xBB).size(), size_t(step.speedsSent)) << step.what;
    }
}

// A drive that reads DVDs is asked which disc it holds; a DVD's or a BD's speed goes as SET
// STREAMING (the speed as read size per 1000 ms), a CD's as SET CD SPEED; a drive that
// reads CDs only is asked nothing. After a new disc, told by the drive or seen in its
// profile where nothing told of it, the speed chosen for its kind goes with the command
// for it. The speeds a drive offers come from its write speed descriptors, else its
// nominal performance.
TEST_F(DriveTest, DiscsOfEachKindGetTheirOwnCommands)
{
    SimDrives sim;
    sim.setup.device(0, 1).cdrom("V", "DVD", "1").maxSpeed(22160).policy("table").set("streamingPolicy", "table")
        .speedTable({2770, 5540, 11080, 22160}).set("medium", "dvd").set("performance", "speeds");
    sim.setup.device(0, 2).cdrom("V", "CD", "1").maxSpeed(7056).set("performance", "speeds");
    sim.write();
    ASSERT_TRUE(loadASPI());
    CdDrive dvd(aspiTransport(), {0, 0, 1, 0}), cd(aspiTransport(), {0, 0, 2, 0});
    auto newDisc = [&](const char* medium, int n) {
        sim.setup.device(0, 1).set("medium", medium).discs(n);
        sim.write();
    };
    auto quiet = [&](const char* medium, int n) {
        sim.setup.device(0, 1).unitAttention(false);
        newDisc(medium, n);
    };
    // Each step's commands as opcodes (B6 with the speed it asks for), then what it gave.
    const struct { const char* what; std::function<std::string()> act; const char* sent; } steps[] = {
        {"a CD drive's speed", [&] {
             const int nMax = cd.getMaxSpeed();
             const MediumKind kind = cd.readMedium();
             return std::to_string(nMax) + " " + std::to_string(int(kind)) + " " + std::to_string(int(cd.setSpeed(1411)));
         }, "5A BB | 7056 1 0"},
        {"a CD drive offers nothing asked", [&] { return std::to_string(cd.offeredSpeeds().size()); }, "| 0"},
        {"the DVD drive's disc", [&] { dvd.getMaxSpeed(); return std::to_string(int(dvd.readMedium())); }, "5A 46 | 2"},
        {"a DVD speed", [&] { dvd.setChosenKbps(MediumKind::Dvd, 11080); dvd.setSpeed(11080); return std::to_string(dvd.getSpeed()); }, "B6:11080 5A | 11080"},
        {"its offered speeds", [&] { std::string v; for (unsigned k : dvd.offeredSpeeds()) v += std::to_string(k) + ","; return v; }, "AC | 22160,11080,5540,2770,"},
        {"a CD in it: the CD speed chosen", [&] { dvd.setChosenKbps(MediumKind::Cd, 1411); newDisc("cd", 1); return std::to_string(dvd.getLock()); }, "5A 46 BB 5A | 1"},
        {"a DVD again: the DVD speed chosen", [&] { newDisc("dvd", 2); return std::to_string(dvd.getLock()); }, "5A 46 B6:11080 5A | 1"},
        {"taken out, nothing said", [&] { quiet("none", 3); return std::to_string(int(dvd.readMedium(true))); }, "46 | 0"},
        {"a CD in, nothing said: its profile tells", [&] { quiet("cd", 4); return std::to_string(int(dvd.readMedium(true))); }, "46 46 BB | 1"},
        {"asked again", [&] { return std::to_string(int(dvd.readMedium(true))); }, "46 | 1"},
    };
    for (const auto& step : steps) {
        sim.clearLog();
        const std::string result = step.act();
        std::string sent;
        for (const ksim::SimRecord& r : sim.log().commands()) {
            char op[16];
            std::snprintf(op, sizeof op, "%02X", r.opcode());
            sent += op;
            if (r.opcode() == 0xB6 && r.out.size() >= 16)
                sent += ":" + std::to_string(r.out[12] << 24 | r.out[13] << 16 | r.out[14] << 8 | r.out[15]);
            sent += " ";
        }
        EXPECT_EQ(sent + "| " + result, step.sent) << step.what;
    }
}

}  // namespace
