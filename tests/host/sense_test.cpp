// Which sense data of CHECK CONDITION, in either format, tell of a changed
// medium, and which tell something else or are no sense data at all.
#include <gtest/gtest.h>

#include <vector>

#include "drive/sense.h"

namespace {

// Fixed-format sense data, cut to length.
std::vector<unsigned char> fixedSense(unsigned char response, unsigned char key, unsigned char additional,
                                      unsigned char asc, size_t length = 18)
{
    std::vector<unsigned char> s(18, 0);
    s[0] = response, s[2] = key, s[7] = additional, s[12] = asc;
    s.resize(length);
    return s;
}

TEST(Sense, MediumChangedOnlyForKey6Asc28)
{
    const struct {
        const char* what;
        std::vector<unsigned char> sense;
        bool changed;
    } rows[] = {
        /* 0 */ {"fixed, current", fixedSense(0x70, 0x06, 10, 0x28), true},
        /* 1 */ {"fixed, valid bit, deferred, key with flags", fixedSense(0xF1, 0x26, 10, 0x28), true},
        /* 2 */ {"fixed, 14 bytes", fixedSense(0x70, 0x06, 6, 0x28, 14), true},
        /* 3 */ {"descriptor", {0x72, 0x06, 0x28, 0x00, 0, 0, 0, 0}, true},
        /* 4 */ {"power on reset", fixedSense(0x70, 0x06, 10, 0x29), false},
        /* 5 */ {"illegal request, asc 28", fixedSense(0x70, 0x05, 10, 0x28), false},
        /* 6 */ {"fixed, cut before the asc", fixedSense(0x70, 0x06, 10, 0x28, 13), false},
        /* 7 */ {"fixed, additional length short of the asc", fixedSense(0x70, 0x06, 5, 0x28), false},
        /* 8 */ {"descriptor, cut", {0x72, 0x06, 0x28}, false},
        /* 9 */ {"vendor response code", fixedSense(0x7F, 0x06, 10, 0x28), false},
        /* 10 */ {"empty", {}, false},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        const auto& row = rows[i];
        EXPECT_EQ(isMediumChangedSense(row.sense.data(), row.sense.size()), row.changed)
            << "row " << i << ": " << row.what;
    }
}

}  // namespace
