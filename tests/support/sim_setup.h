// Helpers for tests that run against the simulated wnaspi32.dll: writing its
// set-up file and reading back its command log. Formats: sim/README.md.
//
//   SimSetup s;
//   s.adapters(1).adapter(0).maxTargets(16);
//   s.device(0, 1).cdrom("VEND", "PRODUCT", "1.00").maxSpeed(7056).policy("table");
//   s.device(0, 1).error(0x5A, 1, 0x2A);
//   s.write(dir + "\\ksim.ini");
//   ...
//   SimLog log = readSimLog(dir + "\\ksim.log");
//   for (const SimRecord& r : log.commands(0xBB)) ...
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace ksim {

// Fault counts: a number of commands, or every command.
const long kSimAlways = -1;

// One section of the file: keys and values in the order first set.
class SimSection {
public:
    SimSection& set(const std::string& key, const std::string& value);
    SimSection& set(const std::string& key, long value) { return set(key, std::to_string(value)); }
    std::vector<std::pair<std::string, std::string>> entries;
};

class SimAdapter : public SimSection {
public:
    SimAdapter& maxTargets(int n) { return key("maxTargets", n); }  // HA_Unique[3]
    // Anything but 0x01 fails the adapter inquiry.
    SimAdapter& inquiryResult(int result) { return key("inquiryResult", result); }

private:
    SimAdapter& key(const char* k, long v) { set(k, v); return *this; }
};

class SimDevice : public SimSection {
public:
    // Type 5 with this identification.
    SimDevice& cdrom(const std::string& vendor, const std::string& product, const std::string& revision)
    {
        return type(5).ident(vendor, product, revision);
    }
    // Printable text without quotes; it goes in quotes, so blanks are kept,
    // and shorter texts are padded with blanks by the simulator.
    SimDevice& ident(const std::string& vendor, const std::string& product, const std::string& revision);
    SimDevice& type(int peripheralType) { return key("type", peripheralType); }
    SimDevice& qualifier(int bits) { return key("qualifier", bits); }
    SimDevice& nameInquiryFails(bool fails = true) { return key("nameInquiryFails", fails); }
    SimDevice& maxSpeed(int kbps) { return key("maxSpeed", kbps); }
    SimDevice& speed(int kbps) { return key("speed", kbps); }
    SimDevice& policy(const std::string& name) { set("speedPolicy", name); return *this; }  // any, clip, table, ignore, zero
    SimDevice& speedTable(const std::vector<int>& kbps);
    SimDevice& blockDescriptor(bool present = true) { return key("blockDescriptor", present); }
    SimDevice& lock(bool supported, bool locked = false) { return key("lockSupported", supported).key("locked", locked); }
    SimDevice& spindown(int byte) { return key("spindown", byte); }
    SimDevice& maxSpeedZero(int reads) { return key("maxSpeedZero", reads); }
    // Discs inserted so far: a rewrite with a higher number inserts one.
    SimDevice& discs(int count) { return key("discs", count); }
    // false: an inserted disc is not reported with a unit attention.
    SimDevice& unitAttention(bool reports) { return key("unitAttention", reports); }
    // Faults per opcode (-1: every opcode) and, for 0x5A, per page (-1: any).
    SimDevice& refuse(int opcode, long count, int page = -1) { return fault("refuse", opcode, page, count); }
    SimDevice& error(int opcode, long count, int page = -1) { return fault("error", opcode, page, count); }

private:
    SimDevice& key(const char* k, long v) { set(k, v); return *this; }
    SimDevice& fault(const char* kind, int opcode, int page, long count);
};

// A drive letter of the simulated machine (ksim_volumes.dll).
class SimVolume : public SimSection {
public:
    SimVolume& device(int adapter, int target)
    {
        set("device", std::to_string(adapter) + ":" + std::to_string(target));
        return *this;
    }
    SimVolume& driveType(int type) { set("driveType", type); return *this; }
    SimVolume& open(const std::string& how) { set("open", how); return *this; }  // yes, denied, no
};

class SimSetup {
public:
    SimSetup& supportStatus(int status) { m_interface.set("supportStatus", status); return *this; }
    // false: wnaspi32.dll refuses to load.
    SimSetup& aspiLoads(bool loads) { m_interface.set("loads", loads ? 1 : 0); return *this; }
    SimSetup& adapters(int count) { m_interface.set("adapters", count); return *this; }
    SimSetup& lastError(unsigned long code) { m_interface.set("lastError", std::to_string(code)); return *this; }
    SimAdapter& adapter(int n) { return m_adapters[n]; }
    SimDevice& device(int adapter, int target) { return m_devices[{adapter, target}]; }
    SimVolume& volume(char letter) { return m_volumes[letter]; }
    void removeVolume(char letter) { m_volumes.erase(letter); }
    bool hasVolumes() const { return !m_volumes.empty(); }

    // Writes the file in one step (a temporary file renamed over the old),
    // so that a running simulator never reads half of it. Each write gets a
    // new generation, so a rewrite of the same settings re-arms the faults.
    bool write(const std::string& path) const;

private:
    SimSection m_interface;
    std::map<int, SimAdapter> m_adapters;
    std::map<std::pair<int, int>, SimDevice> m_devices;
    std::map<char, SimVolume> m_volumes;
};

// A line of the log: an adapter inquiry or a command, with its target, its
// request's fields and status, the bytes of its command block and of the
// data it sent.
struct SimRecord {
    enum Kind { HaInquiry, Exec, Other };
    Kind kind = Other;
    std::string line;  // as logged
    int ha = -1;
    int tgt = -1;
    int flags = -1;
    int buflen = -1;
    int senselen = -1;
    int status = -1;
    std::vector<uint8_t> cdb;
    std::vector<uint8_t> out;

    int opcode() const { return cdb.empty() ? -1 : cdb[0]; }
};

struct SimLog {
    std::vector<SimRecord> records;
    // EXEC records, all or those of one opcode.
    std::vector<SimRecord> commands(int opcode = -1) const;
};

// Reads the whole log; a missing file gives an empty log.
SimLog readSimLog(const std::string& path);
// Empties (deletes) the log file.
void clearSimLog(const std::string& path);

}  // namespace ksim
