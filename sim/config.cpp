// Set-up file of the simulated drives (an INI file, read with the
// private-profile functions).
//
//   [interface]
//   supportStatus=0x01   bits 8-15 of GetASPI32SupportInfo (0xE8: no adapters)
//   adapters=1           bits 0-7: number of host adapters, 0-255
//   lastError=<n>        if given, SetLastError(n) before GetASPI32SupportInfo returns
//   generation=<text>    not interpreted; change it to force a reload
//
//   [adapter<n>]         n = 0 .. adapters-1
//   maxTargets=8         HA_Unique[3] of the adapter inquiry (any byte: 8, 16, 0, 7, 15...)
//   inquiryResult=0x01   SRB_Status and return value of the adapter inquiry;
//                        anything but 0x01 makes it fail without adapter data
//   scsiId=7             HA_SCSI_ID
//   manager=, identifier=  HA_ManagerId, HA_Identifier (up to 16 characters)
//
//   [device<a>:<t>]      the device at adapter a, target t (decimal, 0-255)
//   type=5               peripheral device type 0-31 (5 CD-ROM, 0 disk, ...)
//   qualifier=0          peripheral qualifier 0-7 (bits 5-7 of INQUIRY byte 0)
//   lun=0                the only LUN the device answers at; every command at
//                        another LUN fails (ILLEGAL REQUEST, LUN not supported)
//   vendor=, product=, revision=   INQUIRY text: padded with blanks to 8, 16
//                        and 4 bytes, cut when longer. Enclose the value in
//                        double quotes to keep leading or trailing blanks
//                        (vendor="        " is all blanks).
//   vendorHex=, productHex=, revisionHex=  the same fields as hex bytes
//                        ("41 42 20 00"); they win over the text keys
//   nameInquiryFails=0   1: an INQUIRY with allocation length 192 fails
//                        while other INQUIRYs work
//   maxSpeed=7056        maximum read speed, KB/s (page 0x2A bytes 8-9)
//   speed=<maxSpeed>     current read speed, KB/s (page 0x2A bytes 14-15)   [dynamic]
//   speedPolicy=clip     any | clip | table | ignore | zero (SET CD SPEED;
//                        a request of 0xFFFF means the maximum)
//   speedTable=...       speeds for "table", KB/s, separated by commas or
//                        blanks; default 176,353,706,1411,2117,2822,4234,5645,
//                        7056,8467,9878,11289; entries above maxSpeed unused
//   blockDescriptor=0    1: MODE SENSE(10) returns an 8-byte block descriptor
//                        (header bytes 6-7 = 8, pages 8 bytes further on)
//                        unless the CDB sets DBD
//   lockSupported=1      page 0x2A byte 6 bit 0
//   locked=0             page 0x2A byte 6 bit 1                              [dynamic]
//   lockIgnore=0         1: PREVENT ALLOW MEDIUM REMOVAL completes but never
//                        changes the lock state (also unchanged when the lock
//                        is not supported)
//   mechanismBits=0x00   bits 2-7 of page 0x2A byte 6 (eject, loading mechanism)
//   spindown=0x0A        page 0x0D byte 3, any byte (0x1A included)          [dynamic]
//                        MODE SELECT(10) of page 0x0D sets its low 4 bits from
//                        the page's byte 3 and keeps the high 4 bits
//   queued=0             1: every command returns SS_PENDING and signals the
//                        event at once, as real queued ASPI layers do
//   refuseResult=0xE0    what SendASPI32Command returns for a refused submission
//   maxSpeedZero=0       the next N reads of page 0x2A report maximum speed 0
//
//   Faults, per opcode (two hex digits: 12, 5A, 55, BB, 1E, ..., or "all"),
//   and for MODE SENSE(10) optionally per page (5A.2A, 5A.0D):
//   refuse.<op>[.<page>]=N|always   refuse the next N submissions: the return
//                        value is refuseResult and the SRB is not touched
//   error.<op>[.<page>]=N|always    complete the next N commands with
//                        SRB_Status = SS_ERR and sense data; nothing executes
//   sense.<op>[.<page>]=KK AA QQ    sense key, ASC, ASCQ of those errors
//                        (hex; default 02 04 01, not ready)
//   delay.<op>[.<page>]=<ms>        complete later: return SS_PENDING and
//                        complete from another thread after <ms> (0-600000)
//   delayCount.<op>[.<page>]=N|always  how many commands are delayed (default always)
//   For each kind (refuse, error, delay) the most specific rule that is
//   still armed decides: <op>.<page>, then <op>, then all. A refusal wins
//   over everything; an error can also be delayed. Counters count down
//   only when their rule is used.
//
// The simulator re-reads the file when its content or write time changes:
// static values and fault counters come from the file anew, the [dynamic]
// values only when their text differs from the file read before (see
// Simulator::apply and sim/README.md).
//
// Numbers are decimal or 0x-prefixed hex; booleans 1/0, yes/no, true/false,
// on/off. An invalid or out-of-range value leaves the default. Keys and
// section names are case-insensitive; for two sections naming the same
// address the first one counts.
#include "sim/config.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace ksim {

namespace {

const size_t kValueBufferSize = 4096;
const size_t kListBufferSize = 65536;
const unsigned long kMaxDelayMs = 600000;
const unsigned long kMaxCount = 1000000000;

const uint16_t kDefaultSpeedTable[] = {176,  353,  706,  1411, 2117, 2822,
                                       4234, 5645, 7056, 8467, 9878, 11289};

std::string lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string trim(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return std::string();
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

// The profile functions give at most one less than the buffer; longer
// values are cut, which the parsers then reject or truncate.
class Profile {
public:
    explicit Profile(const std::string& path) : m_path(path) {}

    bool get(const std::string& section, const char* key, std::string* value) const
    {
        static const char kMissing[] = "\x01ksim-missing\x01";
        std::vector<char> buf(kValueBufferSize);
        GetPrivateProfileStringA(section.c_str(), key, kMissing, buf.data(), static_cast<DWORD>(buf.size()),
                                 m_path.c_str());
        if (std::strcmp(buf.data(), kMissing) == 0)
            return false;
        *value = buf.data();
        return true;
    }

    // Names in a double-null-terminated list: keys of a section, or the
    // section names when section is null.
    std::vector<std::string> names(const char* section) const
    {
        std::vector<char> buf(kListBufferSize);
        DWORD n;
        if (section == nullptr)
            n = GetPrivateProfileSectionNamesA(buf.data(), static_cast<DWORD>(buf.size()), m_path.c_str());
        else
            n = GetPrivateProfileStringA(section, nullptr, "", buf.data(), static_cast<DWORD>(buf.size()),
                                         m_path.c_str());
        std::vector<std::string> out;
        size_t pos = 0;
        while (pos < n && buf[pos] != '\0') {
            std::string name(&buf[pos]);
            pos += name.size() + 1;
            out.push_back(name);
        }
        return out;
    }

    template <typename T>
    void number(const std::string& section, const char* key, unsigned long maxValue, T* out) const
    {
        std::string text;
        unsigned long v;
        if (get(section, key, &text) && parseUnsigned(text, maxValue, &v))
            *out = static_cast<T>(v);
    }

    void flag(const std::string& section, const char* key, bool* out) const
    {
        std::string text;
        if (get(section, key, &text))
            parseBool(text, out);
    }

private:
    std::string m_path;
};

// "<a>:<t>" after "device", both decimal 0-255.
bool parseDeviceSection(const std::string& name, uint8_t* adapter, uint8_t* target)
{
    std::string n = lower(trim(name));
    if (n.compare(0, 6, "device") != 0)
        return false;
    size_t colon = n.find(':', 6);
    if (colon == std::string::npos)
        return false;
    unsigned long a, t;
    std::string as = n.substr(6, colon - 6), ts = n.substr(colon + 1);
    if (as.empty() || ts.empty() || as.find_first_not_of("0123456789") != std::string::npos ||
        ts.find_first_not_of("0123456789") != std::string::npos)
        return false;
    if (!parseUnsigned(as, 255, &a) || !parseUnsigned(ts, 255, &t))
        return false;
    *adapter = static_cast<uint8_t>(a);
    *target = static_cast<uint8_t>(t);
    return true;
}

void setField(uint8_t* field, size_t size, const std::vector<uint8_t>& bytes)
{
    std::memset(field, ' ', size);
    std::memcpy(field, bytes.data(), std::min(size, bytes.size()));
}

void readTextField(const Profile& ini, const std::string& section, const char* key, uint8_t* field,
                   size_t size)
{
    std::string text;
    std::vector<uint8_t> bytes;
    std::string hexKey = std::string(key) + "Hex";
    if (ini.get(section, hexKey.c_str(), &text) && parseHexBytes(text, &bytes)) {
        setField(field, size, bytes);
        return;
    }
    if (ini.get(section, key, &text))
        setField(field, size, std::vector<uint8_t>(text.begin(), text.end()));
}

bool parsePolicy(const std::string& text, SpeedPolicy* out)
{
    static const struct {
        const char* name;
        SpeedPolicy policy;
    } kPolicies[] = {{"any", SpeedPolicy::Any},
                     {"clip", SpeedPolicy::Clip},
                     {"table", SpeedPolicy::Table},
                     {"ignore", SpeedPolicy::Ignore},
                     {"zero", SpeedPolicy::Zero}};
    std::string t = lower(trim(text));
    for (const auto& p : kPolicies) {
        if (t == p.name) {
            *out = p.policy;
            return true;
        }
    }
    return false;
}

// Speeds separated by commas or blanks; a list with a bad entry is rejected
// whole. Sorted ascending, duplicates dropped.
bool parseSpeedTable(const std::string& text, std::vector<uint16_t>* out)
{
    std::vector<uint16_t> speeds;
    std::string item;
    std::string t = text + ",";
    for (char c : t) {
        if (c == ',' || c == ' ' || c == '\t') {
            if (!item.empty()) {
                unsigned long v;
                if (!parseUnsigned(item, 0xFFFF, &v))
                    return false;
                speeds.push_back(static_cast<uint16_t>(v));
                item.clear();
            }
        } else {
            item += c;
        }
    }
    if (speeds.empty())
        return false;
    std::sort(speeds.begin(), speeds.end());
    speeds.erase(std::unique(speeds.begin(), speeds.end()), speeds.end());
    *out = speeds;
    return true;
}

// "<kind>.<op>[.<page>]" with op two hex digits or "all", page two hex
// digits and only for 5A.
bool parseFaultKey(const std::string& key, std::string* kind, FaultKey* fk)
{
    std::vector<std::string> parts;
    size_t start = 0;
    std::string k = lower(trim(key));
    for (;;) {
        size_t dot = k.find('.', start);
        parts.push_back(k.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
        if (dot == std::string::npos)
            break;
        start = dot + 1;
    }
    if (parts.size() < 2 || parts.size() > 3)
        return false;
    auto hexByte = [](const std::string& s, int* v) {
        if (s.size() != 2 || !std::isxdigit(static_cast<unsigned char>(s[0])) ||
            !std::isxdigit(static_cast<unsigned char>(s[1])))
            return false;
        *v = static_cast<int>(std::strtoul(s.c_str(), nullptr, 16));
        return true;
    };
    int op = kAnyOpcode, page = kAnyPage;
    if (parts[1] != "all" && !hexByte(parts[1], &op))
        return false;
    if (parts.size() == 3 && (op != 0x5A || !hexByte(parts[2], &page) || page > 0x3F))
        return false;
    *kind = parts[0];
    *fk = FaultKey(op, page);
    return true;
}

void readFaults(const Profile& ini, const std::string& section, DeviceConfig* dev)
{
    for (const std::string& key : ini.names(section.c_str())) {
        std::string kind, text;
        FaultKey fk;
        if (!parseFaultKey(key, &kind, &fk) || !ini.get(section, key.c_str(), &text))
            continue;
        FaultRule& rule = dev->faults[fk];
        unsigned long ms;
        std::vector<uint8_t> bytes;
        if (kind == "refuse") {
            parseCount(text, &rule.refuse);
        } else if (kind == "error") {
            parseCount(text, &rule.error);
        } else if (kind == "delay") {
            if (parseUnsigned(text, kMaxDelayMs, &ms))
                rule.delayMs = static_cast<unsigned>(ms);
        } else if (kind == "delaycount") {
            parseCount(text, &rule.delayCount);
        } else if (kind == "sense") {
            if (parseHexBytes(text, &bytes) && bytes.size() == 3) {
                rule.hasSense = true;
                rule.sense = Sense{static_cast<uint8_t>(bytes[0] & 0x0F), bytes[1], bytes[2]};
            }
        }
    }
}

DeviceConfig readDevice(const Profile& ini, const std::string& section, uint8_t adapter, uint8_t target)
{
    DeviceConfig dev;
    dev.adapter = adapter;
    dev.target = target;
    DeviceProfile& s = dev.profile;
    s.speedTable.assign(std::begin(kDefaultSpeedTable), std::end(kDefaultSpeedTable));

    ini.number(section, "type", 31, &s.type);
    ini.number(section, "qualifier", 7, &s.qualifier);
    ini.number(section, "lun", 255, &s.lun);
    readTextField(ini, section, "vendor", s.vendor, sizeof s.vendor);
    readTextField(ini, section, "product", s.product, sizeof s.product);
    readTextField(ini, section, "revision", s.revision, sizeof s.revision);
    ini.flag(section, "nameInquiryFails", &s.nameInquiryFails);

    ini.number(section, "maxSpeed", 0xFFFF, &s.maxSpeed);
    std::string text;
    if (ini.get(section, "speedPolicy", &text))
        parsePolicy(text, &s.policy);
    if (ini.get(section, "speedTable", &text))
        parseSpeedTable(text, &s.speedTable);
    ini.flag(section, "blockDescriptor", &s.blockDescriptor);
    ini.flag(section, "lockSupported", &s.lockSupported);
    ini.flag(section, "lockIgnore", &s.lockIgnore);
    ini.number(section, "mechanismBits", 0xFF, &s.mechanismBits);

    // Dynamic values: remember whether and how the file gives them.
    unsigned long v;
    s.initialSpeed = s.maxSpeed;
    if (ini.get(section, "speed", &text) && parseUnsigned(text, 0xFFFF, &v)) {
        s.initialSpeed = static_cast<uint16_t>(v);
        dev.speedGiven = true;
        dev.speedText = trim(text);
    }
    if (ini.get(section, "locked", &text) && parseBool(text, &s.initialLocked)) {
        dev.lockedGiven = true;
        dev.lockedText = trim(text);
    }
    if (ini.get(section, "spindown", &text) && parseUnsigned(text, 0xFF, &v)) {
        s.initialSpindown = static_cast<uint8_t>(v);
        dev.spindownGiven = true;
        dev.spindownText = trim(text);
    }

    ini.flag(section, "queued", &dev.queued);
    ini.number(section, "refuseResult", 0xFF, &dev.refuseResult);
    ini.number(section, "maxSpeedZero", kMaxCount, &dev.maxSpeedZero);
    readFaults(ini, section, &dev);
    return dev;
}

void readAdapter(const Profile& ini, unsigned n, AdapterConfig* a)
{
    std::string section = "adapter" + std::to_string(n), text;
    ini.number(section, "maxTargets", 0xFF, &a->maxTargets);
    ini.number(section, "inquiryResult", 0xFF, &a->inquiryResult);
    ini.number(section, "scsiId", 0xFF, &a->scsiId);
    if (ini.get(section, "manager", &text))
        a->manager = text.substr(0, 16);
    if (ini.get(section, "identifier", &text))
        a->identifier = text.substr(0, 16);
}

}  // namespace

bool parseUnsigned(const std::string& text, unsigned long maxValue, unsigned long* out)
{
    std::string t = trim(text);
    int base = 10;
    size_t pos = 0;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        base = 16;
        pos = 2;
    }
    if (pos >= t.size() || t.size() - pos > 10)
        return false;
    unsigned long long v = 0;
    for (; pos < t.size(); ++pos) {
        unsigned char c = static_cast<unsigned char>(t[pos]);
        int d;
        if (std::isdigit(c))
            d = c - '0';
        else if (base == 16 && std::isxdigit(c))
            d = std::tolower(c) - 'a' + 10;
        else
            return false;
        v = v * base + d;
    }
    if (v > maxValue)
        return false;
    *out = static_cast<unsigned long>(v);
    return true;
}

bool parseBool(const std::string& text, bool* out)
{
    std::string t = lower(trim(text));
    if (t == "1" || t == "yes" || t == "true" || t == "on") {
        *out = true;
        return true;
    }
    if (t == "0" || t == "no" || t == "false" || t == "off") {
        *out = false;
        return true;
    }
    return false;
}

bool parseCount(const std::string& text, long* out)
{
    std::string t = lower(trim(text));
    if (t == "always") {
        *out = kAlways;
        return true;
    }
    unsigned long v;
    if (!parseUnsigned(t, kMaxCount, &v))
        return false;
    *out = static_cast<long>(v);
    return true;
}

bool parseHexBytes(const std::string& text, std::vector<uint8_t>* out)
{
    std::vector<uint8_t> bytes;
    std::string item;
    std::string t = text + " ";
    for (char c : t) {
        if (c == ' ' || c == '\t' || c == ',' || c == '/') {
            if (!item.empty()) {
                if (item.size() > 2 || !std::isxdigit(static_cast<unsigned char>(item[0])) ||
                    (item.size() == 2 && !std::isxdigit(static_cast<unsigned char>(item[1]))))
                    return false;
                bytes.push_back(static_cast<uint8_t>(std::strtoul(item.c_str(), nullptr, 16)));
                item.clear();
            }
        } else {
            item += c;
        }
    }
    *out = bytes;
    return true;
}

SimConfig loadSimConfig(const std::string& path)
{
    Profile ini(path);
    SimConfig cfg;
    const std::string iface = "interface";
    ini.number(iface, "supportStatus", 0xFF, &cfg.supportStatus);
    ini.number(iface, "adapters", 0xFF, &cfg.adapterCount);
    std::string text;
    unsigned long v;
    if (ini.get(iface, "lastError", &text) && parseUnsigned(text, 0xFFFFFFFFul, &v)) {
        cfg.lastErrorGiven = true;
        cfg.lastError = static_cast<uint32_t>(v);
    }

    cfg.adapters.resize(cfg.adapterCount);
    for (unsigned n = 0; n < cfg.adapterCount; ++n)
        readAdapter(ini, n, &cfg.adapters[n]);

    for (const std::string& section : ini.names(nullptr)) {
        uint8_t a = 0, t = 0;
        if (!parseDeviceSection(section, &a, &t))
            continue;
        bool seen = std::any_of(cfg.devices.begin(), cfg.devices.end(),
                                [&](const DeviceConfig& d) { return d.adapter == a && d.target == t; });
        if (!seen)
            cfg.devices.push_back(readDevice(ini, section, a, t));
    }
    return cfg;
}

}  // namespace ksim
