// Reading the set-up file of the simulated drives (an INI file, read with
// the private-profile functions). Its keys and their meaning: sim/README.md.
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
    if (ini.get(section, key, &text))
        setField(field, size, std::vector<uint8_t>(text.begin(), text.end()));
}

// A name of the table, case and surrounding blanks aside.
template <class T, size_t N>
bool parseName(const std::string& text, const std::pair<const char*, T> (&names)[N], T* out)
{
    std::string t = lower(trim(text));
    for (const auto& n : names) {
        if (t == n.first) {
            *out = n.second;
            return true;
        }
    }
    return false;
}

// "none" (or a false flag), "cd" (or a true one), "dvd", "bd".
void parseMedium(const std::string& text, Medium* out)
{
    static const std::pair<const char*, Medium> kMedia[] = {
        {"none", Medium::None}, {"cd", Medium::Cd}, {"dvd", Medium::Dvd}, {"bd", Medium::Bd}};
    bool present = true;
    if (!parseName(text, kMedia, out) && parseBool(text, &present))
        *out = present ? Medium::Cd : Medium::None;
}

void parsePerformance(const std::string& text, Performance* out)
{
    static const std::pair<const char*, Performance> kAnswers[] = {{"speeds", Performance::Speeds},
                                                                   {"nominal", Performance::Nominal},
                                                                   {"empty", Performance::Empty},
                                                                   {"refuse", Performance::Refuse}};
    parseName(text, kAnswers, out);
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
                     {"refuse", SpeedPolicy::Refuse},
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
        if (kind == "refuse") {
            parseCount(text, &rule.refuse);
        } else if (kind == "error") {
            parseCount(text, &rule.error);
        } else if (kind == "delay") {
            if (parseUnsigned(text, kMaxDelayMs, &ms))
                rule.delayMs = static_cast<unsigned>(ms);
        } else if (kind == "delaycount") {
            parseCount(text, &rule.delayCount);
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
    std::string serial;
    if (ini.get(section, "serial", &serial))
        s.serial.assign(serial.begin(), serial.begin() + std::min<size_t>(serial.size(), 252));
    ini.number(section, "serialLength", 0xFF, &s.serialLength);
    ini.flag(section, "nameInquiryFails", &s.nameInquiryFails);

    ini.number(section, "maxSpeed", 0xFFFF, &s.maxSpeed);
    std::string text;
    if (ini.get(section, "speedPolicy", &text))
        parsePolicy(text, &s.policy);
    if (ini.get(section, "streamingPolicy", &text))
        parsePolicy(text, &s.streamingPolicy);
    if (ini.get(section, "medium", &text))
        parseMedium(text, &s.medium);
    if (ini.get(section, "performance", &text))
        parsePerformance(text, &s.performance);
    if (ini.get(section, "speedTable", &text))
        parseSpeedTable(text, &s.speedTable);
    ini.flag(section, "blockDescriptor", &s.blockDescriptor);
    ini.flag(section, "lockSupported", &s.lockSupported);
    ini.flag(section, "unitAttention", &s.unitAttention);
    ini.flag(section, "cdParametersPage", &s.cdParametersPage);
    ini.flag(section, "readsDvd", &s.readsDvd);
    ini.flag(section, "configuration", &s.configuration);
    ini.flag(section, "powerConditionPage", &s.powerConditionPage);
    ini.number(section, "standby", 0xFFFFFFFFul, &s.initialStandby);

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

    if (ini.get(section, "discs", &text)) {
        dev.discsGiven = true;
        dev.discsText = trim(text);
    }

    ini.number(section, "maxSpeedZero", kMaxCount, &dev.maxSpeedZero);
    readFaults(ini, section, &dev);
    return dev;
}

void readAdapter(const Profile& ini, unsigned n, AdapterConfig* a)
{
    std::string section = "adapter" + std::to_string(n);
    ini.number(section, "maxTargets", 0xFF, &a->maxTargets);
    ini.number(section, "inquiryResult", 0xFF, &a->inquiryResult);
}

// "volume<X>" with X a letter.
bool parseVolumeSection(const std::string& name, char* letter)
{
    std::string n = lower(trim(name));
    if (n.size() != 7 || n.compare(0, 6, "volume") != 0 || n[6] < 'a' || n[6] > 'z')
        return false;
    *letter = static_cast<char>(n[6] - 'a' + 'A');
    return true;
}

VolumeConfig readVolume(const Profile& ini, const std::string& section, char letter)
{
    VolumeConfig v;
    v.letter = letter;
    ini.number(section, "driveType", 6, &v.driveType);
    std::string text;
    if (ini.get(section, "device", &text)) {
        uint8_t a = 0, t = 0;
        if (parseDeviceSection("device" + trim(text), &a, &t)) {
            v.adapter = a;
            v.target = t;
        }
    }
    if (ini.get(section, "open", &text)) {
        std::string t = lower(trim(text));
        bool yes = true;
        if (t == "denied")
            v.open = VolumeOpen::Denied;
        else if (parseBool(t, &yes))
            v.open = yes ? VolumeOpen::Yes : VolumeOpen::No;
    }
    ini.flag(section, "address", &v.address);
    ini.number(section, "port", 0xFF, &v.port);
    ini.number(section, "path", 0xFF, &v.path);
    return v;
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

    ini.number(iface, "secondMs", kMaxDelayMs, &cfg.secondMs);
    for (const std::string& section : ini.names(nullptr)) {
        uint8_t a = 0, t = 0;
        char letter = 0;
        if (parseVolumeSection(section, &letter)) {
            bool seen = std::any_of(cfg.volumes.begin(), cfg.volumes.end(),
                                    [&](const VolumeConfig& v) { return v.letter == letter; });
            if (!seen)
                cfg.volumes.push_back(readVolume(ini, section, letter));
            continue;
        }
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
