// `kelvara --dump`: the listing of a design file, and its exit codes.
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

TEST_F(Dump, OneLinePerElementInFileOrder) {
  DesignBuilder d;
  d.is3d = true;
  d.add(line({-100, 20, 5}, {300, 40, 7},
             {.level = 12, .colour = 200, .weight = 31, .style = 7, .properties = 3}, true));
  d.add(deleted(
      complexChain({line({0, 0, 0}, {1, 0, 0}, {}, true), line({1, 0, 0}, {1, 1, 0}, {}, true)},
                   {.level = 2, .colour = 1}, true)));
  const std::string path = dir.file("d.dgn");
  ASSERT_TRUE(d.write(path));
  const RunResult r = runKelvara("--dump " + path);
  ASSERT_EQ(r.status, 0);
  const auto ls = split(r.out, '\n');
  ASSERT_EQ(ls.size(), 5u);  // header block, line, chain and its two components
  EXPECT_EQ(ls[0].substr(0, 5), "0\t9\t8");
  EXPECT_EQ(ls[1], std::to_string(d.positionOf(0)) +
                       "\t3\t12\t200\t31\t7\t3\t0\t0\t-100\t20\t5\t300\t40\t7");
  EXPECT_EQ(ls[2].substr(0, ls[2].find('\t', ls[2].find('\t') + 1)),
            std::to_string(d.positionOf(1)) + "\t12");
  // Deleted header and components, the components flagged as such.
  EXPECT_NE(ls[2].find("\t2\t1\t0\t0\t0\t1\t0\t"), std::string::npos) << ls[2];
  EXPECT_NE(ls[3].find("\t1\t1\t"), std::string::npos) << ls[3];
  EXPECT_EQ(ls[4].substr(0, ls[4].find('\t')), std::to_string(d.positionOf(1) + 48 + 60));
}

// (Usage errors and --version: the command-line end-to-end tests.)
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
