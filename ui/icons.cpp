#include "ui/icons.h"

#include "framework/dpi.h"

namespace {

// The sizes every icon resource holds, smallest first: the list of
// res/icons/make_icons.py.
const int kIconSizes[] = {16, 20, 24, 32, 40};

// Sets one of hWnd's icons and destroys the one it replaces.
void ReplaceWindowIcon(HWND hWnd, WPARAM nKind, HICON hIcon)
{
    HICON hOld = reinterpret_cast<HICON>(::SendMessageA(hWnd, WM_SETICON, nKind, reinterpret_cast<LPARAM>(hIcon)));
    if (hOld != nullptr && hOld != hIcon)
        ::DestroyIcon(hOld);
}

}  // namespace

int IconSizeForPlace(int nPlace)
{
    int nSize = kIconSizes[0];
    for (int n : kIconSizes) {
        if (n <= nPlace)
            nSize = n;
    }
    return nSize;
}

IconFit FitIconToPlace(int nPlace)
{
    const int nNative = IconSizeForPlace(nPlace);
    IconFit fit = {nNative, nNative};
    for (int k = 2; 4 * fit.nSize < 3 * nPlace && kIconSizes[0] * k <= nPlace; ++k) {
        const int n = IconSizeForPlace(nPlace / k);
        if (n * k > fit.nSize)
            fit = {n, n * k};
    }
    return fit;
}

HICON LoadIconAtSize(UINT nId, int nSize)
{
    return static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(nId), IMAGE_ICON, nSize,
                                           nSize, 0));
}

void ShowWindowIcons(HWND hWnd, UINT nId, int nDpi)
{
    ReplaceWindowIcon(hWnd, ICON_BIG, LoadIconAtSize(nId, SystemMetricForDpi(SM_CXICON, nDpi)));
    ReplaceWindowIcon(hWnd, ICON_SMALL, LoadIconAtSize(nId, SystemMetricForDpi(SM_CXSMICON, nDpi)));
}

void FreeWindowIcons(HWND hWnd)
{
    ReplaceWindowIcon(hWnd, ICON_BIG, nullptr);
    ReplaceWindowIcon(hWnd, ICON_SMALL, nullptr);
}
