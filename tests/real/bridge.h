// The guest's side of the real-drive tier's bridge (tests/real/tier.py on
// the host): each request is a file in the shared folder that KREAL_CHAN
// names, answered by a file beside it.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/driver.h"

namespace real {

// The answer to one request ("qmp <json>", "block <id>", "change <id> [<label>|-]",
// "mark", "since <mark>", "drives"); empty when none came within a minute.
inline std::string ask(const std::string& request)
{
    static int serial = 0;
    char chan[MAX_PATH] = {};
    GetEnvironmentVariableA("KREAL_CHAN", chan, sizeof chan);
    const std::string base = std::string(chan) + "\\" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(++serial);
    writeWholeFile(base + ".tmp", request);
    MoveFileA((base + ".tmp").c_str(), (base + ".req").c_str());
    const std::string answer = base + ".ans";
    e2e::waitUntil([&] { return GetFileAttributesA(answer.c_str()) != INVALID_FILE_ATTRIBUTES; }, 60000);
    std::string text = readWholeFile(answer);
    DeleteFileA(answer.c_str());
    return text;
}

// A drive of the guest: its letter, QEMU's id for it, the name it reports.
struct Drive {
    char letter;
    std::string id, name;
};

inline std::vector<Drive> drives()
{
    std::vector<Drive> found;
    std::istringstream lines(ask("drives"));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream in(line);
        Drive d;
        in >> d.letter >> d.id >> std::ws;
        std::getline(in, d.name);
        found.push_back(d);
    }
    return found;
}

// A command a drive received: its CDB in hex, and "good", the sense as
// "key/asc/ascq" in hex, or "overrun" (not carried out: the CDB asked for
// more data than the request carried).
struct Received {
    std::string drive, cdb, result;
    int byte(size_t i) const { return 2 * i + 2 <= cdb.size() ? std::strtol(cdb.substr(2 * i, 2).c_str(), nullptr, 16) : -1; }
    int opcode() const { return byte(0); }
};

// What every drive received since mark(), in order; opcode -1: any.
inline std::string mark()
{
    return ask("mark");
}
inline std::vector<Received> since(const std::string& mark, const std::string& drive = "", int opcode = -1)
{
    std::vector<Received> found;
    std::istringstream lines(ask("since " + mark));
    Received r;
    while (lines >> r.drive >> r.cdb >> r.result)
        if ((drive.empty() || r.drive == drive) && (opcode < 0 || r.opcode() == opcode))
            found.push_back(r);
    return found;
}

// Waits until the drives have received nothing for a while and the window
// has handled what was posted to it (the program may command the drives
// from a thread of its own); false when the program ended or that did not
// come within 20 s.
inline bool settle(const e2e::KesvoraProcess& p)
{
    for (DWORD begin = GetTickCount(); p.running() && GetTickCount() - begin < 20000;) {
        const std::string before = mark();
        Sleep(300);
        if (p.sync() && mark() == before)
            return true;
    }
    return false;
}

// A drive's state as QEMU holds it: "locked=0|1 tray=0|1 disc=0|1".
inline std::string block(const std::string& id)
{
    return ask("block " + id);
}

}  // namespace real
