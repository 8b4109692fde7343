#include "tests/support/sim_setup.h"

#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace ksim {

namespace {

std::string hex2(unsigned v)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02X", v & 0xFF);
    return buf;
}

std::string countText(long count)
{
    return count == kSimAlways ? "always" : std::to_string(count);
}

std::string faultKey(const char* kind, int opcode, int page)
{
    std::string key = std::string(kind) + "." + (opcode < 0 ? std::string("all") : hex2(opcode));
    if (page >= 0)
        key += "." + hex2(page);
    return key;
}

// Quoted text keeps its blanks; text the profile functions cannot carry
// (quotes, control characters) goes as hex bytes instead.
void setText(SimSection& s, const std::string& key, const std::string& text)
{
    bool plain = true;
    for (unsigned char c : text) {
        if (c < 0x20 || c == '"' || c >= 0x7F)
            plain = false;
    }
    if (plain) {
        s.set(key, "\"" + text + "\"");
        return;
    }
    std::string hex;
    for (unsigned char c : text)
        hex += (hex.empty() ? "" : " ") + hex2(c);
    s.set(key + "Hex", hex);
}

void appendSection(std::string& out, const std::string& name, const SimSection& s)
{
    out += "[" + name + "]\n";
    for (const auto& kv : s.entries())
        out += kv.first + "=" + kv.second + "\n";
    out += "\n";
}

// Tokens "key=value" after the kind word; cdb= and out= take the hex
// bytes that follow them.
bool parseHexByte(const std::string& t, uint8_t* b)
{
    if (t.size() != 2 || !std::isxdigit(static_cast<unsigned char>(t[0])) ||
        !std::isxdigit(static_cast<unsigned char>(t[1])))
        return false;
    *b = static_cast<uint8_t>(std::strtoul(t.c_str(), nullptr, 16));
    return true;
}

long number(const std::string& v)
{
    return std::strtol(v.c_str(), nullptr, 0);
}

}  // namespace

SimSection& SimSection::set(const std::string& key, const std::string& value)
{
    for (auto& kv : m_entries) {
        if (kv.first == key) {
            kv.second = value;
            return *this;
        }
    }
    m_entries.emplace_back(key, value);
    return *this;
}

SimSection& SimSection::set(const std::string& key, long value)
{
    return set(key, std::to_string(value));
}

SimSection& SimSection::setHex(const std::string& key, unsigned value)
{
    return set(key, "0x" + hex2(value));
}

SimAdapter& SimAdapter::maxTargets(int n) { set("maxTargets", n); return *this; }
SimAdapter& SimAdapter::inquiryResult(int result) { setHex("inquiryResult", result); return *this; }
SimAdapter& SimAdapter::scsiId(int id) { set("scsiId", id); return *this; }

SimDevice& SimDevice::cdrom(const std::string& vendor, const std::string& product, const std::string& revision)
{
    type(5);
    return ident(vendor, product, revision);
}

SimDevice& SimDevice::ident(const std::string& vendor, const std::string& product, const std::string& revision)
{
    setText(*this, "vendor", vendor);
    setText(*this, "product", product);
    setText(*this, "revision", revision);
    return *this;
}

SimDevice& SimDevice::type(int t) { set("type", t); return *this; }
SimDevice& SimDevice::qualifier(int bits) { set("qualifier", bits); return *this; }
SimDevice& SimDevice::lun(int n) { set("lun", n); return *this; }
SimDevice& SimDevice::nameInquiryFails(bool fails) { set("nameInquiryFails", fails ? 1 : 0); return *this; }
SimDevice& SimDevice::maxSpeed(int kbps) { set("maxSpeed", kbps); return *this; }
SimDevice& SimDevice::speed(int kbps) { set("speed", kbps); return *this; }
SimDevice& SimDevice::policy(const std::string& name) { set("speedPolicy", name); return *this; }
SimDevice& SimDevice::blockDescriptor(bool present) { set("blockDescriptor", present ? 1 : 0); return *this; }
SimDevice& SimDevice::lockIgnore(bool ignore) { set("lockIgnore", ignore ? 1 : 0); return *this; }
SimDevice& SimDevice::mechanismBits(int bits) { setHex("mechanismBits", bits); return *this; }
SimDevice& SimDevice::spindown(int byte) { setHex("spindown", byte); return *this; }
SimDevice& SimDevice::queued(bool q) { set("queued", q ? 1 : 0); return *this; }
SimDevice& SimDevice::refuseResult(int result) { setHex("refuseResult", result); return *this; }
SimDevice& SimDevice::maxSpeedZero(int reads) { set("maxSpeedZero", reads); return *this; }

SimDevice& SimDevice::speedTable(const std::vector<int>& kbps)
{
    std::string list;
    for (int v : kbps)
        list += (list.empty() ? "" : ",") + std::to_string(v);
    set("speedTable", list);
    return *this;
}

SimDevice& SimDevice::lock(bool supported, bool locked)
{
    set("lockSupported", supported ? 1 : 0);
    set("locked", locked ? 1 : 0);
    return *this;
}

SimDevice& SimDevice::refuse(int opcode, long count, int page)
{
    set(faultKey("refuse", opcode, page), countText(count));
    return *this;
}

SimDevice& SimDevice::error(int opcode, long count, int page)
{
    set(faultKey("error", opcode, page), countText(count));
    return *this;
}

SimDevice& SimDevice::sense(int opcode, int key, int asc, int ascq, int page)
{
    set(faultKey("sense", opcode, page), hex2(key) + " " + hex2(asc) + " " + hex2(ascq));
    return *this;
}

SimDevice& SimDevice::delay(int opcode, unsigned ms, long count, int page)
{
    set(faultKey("delay", opcode, page), static_cast<long>(ms));
    set(faultKey("delayCount", opcode, page), countText(count));
    return *this;
}

SimSetup& SimSetup::supportStatus(int status)
{
    m_interface.set("supportStatus", "0x" + hex2(status));
    return *this;
}

SimSetup& SimSetup::adapters(int count)
{
    m_interface.set("adapters", count);
    return *this;
}

SimSetup& SimSetup::lastError(unsigned long code)
{
    m_interface.set("lastError", std::to_string(code));
    return *this;
}

SimAdapter& SimSetup::adapter(int n)
{
    return m_adapters[n];
}

SimDevice& SimSetup::device(int adapter, int target)
{
    for (auto& d : m_devices) {
        if (d.first == std::make_pair(adapter, target))
            return d.second;
    }
    m_devices.emplace_back(std::make_pair(adapter, target), SimDevice());
    return m_devices.back().second;
}

std::string SimSetup::text() const
{
    return render(std::string());
}

std::string SimSetup::render(const std::string& generation) const
{
    SimSection iface = m_interface;
    if (!generation.empty())
        iface.set("generation", generation);
    std::string out;
    appendSection(out, "interface", iface);
    for (const auto& a : m_adapters)
        appendSection(out, "adapter" + std::to_string(a.first), a.second);
    for (const auto& d : m_devices)
        appendSection(out, "device" + std::to_string(d.first.first) + ":" + std::to_string(d.first.second),
                      d.second);
    return out;
}

bool SimSetup::write(const std::string& path) const
{
    static LONG s_generation = static_cast<LONG>(GetTickCount() & 0x3FFFFFFF);
    std::string content = render(std::to_string(InterlockedIncrement(&s_generation)));

    std::string temp = path + ".tmp";
    {
        std::ofstream f(temp.c_str(), std::ios::binary | std::ios::trunc);
        if (!f)
            return false;
        f << content;
        if (!f)
            return false;
    }
    return MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

std::vector<SimRecord> SimLog::commands(int opcode) const
{
    std::vector<SimRecord> out;
    for (const SimRecord& r : records) {
        if (r.kind == SimRecord::Exec && (opcode < 0 || r.opcode() == opcode))
            out.push_back(r);
    }
    return out;
}

SimRecord parseSimLogLine(const std::string& rawLine)
{
    SimRecord r;
    std::string line = rawLine;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    r.line = line;

    std::istringstream in(line);
    std::string word;
    in >> word;
    static const struct {
        const char* name;
        SimRecord::Kind kind;
    } kKinds[] = {{"LOAD", SimRecord::Load},       {"UNLOAD", SimRecord::Unload},
                  {"SUPPORTINFO", SimRecord::SupportInfo}, {"HAINQ", SimRecord::HaInquiry},
                  {"EXEC", SimRecord::Exec},       {"BADCMD", SimRecord::BadCmd}};
    for (const auto& k : kKinds) {
        if (word == k.name)
            r.kind = k.kind;
    }
    if (r.kind == SimRecord::Other)
        return r;

    std::vector<uint8_t>* bytes = nullptr;  // the list being collected
    std::string token;
    while (in >> token) {
        uint8_t b;
        size_t eq = token.find('=');
        if (eq == std::string::npos) {
            if (bytes != nullptr && parseHexByte(token, &b))
                bytes->push_back(b);
            continue;
        }
        std::string key = token.substr(0, eq), value = token.substr(eq + 1);
        bytes = nullptr;
        if (key == "cdb" || key == "out") {
            bytes = key == "cdb" ? &r.cdb : &r.out;
            r.hasOut = r.hasOut || key == "out";
            if (parseHexByte(value, &b))
                bytes->push_back(b);
        } else if (key == "ha") {
            r.ha = static_cast<int>(number(value));
        } else if (key == "tgt") {
            r.tgt = static_cast<int>(number(value));
        } else if (key == "lun") {
            r.lun = static_cast<int>(number(value));
        } else if (key == "flags") {
            r.flags = static_cast<int>(number(value));
        } else if (key == "buflen") {
            r.buflen = number(value);
        } else if (key == "senselen") {
            r.senselen = static_cast<int>(number(value));
        } else if (key == "cdblen") {
            r.cdblen = static_cast<int>(number(value));
        } else if (key == "result") {
            r.result = std::strtoul(value.c_str(), nullptr, 0);
        } else if (key == "status") {
            r.status = static_cast<int>(number(value));
        } else if (key == "pending") {
            r.pendingMs = static_cast<int>(number(value));
        }
    }
    return r;
}

SimLog readSimLog(const std::string& path)
{
    SimLog log;
    std::ifstream f(path.c_str(), std::ios::binary);
    std::string line;
    while (std::getline(f, line)) {
        if (!line.empty() && line != "\r")
            log.records.push_back(parseSimLogLine(line));
    }
    return log;
}

void clearSimLog(const std::string& path)
{
    DeleteFileA(path.c_str());
}

std::string describe(const SimRecord& r)
{
    return r.line.empty() ? std::string("(empty record)") : r.line;
}

std::ostream& operator<<(std::ostream& os, const SimRecord& r)
{
    return os << describe(r);
}

}  // namespace ksim
