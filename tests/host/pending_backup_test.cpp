// A pending backup: made by the first save of a changed drawing, never by closing it unchanged,
// and one that cannot be made keeps the change from being written. (Backups of whole runs, work
// files and the design report's copy of the drawing: the end-to-end backup and run tests.)
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/design.h"
#include "support/dgn_builder.h"
#include "support/fresh_host.h"
#include "support/scratch.h"

namespace kelvara {
namespace {

namespace fs = std::filesystem;
using test::DesignBuilder;
using test::readText;

struct PendingBackup : test::FreshDesigns {
  // Names in the folder that are neither drawings nor backups nor reports.
  std::vector<std::string> strayFiles() const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(scratch.path())) {
      const std::string ext = e.path().extension().string();
      if (ext != ".dgn" && ext != ".bak" && ext != ".drf") out.push_back(e.path().string());
    }
    return out;
  }
  // a.dgn with two lines, opened as the active file.
  ModelRef openDrawing(DesignBuilder* builder = nullptr) {
    DesignBuilder d;
    d.add(test::line({0, 0}, {100, 0}));
    d.add(test::line({0, 50}, {100, 50}));
    write("a.dgn", d);
    if (builder) *builder = d;
    EXPECT_EQ(mdlSystem_newDesignFile(path("a.dgn")), SUCCESS) << lastDesignError();
    return mdlModelRef_getActive();
  }
};

TEST_F(PendingBackup, IsMadeOnlyWhenAChangeIsWritten) {
  struct Case {
    const char* name;
    bool change;
    bool backupWritable;
  };
  for (const Case& c : std::vector<Case>{{"closed unchanged", false, true},
                                         {"changed and saved", true, true},
                                         {"backup cannot be made", true, false}}) {
    resetDesignState();
    fs::remove(path("a.bak"));
    DesignBuilder d;
    const ModelRef m = openDrawing(&d);
    const std::string original = readText(path("a.dgn"));
    std::ofstream(path("a.bak")) << "older backup";
    if (!c.backupWritable) {
      ASSERT_EQ(::chmod(path("a.bak").c_str(), 0444), 0);
    }
    ASSERT_EQ(registerPendingBackup(path("a.bak"), m), SUCCESS) << c.name;
    EXPECT_EQ(readText(path("a.bak")), "older backup") << c.name;
    if (c.change) {
      ASSERT_EQ(mdlElement_undoableDelete(d.positionOf(0), m), SUCCESS) << c.name;
    }
    const int saved = closeAllDesignFiles();
    EXPECT_EQ(saved, c.backupWritable ? SUCCESS : ERROR) << c.name;
    const bool replaced = c.change && c.backupWritable;
    EXPECT_EQ(readText(path("a.bak")), replaced ? original : "older backup") << c.name;
    EXPECT_EQ(readText(path("a.dgn")) == original, !replaced) << c.name;
    if (!c.backupWritable) {
      EXPECT_NE(lastDesignError().find("a.bak"), std::string::npos) << c.name;
    }
    ::chmod(path("a.bak").c_str(), 0644);
    EXPECT_TRUE(strayFiles().empty()) << c.name;
  }
  resetDesignState();
  const ModelRef m = openDrawing();
  EXPECT_EQ(registerPendingBackup(path("a.dgn"), m), ERROR);  // never onto the drawing itself
}

}  // namespace
}  // namespace kelvara
