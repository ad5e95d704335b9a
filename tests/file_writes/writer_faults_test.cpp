// Every writer of the system against every failing system call: the failure comes back as an
// error with the system's reason, and the file that stood under the target's name survives
// byte for byte, with nothing temporary left beside it.
//
// The writers: the drawing's save, the design report, the text report, the settings file and
// the selection file (comparison lists are only read, never written).
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include "host/design.h"
#include "host/files.h"
#include "host/state.h"
#include "host/ui.h"
#include "report/design_report.h"
#include "report/text_report.h"
#include "selection/file.h"
#include "selection/model.h"
#include "settings/settings_file.h"
#include "support/dgn_builder.h"
#include "support/file_faults.h"
#include "support/scratch.h"

namespace kelvara {
namespace {

namespace fs = std::filesystem;
using test::FileCall;
using test::FileFault;
using test::ScratchDir;

struct Outcome {
  int rc = ERROR;
  std::string reason;
};

// One writer: the file it writes in dir, what stood there before, and the write itself (run
// with the fault in place). prepare() sets up what the write needs before the fault begins.
struct Writer {
  const char* name;
  const char* file;
  bool synced;  // waits for the disk (fsync) before the file takes its name
  std::function<void(const ScratchDir&)> prepare;
  std::function<Outcome(const ScratchDir&)> write;
};

// A drawing with two equal lines, the active design file; returns its model.
ModelRef openPlan(const ScratchDir& dir) {
  test::DesignBuilder d;
  d.add(test::line({0, 0}, {1000, 0}));
  d.add(test::line({0, 0}, {1000, 0}));
  EXPECT_TRUE(d.write(dir.file("plan.dgn")));
  EXPECT_EQ(mdlSystem_newDesignFile(dir.file("plan.dgn")), SUCCESS) << lastDesignError();
  return mdlModelRef_getActive();
}

std::vector<Writer> writers() {
  std::vector<Writer> out;
  out.push_back({"drawing save", "plan.dgn", true,
                 [](const ScratchDir& dir) {
                   const ModelRef m = openPlan(dir);
                   ScanCriteria sc;
                   mdlScan_initialize(&sc, m);
                   mdlScan_setDrawnElements(&sc, true);
                   uint32_t positions[4];
                   int count = 0;
                   (void)mdlScan_file(positions, &count, 4, &sc);
                   ASSERT_EQ(count, 2);
                   ASSERT_EQ(mdlElement_undoableDelete(positions[1], m), SUCCESS);
                 },
                 [](const ScratchDir&) {
                   Outcome o;
                   o.rc = mdlSystem_saveDesignFile();
                   o.reason = lastDesignError();
                   return o;
                 }});
  out.push_back({"design report", "plan.drf", false,
                 [](const ScratchDir& dir) {
                   (void)openPlan(dir);
                   std::ofstream(dir.file("plan.drf")) << "an earlier design report";
                 },
                 [](const ScratchDir& dir) {
                   DesignReportOptions options;
                   options.naming = {false, "", "drf", false, true, ""};
                   DesignReport report;
                   ReportFailure failure;
                   Outcome o;
                   o.rc = designReport_open(report, options, dir.file("plan.dgn"),
                                            dir.file("plan.dgn"), mdlModelRef_getActive(), 0, 1,
                                            &failure);
                   if (o.rc != SUCCESS) {
                     o.reason = lastDesignError();
                     return o;
                   }
                   o.rc = designReport_close(report, &o.reason);
                   return o;
                 }});
  out.push_back({"text report", "run.trf", false,
                 [](const ScratchDir& dir) {
                   std::ofstream(dir.file("run.trf")) << "an earlier text report";
                 },
                 [](const ScratchDir& dir) {
                   TextReportOptions options;
                   options.naming = {true, dir.file("run.trf"), "trf", false, false, ""};
                   RunHeader header;
                   header.secondTitle = "Duplicate element report";
                   TextReport report;
                   ReportFailure failure;
                   Outcome o;
                   o.rc = textReport_openForEntry(report, options, header, dir.file("plan.dgn"),
                                                  "none", 0, 1, &failure);
                   if (o.rc != SUCCESS) {
                     o.reason = failure.detail;
                     return o;
                   }
                   textReport_write(report, "Kelvara found 1 duplicate element in this file.\n");
                   o.rc = textReport_close(report);
                   o.reason = report.error;
                   return o;
                 }});
  out.push_back(
      {"settings file", "kelvara.ini", true,
       [](const ScratchDir& dir) { std::ofstream(dir.file("kelvara.ini")) << "TOLERANCE=5\n"; },
       [](const ScratchDir& dir) {
         RunSettings s;
         settings_resetToFactory(s, false);
         SettingsFile file;
         file.fileName = file.defaultFileName = dir.file("kelvara.ini");
         Outcome o;
         o.rc = settings_save(s, file, &o.reason);
         return o;
       }});
  out.push_back({"selection file", "sets.sel", true,
                 [](const ScratchDir& dir) {
                   std::ofstream(dir.file("sets.sel")) << "an earlier selection file\n";
                 },
                 [](const ScratchDir& dir) {
                   SelectionSetList list;
                   list.sets = {emptySelectionSet("DOORS")};
                   Outcome o;
                   o.rc = writeSelectionFile(dir.file("sets.sel"), list, &o.reason);
                   return o;
                 }});
  return out;
}

struct Fault {
  FileCall call;
  int nth;  // which use fails (0: every use)
  bool syncedOnly;
};

const std::vector<Fault> kFaults = {
    {FileCall::Mkstemp, 1, false}, {FileCall::Write, 0, false}, {FileCall::Fchmod, 0, false},
    {FileCall::Fsync, 1, true},    {FileCall::Close, 0, false}, {FileCall::Rename, 0, false},
};

std::vector<std::string> leftovers(const ScratchDir& dir) {
  std::vector<std::string> found;
  for (const auto& e : fs::directory_iterator(dir.path()))
    if (e.path().filename().string().find("kvtmp") != std::string::npos)
      found.push_back(e.path().string());
  return found;
}

class WriterFaults : public ::testing::Test {
 protected:
  ScopedScriptedUi ui;  // the selection file's message box goes to the script
  void SetUp() override { resetDesignState(); }
  void TearDown() override { resetDesignState(); }
};

TEST_F(WriterFaults, EveryWriterWritesWhenNothingFails) {
  for (const Writer& w : writers()) {
    ScratchDir dir;
    w.prepare(dir);
    const std::string before = test::readText(dir.file(w.file));
    const Outcome o = w.write(dir);
    EXPECT_EQ(o.rc, SUCCESS) << w.name << ": " << o.reason;
    EXPECT_NE(test::readText(dir.file(w.file)), before) << w.name;
    EXPECT_TRUE(leftovers(dir).empty()) << w.name;
    resetDesignState();
  }
}

TEST_F(WriterFaults, AFailedCallIsReportedAndTheOldFileSurvives) {
  const std::string systemReason = std::strerror(EIO);
  for (const Writer& w : writers()) {
    for (const Fault& f : kFaults) {
      if (f.syncedOnly && !w.synced) continue;
      const std::string what = std::string(w.name) + ", failing " + test::fileCallName(f.call);
      ScratchDir dir;
      w.prepare(dir);
      const std::string before = test::readText(dir.file(w.file));
      Outcome o;
      int failures = 0;
      {
        FileFault fault(f.call, f.nth, EIO);
        o = w.write(dir);
        failures = fault.failures();
      }
      EXPECT_GT(failures, 0) << what << ": the writer does not go through the host's calls";
      EXPECT_EQ(o.rc, ERROR) << what;
      EXPECT_NE(o.reason.find(systemReason), std::string::npos) << what << ": " << o.reason;
      EXPECT_EQ(test::readText(dir.file(w.file)), before) << what;
      EXPECT_TRUE(leftovers(dir).empty()) << what;
      resetDesignState();
    }
  }
}

}  // namespace
}  // namespace kelvara
