#include "frame/trace.h"

#include <cstdarg>
#include <cstdio>
#include <optional>
#include <vector>

#include "host/config.h"
#include "host/files.h"
#include "host/types.h"
#include "lists/paths.h"

namespace kelvara {

namespace {

struct TraceState {
  std::optional<int> level;
  std::function<void(const std::string&)> console;
  std::string fileOverride;
};

TraceState& state() {
  static TraceState s;
  return s;
}

// The variable's value read as a decimal number, as atoi does.
int decimalValue(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long n = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && n < 1000000; ++i) {
    n = n * 10 + (text[i] - '0');
  }
  return static_cast<int>(negative ? -n : n);
}

}  // namespace

int traceLevel() {
  TraceState& s = state();
  if (!s.level) {
    std::string value;
    s.level =
        mdlSystem_getCfgVar(&value, TRACE_VARIABLE) == SUCCESS ? decimalValue(value) : TRACE_OFF;
  }
  return *s.level;
}

void resetTrace() {
  state().level.reset();
}

std::string traceTimestamp(const std::tm& local) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%d.%d.%d %d:%02d", local.tm_mday, local.tm_mon + 1,
                local.tm_year + 1900, local.tm_hour, local.tm_min);
  return buf;
}

void setTraceConsole(std::function<void(const std::string&)> console) {
  state().console = std::move(console);
}

void setTraceFileName(const std::string& path) {
  state().fileOverride = path;
}

void traceText(const std::string& text) {
  const int level = traceLevel();
  if (level != TRACE_CONSOLE && level != TRACE_FILE) return;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const std::string line = traceTimestamp(local) + ": " + text;
  TraceState& s = state();
  if (level == TRACE_CONSOLE) {
    if (s.console) {
      s.console(line);
    } else {
      std::fputs(line.c_str(), stderr);
    }
    return;
  }
  const std::string path = s.fileOverride.empty() ? traceLogFileName() : s.fileOverride;
  if (path.empty()) return;
  // One write per line: runs that trace into one log at the same time never mix their lines.
  // A log that cannot be written loses the line.
  (void)appendToFile(path, line);
}

void trace(const char* format, ...) {
  if (traceLevel() != TRACE_CONSOLE && traceLevel() != TRACE_FILE) return;
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text;
  if (n > 0) {
    std::vector<char> buf(static_cast<size_t>(n) + 1);
    std::vsnprintf(buf.data(), buf.size(), format, args);
    text.assign(buf.data(), static_cast<size_t>(n));
  }
  va_end(args);
  traceText(text);
}

}  // namespace kelvara
