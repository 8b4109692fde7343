// What QEMU's drives answer through Wine's pass-through, printed, not
// checked: the facts the program's handling of real drives rests on. Run
// with KESVORA_REAL_ARGS=--gtest_also_run_disabled_tests.
#include <gtest/gtest.h>

#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstring>

#include "tests/real/bridge.h"

namespace {

struct Request {
    SCSI_PASS_THROUGH h;
    BYTE sense[32];
    BYTE data[256];
};

HANDLE openVolume(char letter)
{
    const std::string name = std::string("\\\\.\\") + letter + ":";
    return CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

// Sends one CDB (hex) with `length` bytes announced; prints what came back.
void send(HANDLE h, const char* what, const char* cdbHex, DWORD length, bool out = false, const BYTE* data = nullptr)
{
    Request r = {};
    r.h.Length = sizeof r.h;
    for (r.h.CdbLength = 0; cdbHex[2 * r.h.CdbLength] != 0; ++r.h.CdbLength)
        r.h.Cdb[r.h.CdbLength] = static_cast<UCHAR>(std::stoi(std::string(cdbHex + 2 * r.h.CdbLength, 2), nullptr, 16));
    r.h.SenseInfoLength = 18;
    r.h.DataIn = out ? SCSI_IOCTL_DATA_OUT : SCSI_IOCTL_DATA_IN;
    r.h.DataTransferLength = length;
    r.h.TimeOutValue = 20;
    r.h.DataBufferOffset = offsetof(Request, data);
    r.h.SenseInfoOffset = offsetof(Request, sense);
    if (data != nullptr)
        std::memcpy(r.data, data, length);
    DWORD got = 0;
    BOOL ok = DeviceIoControl(h, IOCTL_SCSI_PASS_THROUGH, &r, sizeof r, &r, sizeof r, &got, nullptr);
    std::printf("  %-22s ok=%d err=%lu status=%02X sense=%X/%02X/%02X len=%lu data:", what, ok,
                ok ? 0ul : GetLastError(), r.h.ScsiStatus, r.sense[2] & 0x0F, r.sense[12], r.sense[13],
                r.h.DataTransferLength);
    for (DWORD i = 0; i < 40 && i < r.h.DataTransferLength && !out; ++i)
        std::printf(i >= 8 && i < 36 && r.data[i] >= 0x20 && r.data[i] < 0x7F ? "%c" : " %02X", r.data[i]);
    std::printf("\n");
}

void commands(HANDLE h)
{
    static const BYTE stream[28] = {0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0x10, 0x8A,
                                    0, 0, 0x03, 0xE8, 0, 0, 0x10, 0x8A, 0, 0, 0x03, 0xE8};
    send(h, "INQUIRY 192 in 100", "12000000C000", 100);
    send(h, "INQUIRY 100 in 100", "120000006400", 100);
    send(h, "INQUIRY VPD 80", "120180006400", 100);
    send(h, "MODE SENSE 2A", "5A002A00000000010000", 256);
    send(h, "MODE SENSE 0D", "5A000D00000000010000", 256);
    send(h, "MODE SENSE 1A", "5A001A00000000010000", 256);
    send(h, "SET CD SPEED 24X", "BB00108AFFFF000000000000", 0, true);
    send(h, "GET CONFIGURATION", "46000000000000001000", 16);
    send(h, "GET PERFORMANCE 00", "AC0000000000000000080000", 96);
    send(h, "GET PERFORMANCE 03", "AC0000000000000000080300", 96);
    send(h, "SET STREAMING", "B60000000000000000001C00", 28, true, stream);
}

TEST(Probe, DISABLED_WhatTheDrivesAnswer)
{
    typedef DWORD(__cdecl * SupportInfo)();
    HMODULE aspi = LoadLibraryA("wnaspi32.dll");
    FARPROC info = aspi != nullptr ? GetProcAddress(aspi, "GetASPI32SupportInfo") : nullptr;
    std::printf("ASPI support info: %08lX\n", info != nullptr ? reinterpret_cast<SupportInfo>(reinterpret_cast<void*>(info))() : 0ul);
    for (const real::Drive& d : real::drives()) {
        HANDLE h = openVolume(d.letter);
        SCSI_ADDRESS a = {};
        a.Length = sizeof a;
        DWORD got = 0;
        BOOL ok = DeviceIoControl(h, IOCTL_SCSI_GET_ADDRESS, nullptr, 0, &a, sizeof a, &got, nullptr);
        std::printf("%c: %s (%s) address ok=%d port=%u path=%u target=%u lun=%u; %s\n", d.letter, d.id.c_str(),
                    d.name.c_str(), ok, a.PortNumber, a.PathId, a.TargetId, a.Lun, real::block(d.id).c_str());
        commands(h);
        const bool disc = real::block(d.id).find("disc=1") != std::string::npos;
        real::ask("change " + d.id + (disc ? " -" : " KSVNEW"));
        std::printf(" after the disc was %s, on the handle kept open:\n", disc ? "taken out" : "put in");
        send(h, "TEST UNIT READY", "000000000000", 0);
        send(h, "TEST UNIT READY again", "000000000000", 0);
        HANDLE fresh = openVolume(d.letter);
        std::printf(" on a new handle:\n");
        send(fresh, "TEST UNIT READY", "000000000000", 0);
        commands(fresh);
        CloseHandle(fresh);
        send(h, "PREVENT MEDIUM REMOVAL", "1E0000000100", 0);
        std::printf("  while open: %s\n", real::block(d.id).c_str());
        char eject[64];
        std::snprintf(eject, sizeof eject, "open %c: type cdaudio alias probe shareable", d.letter);
        MCIERROR opened = mciSendStringA(eject, nullptr, 0, nullptr);
        MCIERROR door = mciSendStringA("set probe door open", nullptr, 0, nullptr);
        mciSendStringA("close probe", nullptr, 0, nullptr);
        std::printf("  MCI door open while locked and open: open=%lu door=%lu; %s\n", opened, door,
                    real::block(d.id).c_str());
        send(h, "ALLOW MEDIUM REMOVAL", "1E0000000000", 0);
        door = mciSendStringA(eject, nullptr, 0, nullptr) || mciSendStringA("set probe door open", nullptr, 0, nullptr);
        mciSendStringA("close probe", nullptr, 0, nullptr);
        std::printf("  MCI door open while open: %lu; %s\n", door, real::block(d.id).c_str());
        CloseHandle(h);
        std::printf("  all closed: %s\n", real::block(d.id).c_str());
        real::ask("change " + d.id);
    }
}

}  // namespace
