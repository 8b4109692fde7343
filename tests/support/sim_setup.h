// Helpers for tests that run against the simulated wnaspi32.dll: writing its
// set-up file and reading back its command log. Formats: sim/README.md.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace ksim {

// Fault counts: a number of commands, or every command.
const long kSimAlways = -1;

// One section of the file: keys and values in the order first set.
template <class Self>
class SimSection {
public:
    Self& set(const std::string& key, const std::string& value)
    {
        auto same = [&](const std::pair<std::string, std::string>& kv) { return kv.first == key; };
        auto found = std::find_if(entries.begin(), entries.end(), same);
        if (found != entries.end())
            found->second = value;
        else
            entries.emplace_back(key, value);
        return static_cast<Self&>(*this);
    }
    Self& set(const std::string& key, long value) { return set(key, std::to_string(value)); }
    std::vector<std::pair<std::string, std::string>> entries;
};

class SimAdapter : public SimSection<SimAdapter> {
public:
    SimAdapter& maxTargets(int n) { return set("maxTargets", n); }  // HA_Unique[3]
};

class SimDevice : public SimSection<SimDevice> {
public:
    // Type 5 with this identification.
    SimDevice& cdrom(const std::string& vendor, const std::string& product, const std::string& revision)
    {
        return type(5).ident(vendor, product, revision);
    }
    // Printable text without quotes; it goes in quotes, so blanks are kept,
    // and shorter texts are padded with blanks by the simulator.
    SimDevice& ident(const std::string& vendor, const std::string& product, const std::string& revision)
    {
        return set("vendor", '"' + vendor + '"').set("product", '"' + product + '"').set("revision", '"' + revision + '"');
    }
    SimDevice& type(int peripheralType) { return set("type", peripheralType); }
    SimDevice& maxSpeed(int kbps) { return set("maxSpeed", kbps); }
    SimDevice& speed(int kbps) { return set("speed", kbps); }
    SimDevice& policy(const std::string& name) { return set("speedPolicy", name); }  // any, clip, table, ignore, zero
    SimDevice& speedTable(const std::vector<int>& kbps);
    SimDevice& lock(bool supported, bool locked = false) { return set("lockSupported", supported).set("locked", locked); }
    SimDevice& spindown(int byte) { return set("spindown", byte); }
    // Discs inserted so far: a rewrite with a higher number inserts one.
    SimDevice& discs(int count) { return set("discs", count); }
    // false: an inserted disc is not reported with a unit attention.
    SimDevice& unitAttention(bool reports) { return set("unitAttention", reports); }
    // Faults per opcode (-1: every opcode) and, for 0x5A, per page (-1: any).
    SimDevice& refuse(int opcode, long count, int page = -1) { return fault("refuse", opcode, page, count); }
    SimDevice& error(int opcode, long count, int page = -1) { return fault("error", opcode, page, count); }

private:
    SimDevice& fault(const char* kind, int opcode, int page, long count);
};

// A drive letter of the simulated machine (ksim_volumes.dll).
class SimVolume : public SimSection<SimVolume> {
public:
    SimVolume& device(int adapter, int target) { return set("device", std::to_string(adapter) + ":" + std::to_string(target)); }
    SimVolume& driveType(int type) { return set("driveType", type); }
    SimVolume& open(const std::string& how) { return set("open", how); }  // yes, denied, no
};

// The interface's section.
class SimInterface : public SimSection<SimInterface> {};

class SimSetup {
public:
    SimSetup& supportStatus(int status) { m_interface.set("supportStatus", status); return *this; }
    // false: wnaspi32.dll refuses to load.
    SimSetup& aspiLoads(bool loads) { m_interface.set("loads", loads ? 1 : 0); return *this; }
    SimSetup& adapters(int count) { m_interface.set("adapters", count); return *this; }
    SimSetup& lastError(unsigned long code) { m_interface.set("lastError", std::to_string(code)); return *this; }
    // How long a second of a pass-through request's time-out lasts.
    SimSetup& secondMs(int ms) { m_interface.set("secondMs", ms); return *this; }
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
    SimInterface m_interface;
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
