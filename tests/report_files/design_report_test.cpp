// The design report: built from a drawing, read back with the host reader and with GDAL.
#include "report/design_report.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "engine/element_table.h"
#include "host/design.h"
#include "host/dgn/codec.h"
#include "host/state.h"
#include "tests/support/dgn_builder.h"
#include "tests/support/scan.h"
#include "tests/support/scratch.h"

namespace kelvara {
namespace {

using test::readText;
using test::ScratchDir;
using test::Symb;

// One element of a file as the host reads it back.
struct Seen {
  uint32_t position = 0;
  int type = 0, level = 0;
  uint32_t colour = 0, weight = 0;
  int32_t style = 0;
  bool component = false;
};

// Every element of a design file that is not deleted, components included, in file order.
std::vector<Seen> readBack(const std::string& path, ModelRef* model = nullptr) {
  ModelRef m = 0;
  EXPECT_EQ(mdlWorkDgn_openFile(&m, path, true), SUCCESS) << lastDesignError();
  std::vector<Seen> out;
  for (const auto& e : test::scanModel(m, false, true)) {
    if (!e.descriptor) continue;
    Seen s;
    s.position = e.position;
    s.type = mdlElement_getType(*e.descriptor);
    s.level = dgn::levelOf(e.descriptor->bytes.data());
    (void)mdlElement_getSymbology(&s.colour, &s.weight, &s.style, *e.descriptor);
    s.component = e.descriptor->isComponent;
    out.push_back(s);
  }
  if (model) *model = m;
  return out;
}

ReportSymbology group(const char* level, int colour, int weight, int style, bool useStyle) {
  ReportSymbology g;
  g.useLevel = g.useColor = g.useWeight = 1;
  g.useStyle = useStyle;
  g.levelValue.assign(level);
  g.colorValue = colour;
  g.weightValue = weight;
  g.styleValue = style;
  return g;
}

DesignReportOptions reportOptions() {
  DesignReportOptions o;
  o.naming = {false, "", "drf", false, true, ""};
  o.groups[REPORT_SINGLE] = group("Kelvara Non-Duplicate", 0, 0, 0, false);
  o.groups[REPORT_DUPLICATE] = group("Kelvara Duplicate", 2, 3, 0, false);
  o.groups[REPORT_MATCHED] = group("\"Kelvara Selected\"", 4, 2, 5, true);
  o.groups[REPORT_FOURTH] = group("", 3, 3, 0, false);  // never written, never resolved
  return o;
}

std::vector<std::string> traced;
void recordTrace(const char* line) {
  traced.emplace_back(line);
}

class DesignReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetDesignState();
    resetHostState();
    traced.clear();
  }
  void TearDown() override {
    (void)designReport_close(report);
    resetDesignState();
  }

  // A 2D drawing: colour table, two equal lines, a cell, a shared cell definition and
  // instance, a text, and a deleted line. Returns the positions of the added elements.
  std::vector<uint32_t> writeDrawing(const std::string& path, bool is3d = false) {
    test::DesignBuilder d;
    d.is3d = is3d;
    d.add(test::colourTable(10, 20, 30));                                                   // 0
    d.add(test::line({0, 0}, {1000, 0}, Symb{.level = 5, .colour = 7, .style = 2}, is3d));  // 1
    d.add(test::line({0, 0}, {1000, 0}, Symb{.level = 5, .colour = 7, .style = 2}, is3d));  // 2
    d.add(test::cell("DOOR", {500, 500},
                     {test::line({400, 400}, {600, 400}, Symb{.level = 8}, is3d),
                      test::line({600, 400}, {600, 600}, Symb{.level = 9}, is3d)},
                     Symb{.level = 8, .colour = 1}, is3d));  // 3
    d.add(test::sharedCellDefinition({test::line({0, 0}, {10, 10}, Symb{.level = 3}, is3d)}));
    d.add(test::opaque(35, std::vector<uint8_t>(24, 0), Symb{.level = 3, .colour = 6}));  // 5
    d.add(test::text({.chars = "NOTE", .origin = {100, 900}}, Symb{.level = 2}, is3d));   // 6
    d.add(test::deleted(test::line({5, 5}, {6, 6}, Symb{.level = 4}, is3d)));             // 7
    EXPECT_TRUE(d.write(path));
    std::vector<uint32_t> positions;
    for (size_t i = 0; i < d.elements.size(); ++i) positions.push_back(d.positionOf(i));
    return positions;
  }

  ModelRef openActive(const std::string& path) {
    EXPECT_EQ(mdlSystem_newDesignFile(path), SUCCESS) << lastDesignError();
    return mdlModelRef_getActive();
  }

  void writeAt(ModelRef model, uint32_t position, uint32_t reportClass, int expected) {
    ElmDscrPtr d;
    ASSERT_EQ(mdlElmdscr_read(&d, position, model), SUCCESS);
    EXPECT_EQ(designReport_write(report, options, *d, reportClass), expected);
  }

  DesignReport report;
  DesignReportOptions options = reportOptions();
};

TEST_F(DesignReportTest, HoldsTheModelInTheSingleSymbologyAndReportedElementsOnTop) {
  ScratchDir dir;
  const std::string plan = dir.file("plan.dgn");
  const std::vector<uint32_t> at = writeDrawing(plan);
  const std::string original = readText(plan);
  const ModelRef active = openActive(plan);
  report.trace = recordTrace;

  ReportFailure failure;
  ASSERT_EQ(designReport_open(report, options, plan, plan, active, 0, 1, &failure), SUCCESS)
      << failure.message << " " << lastDesignError();
  EXPECT_EQ(report.name, dir.file("plan.drf"));
  writeAt(active, at[2], STATUS_DUPLICATE, SUCCESS);    // the second line: a duplicate
  writeAt(active, at[3], STATUS_REMOVED_ALL, SUCCESS);  // the cell: removed as selected
  writeAt(active, at[5], STATUS_DUPLICATE, SUCCESS);    // the shared cell instance
  writeAt(active, at[6], STATUS_UNIQUE, SUCCESS);       // single: already in the copy
  writeAt(active, at[1], STATUS_NOT_ADMITTED, ERROR);   // no group for this class
  EXPECT_EQ(traced, std::vector<std::string>{"Prog error report 2222\n"});
  ASSERT_EQ(designReport_close(report), SUCCESS);

  // The design file itself is untouched, on disk and in the host.
  EXPECT_EQ(readText(plan), original);
  EXPECT_FALSE(designFileOf(active)->image.dirty);

  ModelRef m = 0;
  const std::vector<Seen> seen = readBack(report.name, &m);
  int single = 0, duplicate = 0, matched = 0;
  ASSERT_EQ(mdlLevel_getIdFromName(&single, m, "Kelvara Non-Duplicate"), SUCCESS);
  ASSERT_EQ(mdlLevel_getIdFromName(&duplicate, m, "Kelvara Duplicate"), SUCCESS);
  ASSERT_EQ(mdlLevel_getIdFromName(&matched, m, "Kelvara Selected"), SUCCESS);
  EXPECT_NE(single, duplicate);
  EXPECT_NE(single, matched);
  EXPECT_NE(duplicate, matched);

  // Elements per (type, level, colour, weight, style); components counted with their header.
  std::map<std::array<int, 5>, int> counts;
  for (const Seen& s : seen)
    ++counts[{s.type, s.level, int(s.colour), int(s.weight), int(s.style)}];
  const std::map<std::array<int, 5>, int> expected = {
      // The copy: every graphic element on the single level, colour 0, weight 0, own style.
      {{3, single, 0, 0, 2}, 2},  // both lines
      {{2, single, 0, 0, 0}, 1},  // the cell ...
      {{3, single, 0, 0, 0}, 2},  // ... and its two components
      {{35, single, 0, 0, 0}, 1},
      {{17, single, 0, 0, 0}, 1},
      // The shared cell definition comes along unchanged (with its component).
      {{34, 0, 0, 0, 0}, 1},
      {{3, 3, 0, 0, 0}, 1},
      // Reported elements, written again in their group's symbology.
      {{3, duplicate, 2, 3, 2}, 1},
      {{2, matched, 4, 2, 5}, 1},
      {{3, matched, 4, 2, 5}, 2},
      {{35, duplicate, 2, 3, 0}, 1},
  };
  std::map<std::array<int, 5>, int> graphic;
  for (const auto& [key, n] : counts)
    if (key[0] != 9 && key[0] != 10 && key[0] != 66 && key[0] != 5) graphic[key] = n;
  EXPECT_EQ(graphic, expected);
  // The colour table of the drawing is not carried over; the deleted line is not either.
  for (const Seen& s : seen) EXPECT_FALSE(s.type == 5 && s.level == 1) << s.position;
}

TEST_F(DesignReportTest, UsesNamedLevelsThatExistAndCreatesTheMissingOnes) {
  ScratchDir dir;
  const std::string plan = dir.file("plan.dgn");
  writeDrawing(plan);
  const ModelRef active = openActive(plan);
  // The drawing already names level 12 after the duplicate group, and level 5 "Walls".
  DesignFile* f = designFileOf(active);
  ASSERT_NE(f, nullptr);
  f->levelNames[12] = "Kelvara Duplicate";
  f->levelNames[5] = "Walls";
  options.groups[REPORT_SINGLE].useLevel = 0;  // single elements keep their levels

  ReportFailure failure;
  ASSERT_EQ(designReport_open(report, options, plan, plan, active, 0, 1, &failure), SUCCESS);
  EXPECT_EQ(report.levels[REPORT_SINGLE], 0);
  EXPECT_EQ(report.levels[REPORT_DUPLICATE], 12);
  ASSERT_EQ(designReport_close(report), SUCCESS);

  ModelRef m = 0;
  const std::vector<Seen> seen = readBack(report.name, &m);
  std::string name;
  ASSERT_EQ(mdlLevel_getName(&name, m, 12), SUCCESS);
  EXPECT_EQ(name, "Kelvara Duplicate");
  ASSERT_EQ(mdlLevel_getName(&name, m, 5), SUCCESS);
  EXPECT_EQ(name, "Walls");
  int selected = 0;
  ASSERT_EQ(mdlLevel_getIdFromName(&selected, m, "Kelvara Selected"), SUCCESS);
  EXPECT_NE(selected, 12);
  EXPECT_NE(selected, 5);
  // Single elements kept their own levels (the lines on 5, the text on 2).
  int onFive = 0;
  for (const Seen& s : seen)
    if (s.type == 3 && s.level == 5) ++onFive;
  EXPECT_EQ(onFive, 2);
}

// A report never lands on the drawing, its working copy or a read-only report, and a name that
// cannot be made is refused; the files that stood there keep their bytes. (A missing folder and
// the backup's extension: FailureReport's design report rows.)
TEST_F(DesignReportTest, RefusalsLeaveFilesAlone) {
  ScratchDir dir;
  const std::string plan = dir.file("plan.dgn");
  writeDrawing(plan);
  const ModelRef active = openActive(plan);
  const auto beside = [](const char* extension) {
    return ReportNaming{false, "", extension, false, true, ""};
  };
  const auto in = [](const std::string& folder) {
    return ReportNaming{false, "", "drf", false, false, folder};
  };
  struct Case {
    const char* name;
    ReportNaming naming;
    std::string designFile;
    int message;
    std::string argument = "";  // the name the failure names ("": not checked)
  };
  const std::vector<Case> cases = {
      {"design file with the report extension", beside("DGN"), plan, 58},
      {"report lands on the design file", {false, "", "dgn", false, false, dir.path()}, plan, 58},
      {"report lands on the working copy", beside("dgn"), dir.file("plan.pwd"), 58},
      {"name too long", in("/" + std::string(300, 'x')), plan, 82},
      {"a read-only report of the same name", beside("drf"), plan, 82, dir.file("plan.drf")},
  };
  std::ofstream(dir.file("plan.bak")) << "the backup";
  std::ofstream(dir.file("plan.drf")) << "keep";
  ::chmod(dir.file("plan.drf").c_str(), 0444);
  const std::string before = readText(plan);
  for (const Case& c : cases) {
    options.naming = c.naming;
    ReportFailure failure;
    EXPECT_EQ(designReport_open(report, options, c.designFile, plan, active, 0, 1, &failure), ERROR)
        << c.name;
    EXPECT_EQ(failure.message, c.message) << c.name;
    EXPECT_EQ(report.file, 0u) << c.name;
    if (!c.argument.empty()) {
      EXPECT_EQ(failure.argument, c.argument) << c.name;
    }
  }
  EXPECT_EQ(readText(plan), before);
  EXPECT_EQ(readText(dir.file("plan.bak")), "the backup");
  EXPECT_EQ(readText(dir.file("plan.drf")), "keep");
}

// A three-dimensional drawing, as the second of two entries.
TEST_F(DesignReportTest, ExistingReportIsReplacedReproduciblyAndReportsOffWriteNothing) {
  ScratchDir dir;
  const std::string plan = dir.file("plan.dgn");
  const std::vector<uint32_t> at = writeDrawing(plan, true);
  const ModelRef active = openActive(plan);
  { std::ofstream(dir.file("plan1.drf")) << "an old report"; }
  ReportFailure failure;
  ASSERT_EQ(designReport_open(report, options, plan, plan, active, 1, 2, &failure), SUCCESS);
  EXPECT_EQ(report.name, dir.file("plan1.drf"));
  writeAt(active, at[1], STATUS_DUPLICATE, SUCCESS);
  ASSERT_EQ(designReport_close(report), SUCCESS);
  bool is3d = false;
  ASSERT_EQ(mdlFile_checkDesignFile(report.name, &is3d), SUCCESS);
  EXPECT_TRUE(is3d);
  // The same drawing gives the same report, byte for byte.
  const std::string first = readText(report.name);
  ASSERT_EQ(designReport_open(report, options, plan, plan, active, 1, 2, &failure), SUCCESS);
  writeAt(active, at[1], STATUS_DUPLICATE, SUCCESS);
  ASSERT_EQ(designReport_close(report), SUCCESS);
  EXPECT_EQ(readText(dir.file("plan1.drf")), first);

  options.enabled = false;
  ASSERT_EQ(designReport_open(report, options, plan, plan, active, 0, 1, &failure), SUCCESS);
  EXPECT_EQ(report.name, "none");
  EXPECT_EQ(report.file, 0u);
  EXPECT_EQ(designReport_write(report, options, ElmDscrPtr(new MSElementDescr()).operator*(),
                               STATUS_DUPLICATE),
            ERROR);
}

TEST_F(DesignReportTest, ElementsOfReferencesBringTheirSharedCellDefinitions) {
  ScratchDir dir;
  test::DesignBuilder ref;
  ref.add(test::line({0, 0}, {10, 0}, Symb{.level = 2}));
  ref.add(test::sharedCellDefinition({test::line({0, 0}, {10, 10}, Symb{.level = 3})}));
  ref.add(test::opaque(35, std::vector<uint8_t>(24, 0), Symb{.level = 3}));
  ASSERT_TRUE(ref.write(dir.file("ref.dgn")));
  test::DesignBuilder master;
  master.add(test::reference("ref.dgn", "REF"));
  master.add(test::line({0, 0}, {50, 50}, Symb{.level = 1}));
  ASSERT_TRUE(master.write(dir.file("master.dgn")));

  const ModelRef active = openActive(dir.file("master.dgn"));
  ModelRefIterator it;
  ASSERT_EQ(mdlModelRefIterator_create(&it, active, 0, -1), SUCCESS);
  const ModelRef refModel = mdlModelRefIterator_getNext(&it);
  mdlModelRefIterator_free(&it);
  ASSERT_NE(refModel, 0u);

  ReportFailure failure;
  ASSERT_EQ(designReport_open(report, options, dir.file("master.dgn"), dir.file("master.dgn"),
                              active, 0, 1, &failure),
            SUCCESS);
  // Single elements as the pass hands them over, without a loaded descriptor: the reference's
  // line is read and written, the master's line is in the copy already and is not read again.
  ElementEntry refLine, masterLine;
  refLine.modelRef = refModel;
  refLine.filePosition = ref.positionOf(0);
  masterLine.modelRef = active;
  masterLine.filePosition = master.positionOf(1);
  EXPECT_EQ(designReport_writeEntry(report, options, refLine, REPORT_CLASS_SINGLE_ELEMENT),
            SUCCESS);
  EXPECT_EQ(designReport_writeEntry(report, options, masterLine, REPORT_CLASS_SINGLE_ELEMENT),
            SUCCESS);
  ElementEntry nowhere;  // nothing starts there: it cannot be read
  nowhere.modelRef = refModel;
  nowhere.filePosition = ref.positionOf(0) + 2;
  EXPECT_EQ(designReport_writeEntry(report, options, nowhere, REPORT_CLASS_SINGLE_ELEMENT), ERROR);
  writeAt(refModel, ref.positionOf(2), STATUS_DUPLICATE, SUCCESS);  // instance: definition too
  writeAt(refModel, ref.positionOf(2), STATUS_DUPLICATE, SUCCESS);  // the definition only once
  ASSERT_EQ(designReport_close(report), SUCCESS);

  ModelRef m = 0;
  std::map<int, int> byType;
  for (const Seen& s : readBack(report.name, &m))
    if (!s.component) ++byType[s.type];
  EXPECT_EQ(byType[3], 2);   // the master's line and the reference's line
  EXPECT_EQ(byType[34], 1);  // the reference's definition, copied once
  EXPECT_EQ(byType[35], 2);
  for (const Seen& s : readBack(report.name)) EXPECT_FALSE(s.type == 5 && s.level == 9);
}

}  // namespace
}  // namespace kelvara
