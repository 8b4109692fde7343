// The command log: one line per call, appended and flushed at once so that
// tests can read it while the program runs. Format in sim/README.md.
#pragma once

#include <string>

#include "drive/aspi.h"

namespace ksim {

// Full path of the log: KSIM_LOG, else ksim.log in the current directory.
std::string logPath();

// Appends one line (a newline is added). Serialised between threads;
// failures to write are ignored.
void appendLog(const std::string& path, const std::string& line);

// The same without taking the lock, for the process's last moments.
void appendLogUnlocked(const std::string& path, const std::string& line);

// "EXEC ha=.. tgt=.. lun=.. flags=0x.. buflen=.. senselen=.. cdblen=.. cdb=..
// [out=..]" of a request block, as submitted.
std::string execPrefix(const SRB_ExecSCSICmd& srb);

// " result=0x.. status=0x..[ pending=<ms>]" ending an EXEC line.
std::string execSuffix(unsigned long result, unsigned status, unsigned pendingMs);

// printf into a string.
std::string format(const char* fmt, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

}  // namespace ksim
