// Any list box text parses into a usable pair (non-empty, no commas, the name and
// "X (" first) whose display text parses back the same, or is refused, both empty.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/speed_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text = std::string(reinterpret_cast<const char*>(data), size).c_str();
    CString name("?"), kbps("?"), name2, kbps2;
    if (!parseSpeedEntry(text.c_str(), name, kbps)) {
        if (!name.IsEmpty() || !kbps.IsEmpty())
            std::abort();
        return 0;
    }
    if (name.IsEmpty() || kbps.IsEmpty() || name.Find(',') >= 0 || kbps.Find(',') >= 0 ||
        text.compare(0, static_cast<size_t>(name.GetLength()) + 3, (name + "X (").str()) != 0 ||
        !parseSpeedEntry(formatSpeedEntry(name, kbps), name2, kbps2) || name2 != name || kbps2 != kbps)
        std::abort();
    return 0;
}
