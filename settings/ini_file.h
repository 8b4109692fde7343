// The settings file on disk: read whole, and replaced whole in one step, so
// that a kill, a crash or a full disk in the middle of a write leaves either
// the old file or the new one, never a part of either.
#pragma once

#include <string>

enum class IniFileRead { Read, Missing, Failed };

// Reads the whole file into bytes (empty unless Read). Missing when there is
// no such file; Failed when there is one that cannot be read: a folder, a
// file larger than any settings file, or one that another program still
// holds after a few tries over about half a second.
IniFileRead readIniFile(const char* pszPath, std::string& bytes);

// Writes bytes beside the file (its name with ".tmp" added), flushes them,
// and puts them in the file's place in one step. False, with the old file
// left as it was and the new one removed, when the file is read-only or a
// folder, when the new file cannot be written whole (a full disk), or when
// another program still holds the file after a few tries over about half a
// second. The file keeps its hidden and system attributes.
bool replaceIniFile(const char* pszPath, const std::string& bytes);
