// Booleans read from the settings file and integers written to it.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "settings/value_text.h"

namespace {

TEST(ParseBool, Table)
{
    struct Row {
        const char* text;
        int def;
        int expected;
    } rows[] = {
        {"Yes", 0, 1}, {"TRUE", 0, 1}, {"yEs", 5, 1}, {"7", 0, 1}, {"-1", 0, 1}, {"+3", 0, 1},
        {"99999999999", 0, 1}, {"-99999999999999999999", 0, 1}, {"000000000000000000001", 0, 1},
        {" \t12", 0, 1}, {"1abc", 0, 1}, {"on", 1, 0}, {"no", 1, 0}, {"false", 1, 0}, {"0", 1, 0},
        {"-0", 1, 0}, {"0x10", 1, 0}, {"00000", 1, 0}, {"trueish", 1, 0}, {"yes ", 1, 0},
        {"- 1", 1, 0}, {"\xD5\xE6", 1, 0},  // a double-byte character is not a word
        {"", 7, 7}, {"", -42, -42}, {nullptr, 3, 3}, {nullptr, INT_MIN, INT_MIN},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        const Row& r = rows[i];
        EXPECT_EQ(parseBool(r.text, r.def), r.expected) << "row " << i << ": \"" << (r.text ? r.text : "(null)") << "\"";
    }
}

std::string formatted(int value, int radix)
{
    char buffer[65 + 8];
    std::memset(buffer, '#', sizeof buffer);
    formatInt(value, buffer, radix);
    EXPECT_EQ(buffer[65], '#') << "wrote past 65 bytes";
    return buffer;
}

TEST(FormatInt, Table)
{
    const std::string ones32(32, '1');
    struct Row {
        int value;
        int radix;
        std::string expected;
    } rows[] = {
        {255, 16, "FF"}, {-1, 16, "FFFFFFFF"}, {5, 2, "101"}, {0, 2, "0"}, {-1, 10, "-1"},
        {8, 8, "10"}, {-1, 8, "37777777777"}, {-1, 2, ones32}, {INT_MIN, 2, "1" + std::string(31, '0')},
        {INT_MAX, 2, std::string(31, '1')}, {INT_MIN, 10, "-2147483648"}, {42, 0, "42"}, {42, 36, "42"},
        {-7, -2, "-7"}, {0, 16, "0"},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
        EXPECT_EQ(formatted(rows[i].value, rows[i].radix), rows[i].expected)
            << "row " << i << ": " << rows[i].value << " radix " << rows[i].radix;
}

TEST(FormatBinary, DigitLimitKeepsTheLowBitsAndZeroWritesNothing)
{
    char buffer[8] = "xxxxxxx";
    formatBinary(5, buffer, 2);
    EXPECT_STREQ(buffer, "01");
    formatBinary(6, buffer, 0);
    EXPECT_STREQ(buffer, "01");
    formatBinary(6, buffer, -3);
    EXPECT_STREQ(buffer, "01");
    formatBinary(0, buffer, 1);
    EXPECT_STREQ(buffer, "0");
    formatBinary(1, nullptr, 4);  // must not crash
    formatInt(1, nullptr, 2);
}

}  // namespace
