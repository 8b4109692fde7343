// Drive discovery against the simulated drives, and letter matching through
// a fake table of system calls.
#include <gtest/gtest.h>

#include "drive/mmc.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "drive/cd_drive.h"
#include "drive/discovery.h"
#include "drive/transport.h"
#include "sim_drives.h"
#include "tests/support/box_watch.h"
#include "trace_capture.h"

namespace {

typedef std::vector<std::string> Lines;
typedef std::vector<uint8_t> Bytes;

// The drive list as the main window keeps it; deletes its records.
struct DriveList {
    CObList list{10};
    ~DriveList()
    {
        for (POSITION pos = list.GetHeadPosition(); pos != nullptr;)
            delete static_cast<CdDrive*>(list.GetNext(pos));
    }
    CdDrive& operator[](int i) { return *static_cast<CdDrive*>(list.GetAt(list.FindIndex(i))); }
    int size() const { return list.GetCount(); }
};

std::vector<std::string> addresses(DriveList& drives)
{
    std::vector<std::string> out;
    for (int i = 0; i < drives.size(); ++i)
        out.push_back(drives[i].address.GetString());
    return out;
}

// "getDeviceType() 0x%08X": the trace of a target that did not answer.
bool isTypeFailure(const std::string& line)
{
    if (line.size() != 26 || line.compare(0, 18, "getDeviceType() 0x") != 0)
        return false;
    return line.find_first_not_of("0123456789ABCDEF", 18) == std::string::npos;
}

// The trace lines but those of targets that did not answer.
Lines answeredTraces(const Lines& lines)
{
    Lines out;
    for (const std::string& line : lines) {
        if (!isTypeFailure(line))
            out.push_back(line);
    }
    return out;
}

const Bytes kTypeInquiry = {mmc::INQUIRY, 0x00, 0x00, 0x00, 0x64, 0x00};
const Bytes kNameInquiry = {mmc::INQUIRY, 0x00, 0x00, 0x00, 0xC0, 0x00};

// Each INQUIRY arrives exactly as the scan must send it.
void expectInquiries(const std::vector<ksim::SimRecord>& sent)
{
    for (const ksim::SimRecord& r : sent) {
        EXPECT_EQ(r.lun, 0) << r;
        EXPECT_EQ(r.flags, 0x48) << r;
        EXPECT_EQ(r.buflen, 100) << r;
        EXPECT_EQ(r.senselen, 14) << r;
        EXPECT_EQ(r.cdblen, 6) << r;
        EXPECT_TRUE(r.cdb == kTypeInquiry || r.cdb == kNameInquiry) << r;
        EXPECT_FALSE(r.hasOut) << r;
    }
}

TEST(DetectDrives, TwoCdRomsAndADiskGiveTwoRecordsInTargetOrder)
{
    SimDrives sim;
    sim.setup.adapters(1).adapter(0).maxTargets(8);
    sim.setup.device(0, 1).cdrom("", "DVD-ROM DDU1615", "B8S1");  // all-blank vendor
    sim.setup.device(0, 0).cdrom("VENDOR78", "PRODUCT890123456", "REV4");
    sim.setup.device(0, 2).type(0).ident("DISKCO", "HARD DISK", "0001");
    sim.write();
    DriveList drives;
    TraceCapture trace;
    detectDrives(&drives.list);

    ASSERT_EQ(drives.size(), 2);
    EXPECT_EQ(addresses(drives), (std::vector<std::string>{"0:0", "0:1"}));
    EXPECT_EQ(drives[0].name, "VENDOR78 PRODUCT890123456 REV4");
    EXPECT_EQ(drives[1].name, " DVD-ROM DDU1615 B8S1");

    Lines expected = {"Loaded wnaspi32.dll OK", "Got getASPI32SupportInfo proc address OK",
                      "Got sendASPI32Command proc address OK", "Found 1 Host Adapter(s)", "Detecting drives...",
                      "Device at HA 0, Target 0 appears to be a CD-ROM drive.",
                      "Drive Name: VENDOR78 PRODUCT890123456 REV4",
                      "Device at HA 0, Target 1 appears to be a CD-ROM drive.", "Drive Name:  DVD-ROM DDU1615 B8S1"};
    // The empty targets 3 to 7 answer the type inquiry with an error.
    EXPECT_EQ(answeredTraces(trace.lines()), expected);
    EXPECT_EQ(trace.lines().size(), expected.size() + 5);

    // Targets 0 to 7 asked for their type once each; the two CD-ROMs also
    // for their name; the bound is asked before every further target.
    ksim::SimLog log = sim.log();
    std::vector<ksim::SimRecord> sent = log.commands(mmc::INQUIRY);
    expectInquiries(sent);
    std::vector<std::pair<int, Bytes>> order;
    for (const ksim::SimRecord& r : sent)
        order.push_back({r.tgt, r.cdb});
    std::vector<std::pair<int, Bytes>> expectedOrder = {{0, kTypeInquiry}, {0, kNameInquiry}, {1, kTypeInquiry},
                                                        {1, kNameInquiry}, {2, kTypeInquiry}, {3, kTypeInquiry},
                                                        {4, kTypeInquiry}, {5, kTypeInquiry}, {6, kTypeInquiry},
                                                        {7, kTypeInquiry}};
    EXPECT_EQ(order, expectedOrder);
    int adapterInquiries = 0;
    for (const ksim::SimRecord& r : log.records)
        adapterInquiries += r.kind == ksim::SimRecord::HaInquiry;
    EXPECT_EQ(adapterInquiries, 9);
}

TEST(DetectDrives, WhichDevicesAreListed)
{
    struct Row {
        const char* what;
        std::function<void(ksim::SimDevice&)> device;
        bool listed;
        const char* lastTrace;  // of the scan, the empty targets' left out
    } const rows[] = {
        {"CD-ROM", [](ksim::SimDevice& d) { d.type(5); }, true, "Drive Name: VEND PRODUCT 1.00"},
        {"qualifier bits (byte 0 = 0x25)", [](ksim::SimDevice& d) { d.type(5).qualifier(1); }, true, nullptr},
        {"qualifier 3 (0x65)", [](ksim::SimDevice& d) { d.type(5).qualifier(3); }, true, nullptr},
        {"disk", [](ksim::SimDevice& d) { d.type(0); }, false, "Detecting drives..."},
        {"type 0x15", [](ksim::SimDevice& d) { d.type(0x15); }, false, nullptr},
        {"answers only at LUN 1", [](ksim::SimDevice& d) { d.type(5).lun(1); }, false, nullptr},
        {"name cannot be read", [](ksim::SimDevice& d) { d.type(5).nameInquiryFails(); }, false,
         "Couldn't get the name of the drive."},
        {"type inquiry fails", [](ksim::SimDevice& d) { d.type(5).error(mmc::INQUIRY, ksim::kSimAlways); }, false, nullptr},
        {"type inquiry refused", [](ksim::SimDevice& d) { d.type(5).refuse(mmc::INQUIRY, ksim::kSimAlways); }, false, nullptr},
        {"answers later", [](ksim::SimDevice& d) { d.type(5).delay(mmc::INQUIRY, 1); }, true, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        SimDrives sim;
        sim.setup.adapters(1);
        row.device(sim.setup.device(0, 4).ident("VEND", "PRODUCT", "1.00"));
        sim.write();
        DriveList drives;
        TraceCapture trace;
        detectDrives(&drives.list);
        EXPECT_EQ(drives.size(), row.listed ? 1 : 0);
        expectInquiries(sim.log().commands(mmc::INQUIRY));
        if (row.lastTrace != nullptr) {
            EXPECT_EQ(answeredTraces(trace.lines()).back(), row.lastTrace);
        }
    }
}

// An adapter reporting 16 targets has all 16 asked (8 is the first test's;
// other reports are getMaxTargets' own).
TEST(DetectDrives, SixteenTargetsAreAskedWhenTheAdapterReportsThem)
{
    SimDrives sim;
    sim.setup.adapters(1).adapter(0).maxTargets(16);
    sim.setup.device(0, 15).cdrom("LAST", "TARGET", "15");
    sim.write();
    DriveList drives;
    detectDrives(&drives.list);
    std::vector<int> targets, expected;
    for (const ksim::SimRecord& r : sim.log().commands(mmc::INQUIRY)) {
        if (r.cdb == kTypeInquiry)
            targets.push_back(r.tgt);
    }
    for (int t = 0; t < 16; ++t)
        expected.push_back(t);
    EXPECT_EQ(targets, expected);
    EXPECT_EQ(addresses(drives), std::vector<std::string>{"0:15"});
}

TEST(DetectDrives, AdaptersInOrderAndAFailingAdapterSkipped)
{
    SimDrives sim;
    sim.setup.adapters(3).adapter(1).inquiryResult(0x81);
    sim.setup.adapter(2).maxTargets(16);
    sim.setup.device(0, 5).cdrom("A0", "FIRST", "1");
    sim.setup.device(1, 0).cdrom("A1", "HIDDEN", "1");
    sim.setup.device(2, 12).cdrom("A2", "THIRD", "1");
    sim.write();
    DriveList drives;
    detectDrives(&drives.list);
    EXPECT_EQ(addresses(drives), (std::vector<std::string>{"0:5", "2:12"}));
    for (const ksim::SimRecord& r : sim.log().commands())
        EXPECT_NE(r.ha, 1) << "nothing is sent to an adapter whose inquiry fails: " << r;
}

TEST(DetectDrives, NothingWhenTheInterfaceHasNoAdaptersOrCannotLoad)
{
    for (int status : {0x01, 0xE8}) {
        SimDrives sim;
        sim.setup.supportStatus(status).adapters(status == 0x01 ? 0 : 1);
        sim.setup.device(0, 0).cdrom("VEND", "PRODUCT", "1.00");
        sim.write();
        DriveList drives;
        BoxWatch watch;
        detectDrives(&drives.list);
        EXPECT_EQ(drives.size(), 0);
        EXPECT_EQ(watch.seen().size(), status == 0x01 ? 0u : 1u) << "the load failure's message";
        EXPECT_TRUE(sim.log().commands().empty());
    }
}

// A machine's volumes for letter matching, in place of the system calls:
// each letter's drive type and, for volumes that open and answer, the SCSI
// address they report. Checks the arguments of every call.
struct Volume {
    UINT type = DRIVE_NO_ROOT_DIR;
    bool opens = true;
    bool answers = true;
    ScsiAddress address = {};
};

struct FakeVolumes {
    static DWORD mask;
    static std::map<char, Volume> volumes;
    static std::string typesAsked;           // letters asked for their type, in order
    static std::vector<std::string> opened;  // names passed to CreateFileA
    static bool argumentsAsExpected;
    static int handlesOpen;

    static DWORD WINAPI getLogicalDrives() { return mask; }
    static UINT WINAPI getDriveType(LPCSTR root)
    {
        typesAsked += root[0];
        argumentsAsExpected &= std::strlen(root) == 3 && root[1] == ':' && root[2] == '\\';
        return volumes.count(root[0]) ? volumes[root[0]].type : DRIVE_NO_ROOT_DIR;
    }
    static HANDLE WINAPI createFile(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                    DWORD disposition, DWORD attributes, HANDLE hTemplate)
    {
        opened.push_back(name);
        argumentsAsExpected &= access == (GENERIC_READ | GENERIC_WRITE) &&
                               share == (FILE_SHARE_READ | FILE_SHARE_WRITE) && security == nullptr &&
                               disposition == OPEN_EXISTING && attributes == FILE_ATTRIBUTE_NORMAL &&
                               hTemplate == nullptr;
        char letter = std::strlen(name) == 6 ? name[4] : 0;
        if (!volumes[letter].opens)
            return INVALID_HANDLE_VALUE;
        ++handlesOpen;
        return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x1000 + letter));
    }
    static BOOL WINAPI deviceIoControl(HANDLE h, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                                       LPDWORD returned, LPOVERLAPPED overlapped)
    {
        ScsiAddress* a = static_cast<ScsiAddress*>(out);
        argumentsAsExpected &= code == 0x41018 && in == nullptr && inSize == 0 && out != nullptr && outSize == 8 &&
                               a->Length == 8 && returned != nullptr && overlapped == nullptr;
        const Volume& v = volumes[static_cast<char>(reinterpret_cast<uintptr_t>(h) - 0x1000)];
        if (!v.answers)
            return FALSE;
        *a = v.address;
        *returned = sizeof *a;
        return TRUE;
    }
    static BOOL WINAPI closeHandle(HANDLE)
    {
        --handlesOpen;
        return TRUE;
    }

    VolumeSystemCalls saved = g_volumeSystemCalls;
    DriveList drives;
    FakeVolumes()
    {
        g_volumeSystemCalls = {getLogicalDrives, getDriveType, createFile, deviceIoControl, closeHandle};
        mask = 0;
        volumes.clear();
        typesAsked.clear();
        opened.clear();
        argumentsAsExpected = true;
        handlesOpen = 0;
    }
    ~FakeVolumes() { g_volumeSystemCalls = saved; }

    // A CD-ROM volume; its path and logical unit are ignored by matching.
    static void cdrom(char letter, UCHAR port, UCHAR target, bool opens = true, bool answers = true)
    {
        other(letter, DRIVE_CDROM);
        Volume& v = volumes[letter];
        v.opens = opens;
        v.answers = answers;
        v.address = {8, port, 3, target, 2};
    }
    static void other(char letter, UINT type)
    {
        volumes[letter].type = type;
        mask |= 1u << (letter - 'A');
    }
    void addDrive(BYTE adapter, BYTE target) { drives.list.AddTail(new CdDrive(adapter, target)); }
    std::string match()
    {
        matchDriveLetters(&drives.list);
        std::string letters;
        for (int i = 0; i < drives.size(); ++i)
            letters += drives[i].letter;
        return letters;
    }
};

DWORD FakeVolumes::mask;
std::map<char, Volume> FakeVolumes::volumes;
std::string FakeVolumes::typesAsked;
std::vector<std::string> FakeVolumes::opened;
bool FakeVolumes::argumentsAsExpected;
int FakeVolumes::handlesOpen;

TEST(MatchDriveLetters, LettersUpToTheHighestPresentOneAreAsked)
{
    struct Row {
        DWORD mask;
        const char* asked;
    } const rows[] = {
        {0x14, "ABCDE"},  // C: and E:
        {0, ""},
        {0x01, "A"},
        {0x02000000, "ABCDEFGHIJKLMNOPQRSTUVWXYZ"},
        {0xFFFFFFFF, "ABCDEFGHIJKLMNOPQRSTUVWXYZ"},  // nothing past Z
    };
    for (const Row& row : rows) {
        FakeVolumes fake;
        FakeVolumes::mask = row.mask;
        fake.addDrive(0, 0);
        EXPECT_EQ(fake.match(), "?");
        EXPECT_EQ(FakeVolumes::typesAsked, row.asked) << "mask 0x" << std::hex << row.mask;
        EXPECT_TRUE(FakeVolumes::opened.empty());
        EXPECT_TRUE(FakeVolumes::argumentsAsExpected);
    }
}

TEST(MatchDriveLetters, OnlyCdRomVolumesAreOpenedAndAsked)
{
    FakeVolumes fake;
    FakeVolumes::other('C', DRIVE_FIXED);
    FakeVolumes::other('D', DRIVE_REMOVABLE);
    FakeVolumes::other('F', DRIVE_REMOTE);
    FakeVolumes::other('G', DRIVE_RAMDISK);
    FakeVolumes::cdrom('E', 1, 0);
    fake.addDrive(0, 0);
    fake.addDrive(1, 0);
    EXPECT_EQ(fake.match(), "?E");
    EXPECT_EQ(FakeVolumes::opened, std::vector<std::string>{"\\\\.\\E:"});
    EXPECT_TRUE(FakeVolumes::argumentsAsExpected);
    EXPECT_EQ(FakeVolumes::handlesOpen, 0);
}

TEST(MatchDriveLetters, AVolumeThatCannotBeOpenedOrAskedIsPassedOver)
{
    FakeVolumes fake;
    FakeVolumes::cdrom('D', 0, 0, false);        // no access
    FakeVolumes::cdrom('E', 0, 1);
    FakeVolumes::cdrom('F', 0, 2, true, false);  // not a SCSI device
    FakeVolumes::cdrom('G', 0, 0);
    fake.addDrive(0, 0);
    fake.addDrive(0, 1);
    fake.addDrive(0, 2);
    EXPECT_EQ(fake.match(), "GE?");
    EXPECT_EQ(FakeVolumes::opened, (std::vector<std::string>{"\\\\.\\D:", "\\\\.\\E:", "\\\\.\\F:", "\\\\.\\G:"}));
    EXPECT_EQ(FakeVolumes::handlesOpen, 0) << "every opened volume is closed, the unanswered one too";
}

TEST(MatchDriveLetters, EveryMatchingRecordGetsTheLetterAndTheLastLetterWins)
{
    FakeVolumes fake;
    FakeVolumes::cdrom('E', 1, 4);
    FakeVolumes::cdrom('H', 1, 4);
    FakeVolumes::cdrom('K', 0, 4);   // another adapter
    FakeVolumes::cdrom('L', 1, 5);   // another target
    fake.addDrive(1, 4);
    fake.addDrive(0, 3);
    fake.addDrive(1, 4);
    EXPECT_EQ(fake.match(), "H?H");
    matchDriveLetters(nullptr);
}

}  // namespace
