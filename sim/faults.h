// Choosing the faults that apply to one submitted command, and counting
// the armed rules down.
#pragma once

#include <cstdint>

#include "sim/config.h"

namespace ksim {

struct FaultDecision {
    bool refuse = false;
    bool error = false;
    unsigned delayMs = 0;  // 0: complete at once
};

// For each kind (refuse, error, delay) the most specific armed rule decides:
// (opcode, page), then (opcode, any page), then (any opcode). The rules used
// count down. A refusal decides alone: nothing else is counted then.
FaultDecision takeFaults(DeviceConfig& device, uint8_t opcode, int page);

}  // namespace ksim
