// End to end: `kelvara` restricted by a selection file named through the settings removes the
// duplicates that the named sets admit and leaves the others alone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/dgn/image.h"
#include "selection/file.h"
#include "tests/support/dgn_builder.h"

namespace kelvara {
namespace {

struct KelvaraRun : ::testing::Test {
  std::string dir;
  void SetUp() override {
    char tmpl[] = "/tmp/kelvara_selrun_XXXXXX";
    dir = mkdtemp(tmpl);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  // Runs kelvara in dir with the arguments; returns its exit status.
  int kelvara(const std::string& args) {
    const char* bin = std::getenv("KELVARA_BIN");
    if (!bin) return -1;
    const std::string command = "cd '" + dir + "' && '" + bin + "' " + args + " >out.txt 2>err.txt";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string read(const std::string& name) {
    std::ifstream in(dir + "/" + name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::vector<bool> deletedFlags(const test::DesignBuilder& drawing, const std::string& name) {
    const std::string text = read(name);
    const std::vector<uint8_t> bytes(text.begin(), text.end());
    dgn::DesignImage img;
    std::string error;
    EXPECT_EQ(dgn::parseImage(bytes, name, img, &error), SUCCESS) << error;
    std::vector<bool> deleted;
    for (size_t i = 0; i < drawing.elements.size(); ++i) {
      const dgn::Bytes el = dgn::elementAt(img, drawing.positionOf(i));
      deleted.push_back(!el.empty() && dgn::isDeletedBit(el.data()));
    }
    return deleted;
  }
};

TEST_F(KelvaraRun, RestrictedRunLeavesDuplicatesOutsideTheSetsAlone) {
  if (!std::getenv("KELVARA_BIN")) GTEST_SKIP() << "KELVARA_BIN is not set";
  SelectionSetList list;
  SelectionSet red = emptySelectionSet("RED");
  toggleOf(red, 3)->selected = 1;
  red.colors = "1";
  list.sets = {red};
  ASSERT_EQ(writeSelectionFile(dir + "/sets.sel", list), SUCCESS);

  test::DesignBuilder drawing;
  drawing.add(test::line({0, 0}, {1000, 0}, {.colour = 1}));  // duplicates, admitted
  drawing.add(test::line({0, 0}, {1000, 0}, {.colour = 1}));
  drawing.add(test::line({0, 500}, {1000, 500}, {.colour = 2}));  // duplicates, not admitted
  drawing.add(test::line({0, 500}, {1000, 500}, {.colour = 2}));
  ASSERT_TRUE(drawing.write(dir + "/drawing.dgn"));

  const std::string settings =
      "--set BACKUP=0 --set REMOVE_ALL_DUP=0 --set REMOVE_SEL_DUP=1 "
      "--set CRITERIA_NAME_=" +
      dir + "/sets --set CRITERIA_DESCRPT_=RED ";
  EXPECT_EQ(kelvara(settings + "drawing.dgn"), 0) << read("err.txt");
  EXPECT_EQ(deletedFlags(drawing, "drawing.dgn"), (std::vector<bool>{true, false, false, false}))
      << read("err.txt");

  // A selection file that does not exist: nothing is removed, and the message names it.
  ASSERT_TRUE(drawing.write(dir + "/drawing.dgn"));
  kelvara("--set BACKUP=0 --set REMOVE_ALL_DUP=0 --set REMOVE_SEL_DUP=1 --set CRITERIA_NAME_=" +
          dir + "/missing --set CRITERIA_DESCRPT_=RED drawing.dgn");
  EXPECT_EQ(deletedFlags(drawing, "drawing.dgn"), (std::vector<bool>(4, false)));
  EXPECT_NE(read("err.txt").find(unreadableSelectionFileMessage(dir + "/missing.sel")),
            std::string::npos)
      << read("err.txt");
}

}  // namespace
}  // namespace kelvara
