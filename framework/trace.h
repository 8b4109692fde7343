// The program's diagnostic trace. Lines are formatted only when a sink is
// installed; debug builds install one that hands them to the debugger, release
// builds none, so tracing there costs nothing.
#pragma once

typedef void (*TraceSink)(const char* line);

// Installs a sink (null: discard); returns the previous one.
TraceSink SetTraceSink(TraceSink sink);

void Trace(const char* pszFormat, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
