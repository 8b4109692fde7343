#include "settings/value_text.h"

#include <cstdio>

#include "framework/cstring.h"

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

int parseBool(const char* pszText, int nDefault)
{
    if (pszText == nullptr || *pszText == '\0')
        return nDefault;
    CString text(pszText);
    if (text.CompareNoCase("true") == 0 || text.CompareNoCase("yes") == 0)
        return 1;

    const char* p = pszText;
    while (isBlank(*p))
        ++p;
    if (*p == '+' || *p == '-')
        ++p;
    // The number is nonzero exactly when one of its digits is, however long
    // it is, so no conversion (and no overflow) is needed.
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (*p != '0')
            return 1;
    }
    return 0;
}

void formatInt(int nValue, char* pszBuffer, int nRadix)
{
    if (pszBuffer == nullptr)
        return;
    const unsigned int uValue = static_cast<unsigned int>(nValue);
    switch (nRadix) {
    case 2:
        formatBinary(uValue, pszBuffer, 64);
        break;
    case 8:
        std::snprintf(pszBuffer, 65, "%o", uValue);
        break;
    case 16:
        std::snprintf(pszBuffer, 65, "%X", uValue);
        break;
    default:
        std::snprintf(pszBuffer, 65, "%d", nValue);
        break;
    }
}

void formatBinary(unsigned int nValue, char* pszBuffer, int nMaxDigits)
{
    if (pszBuffer == nullptr || nMaxDigits <= 0)
        return;
    // Least significant digit first, then the text is turned around.
    int n = 0;
    do {
        pszBuffer[n++] = static_cast<char>('0' + (nValue & 1u));
        nValue >>= 1;
    } while (nValue != 0 && n < nMaxDigits);
    pszBuffer[n] = '\0';
    for (int i = 0, j = n - 1; i < j; ++i, --j) {
        char c = pszBuffer[i];
        pszBuffer[i] = pszBuffer[j];
        pszBuffer[j] = c;
    }
}
