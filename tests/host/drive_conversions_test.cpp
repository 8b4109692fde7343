// kbpsToX against the integer quotient, and the spin-down name table.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "drive/conversions.h"

namespace {

TEST(KbpsToX, FactorIsTheSinglePrecisionConstant)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &KBPS_TO_X_FACTOR, sizeof bits);
    EXPECT_EQ(bits, 0x3BBA2E8Cu);
}

TEST(KbpsToX, EverySixteenBitSpeedIsTheQuotientBy176)
{
    for (uint32_t kbps = 0; kbps <= 0xFFFF; ++kbps) {
        ASSERT_EQ(kbpsToX(kbps), static_cast<int>(kbps / 176)) << "kbps " << kbps;
    }
}

TEST(KbpsToX, EdgeValues)
{
    struct Row {
        uint32_t kbps;
        int expected;
    } const rows[] = {
        {0, 0},
        {175, 0},
        {176, 1},
        {351, 1},
        {352, 2},
        {1411, 8},
        {7040, 40},
        {65535, 372},
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

const char* const kNames[16] = {
    "VS",     "125 ms", "250 ms", "500 ms", "1 sec", "2 sec", "4 sec",  "8 sec",
    "16 sec", "32 sec", "1 min",  "2 min",  "4 min", "8 min", "16 min", "32 min",
};

TEST(Spindown, NamesOfEveryCode)
{
    for (unsigned code = 0; code < 16; ++code)
        EXPECT_EQ(spindownName(code), kNames[code]) << "code " << code;
    const unsigned unnamed[] = {16, 0x1A, 0x7F, 0x80, 0xFF};
    for (unsigned code : unnamed)
        EXPECT_EQ(spindownName(code), "") << "code " << code;
    // Only the low 8 bits count.
    EXPECT_EQ(spindownName(0x100), "VS");
    EXPECT_EQ(spindownName(0x10A), "1 min");
    EXPECT_EQ(spindownName(0xFFFFFF0Fu), "32 min");
}

TEST(Spindown, CodeOfEveryNameAndNothingElse)
{
    for (unsigned code = 1; code < 16; ++code)
        EXPECT_EQ(spindownCode(kNames[code]), code) << kNames[code];
    const char* const others[] = {
        "VS", "1 Min", "1 MIN", " 1 min", "1 min ", "1min", "", "0", "10", "125ms", "32 min\t", "vs",
    };
    for (const char* text : others)
        EXPECT_EQ(spindownCode(text), 0) << "\"" << text << "\"";
    EXPECT_EQ(spindownCode(CString()), 0);
}

}  // namespace
