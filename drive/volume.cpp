#include "drive/volume.h"

#include "framework/cstring.h"

VolumeSystemCalls g_volumeSystemCalls = {
    GetLogicalDrives, GetDriveTypeA, CreateFileA, DeviceIoControl, CloseHandle,
};

namespace {

const int kLetterCount = 26;

// Number of letters to ask: the position of the highest present drive plus
// one, at most Z.
int lettersToAsk(DWORD mask)
{
    int n = 0;
    for (int bit = 0; bit < 32; ++bit) {
        if (mask & (DWORD(1) << bit))
            n = bit + 1;
    }
    return n < kLetterCount ? n : kLetterCount;
}

}  // namespace

void forEachCdRomLetter(void (*visit)(char letter, void* context), void* context)
{
    int letters = lettersToAsk(g_volumeSystemCalls.getLogicalDrives());
    for (int i = 0; i < letters; ++i) {
        char letter = static_cast<char>('A' + i);
        char root[] = {letter, ':', '\\', '\0'};
        if (g_volumeSystemCalls.getDriveType(root) == DRIVE_CDROM)
            visit(letter, context);
    }
}

DWORD cdRomLetterMask()
{
    DWORD mask = 0;
    forEachCdRomLetter([](char letter, void* context) { *static_cast<DWORD*>(context) |= DWORD(1) << (letter - 'A'); },
                       &mask);
    return mask;
}

HANDLE openVolume(char letter, DWORD access)
{
    CString volume;
    volume.Format("\\\\.\\%c:", letter);
    HANDLE h = g_volumeSystemCalls.createFile(volume, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

void closeVolume(HANDLE volume)
{
    if (volume != nullptr)
        g_volumeSystemCalls.closeHandle(volume);
}

bool askScsiAddress(HANDLE volume, ScsiAddress& address)
{
    address = ScsiAddress();
    address.Length = sizeof address;
    DWORD returned = 0;
    return g_volumeSystemCalls.deviceIoControl(volume, IOCTL_SCSI_GET_ADDRESS_CODE, nullptr, 0, &address,
                                               sizeof address, &returned, nullptr) != FALSE;
}
