// CString: a byte string in the ANSI code page (GBK on Simplified Chinese
// systems). Lengths and indexes count bytes; the few operations that must not
// split a double-byte character say so.
#pragma once

#include <cstdarg>
#include <string>

// True when b starts a double-byte character in the ANSI code page.
bool IsLeadByteAnsi(unsigned char b);

class CString {
public:
    CString() = default;
    CString(const char* psz);
    CString(const char* pch, int nLength);
    CString(const CString&) = default;
    CString(CString&&) noexcept = default;
    CString& operator=(const CString&) = default;
    CString& operator=(CString&&) noexcept = default;
    CString& operator=(const char* psz);

    int GetLength() const { return static_cast<int>(m_s.size()); }
    bool IsEmpty() const { return m_s.empty(); }
    void Empty() { m_s.clear(); }

    operator const char*() const { return m_s.c_str(); }
    const char* GetString() const { return m_s.c_str(); }

    char GetAt(int nIndex) const;
    char operator[](int nIndex) const { return GetAt(nIndex); }

    CString& operator+=(const CString& s);
    CString& operator+=(const char* psz);
    CString& operator+=(char ch);

    // Byte-wise comparison, as strcmp: <0, 0 or >0. A null string compares as "".
    int Compare(const char* psz) const;
    // Comparison that folds ASCII letters and leaves double-byte characters alone.
    int CompareNoCase(const char* psz) const;

    CString Left(int nCount) const;
    CString Mid(int nFirst) const;
    CString Mid(int nFirst, int nCount) const;

    // Index of the first match at or after nStart, or -1.
    int Find(char ch, int nStart = 0) const;
    int Find(const char* pszSub, int nStart = 0) const;

    void Format(const char* pszFormat, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    void FormatV(const char* pszFormat, va_list args);

    // Writable buffer of at least nMinLength bytes plus a terminator.
    // ReleaseBuffer(-1) takes the length from the terminator.
    char* GetBuffer(int nMinLength);
    void ReleaseBuffer(int nNewLength = -1);

    const std::string& str() const { return m_s; }

private:
    std::string m_s;
};

CString operator+(const CString& a, const CString& b);
CString operator+(const CString& a, const char* b);
CString operator+(const char* a, const CString& b);
CString operator+(const CString& a, char b);

bool operator==(const CString& a, const CString& b);
bool operator==(const CString& a, const char* b);
bool operator==(const char* a, const CString& b);
bool operator!=(const CString& a, const CString& b);
bool operator!=(const CString& a, const char* b);
bool operator!=(const char* a, const CString& b);
