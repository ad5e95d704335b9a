// Runs in one process, as a long-running host makes them, write what the same runs write each
// in a fresh process: a run starts from a fresh record, whatever the runs before it did or
// how they ended (a cancelled run included).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>

#include "e2e/harness.h"
#include "frame/command_line.h"
#include "frame/options.h"
#include "host/design.h"
#include "host/state.h"
#include "host/timers.h"
#include "support/dgn_builder.h"

namespace kelvara::e2e {
namespace {

namespace fs = std::filesystem;
using test::DesignBuilder;

// The environment of the scratch folder, as runKelvara gives it to a child, for a run in
// this process; restored afterwards.
class InScratch {
 public:
  explicit InScratch(const Scratch& s) : cwd_(fs::current_path()) {
    for (const char* name : {"APPDATA", "TEMP", "HOME"}) {
      const char* value = std::getenv(name);
      saved_[name] = value ? std::optional<std::string>(value) : std::nullopt;
    }
    ::setenv("APPDATA", s.path("appdata").c_str(), 1);
    ::setenv("TEMP", s.path("tmp").c_str(), 1);
    ::setenv("HOME", s.dir.c_str(), 1);
    fs::current_path(s.dir);
  }
  ~InScratch() {
    fs::current_path(cwd_);
    for (const auto& [name, value] : saved_)
      (void)(value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str()));
  }

 private:
  fs::path cwd_;
  std::map<std::string, std::optional<std::string>> saved_;
};

// Runs kelvara's command line in this process. With `cancelled`, Ctrl-C comes as soon as the
// first model's comparison has been started.
RunResult runInThisProcess(const Scratch& s, const std::vector<std::string>& args,
                           bool cancelled = false) {
  RunResult result;
  InScratch scope(s);
  const CommandLine line = parseCommandLine(args);
  EXPECT_EQ(line.action, CommandAction::Run);
  std::FILE* out = std::fopen(s.path(".stdout").c_str(), "w");
  std::FILE* err = std::fopen(s.path(".stderr").c_str(), "w");
  if (cancelled) {
    EXPECT_EQ(mdlSystem_setTimerFunction(nullptr, 1, [] { raiseInterrupt(); }), 0);
  }
  result.status = runFromCommandLine(line, out, err);
  std::fclose(out);
  std::fclose(err);
  result.out = readFile(s.path(".stdout"));
  result.err = readFile(s.path(".stderr"));
  return result;
}

// Two removable pairs and a reversed copy (a duplicate only with ALLOW_REVERSED).
DesignBuilder drawing(double dx) {
  DesignBuilder d;
  d.add(test::line({dx, 0}, {dx + 10000, 0}));
  d.add(test::line({dx, 0}, {dx + 10000, 0}));
  d.add(test::lineString({{dx, 5000}, {dx + 5000, 5000}, {dx + 5000, 9000}}, {.level = 2}));
  d.add(test::lineString({{dx + 5000, 9000}, {dx + 5000, 5000}, {dx, 5000}}, {.level = 2}));
  d.add(test::shape({{dx, 0}, {dx + 300, 0}, {dx + 300, 300}, {dx, 0}}, {.level = 3}));
  d.add(test::shape({{dx, 0}, {dx + 300, 0}, {dx + 300, 300}, {dx, 0}}, {.level = 3}));
  return d;
}

// The drawings every sequence of runs starts from; anything else in the folder is removed.
void freshFolder(const Scratch& s) {
  for (const auto& entry : fs::directory_iterator(s.dir)) {
    const std::string name = entry.path().filename().string();
    if (name != "appdata" && name != "tmp") fs::remove_all(entry.path());
  }
  ASSERT_TRUE(drawing(0).write(s.path("a.dgn")));
  ASSERT_TRUE(drawing(50000).write(s.path("b.dgn")));
  ASSERT_TRUE(drawing(90000).write(s.path("ro.dgn")));
  ASSERT_EQ(::chmod(s.path("ro.dgn").c_str(), 0444), 0);
  DesignBuilder big;
  for (int i = 0; i < 3000; ++i) big.add(test::line({i * 10.0, 0}, {i * 10.0 + 5, 5}));
  big.add(test::line({0, 0}, {5, 5}));
  ASSERT_TRUE(big.write(s.path("big.dgn")));
}

TEST(RunRecord, RunsInOneProcessWriteWhatFreshProcessesWrite) {
  const std::vector<std::vector<std::string>> runs = {
      // Delete run; the read-only drawing is skipped.
      {"a.dgn", "ro.dgn", "b.dgn"},
      // Report-only run with a report per entry; the read-only drawing is read.
      {"--set", "REPORT_ONLY=1", "--set", "ONE_TEXT_REPORT=0", "--set", "ONE_TEXT_EACH_REPORT=1",
       "--set", "SAME_DIR_TEXT_REPORT=1", "ro.dgn", "b.dgn"},
      // Delete run that also takes reversed copies: the cleaned drawing changes again.
      {"--set", "ALLOW_REVERSED=1", "a.dgn", "b.dgn"},
  };
  Scratch s("run_record");
  for (const bool afterCancel : {false, true}) {
    const char* when = afterCancel ? "after a cancelled run" : "first runs of the process";
    resetHostState();
    resetDesignState();
    freshFolder(s);
    std::vector<RunResult> fresh;
    for (const auto& args : runs) fresh.push_back(runKelvara(s, args));
    const std::map<std::string, std::string> freshFiles = folderFiles(s.dir);

    freshFolder(s);
    if (afterCancel) {
      // Cancelled on big.dgn, after ro.dgn was skipped and big.dgn's reports and backup begun.
      const RunResult cancelled = runInThisProcess(s, {"ro.dgn", "big.dgn"}, true);
      ASSERT_EQ(cancelled.status, 1) << cancelled.err;
      ASSERT_TRUE(cancelled.out.empty()) << cancelled.out;  // no summary
      freshFolder(s);
    }
    for (size_t i = 0; i < runs.size(); ++i) {
      const RunResult here = runInThisProcess(s, runs[i]);
      EXPECT_EQ(here.status, fresh[i].status) << when << ", run " << i << "\n" << here.err;
      EXPECT_EQ(here.out, fresh[i].out) << when << ", run " << i;
      EXPECT_EQ(here.err, fresh[i].err) << when << ", run " << i;
    }
    const std::map<std::string, std::string> hereFiles = folderFiles(s.dir);
    std::vector<std::string> freshNames, hereNames;
    for (const auto& [name, content] : freshFiles) freshNames.push_back(name);
    for (const auto& [name, content] : hereFiles) hereNames.push_back(name);
    ASSERT_EQ(hereNames, freshNames) << when;
    for (const auto& [name, content] : freshFiles)
      EXPECT_TRUE(hereFiles.at(name) == content) << when << ": " << name;
    EXPECT_EQ(fresh[0].status, 3);  // ro.dgn was skipped
    EXPECT_EQ(fresh[1].status, 0);
  }
  resetHostState();
  resetDesignState();
}

}  // namespace
}  // namespace kelvara::e2e
