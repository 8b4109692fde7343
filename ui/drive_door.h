// The tray door of a drive, opened and closed through the multimedia
// control interface: the one system call it makes sits behind a table that
// tests may replace, and reaches winmm.dll of the system folder.
#pragma once

#include <windows.h>
#include <mmsystem.h>

struct DoorSystemCalls {
    MCIERROR(WINAPI* sendCommand)(MCIDEVICEID device, UINT message, DWORD_PTR flags, DWORD_PTR param);
};

// The calls in use; the system's own unless a test put others in place.
extern DoorSystemCalls g_doorSystemCalls;

// Opens or closes the tray of the drive with this letter; returns the
// interface's error code. A drive without a letter is left alone (returns
// MCIERR_INVALID_DEVICE_NAME).
DWORD SetDriveDoor(bool bOpen, char letter);
