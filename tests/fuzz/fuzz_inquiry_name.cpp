// Any INQUIRY reply: a name of 2 to 30 bytes, nothing read outside the reply (an
// exactly sized copy) or written outside the name; only the first 36 bytes count.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "drive/inquiry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<unsigned char> reply(data, data + size), standard(36, 0);
    std::memcpy(standard.data(), data, size < 36 ? size : 36);
    std::vector<char> out(DRIVE_NAME_MAX), again(DRIVE_NAME_MAX);
    size_t n = buildDriveName(reply.data(), reply.size(), out.data());
    size_t m = buildDriveName(standard.data(), standard.size(), again.data());
    if (n < 2 || n > DRIVE_NAME_MAX || m != n || std::memcmp(out.data(), again.data(), n) != 0)
        std::abort();
    return 0;
}
