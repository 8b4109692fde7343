// The real kesvora.exe in front of QEMU's CD/DVD drives, which it reaches
// through Wine's own pass-through (SG_IO on Linux's /dev/srN) in the tier's
// guest. What a drive received is QEMU's trace of the commands its SCSI or
// ATAPI emulation parsed; its lock and disc are QEMU's own state (QMP).
// Linux's CD driver sends commands of its own around every open and close
// of the device (GET EVENT STATUS NOTIFICATION 4Ah, TEST UNIT READY 00h,
// REQUEST SENSE 03h, READ CAPACITY, READ TOC, ALLOW MEDIUM REMOVAL 1Eh at
// the last close): the checks look only at commands Linux never sends by
// itself once the drives are set up (INQUIRY 12h, MODE SENSE 5Ah, MODE
// SELECT 55h, SET CD SPEED BBh), and judge the lock by QEMU's state rather
// than by the 1Eh commands, some of which are the kernel's.
#include <gtest/gtest.h>

#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "tests/real/bridge.h"

#include <dbt.h>

using namespace e2e;

namespace {

const int kDriveList = 1000, kCurSpeed = 1001, kSpindownTime = 1004, kSetSpeed = 1005, kSetSpindown = 1006;
const int kLock = 1023, kUnlock = 1024;
const int kChosenKbps = 4234;  // 24X, the second entry of each drive's list
const char kNewDisc[] = "KSVNEW";

// The drive's address as Wine reports it for the volume, written as the
// program names drives: "port:target" at path 0 and LUN 0, else
// "port:path:target:lun". With scsiKeys, the drive is also entered in the
// registry's SCSI device map as Windows enters it, where Wine's ASPI layer
// counts its host adapters (Wine itself enters none).
std::string address(char letter, bool scsiKeys)
{
    const std::string name = std::string("\\\\.\\") + letter + ":";
    HANDLE h = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    SCSI_ADDRESS a = {};
    a.Length = sizeof a;
    DWORD got = 0;
    bool ok = DeviceIoControl(h, IOCTL_SCSI_GET_ADDRESS, nullptr, 0, &a, sizeof a, &got, nullptr);
    CloseHandle(h);
    char text[160] = "?";
    std::snprintf(text, sizeof text, "HARDWARE\\DEVICEMAP\\Scsi\\Scsi Port %u\\Scsi Bus %u\\Target Id %u\\Logical Unit Id %u",
                  a.PortNumber, a.PathId, a.TargetId, a.Lun);
    HKEY key = nullptr;
    if (ok && scsiKeys && RegCreateKeyExA(HKEY_LOCAL_MACHINE, text, 0, nullptr, REG_OPTION_VOLATILE, KEY_WRITE, nullptr, &key,
                                              nullptr) == 0) {
        RegSetValueExA(key, "Type", 0, REG_SZ, reinterpret_cast<const BYTE*>("CdRomPeripheral"), 16);
        RegCloseKey(key);
    }
    if (ok && a.PathId == 0 && a.Lun == 0)
        std::snprintf(text, sizeof text, "%u:%u", a.PortNumber, a.TargetId);
    else if (ok)
        std::snprintf(text, sizeof text, "%u:%u:%u:%u", a.PortNumber, a.PathId, a.TargetId, a.Lun);
    return text;
}

// The user's actions, each followed by the drives' answers.
void refresh(const KesvoraProcess& p)
{
    p.send(WM_TIMER, 1);
    ASSERT_TRUE(real::settle(p));
}
// Clicks the button id, or chooses the item index of the list id.
void act(const KesvoraProcess& p, int id, int index = -1)
{
    if (index < 0)
        p.click(id);
    else
        p.selectComboItem(id, index);
    ASSERT_TRUE(real::settle(p));
}

// One drive, chosen in the list: what the panel makes of its answers.
void checkDrive(KesvoraProcess& p, const real::Drive& d, const std::string& addr, const std::string& start)
{
    SCOPED_TRACE(d.id + " at " + d.letter + ":");
    // No spin-down page: said so, nothing to choose, nothing sent.
    bool pageRefused = false;
    for (const real::Received& r : real::since(start, d.id, 0x5A))
        pageRefused = pageRefused || ((r.byte(2) & 0x3F) == 0x0D && r.result != "good");
    if (pageRefused) {
        EXPECT_EQ(p.text(kSpindownTime), "光驱不报告");
        EXPECT_FALSE(IsWindowEnabled(p.control(kSetSpindown)));
    }

    // A speed: sent once; refused, it is said once, not stored, not shown as
    // chosen, and the panel shows what the drive reports.
    std::string at = real::mark();
    const size_t boxes = p.messageBoxes().size();
    act(p, kSetSpeed, 1);
    const std::string shown = p.text(kCurSpeed);
    refresh(p);
    std::vector<real::Received> set = real::since(at, d.id, 0xBB);
    ASSERT_EQ(set.size(), 1u);
    EXPECT_EQ(set[0].byte(2) << 8 | set[0].byte(3), kChosenKbps);
    const bool refused = set[0].result.compare(0, 2, "5/") == 0;
    EXPECT_EQ(p.text(kCurSpeed), shown) << "the panel shows the speed the drive reports";
    EXPECT_TRUE(!refused || p.comboSelection(kSetSpeed) != 1) << "the refused speed shown as chosen";
    const std::vector<SeenBox> seen = p.messageBoxes();
    ASSERT_EQ(seen.size(), boxes + (refused ? 1 : 0)) << set[0].result;
    if (refused) {
        EXPECT_EQ(seen.back().caption + seen.back().text.substr(0, 20), "提示光驱拒绝了所选的速度");
    }
    EXPECT_EQ(p.setting(addr, "lastSpeed") == std::to_string(kChosenKbps), !refused) << "stored as chosen";

    // The lock holds through a refresh, until Unlock.
    act(p, kLock);
    EXPECT_EQ(real::block(d.id).substr(0, 8), "locked=1");
    refresh(p);
    EXPECT_EQ(real::block(d.id).substr(0, 8), "locked=1") << "after a refresh";
    act(p, kUnlock);
    EXPECT_EQ(real::block(d.id).substr(0, 8), "locked=0");

    // A new disc gets the chosen speed again, once.
    if (refused)
        return;
    at = real::mark();
    real::ask("change " + d.id + " " + kNewDisc);
    for (int i = 0; i < 3; ++i)
        refresh(p);
    EXPECT_EQ(real::since(at, d.id, 0xBB).size(), 1u) << "SET CD SPEED after the disc change";
    real::ask("change " + d.id);
}

// One session of the program through a transport, on every drive.
class RealDrives : public ::testing::TestWithParam<const char*> {};

TEST_P(RealDrives, EveryDrive)
{
    const std::string transport = GetParam();
    const std::vector<real::Drive> drives = real::drives();
    ASSERT_FALSE(drives.empty());
    std::vector<std::string> addrs, labels;
    std::string settings = "[System]\r\nTransport=" + transport + "\r\n";
    for (const real::Drive& d : drives) {
        addrs.push_back(address(d.letter, transport == "auto"));
        labels.push_back("[" + addrs.back() + "] " + d.letter + ":\\ " + d.name);
        settings += "[" + addrs.back() + "]\r\nspeedNames=4,24\r\nkbSpeeds=706," + std::to_string(kChosenKbps) + "\r\n";
    }
    KesvoraProcess p;
    p.writeSettings(settings);
    const std::string start = real::mark();
    ASSERT_TRUE(p.start(60000) && waitUntil([&] { return !p.comboItems(kDriveList).empty() || !p.running(); }, 30000) &&
                real::settle(p))
        << (p.messageBoxes().empty() ? "no drive listed" : p.messageBoxes()[0].text);
    const std::vector<std::string> listed = p.comboItems(kDriveList);
    EXPECT_EQ(listed, labels);
    for (size_t i = 0; i < drives.size(); ++i) {
        // Found by its letter, so that a wrong address or name fails only above.
        const std::string letter = std::string("] ") + drives[i].letter + ":\\";
        const auto at = std::find_if(listed.begin(), listed.end(),
                                     [&](const std::string& l) { return l.find(letter) != std::string::npos; });
        if (at == listed.end())
            continue;
        act(p, kDriveList, static_cast<int>(at - listed.begin()));
        checkDrive(p, drives[i], addrs[i], start);
    }
    // What the program sent in the session: nothing asks for more data than
    // its request carries (an adapter refuses that: "overrun"), the name's
    // INQUIRY asks for what its request carries, no drive gets MODE SELECT.
    for (const real::Received& r : real::since(start)) {
        SCOPED_TRACE(r.drive + " " + r.cdb);
        EXPECT_NE(r.result, "overrun");
        EXPECT_TRUE(r.opcode() != 0x12 || (r.byte(1) & 1) != 0 || r.cdb == "120000006400");
        EXPECT_NE(r.opcode(), 0x55);
    }
    p.closeWithOk();
    EXPECT_TRUE(p.waitForExit(30000));
}

// A scsi-cd plugged in while the program runs is listed (Wine announces no volume: the
// test does, as the system would), with the name it reports; unplugged, it is shown as
// gone (the guest keeps its device node, which no longer answers). The guest keeps the
// letter after the drives' for it.
TEST(RealDrives, PluggedInAndOut)
{
    KesvoraProcess p;
    p.writeSettings("[System]\r\nTransport=passthrough\r\n");
    ASSERT_TRUE(p.start(60000) && real::settle(p));
    const std::vector<std::string> before = p.comboItems(kDriveList);
    const char letter = static_cast<char>('D' + real::drives().size());
    const std::string volume = std::string("\\\\.\\") + letter + ":";
    auto present = [&] {
        HANDLE h = CreateFileA(volume.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        CloseHandle(h);
        return h != INVALID_HANDLE_VALUE &&
               real::ask(R"(qmp {"execute":"qom-list","arguments":{"path":"/machine/peripheral"}})").find("\"hot\"") !=
                   std::string::npos;
    };
    const struct { const char* qmp; WPARAM event; bool there; const char* suffix; } steps[] = {
        {R"({"execute":"device_add","arguments":{"driver":"scsi-cd","bus":"scsi.0","scsi-id":5,"id":"hot","vendor":"KSVH","product":"HOTPLUG"}})",
         DBT_DEVICEARRIVAL, true, ""},
        {R"({"execute":"device_del","arguments":{"id":"hot"}})", DBT_DEVICEREMOVECOMPLETE, false, " (已移除)"},
    };
    std::string addr;
    for (const auto& step : steps) {
        real::ask(std::string("qmp ") + step.qmp);
        ASSERT_TRUE(waitUntil([&] { return present() == step.there; }, 30000)) << step.qmp;
        addr = step.there ? address(letter, false) : addr;
        const std::string label = "[" + addr + "] " + (step.there ? letter : '?') + ":\\ KSVH HOTPLUG";
        EXPECT_TRUE(p.broadcast(step.event, 1u << (letter - 'A')));
        ASSERT_TRUE(real::settle(p));
        const std::vector<std::string> items = p.comboItems(kDriveList);
        ASSERT_EQ(items.size(), before.size() + 1);
        EXPECT_EQ(items.back().substr(0, label.size()), label);
        EXPECT_EQ(items.back().substr(items.back().size() - std::strlen(step.suffix)), step.suffix);
    }
    p.closeWithOk();
    EXPECT_TRUE(p.waitForExit(30000));
}

// Chosen automatically, where the registry lists the drives for Wine's ASPI
// layer (which then reports host adapters but carries no command), the
// pass-through must serve.
INSTANTIATE_TEST_SUITE_P(Transport, RealDrives, ::testing::Values("passthrough", "auto"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return info.param; });

}  // namespace
