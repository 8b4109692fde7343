// Where a device sits, as the transport reaches it, and the text that names
// it in the drive list and the settings file.
#pragma once

#include "framework/cstring.h"

struct DriveAddress {
    // The ASPI host adapter, or the port number the system reports for a
    // volume.
    unsigned char adapter = 0;
    // The bus on the adapter (PathId). ASPI numbers adapters, targets and
    // units only, so its devices are always on bus 0; the system gives each
    // SATA port its own bus, with target 0 on each.
    unsigned char path = 0;
    unsigned char target = 0;
    unsigned char lun = 0;

    bool operator==(const DriveAddress& other) const
    {
        return adapter == other.adapter && path == other.path && target == other.target && lun == other.lun;
    }
    bool operator!=(const DriveAddress& other) const { return !(*this == other); }
};

// "adapter:target" for a device on bus 0 at unit 0, as settings files have
// always named drives; "adapter:path:target:lun" otherwise, so that two
// devices that differ only in bus or unit never share a name.
CString addressText(const DriveAddress& at);
