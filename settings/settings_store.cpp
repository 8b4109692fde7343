#include "settings/settings_store.h"

#include <windows.h>

#include <cstring>

namespace {

// The key of a profile line "key=value", without the blanks around it.
std::string lineKey(const char* pszLine)
{
    const char* pEnd = std::strchr(pszLine, '=');
    std::string key(pszLine, pEnd != nullptr ? static_cast<size_t>(pEnd - pszLine) : std::strlen(pszLine));
    size_t first = key.find_first_not_of(" \t");
    size_t last = key.find_last_not_of(" \t");
    return first == std::string::npos ? std::string() : key.substr(first, last - first + 1);
}

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

std::string SettingsStore::fetchSection(const char* pszSection) const
{
    DWORD size = 4096;
    for (;;) {
        std::string buffer(size, '\0');
        DWORD len = GetPrivateProfileSectionA(pszSection, &buffer[0], size, m_pszFileName);
        // size - 2 means the section did not fit.
        if (len + 2 < size) {
            buffer.resize(len);
            return buffer;
        }
        size *= 2;
    }
}

bool SettingsStore::writeKeys(const char* pszSection, const char* const* ppszKeys, const char* const* ppszValues,
                              int nKeys)
{
    if (pszSection == nullptr || ppszKeys == nullptr || ppszValues == nullptr || !hasFile())
        return false;
    for (int k = 0; k < nKeys; ++k) {
        if (ppszKeys[k] == nullptr)
            return false;
    }

    std::string old = fetchSection(pszSection);
    std::string lines;
    for (size_t at = 0; at < old.size(); at += std::strlen(old.c_str() + at) + 1) {
        const char* pszLine = old.c_str() + at;
        std::string key = lineKey(pszLine);
        bool bReplaced = false;
        for (int k = 0; k < nKeys && !bReplaced; ++k)
            bReplaced = lstrcmpiA(key.c_str(), ppszKeys[k]) == 0;
        if (!bReplaced && *pszLine != '\0')
            lines.append(pszLine).push_back('\0');
    }
    for (int k = 0; k < nKeys; ++k)
        lines.append(ppszKeys[k]).append("=").append(ppszValues[k] != nullptr ? ppszValues[k] : "").push_back('\0');
    lines.push_back('\0');
    return WritePrivateProfileSectionA(pszSection, lines.data(), m_pszFileName) != FALSE;
}
