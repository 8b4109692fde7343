#include "ui/settings_notice.h"

#include "framework/cstring.h"
#include "settings/settings_store.h"

void ReportSettingsWriteFailure(HWND hOwner, SettingsStore& settings)
{
    if (!settings.claimWriteFailureNotice())
        return;
    // The name is relative to the working directory, which the user may not
    // know: the message names the file in full.
    const char* pszName = settings.getFileName() != nullptr ? settings.getFileName() : "";
    char szFull[MAX_PATH] = "";
    DWORD nLength = ::GetFullPathNameA(pszName, MAX_PATH, szFull, nullptr);
    CString strText;
    strText.Format("无法写入设置文件,所做的设置没有保存:\n%s", nLength > 0 && nLength < MAX_PATH ? szFull : pszName);
    ::MessageBoxA(hOwner, strText, "提示", MB_ICONEXCLAMATION | MB_OK);
}
