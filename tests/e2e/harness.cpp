#include "e2e/harness.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace kelvara::e2e {

namespace fs = std::filesystem;

Scratch::Scratch(const std::string& name) {
  dir = fs::temp_directory_path() / ("kelvara_e2e_" + name + "_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "appdata");
  fs::create_directories(dir / "tmp");
}

Scratch::~Scratch() {
  std::error_code ec;
  fs::remove_all(dir, ec);
}

StartedRun startKelvara(const Scratch& scratch, const std::vector<std::string>& args,
                        const std::vector<std::string>& environment, long maxFileBytes) {
  static int started = 0;
  StartedRun run;
  const char* bin = std::getenv("KELVARA_BIN");
  if (bin == nullptr) return run;
  const std::string suffix = std::to_string(++started);
  run.outPath = scratch.path(".stdout" + suffix);
  run.errPath = scratch.path(".stderr" + suffix);
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(scratch.dir.c_str()) != 0) ::_exit(120);
    const int out = ::open(run.outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(run.errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out, 1);
    ::dup2(err, 2);
    ::setenv("APPDATA", scratch.path("appdata").c_str(), 1);
    ::setenv("TEMP", scratch.path("tmp").c_str(), 1);
    ::setenv("HOME", scratch.dir.c_str(), 1);
    ::unsetenv("TRV_COMPARE_LOG");
    ::unsetenv("MS_DWGAUTOSAVE");
    for (const std::string& entry : environment) ::putenv(const_cast<char*>(entry.c_str()));
    if (maxFileBytes > 0) {
      const rlimit limit{static_cast<rlim_t>(maxFileBytes), static_cast<rlim_t>(maxFileBytes)};
      ::signal(SIGXFSZ, SIG_IGN);
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(bin));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(bin, argv.data());
    ::_exit(127);
  }
  run.pid = pid;
  return run;
}

RunResult waitForKelvara(const StartedRun& run) {
  RunResult result;
  if (run.pid <= 0) return result;
  int status = 0;
  ::waitpid(run.pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = readFile(run.outPath);
  result.err = readFile(run.errPath);
  std::error_code ec;
  fs::remove(run.outPath, ec);
  fs::remove(run.errPath, ec);
  return result;
}

RunResult runKelvara(const Scratch& scratch, const std::vector<std::string>& args,
                     const std::string& interruptWhenExists,
                     const std::vector<std::string>& environment, long maxFileBytes) {
  const StartedRun run = startKelvara(scratch, args, environment, maxFileBytes);
  if (run.pid > 0 && !interruptWhenExists.empty()) {
    for (int i = 0; i < 20000; ++i) {
      if (fs::exists(interruptWhenExists)) {
        ::kill(run.pid, SIGINT);
        break;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
  }
  return waitForKelvara(run);
}

std::string shellOutput(const std::string& command, int* status) {
  std::string out;
  FILE* p = ::popen(command.c_str(), "r");
  if (p == nullptr) {
    *status = -1;
    return out;
  }
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
  const int rc = ::pclose(p);
  *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return out;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  std::istringstream in(text);
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

std::vector<std::string> readLines(const std::string& path) {
  return splitLines(readFile(path));
}

std::string maskedReport(const std::string& report) {
  std::string out;
  int line = 0;
  for (const std::string& text : splitLines(report)) {
    const bool varies = line++ == 2 || contains(text, " processed in ");
    out += (varies ? std::string("<masked>") : text) + "\n";
  }
  return out;
}

std::map<std::string, std::string> folderFiles(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& item : fs::directory_iterator(dir)) {
    const std::string name = item.path().filename().string();
    if (!item.is_regular_file() || name.rfind(".std", 0) == 0) continue;
    const std::string bytes = readFile(item.path().string());
    files[name] = item.path().extension() == ".trf" ? maskedReport(bytes) : bytes;
  }
  return files;
}

std::vector<std::vector<std::string>> dumpElements(const Scratch& scratch,
                                                   const std::string& file) {
  std::vector<std::vector<std::string>> rows;
  const RunResult r = runKelvara(scratch, {"--dump", file});
  for (const std::string& line : splitLines(r.out)) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, '\t')) fields.push_back(field);
    rows.push_back(fields);
  }
  return rows;
}

std::vector<std::string> deletedPositions(const Scratch& scratch, const std::string& file) {
  std::vector<std::string> out;
  for (const auto& row : dumpElements(scratch, file)) {
    if (row.size() > 7 && row[7] == "1") out.push_back(row[0]);
  }
  return out;
}

bool ogrinfoAvailable() {
  int status = 0;
  (void)shellOutput("command -v ogrinfo >/dev/null 2>&1", &status);
  return status == 0;
}

int ogrFeatureCount(const std::string& file) {
  int status = 0;
  const std::string out = shellOutput("ogrinfo -ro -al -so '" + file + "' 2>/dev/null", &status);
  if (status != 0) return -1;
  const std::string key = "Feature Count: ";
  const size_t at = out.find(key);
  if (at == std::string::npos) return -1;
  return std::atoi(out.c_str() + at + key.size());
}

}  // namespace kelvara::e2e
