#include "settings/settings_store.h"

#include <windows.h>

#include <cstring>

namespace {

char* copyText(const char* psz)
{
    size_t n = std::strlen(psz);
    char* copy = new char[n + 1];
    std::memcpy(copy, psz, n + 1);
    return copy;
}

}  // namespace

SettingsStore::~SettingsStore()
{
    delete[] m_pszFileName;
}

void SettingsStore::setFileName(const char* pszPath)
{
    if (pszPath != nullptr) {
        // Copy first: pszPath may be our own current name.
        char* copy = copyText(pszPath);
        delete[] m_pszFileName;
        m_pszFileName = copy;
    } else if (m_pszFileName != nullptr) {
        m_pszFileName[0] = '\0';
    }
}

char* SettingsStore::fetchString(const char* pszSection, const char* pszKey, const char* pszDefault) const
{
    const char* def = pszDefault ? pszDefault : "";
    // Without a file name the profile functions would use the system's
    // win.ini; a store without a file has only its defaults.
    if (pszSection == nullptr || pszKey == nullptr || m_pszFileName == nullptr || m_pszFileName[0] == '\0')
        return copyText(def);

    DWORD size = 512;
    char* buffer = new char[size + 1];
    DWORD len = GetPrivateProfileStringA(pszSection, pszKey, def, buffer, size, m_pszFileName);
    // A value that filled the buffer may have been cut: read it again with more room.
    while (len + 1 >= size) {
        delete[] buffer;
        size += 512;
        buffer = new char[size + 1];
        len = GetPrivateProfileStringA(pszSection, pszKey, def, buffer, size, m_pszFileName);
    }
    buffer[len] = '\0';
    return buffer;
}

int SettingsStore::getString(const char* pszSection, const char* pszKey, char* pszOut, unsigned int nOutLen,
                             const char* pszDefault)
{
    if (pszOut != nullptr && nOutLen > 0)
        pszOut[0] = '\0';
    char* value = fetchString(pszSection, pszKey, pszDefault);
    size_t len = std::strlen(value);
    if (pszOut != nullptr) {
        // Whole characters only: a lead byte is copied together with its
        // second byte or not at all.
        size_t i = 0;
        while (i < len && i < nOutLen) {
            size_t n = IsLeadByteAnsi(static_cast<unsigned char>(value[i])) ? 2 : 1;
            if (i + n > len || i + n > nOutLen)
                break;
            std::memcpy(pszOut + i, value + i, n);
            i += n;
        }
        std::memset(pszOut + i, 0, nOutLen - i);
        if (len > nOutLen)
            len = nOutLen;
    }
    delete[] value;
    return static_cast<int>(len);
}

CString SettingsStore::getStringValue(const char* pszSection, const char* pszKey, const char* pszDefault)
{
    char* value = fetchString(pszSection, pszKey, pszDefault);
    CString text(value);
    delete[] value;
    return text;
}

bool SettingsStore::writeString(const char* pszSection, const char* pszKey, const char* pszValue)
{
    if (pszSection == nullptr || pszKey == nullptr || m_pszFileName == nullptr || m_pszFileName[0] == '\0')
        return false;
    return WritePrivateProfileStringA(pszSection, pszKey, pszValue ? pszValue : "", m_pszFileName) != FALSE;
}

int SettingsStore::getBool(const char* pszSection, const char* pszKey, int nDefault)
{
    char buffer[65] = {};
    getString(pszSection, pszKey, buffer, 64, nullptr);
    return parseBool(buffer, nDefault);
}

bool SettingsStore::writeInt(const char* pszSection, const char* pszKey, int nValue, int nRadix)
{
    char buffer[65] = {};
    formatInt(nValue, buffer, nRadix);
    return writeString(pszSection, pszKey, buffer);
}

bool SettingsStore::writeBool(const char* pszSection, const char* pszKey, int nFlag)
{
    return writeInt(pszSection, pszKey, nFlag != 0 ? 1 : 0, 10);
}

CStringList* SettingsStore::getStringList(const CString& strSection, const CString& strKey,
                                          const CString& strDefault)
{
    CString text = getStringValue(strSection, strKey, strDefault);
    CStringList* list = new CStringList(10);
    decodeStringList(text, *list);
    return list;
}

void SettingsStore::writeStringList(const CString& strSection, const CString& strKey, const CStringList& list)
{
    writeString(strSection, strKey, encodeStringList(list));
}
