// Where the program's libraries come from: the system folder only, so that a
// library with a system library's name planted beside the program or in its
// working directory is never loaded into it (the program may run elevated,
// and its Run value starts it at every user's logon).
#pragma once

#include <windows.h>

// Makes libraries loaded by name come from the system folder only where the
// system can (SetDefaultDllDirectories), and else at least takes the
// working directory out of their search (SetDllDirectoryW with ""). Called
// first thing at start. A library loaded by its full path (the ASPI layer
// of the program's folder) is loaded as before.
void RestrictLibrarySearch();

// Loads a library of the system folder by its full path, with its own
// libraries taken from its folder first; null when it cannot.
HMODULE LoadSystemLibrary(const wchar_t* pszName);
