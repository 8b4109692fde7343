#include "ui/volume_change.h"

#include <dbt.h>

VolumeChange ReadVolumeChange(WPARAM nEvent, LPARAM lData)
{
    VolumeChange change;
    if ((nEvent != DBT_DEVICEARRIVAL && nEvent != DBT_DEVICEREMOVECOMPLETE) || lData == 0)
        return change;
    const DEV_BROADCAST_HDR* pHeader = reinterpret_cast<const DEV_BROADCAST_HDR*>(lData);
    if (pHeader->dbch_devicetype != DBT_DEVTYP_VOLUME || pHeader->dbch_size < sizeof(DEV_BROADCAST_VOLUME))
        return change;
    const DEV_BROADCAST_VOLUME* pVolume = reinterpret_cast<const DEV_BROADCAST_VOLUME*>(lData);
    const bool bMedia = (pVolume->dbcv_flags & DBTF_MEDIA) != 0;
    change.dwUnitMask = pVolume->dbcv_unitmask;
    if (nEvent == DBT_DEVICEARRIVAL)
        change.kind = bMedia ? VolumeChange::MediaArrived : VolumeChange::VolumeArrived;
    else if (!bMedia)
        change.kind = VolumeChange::VolumeRemoved;
    return change;
}
