// The SCSI transport: ASPI for Win32, loaded at run time. One request at a
// time, from the user-interface thread only; every call blocks until the
// request has completed.
#pragma once

#include <windows.h>

#include "drive/aspi.h"

// Loads wnaspi32.dll, resolves its two entry points and asks it for the
// host adapters. True when all of that succeeded; the host adapter count is
// then valid. Each failure shows its message box ("ASPI 错误") and returns
// false; the library, once loaded, stays loaded until freeASPI. Loads once
// per run: a second call while the library is loaded returns false at once.
bool loadASPI();

// Frees the library; true when it was loaded and has been freed. The entry
// points are forgotten with it, so no request can reach a freed library.
bool freeASPI();

// Number of targets of an adapter: 16 when it reports 16, else 8; -1 when
// the adapter inquiry fails.
int getMaxTargets(BYTE adapter);

// Submits a filled request whose SRB_Flags include SRB_EVENT_NOTIFY and
// waits, without a time limit, until it has completed. False when it was
// refused three times (or the interface is not loaded); true otherwise, and
// the caller must still test SRB_Status.
bool sendASPI32Command(SRB_ExecSCSICmd* srb);

// Host adapters reported by loadASPI (0 before a successful load).
BYTE getHostAdapterCount();

// For tests only: puts the given entry points in place of those of a loaded
// library, so that requests reach an in-process fake. Passing two nulls
// removes them again. The library handle is not touched.
void installASPIEntryPoints(GetASPI32SupportInfoProc supportInfo, SendASPI32CommandProc sendCommand);
