// Delivering the outcome of an executed command into its request block:
// at once, or later from a thread of its own, as a queued request of a real
// ASPI layer completes.
#pragma once

#include <string>
#include <vector>

#include "drive/aspi.h"
#include "sim/drive_model.h"

namespace ksim {

// Everything needed to finish one command without touching the
// simulator's state: the completion thread only sees this.
struct Completion {
    SRB_ExecSCSICmd* srb = nullptr;
    BYTE* buffer = nullptr;  // the request's buffer as submitted
    Outcome outcome;
    bool signalEvent = false;  // SRB_EVENT_NOTIFY: SRB_PostProc is an event
    HANDLE event = nullptr;
    std::string logPath;
    std::string logPrefix;  // the EXEC line up to its result
    unsigned long result = SS_PENDING;
};

// Writes data, sense and adapter/target status, logs the line, then sets
// SRB_Status and signals the event (when asked), in that order.
void completeNow(const Completion& c, unsigned pendingMs);

// Sets SRB_Status to SS_PENDING and completes on another thread after
// delayMs. False when no thread could be started (nothing is done then).
bool completeLater(const Completion& c, unsigned delayMs);

}  // namespace ksim
