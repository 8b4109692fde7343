#include "settings/settings_store.h"

#include <windows.h>

#include <cstring>

#include "settings/ini_document.h"
#include "settings/ini_file.h"

namespace {

char* copyText(const char* psz)
{
    size_t n = std::strlen(psz);
    char* copy = new char[n + 1];
    std::memcpy(copy, psz, n + 1);
    return copy;
}

std::string recoded(const std::string& text, UINT fromCodePage, UINT toCodePage)
{
    const int length = static_cast<int>(text.size());
    const int wideLength = MultiByteToWideChar(fromCodePage, 0, text.data(), length, nullptr, 0);
    if (wideLength <= 0)
        return text;
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(fromCodePage, 0, text.data(), length, &wide[0], wideLength);
    const int outLength = WideCharToMultiByte(toCodePage, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (outLength <= 0)
        return text;
    std::string out(static_cast<size_t>(outLength), '\0');
    WideCharToMultiByte(toCodePage, 0, wide.data(), wideLength, &out[0], outLength, nullptr, nullptr);
    return out;
}

// The program's texts are ANSI; a file in Unicode holds them as UTF-8.
std::string toDocument(const IniDocument& doc, const char* psz)
{
    return doc.encoding() == IniDocument::Encoding::Ansi ? std::string(psz) : recoded(psz, CP_ACP, CP_UTF8);
}

std::string fromDocument(const IniDocument& doc, const std::string& text)
{
    return doc.encoding() == IniDocument::Encoding::Ansi ? text : recoded(text, CP_UTF8, CP_ACP);
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

std::string SettingsStore::fetchString(const char* pszSection, const char* pszKey, const char* pszDefault) const
{
    std::string bytes, value;
    if (pszSection != nullptr && pszKey != nullptr && hasFile() &&
        readIniFile(m_pszFileName, bytes) == IniFileRead::Read) {
        IniDocument doc(bytes);
        if (doc.find(toDocument(doc, pszSection), toDocument(doc, pszKey), value))
            return fromDocument(doc, value);
    }
    return pszDefault != nullptr ? pszDefault : "";
}

int SettingsStore::getString(const char* pszSection, const char* pszKey, char* pszOut, unsigned int nOutLen,
                             const char* pszDefault)
{
    if (pszOut != nullptr && nOutLen > 0)
        pszOut[0] = '\0';
    const std::string text = fetchString(pszSection, pszKey, pszDefault);
    // The value up to a zero byte, as the profile functions gave it.
    const char* value = text.c_str();
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
    return static_cast<int>(len);
}

CString SettingsStore::getStringValue(const char* pszSection, const char* pszKey, const char* pszDefault)
{
    return CString(fetchString(pszSection, pszKey, pszDefault).c_str());
}

bool SettingsStore::writeString(const char* pszSection, const char* pszKey, const char* pszValue)
{
    return writeKeys(pszSection, &pszKey, &pszValue, 1);
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

bool SettingsStore::writeKeys(const char* pszSection, const char* const* ppszKeys, const char* const* ppszValues,
                              int nKeys)
{
    if (pszSection == nullptr || ppszKeys == nullptr || ppszValues == nullptr || !hasFile())
        return false;
    std::string bytes;
    if (readIniFile(m_pszFileName, bytes) == IniFileRead::Failed)
        return false;
    IniDocument doc(bytes);
    for (int k = 0; k < nKeys; ++k) {
        const char* pszValue = ppszValues[k] != nullptr ? ppszValues[k] : "";
        if (ppszKeys[k] == nullptr ||
            !doc.set(toDocument(doc, pszSection), toDocument(doc, ppszKeys[k]), toDocument(doc, pszValue)))
            return false;
    }
    const std::string changed = doc.bytes();
    return changed == bytes || replaceIniFile(m_pszFileName, changed);
}

bool SettingsStore::getSectionNames(CStringList& names) const
{
    std::string bytes;
    if (!hasFile() || readIniFile(m_pszFileName, bytes) == IniFileRead::Failed)
        return false;
    const IniDocument doc(bytes);
    for (const std::string& name : doc.sectionNames())
        names.AddTail(fromDocument(doc, name).c_str());
    return true;
}
