#include "settings/speed_entry.h"

#include <climits>
#include <cstdlib>

namespace {

// Index of the character after the one starting at i: a lead byte takes its
// next byte with it unless the text ends there.
int nextChar(const CString& s, int i)
{
    if (IsLeadByteAnsi(static_cast<unsigned char>(s[i])) && i + 1 < s.GetLength())
        return i + 2;
    return i + 1;
}

// Index of the first character ch at or after the character start `from`, or -1.
int findChar(const CString& s, char ch, int from)
{
    for (int i = from; i < s.GetLength(); i = nextChar(s, i)) {
        if (s[i] == ch)
            return i;
    }
    return -1;
}

}  // namespace

CString formatSpeedEntry(const char* pszName, const char* pszKbps, const char* pszLabel)
{
    CString text;
    if (pszLabel != nullptr)
        text.Format("%sX %s (%sKB/S)", pszName ? pszName : "", pszLabel, pszKbps ? pszKbps : "");
    else
        text.Format("%sX (%sKB/S)", pszName ? pszName : "", pszKbps ? pszKbps : "");
    return text;
}

int speedEntryCount(const CStringList* pNames, const CStringList* pKbSpeeds)
{
    int nNames = pNames ? pNames->GetCount() : 0;
    int nKbps = pKbSpeeds ? pKbSpeeds->GetCount() : 0;
    return nNames < nKbps ? nNames : nKbps;
}

bool getSpeedEntry(const CStringList* pNames, const CStringList* pKbSpeeds, int nIndex,
                   CString& strName, CString& strKbps)
{
    strName.Empty();
    strKbps.Empty();
    if (nIndex < 0 || nIndex >= speedEntryCount(pNames, pKbSpeeds))
        return false;
    strName = pNames->GetAt(pNames->FindIndex(nIndex));
    strKbps = pKbSpeeds->GetAt(pKbSpeeds->FindIndex(nIndex));
    return true;
}

CString speedEntryText(const CStringList* pNames, const CStringList* pKbSpeeds, int nIndex, const char* pszLabel)
{
    CString strName, strKbps;
    if (!getSpeedEntry(pNames, pKbSpeeds, nIndex, strName, strKbps))
        return CString();
    return formatSpeedEntry(strName, strKbps, pszLabel);
}

bool parseSpeedEntry(const char* pszText, CString& strName, CString& strKbps)
{
    strName.Empty();
    strKbps.Empty();
    const CString text(pszText);

    // The blank must follow "X", which must follow at least one character of
    // the name, and "(" must follow the blank.
    int blank = findChar(text, ' ', 0);
    if (blank < 2 || text[blank + 1] != '(')
        return false;
    int x = 0;
    while (nextChar(text, x) < blank)
        x = nextChar(text, x);
    if (x == 0 || text[x] != 'X' || nextChar(text, x) != blank)
        return false;

    int first = blank + 2;
    int k = findChar(text, 'K', first);
    if (k <= first)
        return false;

    CString name = text.Left(x);
    CString kbps = text.Mid(first, k - first);
    if (name.Find(',') >= 0 || kbps.Find(',') >= 0)
        return false;
    strName = name;
    strKbps = kbps;
    return true;
}

int speedEntryToInt(const char* pszText)
{
    long v = std::strtol(pszText != nullptr ? pszText : "", nullptr, 10);
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return static_cast<int>(v);
}

int findSpeedEntry(const CStringList* pNames, const CStringList* pKbSpeeds, int nKbps)
{
    if (nKbps == 0)
        return -1;
    int nCount = speedEntryCount(pNames, pKbSpeeds);
    for (int i = 0; i < nCount; ++i) {
        CString strName, strKbps;
        if (getSpeedEntry(pNames, pKbSpeeds, i, strName, strKbps) && speedEntryToInt(strKbps) == nKbps)
            return i;
    }
    return -1;
}
