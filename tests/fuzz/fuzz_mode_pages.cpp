// Arbitrary MODE SENSE(10) data: every reader stays inside the data and
// returns either its failure value or a value of the field's width.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "drive/mode_pages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // An exactly sized copy, so that any read past it is caught.
    std::vector<unsigned char> reply(data, data + size);
    const unsigned char* p = reply.data();

    int current = modeCurrentSpeed(p, size);
    int maximum = modeMaxSpeed(p, size);
    int lock = modeLockByte(p, size);
    int spindown = modeSpindownByte(p, size);

    if (current < 0 || current > 0xFFFF || maximum < 0 || maximum > 0xFFFF)
        std::abort();
    if (lock < -1 || lock > 0xFF || spindown < 0 || spindown > 0xFF)
        std::abort();
    if (size <= MODE_OFFSET_LOCK && lock != -1)
        std::abort();
    if (size <= MODE_OFFSET_SPINDOWN && spindown != 0xFF)
        std::abort();
    if ((size < MODE_OFFSET_CURRENT_SPEED + 2 && current != 0) || (size < MODE_OFFSET_MAX_SPEED + 2 && maximum != 0))
        std::abort();
    return 0;
}
