// kbpsToX against the integer quotient, and the spin-down name table.
#include <gtest/gtest.h>

#include <cstdint>

#include "drive/conversions.h"

namespace {

TEST(KbpsToX, EverySixteenBitSpeedIsTheQuotientBy176)
{
    for (uint32_t kbps = 0; kbps <= 0xFFFF; ++kbps) {
        ASSERT_EQ(kbpsToX(kbps), static_cast<int>(kbps / 176)) << "kbps " << kbps;
    }
}

TEST(KbpsToX, SpeedsAboveSixteenBits)
{
    struct Row {
        uint32_t kbps;
        int expected;
    } const rows[] = {
        {65536 + 176, 373},
        // The constant is slightly larger than 1/176: the quotient holds up
        // to 33,554,574 and the first value above it rounds up.
        {33554574, 190650},
        {33554575, 190651},
        {0xFFFFFFFFu, 24403223},
    };
    for (const Row& r : rows)
        EXPECT_EQ(kbpsToX(r.kbps), r.expected) << "kbps " << r.kbps;
}

TEST(Spindown, NamesAndCodesOfEveryCodeAndNothingElse)
{
    const char* const names[16] = {
        "VS",     "125 ms", "250 ms", "500 ms", "1 sec", "2 sec", "4 sec",  "8 sec",
        "16 sec", "32 sec", "1 min",  "2 min",  "4 min", "8 min", "16 min", "32 min",
    };
    for (unsigned code = 0; code < 16; ++code) {
        EXPECT_EQ(spindownName(code), names[code]) << "code " << code;
        EXPECT_EQ(spindownName(code | 0xFFFFFF00u), names[code]) << "only the low 8 bits count";
        if (code > 0)
            EXPECT_EQ(spindownCode(names[code]), code) << names[code];
    }
    for (unsigned code : {16u, 0x1Au, 0x7Fu, 0x80u, 0xFFu})
        EXPECT_EQ(spindownName(code), "") << "code " << code;
    for (const char* text : {"VS", "1 Min", " 1 min", "1 min ", "1min", "", "0", "10", "125ms", "vs"})
        EXPECT_EQ(spindownCode(text), 0) << "\"" << text << "\"";
}

}  // namespace
