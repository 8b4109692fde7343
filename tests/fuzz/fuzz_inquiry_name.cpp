// Arbitrary INQUIRY replies: the name never exceeds 30 bytes, nothing is
// read outside the reply or written outside the name, and only the three
// text fields count.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "drive/inquiry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Exactly sized copies, so that any access past them is caught.
    std::vector<unsigned char> reply(data, data + size);
    std::vector<char> out(DRIVE_NAME_MAX);
    size_t n = buildDriveName(reply.data(), reply.size(), out.data());
    if (n < 2 || n > DRIVE_NAME_MAX)
        std::abort();

    // The same reply cut or zero-padded to the standard 36 bytes: same name.
    std::vector<unsigned char> standard(36, 0);
    std::memcpy(standard.data(), data, size < 36 ? size : 36);
    std::vector<char> again(DRIVE_NAME_MAX);
    size_t m = buildDriveName(standard.data(), standard.size(), again.data());
    if (m != n || std::memcmp(out.data(), again.data(), n) != 0)
        std::abort();
    return 0;
}
