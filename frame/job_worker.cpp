// A worker process of a run with jobs: the usual driver over the entries it is handed.
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <deque>
#include <set>

#include "frame/job_messages.h"
#include "frame/jobs.h"
#include "host/design.h"
#include "host/timers.h"
#include "host/ui.h"
#include "lists/file_lists.h"
#include "run/driver.h"

namespace kelvara {

namespace {

// Names the design file a worker aborts at, after processing it and before answering: lets
// tests see a worker die with work in hand.
constexpr const char* kAbortVariable = "KELVARA_TEST_WORKER_ABORT";

// What the run record and the captured output held when the current entry began.
struct Mark {
  int duplicates = 0, readOnlyFiles = 0, processed = 0, failed = 0, readOnlySkipped = 0,
      notDeleted = 0;
  long textNames = 0, designNames = 0;
  size_t lostFiles = 0;
  size_t records = 0;
  std::set<std::string> backups;
  bool reportOpen = false;
  uint64_t reportBytes = 0;
  off_t out = 0, err = 0;
};

struct Worker {
  WorkerLink link;
  std::FILE* out = nullptr;
  std::FILE* err = nullptr;
  int outFd = -1, errFd = -1;  // the files standard output and error go to
  std::deque<int> queue;       // entries of the current group still to process
  Mark mark;
};

Worker& worker() {
  static Worker w;
  return w;
}

off_t sizeOf(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 ? st.st_size : 0;
}

std::string bytesOf(int fd, uint64_t from, uint64_t to) {
  std::string text(to > from ? to - from : 0, '\0');
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n =
        ::pread(fd, text.data() + done, text.size() - done, static_cast<off_t>(from + done));
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  text.resize(done);
  return text;
}

// The run's text report when one spans the run and is open: its stream flushed.
bool runReportOpen(DuplicateRun& run) {
  if (run.textReport.stream == nullptr || !run.textReport.file || run.textOptions.perEntry)
    return false;
  return std::fflush(run.textReport.stream) == 0;
}

Mark takeMark(DuplicateRun& run) {
  Worker& w = worker();
  Mark m;
  m.duplicates = run.totalDuplicates;
  m.notDeleted = run.totalNotDeleted;
  m.readOnlyFiles = run.readOnlyFiles;
  m.processed = run.processedEntries;
  m.failed = run.failedEntries;
  m.readOnlySkipped = run.readOnlySkipped;
  m.textNames = mdlStringList_size(run.textReportList.get());
  m.designNames = mdlStringList_size(run.designReportList.get());
  m.lostFiles = run.lostFiles.size();
  m.records = run.listRecords.records.size();
  m.backups = run.backedUp;
  m.reportOpen = runReportOpen(run);
  m.reportBytes = m.reportOpen ? run.textReport.file->size : 0;
  std::fflush(w.out);
  std::fflush(w.err);
  m.out = sizeOf(w.outFd);
  m.err = sizeOf(w.errFd);
  return m;
}

std::vector<std::string> namesSince(StringList* list, long from) {
  std::vector<std::string> names;
  for (long i = from; i < mdlStringList_size(list); ++i) names.push_back(listMember(list, i));
  return names;
}

// What the entry did since the mark.
EntryResult resultOf(DuplicateRun& run, int index) {
  Worker& w = worker();
  const Mark& m = w.mark;
  const Mark now = takeMark(run);
  EntryResult r;
  r.index = index;
  r.entry = listMember(run.entryList.get(), index);
  r.duplicates = now.duplicates - m.duplicates;
  r.notDeleted = now.notDeleted - m.notDeleted;
  r.readOnlyFiles = now.readOnlyFiles - m.readOnlyFiles;
  r.processed = now.processed - m.processed;
  r.failed = now.failed - m.failed;
  r.readOnlySkipped = now.readOnlySkipped - m.readOnlySkipped;
  r.runFailed = run.runFailed;
  r.saveFailed = run.saveFailed;
  r.textNames = namesSince(run.textReportList.get(), m.textNames);
  r.designNames = namesSince(run.designReportList.get(), m.designNames);
  r.lostFiles.assign(run.lostFiles.begin() + static_cast<long>(m.lostFiles), run.lostFiles.end());
  for (size_t i = m.records; i < run.listRecords.records.size(); ++i) {
    appendRecordFrom(r.records, run.listRecords, run.listRecords.records[i]);
  }
  for (const std::string& b : now.backups)
    if (!m.backups.count(b)) r.backups.push_back(b);
  if (now.reportOpen) {
    const int fd = run.textReport.file->fd;
    r.reportName = run.textReport.name;
    uint64_t from = m.reportBytes;
    if (!m.reportOpen) {
      r.header = bytesOf(fd, 0, run.textReport.headerBytes);
      from = run.textReport.headerBytes;
      // Only the leader's report takes the name; this copy needs no name on disk.
      (void)::unlink(run.textReport.file->temp.c_str());
    }
    r.text = bytesOf(fd, from, now.reportBytes);
  }
  r.out = bytesOf(w.outFd, static_cast<uint64_t>(m.out), static_cast<uint64_t>(now.out));
  r.err = bytesOf(w.errFd, static_cast<uint64_t>(m.err), static_cast<uint64_t>(now.err));
  return r;
}

[[noreturn]] void leaderGone() {
  std::_Exit(EXIT_FAILURE);
}

// Writes the drawings of the group just finished, so that an answered entry is on disk.
void saveDrawings(DuplicateRun& run) {
  if (closeAllDesignFiles() == SUCCESS) return;
  run.saveFailed = true;
  const std::string& why = lastDesignError();
  if (!why.empty()) (void)mdlOutput_error(why);
}

void abortWhenAsked(DuplicateRun& run, int index) {
  const char* name = std::getenv(kAbortVariable);
  if (name == nullptr || *name == '\0') return;
  std::string file, model;
  splitEntry(listMember(run.entryList.get(), index), &file, &model);
  if (file.substr(directoryPart(file).size()) == name) std::abort();
}

int nextEntry(int finished) {
  Worker& w = worker();
  DuplicateRun& run = duplicateRun();
  const int count = static_cast<int>(mdlStringList_size(run.entryList.get()));
  if (finished >= 0 && finished < count) {
    abortWhenAsked(run, finished);
    if (w.queue.empty()) saveDrawings(run);
    JobWire wire;
    writeEntryResult(wire, resultOf(run, finished));
    if (!sendJobMessage(w.link.toLeader, wire.bytes)) leaderGone();
    // A group holds every entry of its files, so none of them comes back: the backups made
    // for them need no remembering here, and the record stays small over a long run.
    if (w.queue.empty()) run.backedUp.clear();
    run.listRecords = {};
    w.mark = takeMark(run);
  }
  if (w.queue.empty()) {
    JobWire ask;
    ask.number(static_cast<int64_t>(JobMessage::Ready));
    JobWire work;
    if (!sendJobMessage(w.link.toLeader, ask.bytes) ||
        !receiveJobMessage(w.link.fromLeader, &work.bytes))
      leaderGone();
    (void)work.number();
    const int64_t size = work.number();
    for (int64_t i = 0; work.ok && i < size; ++i)
      w.queue.push_back(static_cast<int>(work.number()));
  }
  if (w.queue.empty()) return count;
  const int index = w.queue.front();
  w.queue.pop_front();
  w.mark = takeMark(run);
  return index;
}

int captureFile(std::FILE* stream, const char* name) {
  const int fd = ::memfd_create(name, 0);
  std::fflush(stream);
  if (fd < 0 || ::dup2(fd, fileno(stream)) < 0) std::_Exit(EXIT_FAILURE);
  return fd;
}

}  // namespace

void workerMain(const WorkerLink& link, std::FILE* out, std::FILE* err) {
  Worker& w = worker();
  w.link = link;
  w.out = out;
  w.err = err;
  w.outFd = captureFile(out, "kelvara-out");
  w.errFd = captureFile(err, "kelvara-err");
  (void)setUiPort(commandLineUi(err, false));
  RunSession& session = runSession();
  session.showSummary = [](const std::string&) {};
  session.nextEntry = nextEntry;
  // The run's text report and duplicates list are the leader's to write: the worker's copies
  // only carried their pieces.
  session.runEnding = [] {
    duplicateRun().textReport = TextReport{};
    duplicateRun().listClosed = true;
  };
  process_startAllV8Files(nullptr);
  (void)runEventLoop();
  DuplicateRun& run = duplicateRun();
  if (run.running) finishRun();
  const Mark now = takeMark(run);
  JobWire tail;
  tail.number(static_cast<int64_t>(JobMessage::Tail));
  tail.number(run.saveFailed);
  tail.number(run.runFailed);
  tail.number(run.cancelled);
  tail.text(bytesOf(w.errFd, static_cast<uint64_t>(w.mark.err), static_cast<uint64_t>(now.err)));
  (void)sendJobMessage(link.toLeader, tail.bytes);
  std::_Exit(EXIT_SUCCESS);
}

}  // namespace kelvara
