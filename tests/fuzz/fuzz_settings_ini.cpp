// Any bytes make a document that gives the same bytes back. A key set in it
// (section, key and value: the input's first pieces ended by 0x01, where it
// has them) is found again, in it and in its bytes read anew; no section
// goes; a refused change changes nothing.
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
    const std::vector<std::string> before = doc.sectionNames();
    if (!doc.set(piece[0], piece[1], piece[2])) {
        if (doc.bytes() != bytes)
            std::abort();
        return 0;
    }
    const std::vector<std::string> after = doc.sectionNames();
    std::string value, again;
    if (!doc.find(piece[0], piece[1], value) || after.size() < before.size() ||
        !std::equal(before.begin(), before.end(), after.begin()))
        std::abort();
    // UTF-16 keeps only valid UTF-8 whole; ASCII is valid.
    bool ascii = true;
    for (const std::string& p : piece)
        for (char c : p)
            ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    const bool utf16 = doc.encoding() == IniDocument::Encoding::Utf16Le || doc.encoding() == IniDocument::Encoding::Utf16Be;
    if ((ascii || !utf16) && (!IniDocument(doc.bytes()).find(piece[0], piece[1], again) || again != value))
        std::abort();
    return 0;
}
