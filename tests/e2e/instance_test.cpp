// How the program starts: a second start in the same folder brings the
// running instance forward and ends; a start from the Run value uses the
// settings file of the program's folder, whatever the working directory.
#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/driver.h"
#include "tests/support/temp_folder.h"

namespace {

using e2e::KesvoraProcess;

std::string binFolder()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path);
    return s.substr(0, s.rfind('\\'));
}

// Starts exe with the arguments in folder; the process handle, or null.
HANDLE startIn(const std::string& exe, const std::string& args, const std::string& folder, DWORD* pid)
{
    std::string cmdLine = "\"" + exe + "\"" + args;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(exe.c_str(), &cmdLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi))
        return nullptr;
    CloseHandle(pi.hThread);
    *pid = pi.dwProcessId;
    return pi.hProcess;
}

template <class F>
bool waitFor(F condition, DWORD timeoutMs)
{
    for (DWORD begin = GetTickCount(); GetTickCount() - begin < timeoutMs; Sleep(20)) {
        if (condition())
            return true;
    }
    return condition();
}

void oneDrive(KesvoraProcess& p)
{
    p.sim.adapters(1).adapter(0).maxTargets(8);
    p.sim.device(0, 1).cdrom("KSIM", "CD-ROM 52X", "1.00").maxSpeed(9152).policy("any");
}

TEST(Instances, SecondStartInTheSameFolderShowsTheFirstAndEnds)
{
    KesvoraProcess p;
    oneDrive(p);
    ASSERT_TRUE(p.start());
    p.post(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(p.sync());
    ASSERT_FALSE(IsWindowVisible(p.mainWindow()));

    DWORD pid = 0;
    HANDLE second = startIn(binFolder() + "\\kesvora.exe", "", p.folder(), &pid);
    ASSERT_NE(second, nullptr);
    if (WaitForSingleObject(second, 15000) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "the second instance did not end";
        TerminateProcess(second, 1);
    }
    CloseHandle(second);
    EXPECT_TRUE(waitFor([&] { return IsWindowVisible(p.mainWindow()) != FALSE; }, 5000))
        << "the first instance's window was not brought back";
    EXPECT_TRUE(p.running());
    p.closeWithEscape();
    EXPECT_TRUE(p.waitForExit());
}

TEST(Instances, StartFromTheRunValueUsesTheProgramFoldersSettings)
{
    KesvoraProcess p;  // the working directory the system starts it in
    oneDrive(p);
    ASSERT_TRUE(p.sim.write(p.path("ksim.ini")));
    SetEnvironmentVariableA("KSIM_CONFIG", p.path("ksim.ini").c_str());
    SetEnvironmentVariableA("KSIM_LOG", p.path("ksim.log").c_str());
    const std::string elsewhere = "[0:1]\r\nspeedNames=4,2\r\nkbSpeeds=706,353\r\n";
    p.writeSettings(elsewhere);

    TempFolder program("kesvora-program");
    for (const char* file : {"kesvora.exe", "wnaspi32.dll"})
        ASSERT_TRUE(CopyFileA((binFolder() + "\\" + file).c_str(), program.file(file).c_str(), FALSE)) << file;
    const char kOwn[] = "[System]\r\nRunMin=1\r\n[0:1]\r\nspeedNames=8\r\nkbSpeeds=1411\r\n";
    ASSERT_TRUE(writeWholeFile(program.file("cdrom.ini"), kOwn));

    DWORD pid = 0;
    HANDLE process = startIn(program.file("kesvora.exe"), " /autostart", p.folder(), &pid);
    ASSERT_NE(process, nullptr);
    HWND main = nullptr;
    waitFor([&] {
        for (HWND h : e2e::topLevelWindows(pid))
            if (e2e::windowText(h) == e2e::kMainTitle)
                main = h;
        return main != nullptr;
    }, 20000);
    if (main == nullptr)
        TerminateProcess(process, 1);
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(waitFor([&] { return !IsWindowVisible(main); }, 5000)) << "RunMin of the program's folder";
    EXPECT_EQ(SendMessageA(GetDlgItem(main, 1005), CB_GETCOUNT, 0, 0), 1) << "the one speed of the program's folder";

    PostMessageA(main, WM_COMMAND, IDCANCEL, 0);
    if (WaitForSingleObject(process, 15000) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "the program did not end";
        TerminateProcess(process, 1);
    }
    CloseHandle(process);
    EXPECT_EQ(p.readFile("cdrom.ini"), elsewhere);
}

}  // namespace
