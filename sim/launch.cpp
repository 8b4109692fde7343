// ksim_launch.exe: starts a program in front of the simulated volumes, as
// the demo needs it: `ksim_launch.exe <program> [arguments]`. The program
// is made suspended in the current folder, ksim_volumes.dll (beside this
// launcher) is loaded into it by a thread of its own, and only then does
// the program run its first instruction. Waits for the program's end and
// returns its exit code; 1 when it could not be started as asked.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

const DWORD kLoadTimeoutMs = 10000;

// The path of a file beside this launcher.
std::string besideLauncher(const char* pszName)
{
    char self[MAX_PATH] = "";
    const DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    const std::string path(self, n < sizeof self ? n : 0);
    return path.substr(0, path.find_last_of("\\/") + 1) + pszName;
}

// Loads the library at path into hProcess by a thread there that runs
// LoadLibraryA (at the same address in every process of one architecture).
bool loadInto(HANDLE hProcess, const std::string& path)
{
    void* pName = VirtualAllocEx(hProcess, nullptr, path.size() + 1, MEM_COMMIT, PAGE_READWRITE);
    if (pName == nullptr || !WriteProcessMemory(hProcess, pName, path.c_str(), path.size() + 1, nullptr))
        return false;
    void* pLoad = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "LoadLibraryA"));
    HANDLE hThread = CreateRemoteThread(hProcess, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(pLoad), pName, 0,
                                        nullptr);
    if (hThread == nullptr)
        return false;
    DWORD nModule = 0;
    const bool bLoaded = WaitForSingleObject(hThread, kLoadTimeoutMs) == WAIT_OBJECT_0 &&
                         GetExitCodeThread(hThread, &nModule) && nModule != 0;
    CloseHandle(hThread);
    return bLoaded;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: ksim_launch <program> [arguments]\n");
        return 1;
    }
    // The program's command line: the launcher's arguments, each quoted.
    std::string cmdLine;
    for (int i = 1; i < argc; ++i)
        cmdLine += std::string(i > 1 ? " " : "") + "\"" + argv[i] + "\"";

    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &cmdLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &si, &pi)) {
        std::fprintf(stderr, "ksim_launch: %s does not start (error %lu)\n", argv[1], GetLastError());
        return 1;
    }
    if (!loadInto(pi.hProcess, besideLauncher("ksim_volumes.dll"))) {
        std::fprintf(stderr, "ksim_launch: ksim_volumes.dll could not be loaded into %s\n", argv[1]);
        TerminateProcess(pi.hProcess, 1);
        return 1;
    }
    ResumeThread(pi.hThread);
    // The launcher stands for the program to whoever started it: it ends
    // when the program ends, however long the user keeps it open.
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD nExit = 1;
    GetExitCodeProcess(pi.hProcess, &nExit);
    return static_cast<int>(nExit);
}
