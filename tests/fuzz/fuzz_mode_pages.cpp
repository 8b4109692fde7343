// Any MODE SENSE(10) data: every reader stays inside the data (an exactly
// sized copy) and gives its failure value or a value of the field's width.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "drive/mode_pages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<unsigned char> reply(data, data + size);
    const unsigned char* p = reply.data();
    const int current = modeCurrentSpeed(p, size), maximum = modeMaxSpeed(p, size);
    const int lock = modeLockByte(p, size), spindown = modeSpindownByte(p, size);
    if (current < 0 || current > 0xFFFF || maximum < 0 || maximum > 0xFFFF || lock < -1 || lock > 0xFF || spindown < 0 || spindown > 0xFF ||
        (size <= MODE_OFFSET_LOCK && lock != -1) || (size <= MODE_OFFSET_SPINDOWN && spindown != 0xFF) ||
        (size < MODE_OFFSET_CURRENT_SPEED + 2 && current != 0) || (size < MODE_OFFSET_MAX_SPEED + 2 && maximum != 0))
        std::abort();
    return 0;
}
