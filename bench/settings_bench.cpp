// The cost of the settings file's reads and saves: a value read, and a save
// of a drive's two lists (the file written beside and moved into place), in
// a file of ten drives and in one with a megabyte of lines besides. Prints a
// line per file.
#include <windows.h>

#include <cstdio>
#include <string>

#include "settings/settings_store.h"

namespace {

// Microseconds per call of fn(i), over n calls.
template <class Fn>
double microsecondsEach(int n, Fn fn)
{
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (int i = 0; i < n; ++i)
        fn(i);
    QueryPerformanceCounter(&end);
    return 1e6 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart) / n;
}

}  // namespace

int main()
{
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string file = std::string(temp) + "kesvora-settings-bench.ini";
    std::string drives = "[System]\r\nRunMin=0\r\nRunSetSpeed=1\r\n", junk;
    for (int d = 0; d < 10; ++d)
        drives += "[" + std::to_string(d) + ":0]\r\nspeedNames=48,40,32,24,16,8\r\n"
                  "kbSpeeds=8448,7040,5632,4224,2816,1408\r\nlastSpeed=1408\r\n";
    while (junk.size() < (1u << 20))
        junk += "; a line of a file edited by hand, not the program's\r\n";
    const struct {
        const char* what;
        std::string bytes;
        int saves;
    } files[] = {{"ten drives", drives, 200}, {"ten drives and a megabyte besides", junk + drives, 20}};
    SettingsStore store;
    store.setFileName(file.c_str());
    const char* keys[] = {"speedNames", "kbSpeeds"};
    int status = 0;
    for (const auto& f : files) {
        FILE* out = std::fopen(file.c_str(), "wb");
        const bool written = out != nullptr && std::fwrite(f.bytes.data(), 1, f.bytes.size(), out) == f.bytes.size();
        if (out == nullptr || std::fclose(out) != 0 || !written) {
            std::printf("settings: %s: the file could not be made\n", f.what);
            status = 1;
            continue;
        }
        bool saved = true;
        const double save = microsecondsEach(f.saves, [&](int i) {
            const char* values[] = {i % 2 != 0 ? "48,40" : "40,48", i % 2 != 0 ? "8448,7040" : "7040,8448"};
            saved = store.writeKeys("5:0", keys, values, 2) && saved;
        });
        const double read = microsecondsEach(f.saves, [&](int) { store.getStringValue("5:0", "kbSpeeds", ""); });
        std::printf("settings: %s (%zu bytes): a save %.0f us, a read %.0f us%s\n", f.what, f.bytes.size(), save, read,
                    saved ? "" : " (a save failed)");
        status = saved ? status : 1;
    }
    DeleteFileA(file.c_str());
    return status;
}
