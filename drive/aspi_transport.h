// The ASPI for Win32 transport, loaded at run time. One request at a time,
// from one thread; every call blocks until the request has completed or
// the time allowed for it has passed.
#pragma once

#include <windows.h>

#include "drive/aspi.h"
#include "drive/scsi_transport.h"

// How loadASPI reports a failure: with its message box ("ASPI 错误") and
// trace, or with the trace only (when another transport may serve).
enum class AspiFailures { Shown, TracedOnly };

// Loads wnaspi32.dll from the program's own folder or the system folders
// (never from the working directory), resolves its two entry points and
// asks it for the host adapters. True when all of that succeeded; the host
// adapter count is then valid. Each failure is reported as asked and
// returns false; the library, once loaded, stays loaded until freeASPI.
// Loads once per run: a second call while the library is loaded returns
// false at once.
bool loadASPI(AspiFailures failures = AspiFailures::Shown);

// Frees the library; true when it was loaded and has been freed. The entry
// points are forgotten with it, so no request can reach a freed library.
bool freeASPI();

// Number of targets of an adapter: 16 when it reports 16, else 8; -1 when
// the adapter inquiry fails.
int getMaxTargets(BYTE adapter);

// How long a request may take before the program stops waiting for it: as
// long as the system's pass-through allows a command.
const DWORD ASPI_WAIT_LIMIT_MS = 20000;

// The system call that waits for a request, replaced by tests.
struct AspiSystemCalls {
    DWORD(WINAPI* waitForSingleObject)(HANDLE handle, DWORD milliseconds);
};
extern AspiSystemCalls g_aspiSystemCalls;

enum class AspiSend {
    Completed,    // the caller must still test SRB_Status: a request the
                  // layer failed when it was sent has completed as well
    Refused,      // busy three times, or no interface: nothing is outstanding
    Outstanding,  // the wait failed: the layer may still write into the
                  // block, its buffer and its event, so none of them may be
                  // released or reused
    TimedOut,     // no completion within ASPI_WAIT_LIMIT_MS: outstanding as well
};

// Submits a filled request whose SRB_Flags include SRB_EVENT_NOTIFY and
// waits until it has completed, for at most ASPI_WAIT_LIMIT_MS. Only a busy
// layer is asked again.
AspiSend sendASPI32Command(SRB_ExecSCSICmd* srb);

// Host adapters reported by loadASPI (0 before a successful load).
BYTE getHostAdapterCount();

// The transport over the loaded library: the adapters and targets it
// reports, and requests carried in request blocks of their own.
ScsiTransport& aspiTransport();

// For tests only: puts the given entry points in place of those of a loaded
// library, so that requests reach an in-process fake. Passing two nulls
// removes them again. The library handle is not touched.
void installASPIEntryPoints(GetASPI32SupportInfoProc supportInfo, SendASPI32CommandProc sendCommand);
