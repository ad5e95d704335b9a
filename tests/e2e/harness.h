// Running the kelvara executable on generated drawings in a scratch folder.
//
// Each test gets its own folder under the system's temporary folder, with APPDATA, TEMP and
// HOME pointing into it, so the settings file, the trace log and the placeholder files of a
// run stay inside. The executable is KELVARA_BIN from the environment.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/dgn_builder.h"

namespace kelvara::e2e {

struct Scratch {
  std::filesystem::path dir;
  explicit Scratch(const std::string& name);
  ~Scratch();
  std::string path(const std::string& name) const { return (dir / name).string(); }
};

struct RunResult {
  int status = -1;  // exit status; 128 + signal when killed
  std::string out;
  std::string err;
};

// Runs kelvara with `args` in the scratch folder, with extra `environment` entries (NAME=VALUE).
// With `interruptWhenExists`, SIGINT is sent as soon as that file exists. With `maxFileBytes`
// above 0, no file the run writes may grow beyond that size: such a write fails (EFBIG).
inline bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Temporary files (named "...kvtmp...") anywhere under `dir`: a finished run leaves none.
inline std::vector<std::string> temporaryLeftovers(const std::filesystem::path& dir) {
  std::vector<std::string> found;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
    if (contains(entry.path().filename().string(), "kvtmp")) found.push_back(entry.path());
  return found;
}

// A drawing with one duplicated line and `extra` lines of its own, so that drawings differ.
inline test::DesignBuilder drawingWith(int extra) {
  test::DesignBuilder d;
  d.add(test::line({0, 0}, {10000, 0}));
  d.add(test::line({0, 0}, {10000, 0}));
  for (int i = 0; i < extra; ++i) d.add(test::line({0, 1000.0 * (i + 1)}, {10000, 1000}));
  return d;
}

// `count` short lines apart from each other: a drawing whose run takes a while.
inline test::DesignBuilder manyLines(int count) {
  test::DesignBuilder d;
  for (int i = 0; i < count; ++i) {
    const double x = (i % 1000) * 20.0, y = (i / 1000) * 20.0;
    d.add(test::line({x, y}, {x + 10, y + 10}));
  }
  return d;
}

// The arguments "--set S" for each of `settings`, then `files`.
inline std::vector<std::string> withSettings(const std::vector<std::string>& settings,
                                             const std::vector<std::string>& files) {
  std::vector<std::string> args;
  for (const std::string& setting : settings) args.insert(args.end(), {"--set", setting});
  args.insert(args.end(), files.begin(), files.end());
  return args;
}

RunResult runKelvara(const Scratch& scratch, const std::vector<std::string>& args,
                     const std::string& interruptWhenExists = "",
                     const std::vector<std::string>& environment = {}, long maxFileBytes = 0);

// A kelvara process started in the background (several may run at once in one scratch folder,
// sharing its APPDATA and TEMP); its output is collected when it is waited for.
struct StartedRun {
  int pid = -1;
  std::string outPath, errPath;
};
StartedRun startKelvara(const Scratch& scratch, const std::vector<std::string>& args,
                        const std::vector<std::string>& environment = {}, long maxFileBytes = 0);
RunResult waitForKelvara(const StartedRun& run);

// Runs a shell command, returning its standard output and setting *status.
std::string shellOutput(const std::string& command, int* status);

std::string readFile(const std::string& path);
// The trace log (TRV_COMPARE_LOG) of the scratch folder's settings folder.
inline std::string traceLog(const Scratch& scratch) {
  return readFile(scratch.path("appdata/Tarvo/kelvara/diff_log.txt"));
}
std::vector<std::string> readLines(const std::string& path);
std::vector<std::string> splitLines(const std::string& text);

// A text report without what differs from run to run: its date line and the elapsed times.
std::string maskedReport(const std::string& report);
// The regular files of `dir` by name, text reports (.trf) masked; the harness's captures of
// standard output and error (".std*") aside.
std::map<std::string, std::string> folderFiles(const std::filesystem::path& dir);

// The elements of a design file as `kelvara --dump` lists them (one line each, tab-separated).
std::vector<std::vector<std::string>> dumpElements(const Scratch& scratch, const std::string& file);
// File positions of the elements marked deleted, from the dump.
std::vector<std::string> deletedPositions(const Scratch& scratch, const std::string& file);

// ogrinfo's feature count for the file's layer; -1 when ogrinfo is missing or fails.
int ogrFeatureCount(const std::string& file);
bool ogrinfoAvailable();

}  // namespace kelvara::e2e
