// The program's icons at the size a place asks for. Each icon resource
// holds its picture at a few sizes (res/icons/make_icons.py draws them);
// an image is never stretched up from a smaller one, which blurs it.
#pragma once

#include <windows.h>

// The size of the image to show in a square place of nPlace pixels that
// the system draws at the image's size: the largest size the icons hold
// that fits, or the smallest one when none does.
int IconSizeForPlace(int nPlace);

// An icon for a square place that the program draws itself: the image to
// load and the size to draw it at.
struct IconFit {
    int nImage;
    int nSize;
};
// The largest image that fits, drawn at its own size when that fills at
// least three quarters of the place. A place far larger than every image
// (a display scale above 250%) gets the largest size that a whole multiple
// of an image reaches: each pixel repeated, never blurred.
IconFit FitIconToPlace(int nPlace);
// A copy of icon resource nId at nSize pixels, owned by the caller; null
// when it is missing. The system picks the image nearest the size.
HICON LoadIconAtSize(UINT nId, int nSize);
// Gives hWnd the large and small images of icon resource nId for nDpi (the
// task switcher's and the title bar's sizes), and destroys the ones an
// earlier call gave it.
void ShowWindowIcons(HWND hWnd, UINT nId, int nDpi);
// Takes the icons of ShowWindowIcons from hWnd and destroys them.
void FreeWindowIcons(HWND hWnd);
