// Any GET PERFORMANCE or GET CONFIGURATION data: the readers stay inside the
// data (an exactly sized copy), and the speeds come out non-zero, distinct and
// fastest first.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "drive/medium.h"
#include "drive/mode_pages.h"
#include "drive/performance.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<unsigned char> reply(data, data + size);
    for (PerformanceType type : {PerformanceType::WriteSpeed, PerformanceType::Nominal}) {
        const std::vector<unsigned> speeds = performanceSpeeds(reply.data(), size, type);
        for (size_t i = 0; i < speeds.size(); ++i)
            if (speeds[i] == 0 || (i > 0 && speeds[i] >= speeds[i - 1]))
                std::abort();
    }
    const int profile = currentProfile(reply.data(), size);
    if (profile < -1 || profile > 0xFFFF || (size < 8 && profile != -1))
        std::abort();
    mediumKindOfProfile(profile);
    if (modeStandbyTimer(reply.data(), size) < -1)
        std::abort();
    return 0;
}
