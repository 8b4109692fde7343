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

int kbpsToX(uint32_t kbps, MediumKind kind)
{
    if (kind == MediumKind::Dvd || kind == MediumKind::Bd)
        return static_cast<int>(kbps / static_cast<uint32_t>(kbpsPerX(kind)));
    return kbpsToX(kbps);
}

CString speedText(int kbps, MediumKind kind)
{
    if (kind != MediumKind::Dvd && kind != MediumKind::Bd)
        return speedText(kbps);
    CString str;
    str.Format("%dX %s (%dKB/S)", kbpsToX(static_cast<uint32_t>(kbps), kind), kind == MediumKind::Dvd ? "DVD" : "BD",
               kbps);
    return str;
}

long standbyTimerOfCode(unsigned char code)
{
    if (code < SPINDOWN_FIRST_MINUTES_CODE || code > 15)
        return 0;
    return 600L << (code - SPINDOWN_FIRST_MINUTES_CODE);
}

CString standbyText(long units100ms)
{
    if (units100ms <= 0)
        return CString("不待机");
    for (unsigned char code = SPINDOWN_FIRST_MINUTES_CODE; code <= 15; ++code) {
        if (standbyTimerOfCode(code) == units100ms)
            return spindownName(code);
    }
    CString str;
    if (units100ms % 600 == 0)
        str.Format("%ld min", units100ms / 600);
    else
        str.Format("%ld sec", (units100ms + 5) / 10);
    return str;
}
