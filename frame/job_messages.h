// What the worker processes of a run (--jobs) and the process that leads it tell each other.
//
// Every message travels over a pipe as a 4-byte length and a payload of fields: numbers as
// 8 bytes, texts as a 4-byte length and their bytes, in the host's byte order (both ends are
// the same program on the same machine). A worker asks for work (Ready) and is given the
// indices of the entries of one design file, or none to end; it answers each entry with what
// the entry did (EntryResult) and, when its run is over, with what it wrote after its last
// entry (Tail).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "report/duplicates_list.h"

namespace kelvara {

enum class JobMessage : int64_t { Ready = 1, Entry = 2, Tail = 3, Work = 4 };

// What one entry did in a worker, for the leading process to take into the run in entry order.
struct EntryResult {
  int64_t index = 0;
  std::string entry;  // the entry text after the run ("file,model")
  int64_t duplicates = 0, readOnlyFiles = 0, processed = 0, failed = 0, readOnlySkipped = 0,
          notDeleted = 0;
  bool runFailed = false, saveFailed = false;
  std::vector<std::string> textNames, designNames, lostFiles, backups;
  std::string reportName;    // the run's text report, when it is open after the entry
  std::string header;        // its header, when this entry began it
  std::string text;          // what the entry added to it
  std::string out, err;      // what the entry printed on standard output and error
  DuplicateRecords records;  // the entry's duplicates list records
};

// A message being built or read.
struct JobWire {
  std::string bytes;
  size_t at = 0;
  bool ok = true;  // false once a read ran past the end

  void number(int64_t value);
  void text(std::string_view value);
  void texts(const std::vector<std::string>& values);
  int64_t number();
  std::string text();
  std::vector<std::string> texts();
};

void writeEntryResult(JobWire& wire, const EntryResult& result);
// False when the message is cut short.
bool readEntryResult(JobWire& wire, EntryResult* result);

// Sends one message (length and payload), retrying after signals. False when the pipe broke.
bool sendJobMessage(int fd, const std::string& payload);
// Reads one whole message, blocking. False at the end of the pipe or on an error.
bool receiveJobMessage(int fd, std::string* payload);
// Takes the first whole message out of `inbox` (bytes read so far). False when none is whole.
bool takeJobMessage(std::string& inbox, std::string* payload);

}  // namespace kelvara
