#include "settings/list_encoding.h"

// A comma is never the second byte of a double-byte character in the ANSI
// code pages the program runs under, so splitting byte by byte is safe.
void decodeStringList(const char* pszText, CStringList& list)
{
    if (pszText == nullptr)
        return;
    const char* start = pszText;
    for (const char* p = pszText;; ++p) {
        if (*p == ',' || *p == '\0') {
            if (p > start)
                list.AddTail(CString(start, static_cast<int>(p - start)));
            if (*p == '\0')
                return;
            start = p + 1;
        }
    }
}

CString encodeStringList(const CStringList& list)
{
    CString text;
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;) {
        text += list.GetNext(pos);
        text += ',';
    }
    return text.Left(text.GetLength() - 1);
}
