// A drive's speed list is two parallel string lists: speedNames (X factors,
// decimal text) and kbSpeeds (KB/s, decimal text). The pair at one position
// is a speed entry, shown as "8X (1408KB/S)". The lists the program writes
// have equal lengths; a hand-edited settings file may not, so every reader
// pairs them only up to the shorter list.
#pragma once

#include "framework/collections.h"

// The display text "%sX (%sKB/S)" of a name and a KB/s text (null: empty);
// with a label (a kind of disc), "%sX <label> (%sKB/S)".
CString formatSpeedEntry(const char* pszName, const char* pszKbps, const char* pszLabel = nullptr);

// The number of usable entries: the length of the shorter list, a null list
// counting as empty.
int speedEntryCount(const CStringList* pNames, const CStringList* pKbSpeeds);

// The two texts of entry nIndex. False, with both texts empty, when the index
// is negative or not below speedEntryCount.
bool getSpeedEntry(const CStringList* pNames, const CStringList* pKbSpeeds, int nIndex,
                   CString& strName, CString& strKbps);

// The display text of entry nIndex (with the label, if given), or the empty
// text when there is none.
CString speedEntryText(const CStringList* pNames, const CStringList* pKbSpeeds, int nIndex,
                       const char* pszLabel = nullptr);

// Takes a display text apart again: the name is the text before the first
// blank without its final "X", the KB/s text is what follows " (" up to the
// first "K". Double-byte characters are stepped over whole, so their second
// byte never counts as "X" or "K".
// Returns false, with both texts empty, unless the text has that shape and
// both parts are non-empty and free of commas (so that they can be stored as
// list items and read back as the same pair).
bool parseSpeedEntry(const char* pszText, CString& strName, CString& strKbps);

// The leading decimal number of a list entry: blanks skipped, an optional
// sign, digits up to the first other character; no digits give 0, and a
// number beyond the int range is held at its end.
int speedEntryToInt(const char* pszText);

// The index of the first entry whose KB/s text gives nKbps (see
// speedEntryToInt); -1 when none does or nKbps is 0.
int findSpeedEntry(const CStringList* pNames, const CStringList* pKbSpeeds, int nKbps);
