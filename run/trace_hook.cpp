#include "run/trace_hook.h"

#include <cstdarg>
#include <cstdio>

namespace kelvara {

namespace {
TraceSink g_trace = nullptr;
TraceOnQuery g_traceOn = nullptr;
MessageSink g_message = nullptr;
MessageTextSink g_messageText = nullptr;
}  // namespace

void setRunTraceSink(TraceSink sink, TraceOnQuery on) {
  g_trace = sink;
  g_traceOn = on;
}

bool runTraceOn() {
  return g_trace != nullptr && (g_traceOn == nullptr || g_traceOn());
}

void setRunMessageTextSink(MessageTextSink sink) {
  g_messageText = sink;
}

void setRunMessageSink(MessageSink sink) {
  g_message = sink;
}

void runTrace(const char* format, ...) {
  if (g_trace == nullptr) return;
  char buffer[2048];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  g_trace(buffer);
}

int runMessage(int number, const char* argument) {
  return g_message ? g_message(number, argument) : 3;
}

}  // namespace kelvara

namespace kelvara {

std::string runMessageText(int number, const char* argument) {
  return g_messageText ? g_messageText(number, argument) : std::string();
}

}  // namespace kelvara
