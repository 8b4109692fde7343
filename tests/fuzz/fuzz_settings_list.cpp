// Any value text decodes into non-empty items without commas that are the
// text's pieces in order, and encoding them decodes to the same items.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/list_encoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text = std::string(reinterpret_cast<const char*>(data), size).c_str();
    CStringList list, again;
    decodeStringList(text.c_str(), list);
    decodeStringList(encodeStringList(list), again);
    std::string joined, withoutCommas;
    for (char c : text)
        withoutCommas += c != ',' ? std::string(1, c) : "";
    if (again.GetCount() != list.GetCount())
        std::abort();
    for (POSITION a = list.GetHeadPosition(), b = again.GetHeadPosition(); a != nullptr;) {
        const CString& item = list.GetNext(a);
        if (item.IsEmpty() || item.Find(',') >= 0 || item != again.GetNext(b))
            std::abort();
        joined += item.str();
    }
    if (joined != withoutCommas)
        std::abort();
    return 0;
}
