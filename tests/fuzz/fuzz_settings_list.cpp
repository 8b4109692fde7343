// Any value text decodes into non-empty items without commas that are the
// text's pieces in order, and encoding them decodes to the same items.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/list_encoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    text = text.c_str();  // values arrive as zero-terminated text

    CStringList list;
    decodeStringList(text.c_str(), list);
    std::string joined, withoutCommas;
    for (char c : text) {
        if (c != ',')
            withoutCommas += c;
    }
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;) {
        const CString& item = list.GetNext(pos);
        if (item.IsEmpty() || item.Find(',') >= 0)
            std::abort();
        joined += item.str();
    }
    if (joined != withoutCommas)
        std::abort();

    CStringList again;
    decodeStringList(encodeStringList(list), again);
    if (again.GetCount() != list.GetCount())
        std::abort();
    for (POSITION a = list.GetHeadPosition(), b = again.GetHeadPosition(); a != nullptr;) {
        if (list.GetNext(a) != again.GetNext(b))
            std::abort();
    }
    return 0;
}
