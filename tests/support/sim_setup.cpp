#include "tests/support/sim_setup.h"

#include <windows.h>

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
    return std::string(kind) + "." + (opcode < 0 ? "all" : hex2(opcode)) + (page >= 0 ? "." + hex2(page) : "");
}

template <class Section>
void appendSection(std::string& out, const std::string& name, const Section& s)
{
    out += "[" + name + "]\n";
    for (const auto& kv : s.entries)
        out += kv.first + "=" + kv.second + "\n";
}

}  // namespace

SimDevice& SimDevice::speedTable(const std::vector<int>& kbps)
{
    std::string list;
    for (int v : kbps)
        list += (list.empty() ? "" : ",") + std::to_string(v);
    return set("speedTable", list);
}

SimDevice& SimDevice::fault(const char* kind, int opcode, int page, long count)
{
    return set(faultKey(kind, opcode, page), countText(count));
}

bool SimSetup::write(const std::string& path) const
{
    static LONG s_generation = static_cast<LONG>(GetTickCount() & 0x3FFFFFFF);
    SimInterface iface = m_interface;
    iface.set("generation", InterlockedIncrement(&s_generation));
    std::string content;
    appendSection(content, "interface", iface);
    for (const auto& a : m_adapters)
        appendSection(content, "adapter" + std::to_string(a.first), a.second);
    for (const auto& d : m_devices)
        appendSection(content, "device" + std::to_string(d.first.first) + ":" + std::to_string(d.first.second),
                      d.second);
    for (const auto& v : m_volumes)
        appendSection(content, std::string("volume") + v.first, v.second);

    std::string temp = path + ".tmp";
    {
        std::ofstream f(temp.c_str(), std::ios::binary | std::ios::trunc);
        if (!(f << content))
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

namespace {

// "KIND key=value ...": cdb= and out= take the hex bytes that follow them.
SimRecord parseLine(const std::string& line)
{
    SimRecord r;
    r.line = line;
    std::istringstream in(line);
    std::string token;
    in >> token;
    r.kind = token == "HAINQ" ? SimRecord::HaInquiry : token == "EXEC" ? SimRecord::Exec : SimRecord::Other;
    std::vector<uint8_t>* bytes = nullptr;  // the list being collected
    while (in >> token) {
        const size_t eq = token.find('=');
        const std::string key = eq == std::string::npos ? "" : token.substr(0, eq), value = token.substr(eq + 1);
        if (eq != std::string::npos)
            bytes = key == "cdb" ? &r.cdb : key == "out" ? &r.out : nullptr;
        if (bytes != nullptr && value.size() == 2)
            bytes->push_back(static_cast<uint8_t>(std::strtoul(value.c_str(), nullptr, 16)));
        const std::pair<const char*, int*> fields[] = {{"ha", &r.ha},         {"tgt", &r.tgt},
                                                       {"flags", &r.flags},   {"buflen", &r.buflen},
                                                       {"senselen", &r.senselen}, {"status", &r.status}};
        for (const auto& f : fields)
            if (key == f.first)
                *f.second = static_cast<int>(std::strtol(value.c_str(), nullptr, 0));
    }
    return r;
}

}  // namespace

SimLog readSimLog(const std::string& path)
{
    SimLog log;
    std::ifstream f(path.c_str(), std::ios::binary);
    std::string line;
    while (std::getline(f, line)) {
        while (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            log.records.push_back(parseLine(line));
    }
    return log;
}

void clearSimLog(const std::string& path)
{
    DeleteFileA(path.c_str());
}

}  // namespace ksim
