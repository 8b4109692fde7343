#include "ui/drive_door.h"

#include "ui/system_library.h"

namespace {

// mciSendCommandA of the system folder's winmm.dll, looked up at the first
// door command: as a static import, a winmm.dll beside the program would be
// loaded in its place.
MCIERROR WINAPI SendThroughSystemWinmm(MCIDEVICEID device, UINT message, DWORD_PTR flags, DWORD_PTR param)
{
    typedef MCIERROR(WINAPI * SendCommand)(MCIDEVICEID, UINT, DWORD_PTR, DWORD_PTR);
    static SendCommand s_send = nullptr;
    if (s_send == nullptr) {
        if (HMODULE hWinmm = LoadSystemLibrary(L"winmm.dll"))
            s_send = reinterpret_cast<SendCommand>(reinterpret_cast<void*>(::GetProcAddress(hWinmm, "mciSendCommandA")));
    }
    return s_send != nullptr ? s_send(device, message, flags, param) : MCIERR_DEVICE_NOT_INSTALLED;
}

}  // namespace

DoorSystemCalls g_doorSystemCalls = {SendThroughSystemWinmm};

DWORD SetDriveDoor(bool bOpen, char letter)
{
    if (letter < 'A' || letter > 'Z')
        return MCIERR_INVALID_DEVICE_NAME;

    char szElement[] = "?:";
    szElement[0] = letter;

    MCI_OPEN_PARMSA open = {};
    open.lpstrDeviceType = reinterpret_cast<LPCSTR>(static_cast<DWORD_PTR>(MCI_DEVTYPE_CD_AUDIO));
    open.lpstrElementName = szElement;
    MCIERROR err = g_doorSystemCalls.sendCommand(
        0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_TYPE_ID | MCI_OPEN_ELEMENT | MCI_OPEN_SHAREABLE,
        reinterpret_cast<DWORD_PTR>(&open));
    if (err != 0)
        return err;

    g_doorSystemCalls.sendCommand(open.wDeviceID, MCI_SET, bOpen ? MCI_SET_DOOR_OPEN : MCI_SET_DOOR_CLOSED, 0);
    return g_doorSystemCalls.sendCommand(open.wDeviceID, MCI_CLOSE, MCI_WAIT, 0);
}
