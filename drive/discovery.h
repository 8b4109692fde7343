// Finding the CD-ROM drives behind ASPI and the drive letters they have.
#pragma once

#include <windows.h>

#include "framework/collections.h"

// Loads ASPI and appends a CdDrive for every device at logical unit 0 of
// every target of every adapter that answers INQUIRY as a CD-ROM device
// (type 5) and whose name can be read, in adapter and target order. The
// list stays as it was when ASPI cannot be loaded.
void detectDrives(CObList* list);

// INQUIRY of (adapter, target, LUN 0): true when it completed; *type (when
// given) then holds the peripheral device type, qualifier bits dropped.
bool getDeviceType(BYTE adapter, BYTE target, BYTE* type);

// INQUIRY of (adapter, target, LUN 0) for its vendor, product and revision:
// true when it completed and "vendor product revision" was written to out,
// a zero-filled buffer of at least 31 bytes.
bool getDriveName(BYTE adapter, BYTE target, char* out);

// The SCSI address of the volume of a drive letter: true when the volume
// could be opened and asked; its port number is taken as the ASPI adapter.
bool getScsiAddress(char letter, BYTE& adapter, BYTE& target);

// Gives each drive of the list the letter of the CD-ROM volume at its
// adapter and target; a drive matched by several letters keeps the last.
// A volume that cannot be opened or asked is passed over.
void matchDriveLetters(CObList* list);

// The system calls of letter matching, replaced by tests.
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
