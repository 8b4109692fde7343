// The system's volumes of drive letters: which letters are CD-ROM drives,
// opening a volume, and asking it for its SCSI address. Every system call
// goes through one table, which tests may replace.
#pragma once

#include <windows.h>

#include "drive/drive_address.h"

// The system calls of the volumes, replaced by tests.
struct VolumeSystemCalls {
    DWORD(WINAPI* getLogicalDrives)();
    UINT(WINAPI* getDriveType)(LPCSTR rootPath);
    HANDLE(WINAPI* createFile)(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                               DWORD disposition, DWORD attributes, HANDLE hTemplate);
    BOOL(WINAPI* deviceIoControl)(HANDLE hDevice, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                                  DWORD outSize, LPDWORD returned, LPOVERLAPPED overlapped);
    BOOL(WINAPI* closeHandle)(HANDLE handle);
};

// The calls in use; the system's own unless a test put others in place.
extern VolumeSystemCalls g_volumeSystemCalls;

// The device control that reports a volume's SCSI address, and its answer.
const DWORD IOCTL_SCSI_GET_ADDRESS_CODE = 0x00041018;

#pragma pack(push, 1)
struct ScsiAddress {
    ULONG Length;  // preset to the size of the record
    UCHAR PortNumber;
    UCHAR PathId;
    UCHAR TargetId;
    UCHAR Lun;
};
#pragma pack(pop)

// The drive address a volume's SCSI address names.
inline DriveAddress volumeAddress(const ScsiAddress& address)
{
    DriveAddress at;
    at.adapter = address.PortNumber;
    at.path = address.PathId;
    at.target = address.TargetId;
    at.lun = address.Lun;
    return at;
}

// Calls visit for each letter from A: upward, up to the highest present
// drive, whose root reports DRIVE_CDROM. Letters below the highest one are
// asked even where their bit is clear.
void forEachCdRomLetter(void (*visit)(char letter, void* context), void* context);

// The letters (bit 0 A:) whose root reports DRIVE_CDROM.
DWORD cdRomLetterMask();

// Opens the volume "\\.\X:" with the access given, sharing reading and
// writing; null when it cannot be opened (GetLastError tells why).
HANDLE openVolume(char letter, DWORD access);
void closeVolume(HANDLE volume);

// IOCTL_SCSI_GET_ADDRESS of an open volume: true when it answered.
bool askScsiAddress(HANDLE volume, ScsiAddress& address);
