// SettingsStore: the program's access to its INI settings file. Every read
// reads the file and every write replaces it whole in one step (see
// ini_file.h), so a write is in the file at once and a kill during one
// leaves the old file; nothing is cached. Sections and keys are found as the
// system's profile functions find them (see ini_document.h), and a write
// keeps every line it does not change as it was.
#pragma once

#include <string>

#include "framework/collections.h"
#include "settings/list_encoding.h"
#include "settings/value_text.h"

class SettingsStore {
public:
    SettingsStore() = default;
    virtual ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // Keeps a copy of pszPath as the settings file. Null empties the current
    // name (if there is one), after which reads give their defaults and writes
    // fail, as before any name was set.
    void setFileName(const char* pszPath);
    // The current file name: null before the first setFileName.
    const char* getFileName() const { return m_pszFileName; }

    // Copies the value into pszOut as far as whole characters fit in nOutLen
    // bytes and zero-fills the rest of those bytes; nothing is written past
    // them (callers pass nOutLen + 1 zeroed bytes to get a terminator).
    // Returns the value's length in bytes, at most nOutLen when pszOut is given.
    int getString(const char* pszSection, const char* pszKey, char* pszOut, unsigned int nOutLen,
                  const char* pszDefault);
    // The whole value, or the default (null: empty) when the file, section or
    // key is missing or section or key is null.
    CString getStringValue(const char* pszSection, const char* pszKey, const char* pszDefault);
    // Writes the value (null: the empty value; the key is never removed).
    // False when the write fails, when section or key is null or blank, when
    // a text holds a line break, or when no file is named; the file is then
    // as it was.
    bool writeString(const char* pszSection, const char* pszKey, const char* pszValue);

    // 0 or 1 from the first 64 bytes of the value (see parseBool), or nDefault
    // when the value is missing or empty.
    int getBool(const char* pszSection, const char* pszKey, int nDefault);
    // Writes nValue in the radix (see formatInt); the result is writeString's.
    bool writeInt(const char* pszSection, const char* pszKey, int nValue, int nRadix);
    // Writes 1 for any nonzero flag, else 0.
    bool writeBool(const char* pszSection, const char* pszKey, int nFlag);

    // A new list (block size 10) of the comma-separated items of the value;
    // the caller owns it.
    CStringList* getStringList(const CString& strSection, const CString& strKey, const CString& strDefault);
    // Writes the items of list comma-separated; an empty list writes "key=".
    void writeStringList(const CString& strSection, const CString& strKey, const CStringList& list);

    // Writes nKeys keys of one section in a single write of the file, so that
    // they change together or not at all: every line of those keys in the
    // section (duplicates too) gives way to one line per key with its new
    // value; the section's other lines stay as they were. False when the
    // write fails, when an argument is null or when no file is named.
    // (writeString is the same for one key.)
    bool writeKeys(const char* pszSection, const char* const* ppszKeys, const char* const* ppszValues,
                   int nKeys);

    // Appends the names of the file's sections, each once, in file order.
    // False when there is a file that cannot be read.
    bool getSectionNames(CStringList& names) const;

    // True the first time it is asked, false ever after: the user is told
    // of a file that cannot be written once, not at every failed write.
    bool claimWriteFailureNotice()
    {
        bool bFirst = !m_bWriteFailureNoticed;
        m_bWriteFailureNoticed = true;
        return bFirst;
    }

private:
    // The whole value, or the default (null: empty).
    std::string fetchString(const char* pszSection, const char* pszKey, const char* pszDefault) const;
    bool hasFile() const { return m_pszFileName != nullptr && m_pszFileName[0] != '\0'; }

    char* m_pszFileName = nullptr;
    bool m_bWriteFailureNoticed = false;
};
