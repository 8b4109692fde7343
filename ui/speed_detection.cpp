// Speed detection: which read speeds a drive really accepts, found by asking
// it for speeds around every X factor and reading back what it selected.
// Runs on the user-interface thread and lets one message through per value
// tried, so the windows stay live (a second detection may even start inside
// this one: each works on lists of its own until it puts them in place).
#include <cstdint>

#include "drive/cd_drive.h"
#include "drive/conversions.h"
#include "ui/options_dialog.h"

void COptionsDlg::DetectSpeeds(CdDrive& drive, unsigned halfWidth)
{
    CStringList* pKbSpeeds = new CStringList(10);
    CStringList* pNames = new CStringList(10);

    int nMax = drive.getMaxSpeed();
    while (nMax == 0) {
        int nAnswer = ::MessageBoxA(m_hWnd, "程序在检测驱动器最大速度时遇到错误. 这对检测可能速度是至关重要的.",
                                    "致命错误!", MB_RETRYCANCEL);
        // A box that could not be shown counts as Cancel.
        if (nAnswer != IDRETRY) {
            nMax = 0;
            break;
        }
        nMax = drive.getMaxSpeed();
    }

    m_progress.SetRange(0, static_cast<short>(nMax & 0xFFFF));
    Trace("max percent: %d ", nMax);

    const unsigned nMaxKbps = static_cast<unsigned>(nMax);
    const int nTopX = kbpsToX(nMaxKbps);
    // 2 * halfWidth + 1 values per factor, counted wide so that no
    // half-width can make the count wrap.
    const uint64_t nWindow = 2 * static_cast<uint64_t>(halfWidth) + 1;
    for (int x = nTopX; x >= 1; --x) {
        const unsigned nCentre = static_cast<unsigned>(x) * KBPS_PER_X;
        for (uint64_t k = 0; k < nWindow; ++k) {
            const unsigned i = nCentre + halfWidth - static_cast<unsigned>(k);
            PumpMessage();

            const int nPos = static_cast<int>(halfWidth + nMaxKbps - i);
            m_progress.SetPos(nPos);
            Trace("percent: %d ", nPos);

            if (i < static_cast<unsigned>(KBPS_PER_X))
                break;
            drive.setSpeed(static_cast<int>(i));
            const int nSelected = drive.getSpeed();
            Trace(" %d --> %d ", static_cast<int>(i), nSelected);

            const int nSelectedX = kbpsToX(static_cast<uint32_t>(nSelected));
            CString strName;
            strName.Format("%d", nSelectedX);
            if (nSelected != 0 && pNames->Find(strName) == nullptr) {
                CString strKbps;
                strKbps.Format("%d", nSelected);
                pNames->AddTail(strName);
                pKbSpeeds->AddTail(strKbps);
                Trace("Found speed %d (%d)x ", nSelected, nSelectedX);
                break;
            }
        }
    }

    drive.replaceKbSpeeds(pKbSpeeds);
    drive.replaceSpeedNames(pNames);
}

void COptionsDlg::PumpMessage()
{
    CWinApp* pApp = AfxGetApp();
    MSG msg;
    if (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // The request to quit is for the main loop further out.
            ::PostQuitMessage(-1);
        } else if (pApp == nullptr || !pApp->PreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    if (pApp != nullptr) {
        pApp->OnIdle(0);
        pApp->OnIdle(1);
    }
}
