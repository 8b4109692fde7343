#include "drive/inquiry.h"

namespace {

// Text fields of standard INQUIRY data: first byte and width.
struct TextField {
    size_t first;
    size_t width;
};

const TextField kFields[] = {
    {8, 8},   // vendor identification
    {16, 16}, // product identification
    {32, 4},  // product revision level
};

unsigned char byteAt(const unsigned char* data, size_t length, size_t index)
{
    return (data != nullptr && index < length) ? data[index] : 0;
}

// Drives pad their text fields with blanks or with zero bytes; either is
// a blank in the name (a zero byte would end it there).
unsigned char textAt(const unsigned char* data, size_t length, size_t index)
{
    unsigned char c = byteAt(data, length, index);
    return c == 0 ? ' ' : c;
}

}  // namespace

size_t buildDriveName(const unsigned char* data, size_t length, char* out)
{
    size_t written = 0;
    for (size_t f = 0; f < sizeof kFields / sizeof kFields[0]; ++f) {
        if (f > 0)
            out[written++] = ' ';
        const TextField& field = kFields[f];
        size_t kept = field.width;
        while (kept > 0 && textAt(data, length, field.first + kept - 1) == ' ')
            --kept;
        for (size_t i = 0; i < kept; ++i)
            out[written++] = static_cast<char>(textAt(data, length, field.first + i));
    }
    return written;
}
