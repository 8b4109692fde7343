// parseBool against the C library's reading of a decimal number: nonzero
// (overflow included) is 1, zero or no digits 0, empty text the default.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "framework/cstring.h"
#include "settings/value_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const int def = static_cast<int8_t>(data[0]) * 1000;
    const std::string text = std::string(reinterpret_cast<const char*>(data + 1), size - 1).c_str();
    const CString s(text.c_str());
    const bool word = s.CompareNoCase("true") == 0 || s.CompareNoCase("yes") == 0;
    const int expected = text.empty() ? def : word || std::strtoll(text.c_str(), nullptr, 10) != 0;
    if (parseBool(text.c_str(), def) != expected)
        std::abort();
    return 0;
}
