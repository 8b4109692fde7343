#include "load_probe.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "drive/transport.h"
#include "trace_capture.h"

namespace {

const char kProbeVariable[] = "KESVORA_LOAD_PROBE";

std::string programPath()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    return path;
}

// The probe itself: load, free, report, and end the process before any test
// of the program runs.
void probe(const char* resultPath)
{
    std::vector<SeenMessageBox> boxes;
    std::vector<std::string> traces;
    bool loaded = false;
    bool freed = false;
    {
        TraceCapture trace;
        MessageBoxWatch watch;
        loaded = loadASPI();
        freed = freeASPI();
        boxes = watch.seen();
        traces = trace.lines();
    }
    FILE* f = std::fopen(resultPath, "wb");
    if (f == nullptr)
        ExitProcess(2);
    std::fprintf(f, "loaded\t%d\nfreed\t%d\n", loaded, freed);
    for (const SeenMessageBox& b : boxes) {
        std::fprintf(f, "box\t%s\t%s\t%d\t%d\t", b.caption.c_str(), b.text.c_str(), b.stopIcon, b.anyIcon);
        for (int id : b.buttons)
            std::fprintf(f, "%d,", id);
        std::fprintf(f, "\n");
    }
    for (const std::string& t : traces)
        std::fprintf(f, "trace\t%s\n", t.c_str());
    std::fclose(f);
    ExitProcess(0);
}

struct ProbeStarter {
    ProbeStarter()
    {
        char resultPath[MAX_PATH] = {};
        if (GetEnvironmentVariableA(kProbeVariable, resultPath, sizeof resultPath) > 0)
            probe(resultPath);
    }
} g_probeStarter;

std::vector<std::string> split(const std::string& line, char sep)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t at = line.find(sep, start);
        parts.push_back(line.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos)
            return parts;
        start = at + 1;
    }
}

LoadProbeResult readResult(const std::string& path)
{
    LoadProbeResult r;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> f = split(line, '\t');
        if (f[0] == "loaded" && f.size() == 2) {
            r.ran = true;
            r.loaded = f[1] == "1";
        } else if (f[0] == "freed" && f.size() == 2) {
            r.freed = f[1] == "1";
        } else if (f[0] == "box" && f.size() == 6) {
            SeenMessageBox b;
            b.caption = f[1];
            b.text = f[2];
            b.stopIcon = f[3] == "1";
            b.anyIcon = f[4] == "1";
            for (const std::string& id : split(f[5], ','))
                if (!id.empty())
                    b.buttons.push_back(std::atoi(id.c_str()));
            r.boxes.push_back(b);
        } else if (f[0] == "trace" && f.size() >= 2) {
            r.traces.push_back(line.substr(6));
        }
    }
    return r;
}

}  // namespace

std::string programFolder()
{
    std::string path = programPath();
    return path.substr(0, path.find_last_of('\\') + 1);
}

LoadProbeResult runLoadProbe(const std::string& library)
{
    static int s_count = 0;
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    char folderName[MAX_PATH];
    std::snprintf(folderName, sizeof folderName, "%skesvora-load-%lu-%d\\", temp, GetCurrentProcessId(), ++s_count);
    std::string folder = folderName;
    std::string program = folder + "probe.exe";
    std::string dll = folder + "wnaspi32.dll";
    std::string result = folder + "result.txt";

    LoadProbeResult r;
    CreateDirectoryA(folder.c_str(), nullptr);
    if (CopyFileA(programPath().c_str(), program.c_str(), FALSE) &&
        (library.empty() || CopyFileA(library.c_str(), dll.c_str(), FALSE))) {
        SetEnvironmentVariableA(kProbeVariable, result.c_str());
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        std::string commandLine = "\"" + program + "\"";
        if (CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                           &si, &pi)) {
            if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_TIMEOUT)
                TerminateProcess(pi.hProcess, 3);
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
            r = readResult(result);
        }
        SetEnvironmentVariableA(kProbeVariable, nullptr);
    }
    DeleteFileA(result.c_str());
    DeleteFileA(dll.c_str());
    DeleteFileA(program.c_str());
    RemoveDirectoryA(folder.c_str());
    return r;
}
