// Sizes of the first-generation layouts of the system records whose size
// field tells the system which layout the caller passes. Every version of
// the system accepts these, so the program passes them rather than the
// size of the newest layout its headers declare. Each is derived from the
// headers, so that every architecture passes its own true size: a size
// written as a number is right on one architecture at most.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstddef>

// MENUITEMINFO before hbmpItem was added.
constexpr UINT kMenuItemInfoV1Size = offsetof(MENUITEMINFOA, hbmpItem);

// NONCLIENTMETRICS before iPaddedBorderWidth was added.
#if WINVER >= 0x0600
constexpr UINT kNonClientMetricsV1Size = offsetof(NONCLIENTMETRICSA, iPaddedBorderWidth);
#else
constexpr UINT kNonClientMetricsV1Size = sizeof(NONCLIENTMETRICSA);
#endif

// NOTIFYICONDATA with the 64-byte tip and nothing after it.
constexpr DWORD kNotifyIconDataV1Size = NOTIFYICONDATAA_V1_SIZE;

// The layouts as the system documents them for each architecture: a
// header or a build setting that changes one of these fails here.
#ifdef _WIN64
static_assert(kMenuItemInfoV1Size == 72 && kNotifyIconDataV1Size == 104, "x86_64 first layouts");
#else
static_assert(kMenuItemInfoV1Size == 44 && kNotifyIconDataV1Size == 88, "i686 first layouts");
#endif
static_assert(kNonClientMetricsV1Size == 340, "NONCLIENTMETRICSA without the padded border");
