#include "cstring.h"

#include <cstdio>
#include <cstring>
#include <vector>

#ifdef _WIN32
#include <windows.h>
bool IsLeadByteAnsi(unsigned char b)
{
    return IsDBCSLeadByte(b) != FALSE;
}
#else
// Native builds (host tests) behave like code page 936.
bool IsLeadByteAnsi(unsigned char b)
{
    return b >= 0x81 && b <= 0xFE;
}
#endif

namespace {

int clampIndex(int n, int len)
{
    if (n < 0)
        return 0;
    return n > len ? len : n;
}

char foldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

CString::CString(const char* psz) : m_s(psz ? psz : "") {}

CString::CString(const char* pch, int nLength)
{
    if (pch != nullptr && nLength > 0)
        m_s.assign(pch, static_cast<size_t>(nLength));
}

CString& CString::operator=(const char* psz)
{
    m_s = psz ? psz : "";
    return *this;
}

char CString::GetAt(int nIndex) const
{
    if (nIndex < 0 || nIndex >= GetLength())
        return '\0';
    return m_s[static_cast<size_t>(nIndex)];
}

CString& CString::operator+=(const CString& s)
{
    m_s += s.m_s;
    return *this;
}

CString& CString::operator+=(const char* psz)
{
    if (psz != nullptr)
        m_s += psz;
    return *this;
}

CString& CString::operator+=(char ch)
{
    m_s += ch;
    return *this;
}

int CString::Compare(const char* psz) const
{
    return std::strcmp(m_s.c_str(), psz ? psz : "");
}

int CString::CompareNoCase(const char* psz) const
{
    const unsigned char* a = reinterpret_cast<const unsigned char*>(m_s.c_str());
    const unsigned char* b = reinterpret_cast<const unsigned char*>(psz ? psz : "");
    for (;;) {
        unsigned char ca = *a, cb = *b;
        if (IsLeadByteAnsi(ca) && a[1] != 0) {
            // A double-byte character compares as its two bytes, unfolded.
            if (ca != cb || a[1] != b[1])
                return ca != cb ? (ca < cb ? -1 : 1) : (a[1] < b[1] ? -1 : 1);
            a += 2;
            b += 2;
            continue;
        }
        unsigned char fa = static_cast<unsigned char>(foldAscii(static_cast<char>(ca)));
        unsigned char fb = static_cast<unsigned char>(foldAscii(static_cast<char>(cb)));
        if (fa != fb)
            return fa < fb ? -1 : 1;
        if (ca == 0)
            return 0;
        ++a;
        ++b;
    }
}

CString CString::Left(int nCount) const
{
    return CString(m_s.c_str(), clampIndex(nCount, GetLength()));
}

CString CString::Mid(int nFirst) const
{
    return Mid(nFirst, GetLength());
}

CString CString::Mid(int nFirst, int nCount) const
{
    int first = clampIndex(nFirst, GetLength());
    int count = clampIndex(nCount, GetLength() - first);
    return CString(m_s.c_str() + first, count);
}

int CString::Find(char ch, int nStart) const
{
    if (nStart < 0 || nStart >= GetLength())
        return -1;
    size_t p = m_s.find(ch, static_cast<size_t>(nStart));
    return p == std::string::npos ? -1 : static_cast<int>(p);
}

int CString::Find(const char* pszSub, int nStart) const
{
    if (pszSub == nullptr || nStart < 0 || nStart > GetLength())
        return -1;
    size_t p = m_s.find(pszSub, static_cast<size_t>(nStart));
    return p == std::string::npos ? -1 : static_cast<int>(p);
}

void CString::Format(const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    FormatV(pszFormat, args);
    va_end(args);
}

void CString::FormatV(const char* pszFormat, va_list args)
{
    if (pszFormat == nullptr) {
        m_s.clear();
        return;
    }
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, pszFormat, copy);
    va_end(copy);
    if (n < 0) {
        m_s.clear();
        return;
    }
    std::vector<char> buf(static_cast<size_t>(n) + 1);
    std::vsnprintf(buf.data(), buf.size(), pszFormat, args);
    m_s.assign(buf.data(), static_cast<size_t>(n));
}

char* CString::GetBuffer(int nMinLength)
{
    if (nMinLength > GetLength())
        m_s.resize(static_cast<size_t>(nMinLength), '\0');
    return &m_s[0];
}

void CString::ReleaseBuffer(int nNewLength)
{
    if (nNewLength < 0)
        nNewLength = static_cast<int>(std::strlen(m_s.c_str()));
    m_s.resize(static_cast<size_t>(clampIndex(nNewLength, GetLength())));
}

CString operator+(const CString& a, const CString& b)
{
    CString r(a);
    r += b;
    return r;
}

CString operator+(const CString& a, const char* b)
{
    CString r(a);
    r += b;
    return r;
}

CString operator+(const char* a, const CString& b)
{
    CString r(a);
    r += b;
    return r;
}

CString operator+(const CString& a, char b)
{
    CString r(a);
    r += b;
    return r;
}

bool operator==(const CString& a, const CString& b) { return a.str() == b.str(); }
bool operator==(const CString& a, const char* b) { return a.Compare(b) == 0; }
bool operator==(const char* a, const CString& b) { return b.Compare(a) == 0; }
bool operator!=(const CString& a, const CString& b) { return !(a == b); }
bool operator!=(const CString& a, const char* b) { return !(a == b); }
bool operator!=(const char* a, const CString& b) { return !(a == b); }
