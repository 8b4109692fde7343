#include "drive/conversions.h"

namespace {

// Inactivity timer values of page 0x0D, indexed by code.
const char* const kSpindownNames[16] = {
    "VS",     "125 ms", "250 ms", "500 ms", "1 sec", "2 sec", "4 sec",  "8 sec",
    "16 sec", "32 sec", "1 min",  "2 min",  "4 min", "8 min", "16 min", "32 min",
};

}  // namespace

int kbpsToX(uint32_t kbps)
{
    // The product of a 32-bit integer and a 24-bit mantissa is exact in a
    // double, so the truncation sees the true product.
    double product = static_cast<double>(static_cast<uint64_t>(kbps)) * static_cast<double>(KBPS_TO_X_FACTOR);
    return static_cast<int>(product);
}

CString spindownName(unsigned code)
{
    unsigned low = code & 0xFF;
    if (low >= sizeof kSpindownNames / sizeof kSpindownNames[0])
        return CString();
    return CString(kSpindownNames[low]);
}

unsigned char spindownCode(const CString& name)
{
    for (unsigned char code = 1; code < sizeof kSpindownNames / sizeof kSpindownNames[0]; ++code) {
        if (name == kSpindownNames[code])
            return code;
    }
    return 0;
}

CString speedText(int kbps)
{
    CString str;
    str.Format("%dX (%dKB/S)", kbpsToX(static_cast<uint32_t>(kbps)), kbps);
    return str;
}
