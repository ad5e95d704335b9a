// `kelvara --dump` of a file it cannot read: status 1, nothing listed, the byte named. (The
// listing itself: the end-to-end tests read every drawing through it, and the GDAL interop
// tests compare it with what GDAL reads.)
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "support/dgn_builder.h"
#include "support/scratch.h"

namespace kelvara {
namespace {

using namespace kelvara::test;

struct RunResult {
  int status = -1;
  std::string out;
};

// Runs kelvara with `args`; standard error goes to `err` (a shell redirection).
RunResult runKelvara(const std::string& args, const std::string& err = "2>/dev/null") {
  RunResult r;
  FILE* p =
      ::popen((std::string(std::getenv("KELVARA_BIN")) + " " + args + " " + err).c_str(), "r");
  if (!p) return r;
  std::array<char, 4096> buf;
  for (size_t n; (n = std::fread(buf.data(), 1, buf.size(), p)) > 0;) r.out.append(buf.data(), n);
  const int st = ::pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

class Dump : public ::testing::Test {
 protected:
  ScratchDir dir;
  void SetUp() override {
    if (!std::getenv("KELVARA_BIN")) GTEST_SKIP() << "KELVARA_BIN not set";
  }
};

TEST_F(Dump, UnreadableFileFailsNamingTheByte) {
  EXPECT_EQ(runKelvara("--dump " + dir.file("missing.dgn")).status, 1);
  DesignBuilder d;
  d.add(line({0, 0}, {1, 1}));
  std::vector<uint8_t> b = d.bytes();
  b.resize(b.size() - 10);  // truncated line
  const std::string path = dir.file("cut.dgn");
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
  const RunResult cut = runKelvara("--dump " + path);
  EXPECT_EQ(cut.status, 1);
  EXPECT_TRUE(cut.out.empty());
  const std::string message = runKelvara("--dump " + path, "2>&1 >/dev/null").out;
  EXPECT_NE(message.find(path + ": byte 1536: "), std::string::npos) << message;
}

}  // namespace
}  // namespace kelvara
