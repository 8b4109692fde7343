// Redirects the running program's own imports of some functions of one
// system DLL to functions of a test's (the program is not changed: only
// its import table in memory).
#pragma once

#include <windows.h>

#include <cstddef>

struct ImportHook {
    const char* name;  // the imported function
    void* hook;        // called instead
    void** real;       // receives the function the program imported
};

// Patches the main module's imports from dll that have a hook; the hooks of
// functions it does not import are left alone (their real stays null).
void redirectImports(const char* dll, const ImportHook* hooks, size_t count);
