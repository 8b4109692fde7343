#include "ui/drive_door.h"

DoorSystemCalls g_doorSystemCalls = {::mciSendCommandA};

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
