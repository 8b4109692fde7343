#include "drive/drive_address.h"

CString addressText(const DriveAddress& at)
{
    CString text;
    if (at.path == 0 && at.lun == 0)
        text.Format("%d:%d", at.adapter, at.target);
    else
        text.Format("%d:%d:%d:%d", at.adapter, at.path, at.target, at.lun);
    return text;
}
