// A list of strings stored as one settings value: the items joined by ",",
// with nothing quoted or escaped, for example 48,40,8.
#pragma once

#include "framework/collections.h"

// Appends to list the items of pszText: the pieces between commas, left to
// right. Empty pieces are dropped (",8" and "8,,," give the one item 8) and
// pieces are not trimmed ("16, 8" gives 16 and " 8"). Null text gives none.
// Items therefore never contain a comma and are never empty.
void decodeStringList(const char* pszText, CStringList& list);

// The items of list in order, each but the last followed by ","; an empty
// list gives the empty text.
CString encodeStringList(const CStringList& list);
