// Runs spread over processes: a shard of a run (--shard K/N), and a run whose entries are
// processed by worker processes (--jobs N).
//
// A shard keeps every N-th entry of the sorted entry list, starting at entry K (0-based), and
// is otherwise a run of its own; its one text report is named with the shard so that shards
// writing into one folder keep apart.
//
// With jobs, the process that read the command line leads: it groups the entries by design
// file and forks the workers, which inherit the run as it stands and process the groups they
// are handed in turn (a group stays in one worker, in entry order; the drawings of a group are
// written before its last entry is answered). Each worker runs the usual driver over its
// entries and sends back, per entry, the counters, report names and backups, what it printed
// and what it added to the run's text report; the leader takes them in entry order into one
// run record and writes the run's text report, the summary and the exit status as a run in
// one process would. A worker that dies fails the entries it had not answered and the run
// goes on with a new worker. Ctrl-C cancels every worker's run.
#pragma once

#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "host/strings.h"

namespace kelvara {

// Keeps every `count`-th entry of the sorted list starting at `index` (0 <= index < count).
void selectShard(StringListOwner& entries, int index, int count);

// The run's one text report under shard index/count: "kelvara.trf" -> "kelvara.shard-1-of-4.trf".
std::string shardReportName(const std::string& name, int index, int count);

// Processes the entries of the run that MdlMain has set up (the run record's entry list) in
// `jobs` workers, taking their results into the run record and writing the run's text report
// and summary. Program output goes to out and err.
void runJobs(int jobs, std::FILE* out, std::FILE* err);

// ---- The worker (frame/job_worker.cpp) ---------------------------------------------------------

// A worker's end of the pipes to the leader.
struct WorkerLink {
  int fromLeader = -1;
  int toLeader = -1;
};

// The body of a forked worker: processes the groups it is handed and ends the process.
[[noreturn]] void workerMain(const WorkerLink& link, std::FILE* out, std::FILE* err);

}  // namespace kelvara
