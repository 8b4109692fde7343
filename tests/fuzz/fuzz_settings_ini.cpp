// Any bytes make a document that gives the same bytes back. A key set in it
// (section, key and value: the input's first pieces ended by 0x01, where it
// has them) is found again, in it and in its bytes read anew, UTF-16 too.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/ini_document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    IniDocument doc(bytes);
    if (doc.bytes() != bytes)
        std::abort();
    std::string piece[3] = {"1:0", "kbSpeeds", "8448"};
    for (size_t i = 0, at = 0, stop; i < 3 && (stop = bytes.find('\x01', at)) != std::string::npos; ++i, at = stop + 1)
        piece[i] = bytes.substr(at, stop - at);
    if (!doc.set(piece[0], piece[1], piece[2]))
        return 0;
    // UTF-16 takes back valid UTF-8 whole, and ASCII is valid.
    const bool utf16 = doc.encoding() == IniDocument::Encoding::Utf16Le || doc.encoding() == IniDocument::Encoding::Utf16Be;
    const std::string all = piece[0] + piece[1] + piece[2];
    const bool ascii = std::all_of(all.begin(), all.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    std::string value, again;
    if (!doc.find(piece[0], piece[1], value) ||
        ((ascii || !utf16) && (!IniDocument(doc.bytes()).find(piece[0], piece[1], again) || again != value)))
        std::abort();
    return 0;
}
