// The comparison trace log: progress lines of the run, switched on by the configuration
// variable TRV_COMPARE_LOG (1: the host's console, 2: the file diff_log.txt in the folder of
// settings, anything else or undefined: off).
//
// The level is read once, on the first trace call, and kept until resetTrace. Each line is
// prefixed with the local date and time as "6.12.2026 22:05: ". The log file is opened for
// appending for every line and closed again; when it cannot be opened the line is lost.
#pragma once

#include <ctime>
#include <functional>
#include <string>

namespace kelvara {

inline constexpr const char* TRACE_VARIABLE = "TRV_COMPARE_LOG";
inline constexpr int TRACE_OFF = 0;
inline constexpr int TRACE_CONSOLE = 1;
inline constexpr int TRACE_FILE = 2;

// Formats and writes one trace line when tracing is on (the text carries its own line break).
void trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Writes an already formatted text as one trace line.
void traceText(const std::string& text);

// The trace level, read from TRV_COMPARE_LOG on the first call.
int traceLevel();

// Forgets the level, so that the next trace call reads the variable again (a new load of the
// application; tests).
void resetTrace();

// The date-and-time prefix of a trace line: "%d.%d.%d %d:%02d" (day, month, year, hour,
// minute), without the colon and blank that follow it.
std::string traceTimestamp(const std::tm& local);

// Where level 1 lines go (the host's console); standard error when unset.
void setTraceConsole(std::function<void(const std::string& line)> console);

// Overrides the log file name (tests); "" goes back to diff_log.txt in the folder of settings.
void setTraceFileName(const std::string& path);

}  // namespace kelvara
