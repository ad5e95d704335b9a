#include "frame/jobs.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>

#include "frame/job_messages.h"
#include "host/timers.h"
#include "host/ui.h"
#include "run/driver.h"
#include "run/entry_setup.h"
#include "run/outcome.h"
#include "run/stepper.h"
#include "run/totals.h"
#include "run/trace_hook.h"
#include "settings/run_settings.h"

namespace kelvara {

namespace {

namespace fs = std::filesystem;

constexpr int kPollMilliseconds = 200;

struct WorkerProcess {
  pid_t pid = -1;
  int toWorker = -1;
  int fromWorker = -1;
  std::string inbox;
  std::vector<int> unanswered;  // entries handed to it and not answered yet
};

// A result, or why the entry's worker could not give one.
struct Slot {
  std::optional<EntryResult> result;
  std::string lost;  // the worker died with the entry in hand: how it ended
};

struct Leader {
  std::FILE* out = nullptr;
  std::FILE* err = nullptr;
  std::vector<std::vector<int>> groups;  // entry indices by design file (groupEntries)
  size_t nextGroup = 0;
  std::vector<WorkerProcess> workers;
  std::vector<Slot> slots;
  size_t taken = 0;  // entries taken into the run record, in order
  bool stopping = false;
  std::string tail;                    // what the workers printed after their last entries
  std::vector<std::string> lostFiles;  // drawings of entries lost with a worker
  bool drawing = false;                // progress is drawn on the terminal
};

std::string fileOf(const std::string& entry) {
  std::string file, model;
  splitEntry(entry, &file, &model);
  return file;
}

// The report names an entry's file would take before they are made unique: with the run's
// fixed text report left out, these are the names two entries may contend for.
std::vector<std::string> baseReportNames(const DuplicateRun& run, const std::string& file,
                                         int index, int count) {
  std::vector<std::string> names;
  for (ReportNaming naming : {run.textOptions.naming, run.designOptions.naming}) {
    if (naming.fixedName) continue;
    naming.taken = nullptr;
    std::string name;
    (void)reportName(&name, file, naming, index, count);
    names.push_back(reportFileKey(name));
  }
  return names;
}

// The entries in groups, each processed by one worker in entry order: the entries of one design
// file, joined with every other whose reports would take the same name (the later entry's name
// is made unique against the earlier, as in one process).
std::vector<std::vector<int>> groupEntries(const DuplicateRun& run) {
  StringList* entries = run.entryList.get();
  const int count = static_cast<int>(mdlStringList_size(entries));
  std::vector<size_t> parent;  // union-find over the groups of files
  auto root = [&parent](size_t g) {
    while (parent[g] != g) g = parent[g] = parent[parent[g]];
    return g;
  };
  std::map<std::string, size_t> groupOfKey;  // a file or report name -> a group holding it
  std::vector<size_t> groupOfEntry;
  for (int i = 0; i < count; ++i) {
    const std::string file = fileOf(listMember(entries, i));
    std::vector<std::string> keys = baseReportNames(run, file, i, count);
    keys.push_back("file:" + file);
    const size_t mine = parent.size();
    parent.push_back(mine);
    for (const std::string& key : keys) {
      const auto [at, added] = groupOfKey.emplace(key, mine);
      if (!added) parent[root(mine)] = root(at->second);
    }
    groupOfEntry.push_back(mine);
  }
  std::vector<std::vector<int>> groups;
  std::map<size_t, size_t> indexOfRoot;
  for (int i = 0; i < count; ++i) {
    const auto [at, added] =
        indexOfRoot.emplace(root(groupOfEntry[static_cast<size_t>(i)]), groups.size());
    if (added) groups.emplace_back();
    groups[at->second].push_back(i);
  }
  return groups;
}

void closeFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// In a new worker: the leader's open text report is the leader's alone; the worker's copy of
// it is dropped without a write, a close of the temporary file's name or a removal.
void forgetLeaderReport() {
  TextReport& report = duplicateRun().textReport;
  if (report.file && report.file->fd >= 0) {
    ::close(report.file->fd);
    report.file->fd = -1;
  }
  report.stream = nullptr;  // its buffer is never flushed: the worker ends with _Exit
}

bool startWorker(Leader& leader) {
  int down[2], up[2];
  if (::pipe(down) != 0) return false;
  if (::pipe(up) != 0) {
    ::close(down[0]);
    ::close(down[1]);
    return false;
  }
  std::fflush(leader.out);
  std::fflush(leader.err);
  const pid_t pid = ::fork();
  if (pid < 0) {
    for (int fd : {down[0], down[1], up[0], up[1]}) ::close(fd);
    return false;
  }
  if (pid == 0) {
    forgetLeaderReport();
    for (WorkerProcess& other : leader.workers) {
      closeFd(other.toWorker);
      closeFd(other.fromWorker);
    }
    ::close(down[1]);
    ::close(up[0]);
    workerMain({down[0], up[1]}, leader.out, leader.err);
  }
  ::close(down[0]);
  ::close(up[1]);
  WorkerProcess w;
  w.pid = pid;
  w.toWorker = down[1];
  w.fromWorker = up[0];
  leader.workers.push_back(std::move(w));
  return true;
}

void handOut(Leader& leader, WorkerProcess& w) {
  JobWire work;
  work.number(static_cast<int64_t>(JobMessage::Work));
  if (leader.stopping || leader.nextGroup >= leader.groups.size()) {
    work.number(0);
  } else {
    const std::vector<int>& group = leader.groups[leader.nextGroup++];
    work.number(static_cast<int64_t>(group.size()));
    for (int index : group) work.number(index);
    w.unanswered = group;
  }
  (void)sendJobMessage(w.toWorker, work.bytes);
}

void takeMessage(Leader& leader, WorkerProcess& w, const std::string& payload) {
  JobWire wire;
  wire.bytes = payload;
  const auto kind = static_cast<JobMessage>(wire.number());
  if (kind == JobMessage::Ready) {
    handOut(leader, w);
  } else if (kind == JobMessage::Entry) {
    EntryResult r;
    if (!readEntryResult(wire, &r) || r.index < 0 ||
        static_cast<size_t>(r.index) >= leader.slots.size())
      return;
    std::erase(w.unanswered, static_cast<int>(r.index));
    leader.slots[static_cast<size_t>(r.index)].result = std::move(r);
  } else if (kind == JobMessage::Tail) {
    DuplicateRun& run = duplicateRun();
    if (wire.number() != 0) run.saveFailed = true;
    if (wire.number() != 0) run.runFailed = true;
    if (wire.number() != 0) run.cancelled = true;
    // Workers cancelled together print the same lines: they are shown once.
    const std::string tail = wire.text();
    if (leader.tail.find(tail) == std::string::npos) leader.tail += tail;
    // A run that stopped at an entry stops here too: no further groups.
    if (run.runFailed && !w.unanswered.empty()) leader.stopping = true;
  }
}

std::string howItEnded(int status) {
  if (WIFSIGNALED(status))
    return "the worker process ended by signal " + std::to_string(WTERMSIG(status)) + " (" +
           strsignal(WTERMSIG(status)) + ")";
  return "the worker process ended with status " + std::to_string(WEXITSTATUS(status));
}

void workerEnded(Leader& leader, WorkerProcess& w) {
  closeFd(w.toWorker);
  closeFd(w.fromWorker);
  int status = 0;
  while (::waitpid(w.pid, &status, 0) < 0 && errno == EINTR) {
  }
  const DuplicateRun& run = duplicateRun();
  for (int index : w.unanswered) {
    if (run.cancelled || leader.stopping) continue;  // not reached, as in a run that stops
    leader.slots[static_cast<size_t>(index)].lost = howItEnded(status);
    leader.lostFiles.push_back(fileOf(listMember(run.entryList.get(), index)));
  }
  w.unanswered.clear();
  w.pid = -1;
}

// Takes one entry's result into the run record, as the driver would have counted it.
void takeIntoRun(Leader& leader, EntryResult& r) {
  DuplicateRun& run = duplicateRun();
  // A progress bar drawn on the terminal gives way to the entry's lines.
  if (leader.drawing && !r.err.empty()) std::fputs("\r\033[K", leader.err);
  std::fwrite(r.out.data(), 1, r.out.size(), leader.out);
  std::fwrite(r.err.data(), 1, r.err.size(), leader.err);
  (void)mdlStringList_setMember(run.entryList.get(), r.index, toWide(r.entry), nullptr);
  if (!r.header.empty() && run.textReport.stream == nullptr &&
      !textReport_resume(run.textReport, r.reportName, r.header)) {
    run.runFailed = true;
    reportLostFile(run, r.reportName, "text report", std::strerror(errno));
  }
  textReport_write(run.textReport, r.text);
  run.totalDuplicates += static_cast<int>(r.duplicates);
  run.totalNotDeleted += static_cast<int>(r.notDeleted);
  run.readOnlyFiles += static_cast<int>(r.readOnlyFiles);
  run.processedEntries += static_cast<int>(r.processed);
  run.failedEntries += static_cast<int>(r.failed);
  run.readOnlySkipped += static_cast<int>(r.readOnlySkipped);
  run.runFailed = run.runFailed || r.runFailed;
  run.saveFailed = run.saveFailed || r.saveFailed;
  // The names the entry took are taken in the run: an entry lost later does not take them.
  for (const std::vector<std::string>* names : {&r.textNames, &r.designNames}) {
    for (const std::string& name : *names) {
      if (name != NOT_AVAILABLE && !name.empty()) run.reportFiles.insert(reportFileKey(name));
    }
  }
  for (const std::string& name : r.textNames) appendToList(run.textReportList.get(), name);
  for (const std::string& name : r.designNames) appendToList(run.designReportList.get(), name);
  run.lostFiles.insert(run.lostFiles.end(), r.lostFiles.begin(), r.lostFiles.end());
  run.backedUp.insert(r.backups.begin(), r.backups.end());
  for (const DuplicateRecord& record : r.records.records) {
    appendRecordFrom(run.listRecords, r.records, record);
  }
}

// An entry whose worker died: failed, named with how the worker ended on standard error and in
// the text report, as a run in one process records an entry that failed. A failure that cannot
// be recorded stops the run there.
void takeLostEntry(Leader& leader, int index, const std::string& how) {
  DuplicateRun& run = duplicateRun();
  const std::string entry = listMember(run.entryList.get(), index);
  std::string file, model;
  splitEntry(entry, &file, &model);
  const std::string line =
      entryFailureLine(file, runMessageText(MSG_NOT_PROCESSED, file.c_str()), how);
  (void)mdlOutput_error(line);
  ++run.failedEntries;
  if (run.textReport.stream == nullptr) run.header.date = reportDateNow();
  if (model.empty()) model = ACTIVE_MODEL_NAME;
  const FailedEntryLines lines{file, model, NOT_AVAILABLE, line};
  ReportFailure failure;
  if (textReport_recordFailedEntry(run.textReport, run.textOptions, run.header, entry, lines, index,
                                   static_cast<int>(leader.slots.size()), &failure) != SUCCESS) {
    if (failure.message != 0) (void)runMessage(failure.message, failure.argument.c_str());
    run.runFailed = true;
    leader.stopping = true;
    (void)mdlOutput_error(entryFailureLine(
        file, "The run has been stopped: the failure could not be recorded in a text report.",
        failure.detail));
    return;
  }
  run.reportFiles.insert(reportFileKey(run.textReport.name));
  appendToList(run.textReportList.get(), run.textReport.name);
  appendToList(run.designReportList.get(), NOT_AVAILABLE);
}

void takeReadyResults(Leader& leader) {
  while (leader.taken < leader.slots.size()) {
    Slot& slot = leader.slots[leader.taken];
    if (slot.result) {
      takeIntoRun(leader, *slot.result);
    } else if (!slot.lost.empty()) {
      takeLostEntry(leader, static_cast<int>(leader.taken), slot.lost);
    } else {
      return;
    }
    slot.result.reset();
    ++leader.taken;
    const std::string file =
        fileOf(listMember(duplicateRun().entryList.get(), static_cast<long>(leader.taken) - 1));
    progressUpdate(static_cast<int>(leader.taken * 100 / leader.slots.size()), file);
  }
}

// Temporary files a dead worker may have left beside a drawing or in the report folders: the
// drawing's, its backup's, its reports' (named after the drawing) and the run's text report's.
void removeLeftovers(const Leader& leader) {
  const DuplicateRun& run = duplicateRun();
  const std::string keep = run.textReport.file ? run.textReport.file->temp : std::string();
  std::vector<std::pair<fs::path, std::string>> places;  // folder, name the file begins with
  auto folderOf = [](const fs::path& p) { return p.has_parent_path() ? p.parent_path() : "."; };
  const fs::path reportName(run.textOptions.naming.fileName);
  if (!reportName.empty()) places.push_back({folderOf(reportName), reportName.filename()});
  for (const std::string& drawing : leader.lostFiles) {
    const fs::path d(drawing);
    for (const std::string& dir : {folderOf(d).string(), run.textOptions.naming.directory,
                                   run.designOptions.naming.directory})
      if (!dir.empty()) places.push_back({dir, d.stem().string()});
  }
  for (const auto& [folder, start] : places) {
    std::error_code ec;
    for (const auto& item : fs::directory_iterator(folder, ec)) {
      const std::string name = item.path().filename().string();
      const std::string head = "." + start;
      if (name.rfind(head, 0) != 0 || name.find(".kvtmp.") == std::string::npos) continue;
      const char after = name.size() > head.size() ? name[head.size()] : '\0';
      if (after != '.' && !(after >= '0' && after <= '9')) continue;
      if (item.path().string() == keep) continue;
      fs::remove(item.path(), ec);
    }
  }
}

bool anyWorker(const Leader& leader) {
  return std::any_of(leader.workers.begin(), leader.workers.end(),
                     [](const WorkerProcess& w) { return w.pid > 0; });
}

void cancelWorkers(Leader& leader) {
  duplicateRun().cancelled = true;
  leader.stopping = true;
  for (const WorkerProcess& w : leader.workers)
    if (w.pid > 0) ::kill(w.pid, SIGINT);
}

// Reads what the workers send until every one has ended.
void lead(Leader& leader) {
  while (anyWorker(leader)) {
    if (interruptPending()) {
      clearInterrupt();
      cancelWorkers(leader);
    }
    std::vector<pollfd> fds;
    std::vector<size_t> of;  // indices, since a new worker may move the others
    for (size_t i = 0; i < leader.workers.size(); ++i) {
      if (leader.workers[i].pid <= 0) continue;
      fds.push_back({leader.workers[i].fromWorker, POLLIN, 0});
      of.push_back(i);
    }
    if (::poll(fds.data(), fds.size(), kPollMilliseconds) < 0) continue;
    for (size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].revents == 0) continue;
      WorkerProcess& w = leader.workers[of[i]];
      char buffer[1 << 16];
      const ssize_t n = ::read(w.fromWorker, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n > 0) {
        w.inbox.append(buffer, static_cast<size_t>(n));
        std::string payload;
        while (takeJobMessage(w.inbox, &payload)) takeMessage(leader, w, payload);
        continue;
      }
      workerEnded(leader, w);
      // The groups left go on in a new worker.
      if (!leader.stopping && leader.nextGroup < leader.groups.size()) (void)startWorker(leader);
    }
    takeReadyResults(leader);
  }
  takeReadyResults(leader);
}

}  // namespace

void selectShard(StringListOwner& entries, int index, int count) {
  std::vector<std::string> all;
  for (long i = 0; i < mdlStringList_size(entries.get()); ++i)
    all.push_back(listMember(entries.get(), i));
  std::sort(all.begin(), all.end());
  entries.reset(mdlStringList_create(0, 1));
  for (size_t i = static_cast<size_t>(index); i < all.size(); i += static_cast<size_t>(count))
    appendToList(entries.get(), all[i]);
}

std::string shardReportName(const std::string& name, int index, int count) {
  const fs::path path(name);
  const std::string suffix = ".shard-" + std::to_string(index) + "-of-" + std::to_string(count);
  return (path.parent_path() / (path.stem().string() + suffix + path.extension().string()))
      .string();
}

void runJobs(int jobs, std::FILE* out, std::FILE* err) {
  DuplicateRun& run = duplicateRun();
  StringListOwner entries = std::move(run.entryList);
  run = DuplicateRun{};
  run.entryList = std::move(entries);
  run.textReportList.reset(mdlStringList_create(0, 1));
  run.designReportList.reset(mdlStringList_create(0, 1));
  takeRunOptions(run, runSettings());
  run.running = true;

  // A worker that dies closes its pipe: writing to it must fail, not end the run.
  (void)::signal(SIGPIPE, SIG_IGN);
  Leader leader;
  leader.out = out;
  leader.err = err;
  leader.groups = groupEntries(run);
  leader.slots.resize(static_cast<size_t>(mdlStringList_size(run.entryList.get())));
  const size_t count = std::min(static_cast<size_t>(jobs), leader.groups.size());
  for (size_t i = 0; i < count; ++i) {
    if (startWorker(leader)) continue;
    if (leader.workers.empty()) {
      (void)mdlOutput_error(std::string("No worker process could be started (") +
                            std::strerror(errno) + ").");
    }
    break;
  }
  leader.drawing = isatty(fileno(err)) != 0;
  progressOpen(COMPARE_PROGRESS_TITLE);
  lead(leader);
  progressClose();
  std::fputs(leader.tail.c_str(), err);
  if (!leader.lostFiles.empty()) removeLeftovers(leader);
  const bool complete = leader.taken == leader.slots.size() && !run.cancelled && !leader.stopping;
  if (complete && run.textReport.stream != nullptr) {
    textReport_write(run.textReport,
                     runTotalText(run.totalDuplicates, static_cast<int>(leader.slots.size())));
  }
  closeRunReports(run);
  if (complete) {
    showSummary(run);
    run.completed = true;
  }
  run.running = false;
}

}  // namespace kelvara
