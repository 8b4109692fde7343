// The text of single settings values: booleans read back from the settings
// file, and integers written to it in a chosen radix.
#pragma once

// Reads a boolean: "true" or "yes" in any case give 1; otherwise the decimal
// integer at the start of the text (leading white space and a sign allowed,
// anything after the digits ignored, no digits meaning 0) gives 1 when it is
// nonzero and 0 when it is zero. A number too large for 32 bits is nonzero.
// Null or empty text gives nDefault unchanged, whatever integer it is.
int parseBool(const char* pszText, int nDefault);

// Writes nValue into pszBuffer (at least 65 bytes) as text: radix 2 binary,
// 8 octal and 16 upper-case hexadecimal of the value taken as unsigned
// 32 bits (so -1 is 32 ones, 37777777777 or FFFFFFFF); any other radix
// signed decimal. A null buffer is left alone.
void formatInt(int nValue, char* pszBuffer, int nRadix);

// Writes nValue in binary without leading zeros (0 gives "0") into pszBuffer,
// which holds at least nMaxDigits + 1 bytes. When the value needs more than
// nMaxDigits digits only its nMaxDigits lowest bits are written. nMaxDigits
// of 0 or less, or a null buffer: nothing is written.
void formatBinary(unsigned int nValue, char* pszBuffer, int nMaxDigits);
