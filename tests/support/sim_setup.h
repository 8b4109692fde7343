// Helpers for tests that run against the simulated wnaspi32.dll: writing its
// set-up file and reading back its command log. Formats: sim/README.md.
//
//   SimSetup s;
//   s.adapters(1).adapter(0).maxTargets(16);
//   s.device(0, 1).cdrom("VEND", "PRODUCT", "1.00").maxSpeed(7056).policy("table");
//   s.device(0, 1).error(0x5A, 1, 0x2A).delay(0xBB, 200);
//   s.write(dir + "\\ksim.ini");
//   ...
//   SimLog log = readSimLog(dir + "\\ksim.log");
//   for (const SimRecord& r : log.commands(0xBB)) ...
#pragma once

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace ksim {

// Fault counts: a number of commands, or every command.
const long kSimAlways = -1;

class SimSection {
public:
    // Any key, as written in the file (the typed setters below use this).
    SimSection& set(const std::string& key, const std::string& value);
    SimSection& set(const std::string& key, long value);
    // Keys and values in the order first set.
    const std::vector<std::pair<std::string, std::string>>& entries() const { return m_entries; }

protected:
    SimSection& setHex(const std::string& key, unsigned value);

private:
    std::vector<std::pair<std::string, std::string>> m_entries;
};

class SimAdapter : public SimSection {
public:
    SimAdapter& maxTargets(int n);  // HA_Unique[3]
    SimAdapter& inquiryResult(int result);  // anything but 0x01 fails the inquiry
    SimAdapter& scsiId(int id);
};

class SimDevice : public SimSection {
public:
    // Type 5 with this identification.
    SimDevice& cdrom(const std::string& vendor, const std::string& product, const std::string& revision);
    // Text fields go in quotes, so blanks are kept; shorter texts are padded
    // with blanks by the simulator.
    SimDevice& ident(const std::string& vendor, const std::string& product, const std::string& revision);
    SimDevice& type(int peripheralType);
    SimDevice& qualifier(int bits);
    SimDevice& lun(int n);
    SimDevice& nameInquiryFails(bool fails = true);
    SimDevice& maxSpeed(int kbps);
    SimDevice& speed(int kbps);
    SimDevice& policy(const std::string& name);  // any, clip, table, ignore, zero
    SimDevice& speedTable(const std::vector<int>& kbps);
    SimDevice& blockDescriptor(bool present = true);
    SimDevice& lock(bool supported, bool locked = false);
    SimDevice& lockIgnore(bool ignore = true);
    SimDevice& mechanismBits(int bits);
    SimDevice& spindown(int byte);
    SimDevice& queued(bool queued = true);
    SimDevice& refuseResult(int result);
    SimDevice& maxSpeedZero(int reads);
    // Faults per opcode (-1: every opcode) and, for 0x5A, per page (-1: any).
    SimDevice& refuse(int opcode, long count, int page = -1);
    SimDevice& error(int opcode, long count, int page = -1);
    SimDevice& sense(int opcode, int key, int asc, int ascq, int page = -1);
    SimDevice& delay(int opcode, unsigned ms, long count = kSimAlways, int page = -1);
};

class SimSetup {
public:
    SimSetup& supportStatus(int status);
    SimSetup& adapters(int count);
    SimSetup& lastError(unsigned long code);
    SimAdapter& adapter(int n);
    SimDevice& device(int adapter, int target);

    // The file's text. A fresh generation key is added by write().
    std::string text() const;
    // Writes the file in one step (a temporary file renamed over the old),
    // so that a running simulator never reads half of it. Each write gets a
    // new generation, so a rewrite of the same settings re-arms the faults.
    bool write(const std::string& path) const;

private:
    std::string render(const std::string& generation) const;

    SimSection m_interface;
    std::map<int, SimAdapter> m_adapters;
    std::vector<std::pair<std::pair<int, int>, SimDevice>> m_devices;
};

struct SimRecord {
    enum Kind { Load, Unload, SupportInfo, HaInquiry, Exec, BadCmd, Other };
    Kind kind = Other;
    int ha = -1;
    int tgt = -1;
    int lun = -1;
    int flags = -1;
    long buflen = -1;
    int senselen = -1;
    int cdblen = -1;
    std::vector<uint8_t> cdb;
    bool hasOut = false;
    std::vector<uint8_t> out;
    unsigned long result = 0;
    int status = -1;
    int pendingMs = 0;
    std::string line;  // as logged

    int opcode() const { return cdb.empty() ? -1 : cdb[0]; }
};

struct SimLog {
    std::vector<SimRecord> records;
    // EXEC records, all or those of one opcode.
    std::vector<SimRecord> commands(int opcode = -1) const;
};

// Parses one log line; unknown lines give kind Other.
SimRecord parseSimLogLine(const std::string& line);
// Reads the whole log; a missing file gives an empty log.
SimLog readSimLog(const std::string& path);
// Empties (deletes) the log file.
void clearSimLog(const std::string& path);

// The record as one readable line, for failure messages.
std::string describe(const SimRecord& r);
std::ostream& operator<<(std::ostream& os, const SimRecord& r);

}  // namespace ksim
