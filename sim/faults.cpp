#include "sim/faults.h"

namespace ksim {

namespace {

bool armed(long count)
{
    return count == kAlways || count > 0;
}

void countDown(long& count)
{
    if (count > 0)
        --count;
}

// The rules that may apply, most specific first; null where none exists.
struct Candidates {
    FaultRule* rules[3] = {nullptr, nullptr, nullptr};
};

Candidates candidates(DeviceConfig& device, uint8_t opcode, int page)
{
    Candidates c;
    auto find = [&](int op, int pg) -> FaultRule* {
        auto it = device.faults.find(FaultKey(op, pg));
        return it == device.faults.end() ? nullptr : &it->second;
    };
    if (page != kAnyPage)
        c.rules[0] = find(opcode, page);
    c.rules[1] = find(opcode, kAnyPage);
    c.rules[2] = find(kAnyOpcode, kAnyPage);
    return c;
}

}  // namespace

FaultDecision takeFaults(DeviceConfig& device, uint8_t opcode, int page)
{
    FaultDecision d;
    Candidates c = candidates(device, opcode, page);

    for (FaultRule* r : c.rules) {
        if (r != nullptr && armed(r->refuse)) {
            countDown(r->refuse);
            d.refuse = true;
            return d;
        }
    }
    for (FaultRule* r : c.rules) {
        if (r != nullptr && armed(r->error)) {
            countDown(r->error);
            d.error = true;
            break;
        }
    }
    for (FaultRule* r : c.rules) {
        if (r != nullptr && r->delayMs > 0 && armed(r->delayCount)) {
            countDown(r->delayCount);
            d.delayMs = r->delayMs;
            break;
        }
    }
    return d;
}

}  // namespace ksim
