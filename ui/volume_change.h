// What a device-change broadcast of the system says about volumes.
#pragma once

#include <windows.h>

struct VolumeChange {
    enum Kind {
        None,           // not about volumes, or a medium that went
        MediaArrived,   // a disc was given to the drives of these letters
        VolumeArrived,  // volumes came (a drive plugged in)
        VolumeRemoved,  // volumes went
    };
    Kind kind = None;
    DWORD dwUnitMask = 0;  // bit 0 A:, bit 1 B:, ...
};

// Reads the event and the record of WM_DEVICECHANGE; a record that is not a
// whole volume record gives None.
VolumeChange ReadVolumeChange(WPARAM nEvent, LPARAM lData);
