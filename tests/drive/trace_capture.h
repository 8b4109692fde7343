// Collects the trace lines written while it exists.
#pragma once

#include <string>
#include <vector>

#include "framework/trace.h"

class TraceCapture {
public:
    TraceCapture()
    {
        lines().clear();
        m_previous = SetTraceSink(sink);
    }
    ~TraceCapture() { SetTraceSink(m_previous); }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    static std::vector<std::string>& lines()
    {
        static std::vector<std::string> s_lines;
        return s_lines;
    }

private:
    static void sink(const char* line) { lines().push_back(line); }
    TraceSink m_previous;
};
