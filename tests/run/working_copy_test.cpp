// Working-copy slots without document management, placeholder files and opening a file and
// model. The placeholder a run creates in the temporary folder: TwoRunsAtOnce (end to end).
#include "lists/working_copy.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "host/config.h"
#include "host/design.h"
#include "host/state.h"
#include "host/ui.h"
#include "support/scratch.h"

namespace kelvara {
namespace {

namespace fs = std::filesystem;

class WorkingCopy : public ::testing::Test {
 protected:
  void SetUp() override {
    resetHostState();
    resetDesignState();
    fs::create_directories(path("tmp"));
    ASSERT_EQ(createDesignFile(path("a.dgn"), false), SUCCESS);
    ASSERT_EQ(mdlSystem_newDesignFile(path("a.dgn")), SUCCESS);
    ASSERT_EQ(mdlSystem_defineCfgVar("TEMP", path("tmp")), SUCCESS);
  }
  void TearDown() override {
    (void)closeAllDesignFiles();
    resetHostState();
  }
  std::string path(const std::string& name) const { return scratch.file(name); }
  test::ScratchDir scratch;
};

TEST_F(WorkingCopy, ReadOnlyOrBrokenPlaceholdersAreSkipped) {
  ASSERT_EQ(createDesignFile(path("tmp/cmptmp0.dgn"), false), SUCCESS);
  ASSERT_EQ(::chmod(path("tmp/cmptmp0.dgn").c_str(), 0444), 0);
  std::ofstream(path("tmp/cmptmp1.dgn")) << "not a design file";
  WorkingCopySlot slot;
  prepareSlot(slot);
  EXPECT_EQ(slot.placeholderPath, path("tmp/cmptmp2.dgn"));
}

TEST_F(WorkingCopy, WithoutTemporaryFolderTheActiveFileIsThePlaceholder) {
  for (const char* name : {"TEMP", "TMP", "MS_TMP", "TMPDIR"}) {
    (void)mdlSystem_undefineCfgVar(name);
    if (std::getenv(name) != nullptr) GTEST_SKIP() << name << " is set in the environment";
  }
  WorkingCopySlot slot;
  prepareSlot(slot);
  EXPECT_EQ(slot.placeholderPath, path("a.dgn"));
}

TEST_F(WorkingCopy, CheckOutHandsLocalPathsThrough) {
  WorkingCopySlot slot;
  std::string p = path("a.dgn");
  EXPECT_EQ(checkOut(slot, &p, 0), 0);
  EXPECT_EQ(p, path("a.dgn"));
  EXPECT_EQ(slot.localPath, path("a.dgn"));
  EXPECT_TRUE(slot.documentPath.empty());
  std::string back = "unchanged";
  finishSlot(slot, &back);
  EXPECT_EQ(back, "unchanged");  // an inactive slot hands nothing back
  EXPECT_TRUE(isDocumentPath("pw:\\\\server\\doc.dgn"));
  EXPECT_TRUE(isDocumentPath("PW:x"));
  EXPECT_FALSE(isDocumentPath("/pw/x.dgn"));
}

TEST_F(WorkingCopy, OpenFileAndModel) {
  ASSERT_EQ(createDesignFile(path("b.dgn"), false), SUCCESS);
  const ModelRef before = mdlModelRef_getActive();
  EXPECT_EQ(openFileAndModel(path("a.dgn"), "<ActiveModel>"), 0);
  EXPECT_EQ(mdlModelRef_getActive(), before);  // nothing changed
  EXPECT_EQ(openFileAndModel(path("b.dgn"), "Default"), 0);
  std::string active;
  ASSERT_EQ(mdlModelRef_getFileName(mdlModelRef_getActive(), &active), SUCCESS);
  EXPECT_EQ(active, path("b.dgn"));
  EXPECT_EQ(openFileAndModel(path("b.dgn"), "Sheet 2"), 2);  // V7 files have one model
  EXPECT_EQ(openFileAndModel(path("missing.dgn"), ""), 1);
}

}  // namespace
}  // namespace kelvara
