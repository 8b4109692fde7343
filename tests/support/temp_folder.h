// A folder of its own for one test, under the system's temporary folder,
// removed with the files in it when the object goes.
#pragma once

#include <string>

// A whole file's bytes; empty when it cannot be read.
std::string readWholeFile(const std::string& path);
// Writes the bytes as the whole file; false when it cannot be written.
bool writeWholeFile(const std::string& path, const std::string& bytes);

class TempFolder {
public:
    // Creates "<temp>\<prefix>-<process id>-<n>\".
    explicit TempFolder(const char* prefix);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder, ending in a backslash.
    const std::string& path() const { return m_path; }
    // The full path of a file in it.
    std::string file(const char* name) const { return m_path + name; }

private:
    std::string m_path;
};
