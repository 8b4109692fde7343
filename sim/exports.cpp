// The two entry points of wnaspi32.dll, exported undecorated (cdecl) through
// wnaspi32.def, and the LOAD / UNLOAD lines of the log.
#include <windows.h>

#include "drive/aspi.h"
#include "sim/log.h"
#include "sim/simulator.h"

extern "C" {

DWORD __cdecl GetASPI32SupportInfo(void)
{
    return ksim::simulator().supportInfo();
}

DWORD __cdecl SendASPI32Command(void* srb)
{
    return ksim::simulator().sendCommand(srb);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    // The log lock is not taken here: at process exit a thread killed
    // while holding it would never release it.
    if (reason == DLL_PROCESS_ATTACH) {
        // [interface] loads=0: the library cannot be loaded, as a broken
        // ASPI installation.
        if (GetPrivateProfileIntA("interface", "loads", 1, ksim::setupPath().c_str()) == 0) {
            ksim::appendLogUnlocked(ksim::logPath(), "LOAD refused");
            return FALSE;
        }
        DisableThreadLibraryCalls(instance);
        ksim::appendLogUnlocked(ksim::logPath(), "LOAD");
    } else if (reason == DLL_PROCESS_DETACH) {
        ksim::appendLogUnlocked(ksim::logPath(), "UNLOAD");
    }
    return TRUE;
}

}  // extern "C"
