// A wnaspi32.dll that lacks one of the two entry points, built once per
// missing entry point, so that loading can be tried against it.
#include <windows.h>

#if !defined(WITHOUT_SUPPORT_INFO)
extern "C" __declspec(dllexport) DWORD __cdecl GetASPI32SupportInfo(void) { return 0x0101; }
#endif

#if !defined(WITHOUT_SEND_COMMAND)
extern "C" __declspec(dllexport) DWORD __cdecl SendASPI32Command(void*) { return 0x80; }
#endif
