// SettingsStore against real files in a temporary folder of its own: what
// reaches them, files it must leave as they were, and a writer killed while
// it writes.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <thread>

#include "settings/settings_store.h"
#include "tests/support/temp_folder.h"

namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    TempFolder m_dir{("kesvora-settings-" + std::to_string(GetTickCount())).c_str()};  // Wine reuses process ids
    SettingsStore m_store;
};

// Text of the system's code page reaches a file in UTF-8 as UTF-8.
TEST_F(SettingsStoreTest, WritesReachTheFileInItsEncoding)
{
    m_store.setFileName(m_dir.file("cdrom.ini").c_str());
    ASSERT_EQ(GetACP(), 936u) << "this test needs code page 936 (under Wine: LC_ALL=zh_CN.UTF-8)";
    ASSERT_TRUE(writeWholeFile(m_dir.file("cdrom.ini"), "\xEF\xBB\xBF[1:0]\r\n"));
    EXPECT_TRUE(m_store.writeString("1:0", "k", "速度"));
    EXPECT_EQ(readWholeFile(m_dir.file("cdrom.ini")), "\xEF\xBB\xBF[1:0]\r\nk=\xE9\x80\x9F\xE5\xBA\xA6\r\n");
    EXPECT_EQ(m_store.getStringValue("1:0", "K", ""), "速度");
}

// Starts a program; its process, null when it cannot be started.
HANDLE start(const char* exe, std::string commandLine)
{
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(exe, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

// True when the folder lists the file (a link to a device included).
bool listed(const std::string& path)
{
    WIN32_FIND_DATAA found;
    HANDLE hFind = FindFirstFileA(path.c_str(), &found);
    return hFind != INVALID_HANDLE_VALUE && FindClose(hFind);
}

// Runs a program of the Unix system under Wine on the Unix path of a file of
// drive C:, and waits (5 s at most) until the file is there or gone, as
// asked: Wine gives no process to wait for. False elsewhere or on time-out.
bool runUnix(const std::string& command, const std::string& path, bool there)
{
    char prefix[MAX_PATH] = {};
    std::string unixPath = path.substr(2);
    std::replace(unixPath.begin(), unixPath.end(), '\\', '/');
    if (GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH) == 0)
        return false;
    CloseHandle(start(("Z:\\bin\\" + command.substr(0, command.find(' '))).c_str(), "/bin/" + command + " \"" + prefix + "/dosdevices/c:" + unixPath + "\""));
    for (int wait = 0; wait < 100 && listed(path) != there; ++wait)
        Sleep(50);
    return listed(path) == there;
}

// A file the store cannot replace whole is left as it was, with no new file
// beside it; one held only for a moment is written once it is free. A read
// of a file that cannot be read gives the default.
TEST_F(SettingsStoreTest, FilesThatCannotBeReplacedStayAsTheyWere)
{
    const std::string old = "; by hand\n[1:0]\nspeedNames=8\n", file = m_dir.file("cdrom.ini"), temp = file + ".tmp";
    const struct {
        const char* what;
        DWORD attributes;     // of the file; FILE_ATTRIBUTE_DIRECTORY: a folder in its place
        DWORD share, heldMs;  // of another handle on it, held so long (INFINITE: to the end); 0 ms: none
        bool fullDisk, written;
    } rows[] = {
        {"read-only", FILE_ATTRIBUTE_READONLY, 0, 0, false, false},
        {"held by another program", FILE_ATTRIBUTE_NORMAL, 0, INFINITE, false, false},
        {"held for a moment", FILE_ATTRIBUTE_HIDDEN, 0, 100, false, true},
        {"a folder of that name", FILE_ATTRIBUTE_DIRECTORY, 0, 0, false, false},
        {"a full disk", FILE_ATTRIBUTE_NORMAL, 0, 0, true, false},
    };
    m_store.setFileName(file.c_str());
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const bool folder = row.attributes == FILE_ATTRIBUTE_DIRECTORY;
        ASSERT_TRUE(folder ? CreateDirectoryA(file.c_str(), nullptr) : writeWholeFile(file, old));
        SetFileAttributesA(file.c_str(), row.attributes);
        if (row.fullDisk && !runUnix("ln -sf /dev/full", temp, true))
            continue;  // not under Wine
        HANDLE held = row.heldMs == 0 ? INVALID_HANDLE_VALUE : CreateFileA(file.c_str(), GENERIC_READ, row.share, nullptr, OPEN_EXISTING, 0, nullptr);
        std::thread release([&] {
            if (row.heldMs != 0 && row.heldMs != INFINITE) {
                Sleep(row.heldMs);
                CloseHandle(held);
            }
        });
        const DWORD start = GetTickCount();
        EXPECT_EQ(m_store.writeString("1:0", "speedNames", "48"), row.written);
        EXPECT_LT(GetTickCount() - start, 2000u);
        EXPECT_EQ(m_store.getStringValue("1:0", "speedNames", "none"), row.written ? "48" : (row.heldMs != 0 && row.share == 0) || folder ? "none" : "8");
        if (row.heldMs == INFINITE)
            CloseHandle(held);
        release.join();
        EXPECT_EQ(GetFileAttributesA(file.c_str()) & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY),
                  row.attributes & ~FILE_ATTRIBUTE_NORMAL);
        SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(readWholeFile(file), folder ? "" : row.written ? "; by hand\n[1:0]\nspeedNames=48\n" : old);
        EXPECT_TRUE(row.fullDisk || GetFileAttributesA(temp.c_str()) == INVALID_FILE_ATTRIBUTES);
        if (row.fullDisk)
            runUnix("rm -f", temp, false);
        folder ? RemoveDirectoryA(file.c_str()) : DeleteFileA(file.c_str());
    }
}

// A writer killed at any moment leaves the whole old file or the whole new
// one, never an empty or a cut one.
TEST_F(SettingsStoreTest, AWriterKilledWhileWritingLeavesAWholeFile)
{
    const std::string file = m_dir.file("cdrom.ini"), values[] = {std::string(3000, '1'), std::string(2000, '2')};
    const auto whole = [&](int i) { return "; by hand\r\n[System]\r\nRunMin=1\r\n\r\n[1:0]\r\nkbSpeeds=" + values[i] + "\r\nlastSpeed=8\r\n[1:1]\r\n"; };
    ASSERT_TRUE(writeWholeFile(file, whole(1)));
    for (int kill = 0; kill < 30; ++kill) {
        const std::string event = "kesvora-writer-" + std::to_string(GetCurrentProcessId());
        HANDLE hFirstWritten = CreateEventA(nullptr, TRUE, FALSE, event.c_str());
        HANDLE hWriter = start(nullptr, "settings_writer \"" + file + "\" " + event + " " + values[0] + " " + values[1]);
        ASSERT_NE(hWriter, nullptr);
        EXPECT_EQ(WaitForSingleObject(hFirstWritten, 20000), WAIT_OBJECT_0);
        Sleep(kill % 10);
        TerminateProcess(hWriter, 1);
        WaitForSingleObject(hWriter, 10000);
        for (HANDLE h : {hWriter, hFirstWritten})
            CloseHandle(h);
        const std::string now = readWholeFile(file);
        ASSERT_TRUE(now == whole(0) || now == whole(1)) << "kill " << kill << ": " << now.size() << " bytes";
    }
}

}  // namespace
