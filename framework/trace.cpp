#include "trace.h"

#include <cstdarg>

#include "cstring.h"

#if defined(_WIN32) && !defined(NDEBUG)
#include <windows.h>
static void debuggerSink(const char* line)
{
    OutputDebugStringA(line);
}
static TraceSink g_sink = debuggerSink;
#else
static TraceSink g_sink = nullptr;
#endif

TraceSink SetTraceSink(TraceSink sink)
{
    TraceSink old = g_sink;
    g_sink = sink;
    return old;
}

void Trace(const char* pszFormat, ...)
{
    if (g_sink == nullptr)
        return;
    CString line;
    va_list args;
    va_start(args, pszFormat);
    line.FormatV(pszFormat, args);
    va_end(args);
    g_sink(line);
}
