// The tray door through the multimedia control interface: the one system
// call it makes, behind a table that tests may replace.
#pragma once

#include <windows.h>
#include <mmsystem.h>

struct DoorSystemCalls {
    MCIERROR(WINAPI* sendCommand)(MCIDEVICEID device, UINT message, DWORD_PTR flags, DWORD_PTR param);
};

// The calls in use; the system's own unless a test put others in place.
extern DoorSystemCalls g_doorSystemCalls;
