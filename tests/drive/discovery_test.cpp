// Drive discovery against the simulated drives, and letter matching through
// a fake table of system calls.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "drive/cd_drive.h"
#include "drive/discovery.h"
#include "drive/mmc.h"
#include "sim_drives.h"
#include "trace_capture.h"

namespace {

typedef std::vector<std::string> Lines;

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
    Lines addresses()
    {
        Lines out;
        for (int i = 0; i < size(); ++i)
            out.push_back((*this)[i].address.GetString());
        return out;
    }
};

// The trace lines but those of targets that did not answer the type inquiry.
Lines answeredTraces(const Lines& lines)
{
    Lines out;
    for (const std::string& line : lines) {
        if (line.compare(0, 18, "getDeviceType() 0x") != 0)
            out.push_back(line);
    }
    return out;
}

// The targets of one adapter's INQUIRYs, in the order sent.
std::vector<int> inquiredTargets(const ksim::SimLog& log, int adapter)
{
    std::vector<int> out;
    for (const ksim::SimRecord& r : log.commands(mmc::INQUIRY)) {
        if (r.ha == adapter)
            out.push_back(r.tgt);
    }
    return out;
}

// Adapters in order, targets in order up to the last one the adapter
// reports (8 or 16); an adapter whose inquiry fails is left alone.
TEST(DetectDrives, CdRomsAreListedInAdapterAndTargetOrder)
{
    SimDrives sim;
    sim.setup.adapters(3).adapter(0).maxTargets(8);
    sim.setup.adapter(1).inquiryResult(0x81);
    sim.setup.adapter(2).maxTargets(16);
    sim.setup.device(0, 1).cdrom("", "DVD-ROM DDU1615", "B8S1");  // all-blank vendor
    sim.setup.device(0, 0).cdrom("VENDOR78", "PRODUCT890123456", "REV4");
    sim.setup.device(0, 2).type(0).ident("DISKCO", "HARD DISK", "0001");
    sim.setup.device(1, 0).cdrom("A1", "HIDDEN", "1");
    sim.setup.device(2, 15).cdrom("A2", "LAST", "1");
    sim.write();
    DriveList drives;
    TraceCapture trace;
    detectDrives(&drives.list);

    ASSERT_EQ(drives.addresses(), (Lines{"0:0", "0:1", "2:15"}));
    EXPECT_EQ(drives[0].name, "VENDOR78 PRODUCT890123456 REV4");
    EXPECT_EQ(drives[1].name, " DVD-ROM DDU1615 B8S1");
    Lines expected = {"Loaded wnaspi32.dll OK", "Got getASPI32SupportInfo proc address OK",
                      "Got sendASPI32Command proc address OK", "Found 3 Host Adapter(s)", "SCSI transport: ASPI", "Detecting drives...",
                      "Device at HA 0, Target 0 appears to be a CD-ROM drive.",
                      "Drive Name: VENDOR78 PRODUCT890123456 REV4",
                      "Device at HA 0, Target 1 appears to be a CD-ROM drive.", "Drive Name:  DVD-ROM DDU1615 B8S1",
                      "Device at HA 2, Target 15 appears to be a CD-ROM drive.", "Drive Name: A2 LAST 1"};
    // The empty targets (3 to 7 of adapter 0, 0 to 14 of adapter 2) answer
    // the type inquiry with an error.
    EXPECT_EQ(answeredTraces(trace.lines()), expected);
    EXPECT_EQ(trace.lines().size(), expected.size() + 5 + 15);

    // Each target asked for its type, a CD-ROM then for its name; the bound
    // is asked before every further target.
    ksim::SimLog log = sim.log();
    EXPECT_EQ(inquiredTargets(log, 0), (std::vector<int>{0, 0, 1, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_TRUE(inquiredTargets(log, 1).empty());
    EXPECT_EQ(inquiredTargets(log, 2), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 15}));
    int adapterInquiries = 0;
    for (const ksim::SimRecord& r : log.records)
        adapterInquiries += r.kind == ksim::SimRecord::HaInquiry;
    EXPECT_EQ(adapterInquiries, 9 + 1 + 17);
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
        {"disk", [](ksim::SimDevice& d) { d.type(0); }, false, "Detecting drives..."},
        {"type 0x15", [](ksim::SimDevice& d) { d.type(0x15); }, false, nullptr},
        {"name cannot be read", [](ksim::SimDevice& d) { d.type(5).nameInquiryFails(); }, false,
         "Couldn't get the name of the drive."},
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
        if (row.lastTrace != nullptr) {
            EXPECT_EQ(answeredTraces(trace.lines()).back(), row.lastTrace);
        }
    }
}

// A machine's volumes, in place of the system calls of letter matching;
// checks the arguments of every call.
struct Volume {
    char letter;
    UINT type;
    UCHAR port, target;
    bool opens, answers;
    bool denied = false;  // opens only without access rights
};

namespace fake {

DWORD mask;
std::map<char, Volume> volumes;
std::string asked;  // letters asked for their type, then those opened
bool argumentsAsExpected;
int handlesOpen;

DWORD WINAPI getLogicalDrives() { return mask; }
UINT WINAPI getDriveType(LPCSTR root)
{
    asked += root[0];
    argumentsAsExpected &= std::strcmp(root + 1, ":\\") == 0;
    return volumes.count(root[0]) ? volumes[root[0]].type : DRIVE_NO_ROOT_DIR;
}
HANDLE WINAPI createFile(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                         DWORD attributes, HANDLE hTemplate)
{
    argumentsAsExpected &= std::strlen(name) == 6 && std::strncmp(name, "\\\\.\\", 4) == 0 && name[5] == ':' &&
                           (access == (GENERIC_READ | GENERIC_WRITE) || access == 0) && share == (FILE_SHARE_READ | FILE_SHARE_WRITE) &&
                           security == nullptr && disposition == OPEN_EXISTING &&
                           attributes == FILE_ATTRIBUTE_NORMAL && hTemplate == nullptr;
    asked += std::string("/") + name[4];
    const Volume& v = volumes[name[4]];
    if (!v.opens || (v.denied && access != 0)) {
        SetLastError(v.denied ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    ++handlesOpen;
    return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x1000 + name[4]));
}
BOOL WINAPI deviceIoControl(HANDLE h, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                            LPDWORD returned, LPOVERLAPPED overlapped)
{
    ScsiAddress* a = static_cast<ScsiAddress*>(out);
    argumentsAsExpected &= code == 0x41018 && in == nullptr && inSize == 0 && out != nullptr && outSize == 8 &&
                           a->Length == 8 && returned != nullptr && overlapped == nullptr;
    const Volume& v = volumes[static_cast<char>(reinterpret_cast<uintptr_t>(h) - 0x1000)];
    if (!v.answers)
        return FALSE;
    *a = {8, v.port, 3, v.target, 2};  // path and logical unit are ignored
    *returned = sizeof *a;
    return TRUE;
}
BOOL WINAPI closeHandle(HANDLE)
{
    --handlesOpen;
    return TRUE;
}

}  // namespace fake

TEST(MatchDriveLetters, EachDriveGetsTheLastLetterOfItsAddress)
{
    const UINT C = DRIVE_CDROM;
    const struct {
        DWORD mask;  // beside the volumes' own letters
        std::vector<Volume> volumes;
        std::vector<std::pair<BYTE, BYTE>> drives;  // adapter, target
        const char* letters;
        const char* asked;
    } rows[] = {
        {0x14, {}, {{0, 0}}, "?", "ABCDE"},  // C: and E:, of no type
        {0, {}, {{0, 0}}, "?", ""},
        {0xFFFFFFFF, {}, {{0, 0}}, "?", "ABCDEFGHIJKLMNOPQRSTUVWXYZ"},  // nothing past Z
        {0, {{'B', C, 0, 0, true, true}}, {{0, 0}}, "B", "AB/B"},
        {0,
         {{'C', DRIVE_FIXED, 1, 0, true, true}, {'D', DRIVE_REMOVABLE, 1, 0, true, true}, {'E', C, 1, 0, true, true},
          {'F', DRIVE_REMOTE, 1, 0, true, true}, {'G', DRIVE_RAMDISK, 1, 0, true, true}},
         {{0, 0}, {1, 0}}, "?E", "ABCDE/EFG"},
        // No access, not a SCSI device: passed over, the later G: still matched.
        {0,
         {{'D', C, 0, 0, false, true}, {'E', C, 0, 1, true, true}, {'F', C, 0, 2, true, false}, {'G', C, 0, 0, true, true}},
         {{0, 0}, {0, 1}, {0, 2}}, "GE?", "ABCD/DE/EF/FG/G"},
        // Read and write access refused: asked again without access rights.
        {0, {{'E', C, 0, 1, true, true, true}}, {{0, 1}}, "E", "ABCDE/E/E"},
        // Another adapter, another target; a second record of one address.
        {0,
         {{'E', C, 1, 4, true, true}, {'H', C, 1, 4, true, true}, {'K', C, 0, 4, true, true}, {'L', C, 1, 5, true, true}},
         {{1, 4}, {0, 3}, {1, 4}}, "H?H", "ABCDE/EFGH/HIJK/KL/L"},
    };
    const VolumeSystemCalls saved = g_volumeSystemCalls;
    g_volumeSystemCalls = {fake::getLogicalDrives, fake::getDriveType, fake::createFile,
                           fake::deviceIoControl, fake::closeHandle};
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        fake::mask = rows[i].mask;
        fake::volumes.clear();
        for (const Volume& v : rows[i].volumes) {
            fake::volumes[v.letter] = v;
            fake::mask |= 1u << (v.letter - 'A');
        }
        fake::asked.clear();
        fake::argumentsAsExpected = true;
        fake::handlesOpen = 0;
        DriveList drives;
        for (const auto& d : rows[i].drives)
            drives.list.AddTail(new CdDrive(d.first, d.second));
        matchDriveLetters(&drives.list);
        std::string letters;
        for (int d = 0; d < drives.size(); ++d)
            letters += drives[d].letter;
        EXPECT_EQ(letters, rows[i].letters) << "row " << i;
        EXPECT_EQ(fake::asked, rows[i].asked) << "row " << i;
        EXPECT_TRUE(fake::argumentsAsExpected) << "row " << i;
        EXPECT_EQ(fake::handlesOpen, 0) << "row " << i << ": every opened volume is closed";
    }
    matchDriveLetters(nullptr);
    g_volumeSystemCalls = saved;
}

}  // namespace
