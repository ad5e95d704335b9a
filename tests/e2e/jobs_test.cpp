// Runs over several processes: --jobs gives what a run in one process gives, a worker that dies
// fails only its own entries, and shards split the sorted entries between them.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <set>

#include "e2e/harness.h"
#include "support/dgn_builder.h"
#include "support/scratch.h"

namespace kelvara::e2e {
namespace {

namespace fs = std::filesystem;
using test::DesignBuilder;

// The entries: drawings with duplicates, one whose reports contend with a later one's for a
// name ("s1" as entry 1 and "s" as entry 11 both give "s11"), a file that is not a drawing and
// a read-only drawing.
std::vector<std::string> makeArchive(const Scratch& s) {
  std::vector<std::string> names = {"a.dgn", "s1.dgn"};
  for (int i = 2; i <= 10; ++i) names.push_back("d" + std::to_string(i) + ".dgn");
  names.push_back("s.dgn");
  for (size_t i = 0; i < names.size(); ++i)
    EXPECT_TRUE(drawingWith(static_cast<int>(i)).write(s.path(names[i])));
  std::FILE* junk = std::fopen(s.path("notes.dgn").c_str(), "w");
  std::fputs("not a drawing\n", junk);
  std::fclose(junk);
  EXPECT_TRUE(drawingWith(3).write(s.path("ro.dgn")));
  EXPECT_EQ(::chmod(s.path("ro.dgn").c_str(), 0444), 0);
  names.insert(names.end(), {"notes.dgn", "ro.dgn"});
  return names;
}

TEST(Jobs, WorkersGiveWhatOneProcessGives) {
  struct Case {
    const char* name;
    int jobs;
    std::vector<std::string> settings;
    std::vector<std::string> options;  // further options of both runs
  };
  const std::vector<Case> cases = {
      {"two workers, one text report", 2, {}, {}},
      {"three workers, one text report, a duplicates list", 3, {}, {"--list", "dups.csv"}},
      {"three workers, a text report per entry",
       3,
       {"ONE_TEXT_REPORT=0", "ONE_TEXT_EACH_REPORT=1", "SAME_DIR_TEXT_REPORT=1"},
       {"--list", "dups.geojson"}},
      {"two workers, text reports off", 2, {"TEXT_REPORT__=0"}, {}},
  };
  for (const Case& c : cases) {
    Scratch one("jobs_serial");
    Scratch many("jobs_workers");
    const std::vector<std::string> names = makeArchive(one);
    (void)makeArchive(many);
    std::vector<std::string> args = c.options;
    const std::vector<std::string> rest = withSettings(c.settings, names);
    args.insert(args.end(), rest.begin(), rest.end());
    const RunResult serial = runKelvara(one, args);
    args.insert(args.begin(), {"--jobs", std::to_string(c.jobs)});
    const RunResult workers = runKelvara(many, args);
    ASSERT_EQ(serial.status, 3) << c.name << "\n" << serial.err;
    EXPECT_EQ(workers.status, serial.status) << c.name << "\n" << workers.err;
    EXPECT_EQ(test::replaceAll(workers.out, many.dir.string(), one.dir.string()), serial.out)
        << c.name;
    EXPECT_EQ(test::replaceAll(workers.err, many.dir.string(), one.dir.string()), serial.err)
        << c.name;
    const auto expected = folderFiles(one.dir);
    const auto got = folderFiles(many.dir);
    EXPECT_GT(expected.size(), names.size() * 2) << c.name;  // backups and reports were written
    for (const auto& [name, bytes] : expected) {
      const auto it = got.find(name);
      ASSERT_NE(it, got.end()) << c.name << ": " << name;
      EXPECT_TRUE(it->second == bytes) << c.name << ": " << name << " differs";
    }
    EXPECT_EQ(got.size(), expected.size()) << c.name;
  }
}

// A worker that dies with its first drawing in hand fails that entry only: the drawing is left as
// it was, the others are cleaned, and nothing half-written stays behind.
TEST(Jobs, DeadWorkerFailsOnlyItsEntries) {
  Scratch s("jobs_dead_worker");
  const std::vector<std::string> names = makeArchive(s);
  const std::string original = readFile(s.path("a.dgn"));
  std::vector<std::string> args = {"--jobs", "2"};
  args.insert(args.end(), names.begin(), names.end());
  const RunResult r = runKelvara(s, args, "", {"KELVARA_TEST_WORKER_ABORT=a.dgn"});
  EXPECT_EQ(r.status, 3) << r.err;
  EXPECT_TRUE(contains(r.err, "a.dgn")) << r.err;
  EXPECT_TRUE(contains(r.err, "signal 6")) << r.err;
  EXPECT_EQ(readFile(s.path("a.dgn")), original);
  for (const char* cleaned : {"s1.dgn", "d3.dgn", "d4.dgn", "s.dgn"})
    EXPECT_EQ(deletedPositions(s, s.path(cleaned)).size(), 1u) << cleaned;
  EXPECT_TRUE(contains(r.out, "11 models processed.\n2 models could not be processed.\n")) << r.out;
  // The text report names the lost entry with the line standard error gives it.
  const size_t at = r.err.find("could not process \"a.dgn\"");
  ASSERT_NE(at, std::string::npos) << r.err;
  const size_t start = r.err.rfind("error: ", at) + 7;
  const std::string line = r.err.substr(start, r.err.find('\n', at) - start);
  EXPECT_TRUE(contains(
      readFile(s.path("kelvara.trf")),
      "a.dgn\nDesign Report:       N/A\nModel:               <ActiveModel>\n\n" + line + "\n\n"))
      << line;
  EXPECT_EQ(temporaryLeftovers(s.dir), std::vector<std::string>{});
}

TEST(Jobs, ShardsTakeEveryNthSortedEntry) {
  struct Case {
    std::vector<std::string> options;
    int status;
    std::set<std::string> cleaned;  // the drawings processed
    const char* report;             // the run's text report (null: none written)
  };
  const std::vector<Case> cases = {
      {{"--shard", "0/1"},
       0,
       {"a.dgn", "b.dgn", "c.dgn", "d.dgn", "e.dgn"},
       "kelvara.shard-0-of-1.trf"},
      {{"--shard", "0/2"}, 0, {"a.dgn", "c.dgn", "e.dgn"}, "kelvara.shard-0-of-2.trf"},
      {{"--shard", "1/3"}, 0, {"b.dgn", "e.dgn"}, "kelvara.shard-1-of-3.trf"},
      {{"--jobs", "2", "--shard", "1/3"}, 0, {"b.dgn", "e.dgn"}, "kelvara.shard-1-of-3.trf"},
      {{"--shard", "4/5", "--set", "TEXT_REPORT_FILE_NAME=out/run.txt"},
       0,
       {"e.dgn"},
       "out/run.shard-4-of-5.txt"},
      {{"--shard", "2/2"}, 2, {}, nullptr},
      {{"--shard", "0/0"}, 2, {}, nullptr},
      {{"--shard", "1"}, 2, {}, nullptr},
      {{"--shard", "-1/2"}, 2, {}, nullptr},
      {{"--shard", "1/x"}, 2, {}, nullptr},
      {{"--jobs", "0"}, 2, {}, nullptr},
      {{"--jobs", "65"}, 2, {}, nullptr},
      {{"--jobs", "2", "--dump"}, 2, {}, nullptr},
  };
  for (const Case& c : cases) {
    Scratch s("jobs_shard");
    fs::create_directory(s.path("out"));
    const std::vector<std::string> names = {"e.dgn", "c.dgn", "a.dgn", "d.dgn", "b.dgn"};
    for (const std::string& name : names) ASSERT_TRUE(drawingWith(1).write(s.path(name)));
    std::vector<std::string> args = c.options;
    args.insert(args.end(), names.begin(), names.end());
    const std::string label = c.options[0] + " " + c.options[1];
    const RunResult r = runKelvara(s, args);
    EXPECT_EQ(r.status, c.status) << label << "\n" << r.err;
    for (const std::string& name : names)
      EXPECT_EQ(deletedPositions(s, s.path(name)).size(), c.cleaned.count(name))
          << label << ": " << name;
    std::vector<std::string> reports;
    for (const auto& item : fs::recursive_directory_iterator(s.dir))
      if (item.path().extension() == ".trf" || item.path().extension() == ".txt")
        reports.push_back(fs::relative(item.path(), s.dir).string());
    EXPECT_EQ(reports, c.report ? std::vector<std::string>{c.report} : std::vector<std::string>{})
        << label;
  }
}

// The GNU Parallel example: its shards together clean and back up the drawings as one run does,
// report the same duplicates, and end with the run's exit status.
TEST(Jobs, GnuParallelShardsTogetherDoWhatOneRunDoes) {
  int status = 0;
  (void)shellOutput("command -v parallel >/dev/null 2>&1", &status);
  if (status != 0) GTEST_SKIP() << "GNU Parallel is not installed";
  Scratch one("parallel_serial");
  Scratch shards("parallel_shards");
  const std::vector<std::string> names = makeArchive(one);
  (void)makeArchive(shards);
  const RunResult serial = runKelvara(one, names);
  std::string command = "cd '" + shards.dir.string() + "' && HOME='" + shards.dir.string() +
                        "' KELVARA='" + std::getenv("KELVARA_BIN") +
                        "' " KELVARA_SOURCE_DIR "/examples/scale/parallel.sh 3";
  for (const std::string& name : names) command += " " + name;
  (void)shellOutput(command + " >/dev/null 2>&1", &status);
  EXPECT_EQ(status, serial.status);
  const auto expected = folderFiles(one.dir);
  const auto got = folderFiles(shards.dir);
  size_t compared = 0;
  for (const auto& [name, bytes] : expected) {
    const std::string extension = fs::path(name).extension();
    if (extension != ".dgn" && extension != ".bak") continue;
    ++compared;
    EXPECT_TRUE(got.count(name) && got.at(name) == bytes) << name << " differs";
  }
  EXPECT_GT(compared, names.size());  // the drawings and their backups
  // The duplicates reported, each with the file it was found in: the serial run's, once among
  // the shards' reports.
  std::multiset<std::string> serialLines, shardLines;
  const auto addDuplicates = [](const std::string& report, std::multiset<std::string>& into) {
    std::string file;
    for (const std::string& line : splitLines(report)) {
      if (line.rfind("File:", 0) == 0) file = line;
      if (contains(line, "element was duplicate")) into.insert(file + " " + line);
    }
  };
  addDuplicates(expected.at("kelvara.trf"), serialLines);
  for (int k = 0; k < 3; ++k)
    addDuplicates(got.at("kelvara.shard-" + std::to_string(k) + "-of-3.trf"), shardLines);
  EXPECT_FALSE(serialLines.empty());
  EXPECT_EQ(shardLines, serialLines);
}

}  // namespace
}  // namespace kelvara::e2e
