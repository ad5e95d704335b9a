// The run's way to the trace log and to the numbered messages of the message list.
//
// Both services live in the application frame, which sits above the run in the module order;
// the frame plugs them in at start-up. Until then trace lines go nowhere and numbered messages
// are not shown.
#pragma once

#include <string>

namespace kelvara {

// Receives one formatted trace line (it carries its own line break).
using TraceSink = void (*)(const std::string& line);
// Shows numbered message `number` of the message list, formatted with `argument` (may be
// nullptr); returns the answer (3 = OK) as the frame's message display does.
using MessageSink = int (*)(int number, const char* argument);

// The text of numbered message `number` with `argument` (may be nullptr) in place of its %s;
// "" when there is none.
using MessageTextSink = std::string (*)(int number, const char* argument);

// Whether trace lines are wanted at all: null means whenever a sink is set.
using TraceOnQuery = bool (*)();

void setRunTraceSink(TraceSink sink, TraceOnQuery on = nullptr);
void setRunMessageTextSink(MessageTextSink sink);
void setRunMessageSink(MessageSink sink);

// True when trace lines reach the log: the run leaves hot-path trace hooks unset otherwise.
bool runTraceOn();

// Formats and hands one trace line to the sink (nothing without one).
void runTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Shows a numbered message through the sink; 3 without one.
int runMessage(int number, const char* argument = nullptr);

// The text of a numbered message through the sink; "" without one.
std::string runMessageText(int number, const char* argument = nullptr);

}  // namespace kelvara
