// DXF drawings made by ezdxf (make_dxf_cases.py) through the kelvara executable: each duplicate
// case gives the findings its DGN twin gives, the report names the layer as the level and the
// entity's handle as the element ID.
#include "host/dxf/dxf.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <optional>
#include <set>

#include "e2e/harness.h"
#include "host/design.h"
#include "host/dxf/write.h"
#include "support/dgn_builder.h"

namespace kelvara::e2e {
namespace {

using test::DesignBuilder;

constexpr double kUnit = 1000;  // UOR per master unit of the DGN twins

// The case drawings, made once per test program.
const Scratch& dxfCases() {
  static Scratch dir("dxfcases");
  static const bool made = [] {
    int status = 0;
    const std::string out =
        shellOutput("/usr/bin/python3 " KELVARA_SOURCE_DIR "/tests/e2e/make_dxf_cases.py '" +
                        dir.dir.string() + "' 2>&1",
                    &status);
    if (status != 0) ADD_FAILURE() << "make_dxf_cases.py failed (python3-ezdxf?):\n" << out;
    return status == 0;
  }();
  (void)made;
  return dir;
}

test::Element dgnLine(double x1, double y1, double x2, double y2) {
  return test::line({x1 * kUnit, y1 * kUnit}, {x2 * kUnit, y2 * kUnit});
}

test::Element dgnShape(std::vector<DPoint3d> pts) {
  for (DPoint3d& p : pts) p = {p.x * kUnit, p.y * kUnit, 0};
  pts.push_back(pts.front());
  return test::shape(pts);
}

test::Element dgnText(const std::string& chars) {
  const int mult = int(2.5 * kUnit / 0.006);
  return test::text({.chars = chars,
                     .origin = {2 * kUnit, 3 * kUnit},
                     .lengthMult = mult,
                     .heightMult = mult,
                     .font = 0,
                     .justification = 0});
}

test::Element dgnDoor(double x) {
  return test::cell("DOOR", {x * kUnit, 8 * kUnit}, {dgnLine(x, 8, x, 11)});
}

// Doors with their numbers as tags of tag set 1 ("DOOR"), after the set's definition.
std::vector<test::Element> dgnTaggedDoors(std::vector<std::pair<double, std::string>> doors) {
  std::vector<test::Element> out{test::tagSet(1, "DOOR", {"NUMBER"})};
  for (const auto& [x, number] : doors) {
    out.push_back(dgnDoor(x));
    out.push_back(test::tagValue(0, 1, 1, number));
  }
  return out;
}

struct Case {
  const char* label;
  const char* name;                    // make_dxf_cases.py's case
  std::vector<std::string> settings;   // KEY=VALUE for --set
  std::vector<test::Element> dgnTwin;  // the same drawing as DGN elements
  int duplicates;                      // what both give with those settings
  const char* type;                    // the reported element type of the first entity (ATTRIB
                                       // for a tag) a run finds
  int removed = -1;  // INSERTs (each with its one ATTRIB) a delete run removes; -1: no such run
  int refused = 0;   // tags of ATTRIBs found whose INSERT stays: reported, not deleted
  const char* symbology = "Co ByLevel, Wt ByLevel, St ByLevel";  // as reported
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.label;
}

// The handle of the first entity of a DXF drawing (its first ATTRIB when `attrib`), as the
// report prints element IDs.
std::string firstHandle(const std::string& path, bool attrib) {
  if (attrib) {
    const std::string text = readFile(path);
    const size_t at = text.find("\nATTRIB\n");
    const size_t h = at == std::string::npos ? at : text.find("\n  5\n", at);
    if (h == std::string::npos) return "no ATTRIB";
    return std::to_string(std::stoull(text.substr(h + 5, text.find('\n', h + 5)), nullptr, 16));
  }
  dxf::Drawing d;
  dxf::DxfError error;
  if (!dxf::readDrawing(path, d, error)) return "unreadable: " + error.text;
  const dxf::Section* s = dxf::findSection(d, "ENTITIES");
  if (!s || s->recordCount == 0) return "no entities";
  return std::to_string(d.records[s->firstRecord].handle);
}

// The summary's count of duplicates, -1 when it has none.
int foundCount(const RunResult& r) {
  int n = -1;
  const size_t at = r.out.find("\n1 model processed.\n");
  if (at != std::string::npos) std::sscanf(r.out.c_str() + at + 20, "%d", &n);
  return n;
}

RunResult reportOnly(const Scratch& s, const std::string& file, std::vector<std::string> settings) {
  settings.insert(settings.end(),
                  {"REPORT_ONLY=1", "BACKUP=0", "DESIGN_REPORT__=0", "FILEPOS_IN_REPORT=1"});
  return runKelvara(s, withSettings(settings, {file}));
}

// The ezdxf audit of a file: its last line ("No errors found." when clean).
std::string ezdxfAudit(const std::string& file) {
  int status = 0;
  const std::vector<std::string> lines =
      splitLines(shellOutput("/usr/bin/python3 -m ezdxf audit '" + file + "' 2>&1", &status));
  return lines.empty() ? "" : lines.back();
}

// Whether LibreCAD's dxf2pdf draws the drawing (true when LibreCAD is not installed; CI has it).
bool libreCadDraws(const std::string& file, const std::string& folder) {
  int status = 0;
  (void)shellOutput("command -v librecad >/dev/null 2>&1", &status);
  if (status != 0) return true;
  const std::string copy = folder + "/drawn.dxf", pdf = folder + "/drawn.pdf";
  std::filesystem::copy_file(file, copy, std::filesystem::copy_options::overwrite_existing);
  (void)shellOutput("QT_QPA_PLATFORM=offscreen timeout 60 librecad dxf2pdf -a -o '" + pdf + "' '" +
                        copy + "' >/dev/null 2>&1",
                    &status);
  return status == 0 && std::filesystem::exists(pdf);
}

size_t occurrences(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

class DxfCases : public ::testing::TestWithParam<Case> {};

TEST_P(DxfCases, FindTheDuplicatesOfTheirDgnTwin) {
  const Case& c = GetParam();
  const std::string dxf = dxfCases().path(std::string(c.name) + ".dxf");
  Scratch s(std::string("dxf_") + c.label);
  std::filesystem::copy_file(dxf, s.path("plan.dxf"));
  const std::string original = readFile(s.path("plan.dxf"));
  const RunResult fromDxf = reportOnly(s, "plan.dxf", c.settings);
  ASSERT_EQ(fromDxf.status, 0) << fromDxf.err;
  EXPECT_EQ(foundCount(fromDxf), c.duplicates) << fromDxf.out;
  EXPECT_EQ(readFile(s.path("plan.dxf")), original);  // a report-only run writes nothing
  const std::vector<std::string> report = readLines(s.path("kelvara.trf"));
  const bool tag = std::string(c.type).starts_with("37");
  const std::string line = ", ID=" + firstHandle(s.path("plan.dxf"), tag) + " -- Lv Walls, " +
                           c.symbology + ", type " + c.type + " element is duplicate.";
  if (c.duplicates > 0) {
    EXPECT_TRUE(std::any_of(report.begin(), report.end(),
                            [&](const std::string& l) { return contains(l, line); }))
        << "no line ending in: " << line;
  }
  EXPECT_TRUE(std::any_of(report.begin(), report.end(),
                          [](const std::string& l) { return l == "Model:               Model"; }));
  if (!c.dgnTwin.empty()) {
    DesignBuilder d;
    for (const test::Element& e : c.dgnTwin) d.add(e);
    ASSERT_TRUE(d.write(s.path("twin.dgn")));
    const RunResult fromDgn = reportOnly(s, "twin.dgn", c.settings);
    EXPECT_EQ(foundCount(fromDgn), c.duplicates) << fromDgn.out;
  }
  if (c.removed < 0) return;
  // A delete run: an INSERT goes with its ATTRIB and SEQEND, an ATTRIB never goes alone.
  const RunResult run =
      runKelvara(s, withSettings({"BACKUP=0", "DESIGN_REPORT__=0"}, {"plan.dxf"}));
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string cleaned = readFile(s.path("plan.dxf"));
  EXPECT_EQ(ezdxfAudit(s.path("plan.dxf")), "No errors found.");
  for (const char* type : {"\nINSERT\n", "\nATTRIB\n", "\nSEQEND\n"}) {
    EXPECT_EQ(occurrences(original, type) - occurrences(cleaned, type), size_t(c.removed)) << type;
  }
  const std::vector<std::string> deleting = readLines(s.path("kelvara.trf"));
  EXPECT_EQ(std::count_if(deleting.begin(), deleting.end(),
                          [](const std::string& l) {
                            return contains(l,
                                            "Not deleted: an ATTRIB is deleted only with its "
                                            "INSERT.");
                          }),
            c.refused);
}

INSTANTIATE_TEST_SUITE_P(
    Dxf, DxfCases,
    ::testing::Values(
        Case{"line",
             "line",
             {},
             {dgnLine(0, 0, 10, 0), dgnLine(0, 0, 10, 0), dgnLine(0, 5, 10, 5)},
             1,
             "3 (line)"},
        Case{"coloured_line",
             "coloured_line",
             {},
             {},
             1,
             "3 (line)",
             -1,
             0,
             "Co 3, Wt 11, St ByLevel"},
        Case{"by_block_line",
             "by_block_line",
             {},
             {},
             1,
             "3 (line)",
             -1,
             0,
             "Co -2, Wt -2, St ByLevel"},
        Case{"reversed_line",
             "reversed_line",
             {},
             {dgnLine(0, 0, 10, 0), dgnLine(10, 0, 0, 0), dgnLine(0, 5, 10, 5)},
             0,
             "3 (line)"},
        Case{"reversed_line_allowed",
             "reversed_line",
             {"ALLOW_REVERSED=1"},
             {dgnLine(0, 0, 10, 0), dgnLine(10, 0, 0, 0), dgnLine(0, 5, 10, 5)},
             1,
             "3 (line)"},
        Case{"closed_polyline",
             "closed_polyline",
             {},
             {dgnShape({{0, 0}, {10, 0}, {10, 10}, {0, 10}}),
              dgnShape({{10, 10}, {0, 10}, {0, 0}, {10, 0}}),
              dgnShape({{20, 0}, {30, 0}, {30, 10}})},
             0,
             "6 (shape)"},
        Case{"closed_polyline_allowed",
             "closed_polyline",
             {"ALLOW_REVERSED=1"},
             {dgnShape({{0, 0}, {10, 0}, {10, 10}, {0, 10}}),
              dgnShape({{10, 10}, {0, 10}, {0, 0}, {10, 0}}),
              dgnShape({{20, 0}, {30, 0}, {30, 10}})},
             1,
             "6 (shape)"},
        Case{"bulged_polyline", "bulged_polyline", {}, {}, 1, "12 (connected string (complex))"},
        Case{"arc",
             "arc",
             {},
             {test::arc({5 * kUnit, 5 * kUnit}, 3 * kUnit, 3 * kUnit, 0, 30, 90),
              test::arc({5 * kUnit, 5 * kUnit}, 3 * kUnit, 3 * kUnit, 0, 30, 90),
              test::arc({5 * kUnit, 5 * kUnit}, 3 * kUnit, 3 * kUnit, 0, 30, 120)},
             1,
             "16 (arc)"},
        Case{"circle",
             "circle",
             {},
             {test::ellipse({5 * kUnit, 5 * kUnit}, 2.5 * kUnit, 2.5 * kUnit, 0),
              test::ellipse({5 * kUnit, 5 * kUnit}, 2.5 * kUnit, 2.5 * kUnit, 0),
              test::ellipse({15 * kUnit, 5 * kUnit}, 2.5 * kUnit, 2.5 * kUnit, 0)},
             1,
             "15 (ellipse)"},
        Case{"text",
             "text",
             {},
             {dgnText("Door 1"), dgnText("Door 1"), dgnText("Door 2")},
             1,
             "17 (text)"},
        Case{"broken",
             "broken",
             {},
             {dgnLine(0, 0, 10, 0), dgnLine(0, 0, 10, 0), dgnLine(0, 5, 10, 5),
              test::ellipse({50 * kUnit, 50 * kUnit}, kUnit, kUnit, 0),
              test::ellipse({50 * kUnit, 50 * kUnit}, kUnit, kUnit, 0)},
             2,
             "3 (line)"},
        // A block reference with attributes and its tags: the duplicate INSERT and the tag of
        // its ATTRIB are found, as a cell with a tag and its tag are.
        Case{"insert",
             "insert",
             {},
             dgnTaggedDoors({{7, "D-17"}, {7, "D-17"}, {20, "D-18"}}),
             2,
             "35 (shared cell element)",
             1},
        Case{"insert_r12", "insert_r12", {}, {}, 2, "35 (shared cell element)", 1},
        // INSERTs whose attributes differ in value or place are not duplicates; a tag that is
        // the same as another while its INSERT is not is found, and stays.
        Case{"insert_apart", "insert_apart", {}, {}, 1, "37 (attribute element)", 0, 1}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.label); });

// The review's Restore adds the deleted element back: a DXF drawing takes back the entity itself
// (with its ATTRIBs), so deleting and restoring every entity saves the drawing byte for byte.
TEST(DxfDeleteRun, RestoredEntitiesAreSavedAgain) {
  Scratch s("dxf_restore");
  std::filesystem::copy_file(dxfCases().path("story.dxf"), s.path("story.dxf"));
  const std::string original = readFile(s.path("story.dxf"));
  ModelRef model = 0;
  ASSERT_EQ(mdlWorkDgn_openFile(&model, s.path("story.dxf"), false), SUCCESS) << lastDesignError();
  ScanCriteria sc;
  mdlScan_initialize(&sc, model);
  mdlScan_setDrawnElements(&sc, true);
  std::vector<uint32_t> positions(4096);
  int count = 0;
  ASSERT_NE(mdlScan_file(positions.data(), &count, int(positions.size()), &sc), ERROR);
  ASSERT_GT(count, 3);
  int restored = 0;
  for (int i = 0; i < count; ++i) {
    ElmDscrPtr element;
    ASSERT_EQ(mdlElmdscr_read(&element, positions[i], model), SUCCESS);
    if (mdlElement_undoableDelete(positions[i], model) != SUCCESS) continue;  // referenced
    EXPECT_EQ(mdlElmdscr_add(element.get(), model), positions[i]);
    ++restored;
  }
  EXPECT_GT(restored, 3);
  // Only what was deleted comes back.
  ElmDscrPtr first;
  ASSERT_EQ(mdlElmdscr_read(&first, positions[0], model), SUCCESS);
  EXPECT_EQ(mdlElmdscr_add(first.get(), model), 0u);
  ASSERT_EQ(mdlWorkDgn_closeFile(model), SUCCESS) << lastDesignError();
  EXPECT_EQ(readFile(s.path("story.dxf")), original);
  resetDesignState();
}

// A delete run on a drawing whose duplicates include a grouped polyline and a block reference
// with attributes (deleted, the group fixed up) and a line an XRECORD points at (kept, named on
// standard error with the reason); a report-only run and a run without duplicates leave the
// file byte for byte.
TEST(DxfDeleteRun, DeletesWhatCanGoAndKeepsWhatIsReferenced) {
  Scratch s("dxf_delete");
  std::filesystem::copy_file(dxfCases().path("story.dxf"), s.path("story.dxf"));
  const std::string original = readFile(s.path("story.dxf"));
  const RunResult r = runKelvara(s, {"--set", "DESIGN_REPORT__=0", "story.dxf"});
  ASSERT_EQ(r.status, 0) << r.err;
  // The block reference's ATTRIB is found as a tag too, and goes with it.
  EXPECT_TRUE(contains(r.out, "5 duplicate elements were found.")) << r.out;
  const std::vector<std::string> lines = readLines(s.path("kelvara.trf"));
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
    return contains(l, "Not deleted: referenced by XRECORD");
  }));
  EXPECT_EQ(readFile(s.path("story.bak")), original);
  EXPECT_EQ(ezdxfAudit(s.path("story.dxf")), "No errors found.");
  if (ogrinfoAvailable()) {
    // GDAL draws a block reference as its block's line and its attribute: the line, the
    // polyline and the block reference deleted are four features.
    EXPECT_EQ(ogrFeatureCount(s.path("story.dxf")), ogrFeatureCount(s.path("story.bak")) - 4);
  }
  // What is left: one of each pair, both lines of the kept pair, the circle.
  dxf::Drawing d;
  dxf::DxfError error;
  ASSERT_TRUE(dxf::readDrawing(s.path("story.dxf"), d, error)) << error.text;
  std::vector<std::string> types;
  const dxf::Section* entities = dxf::findSection(d, "ENTITIES");
  ASSERT_NE(entities, nullptr);
  for (uint32_t i = 0; i < entities->recordCount; ++i)
    types.emplace_back(dxf::typeName(d, d.records[entities->firstRecord + i]));
  EXPECT_EQ(types,
            (std::vector<std::string>{"LINE", "LINE", "LINE", "LWPOLYLINE", "INSERT", "CIRCLE"}));

  // A read-only drawing is never written.
  std::filesystem::copy_file(dxfCases().path("story.dxf"), s.path("locked.dxf"));
  std::filesystem::permissions(s.path("locked.dxf"), std::filesystem::perms::owner_read);
  (void)runKelvara(s, {"--set", "DESIGN_REPORT__=0", "locked.dxf"});
  EXPECT_EQ(readFile(s.path("locked.dxf")), original);

  // Nothing left to delete: the second run finds the kept pair only and writes the same bytes.
  const std::string cleaned = readFile(s.path("story.dxf"));
  const RunResult again = runKelvara(s, {"--set", "DESIGN_REPORT__=0", "story.dxf"});
  EXPECT_TRUE(contains(again.out, "1 duplicate element was found.")) << again.out;
  EXPECT_EQ(readFile(s.path("story.dxf")), cleaned);
}

// Duplicates the drawing cannot lose (pointed at in a way the writer does not fix up) are kept:
// the run knows it when it decides, so the report line says why, the totals and the duplicates
// list count them as not deleted, and the written drawing still holds them.
TEST(DxfDeleteRun, ReportsTheDuplicatesTheDrawingKeeps) {
  struct Kept {
    const char* label;  // in refused.handles
    const char* why;
  };
  const Kept kept[] = {{"xrecord", " element is duplicate. Not deleted: referenced by XRECORD #"},
                       {"leader", " element is duplicate. Not deleted: referenced by LEADER #"},
                       {"opaque", ", and a MESH is compared by its content only."}};
  Scratch s("dxf_refused");
  std::filesystem::copy_file(dxfCases().path("refused.dxf"), s.path("refused.dxf"));
  const RunResult r = runKelvara(s, {"--set", "DESIGN_REPORT__=0", "--set", "FILEPOS_IN_REPORT=1",
                                     "--list", "kept.csv", "refused.dxf"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contains(r.out,
                       "3 duplicate elements were found.\n3 duplicate elements could not "
                       "be deleted (see the text report).\n"))
      << r.out;
  EXPECT_FALSE(contains(r.err, "not deleted")) << r.err;  // nothing left for the save to refuse
  const std::vector<std::string> report = readLines(s.path("kelvara.trf"));
  const std::vector<std::string> list = readLines(s.path("kept.csv"));
  EXPECT_TRUE(std::find(report.begin(), report.end(), "3 of them could not be deleted.") !=
              report.end());
  dxf::Drawing written;
  dxf::DxfError error;
  ASSERT_TRUE(dxf::readDrawing(s.path("refused.dxf"), written, error)) << error.text;
  for (const std::string& entry : readLines(dxfCases().path("refused.handles"))) {
    char label[16] = {};
    unsigned long long handle = 0;
    ASSERT_EQ(std::sscanf(entry.c_str(), "%15s %llx", label, &handle), 2) << entry;
    const Kept* k = std::find_if(std::begin(kept), std::end(kept),
                                 [&](const Kept& c) { return std::string(c.label) == label; });
    ASSERT_NE(k, std::end(kept)) << entry;
    SCOPED_TRACE(label);
    const std::string id = ", ID=" + std::to_string(handle) + " -- ";
    EXPECT_TRUE(std::any_of(report.begin(), report.end(), [&](const std::string& l) {
      return contains(l, id) && contains(l, k->why);
    }));
    const std::string listed = "," + std::to_string(handle) + ",";
    EXPECT_TRUE(std::any_of(list.begin(), list.end(), [&](const std::string& l) {
      return contains(l, listed) && contains(l, ",not deleted,");
    }));
    EXPECT_TRUE(std::any_of(written.records.begin(), written.records.end(),
                            [&](const dxf::Record& rec) { return rec.handle == handle; }));
  }
  EXPECT_EQ(ezdxfAudit(s.path("refused.dxf")), "No errors found.");
}

// A paper-space layout is a model of its own, named on the command line as FILE,LAYOUT: the run
// over model space and the layout finds the duplicates of each and deletes them from both.
TEST(DxfDeleteRun, LayoutsAreModelsOfTheirOwn) {
  Scratch s("dxf_layouts");
  std::filesystem::copy_file(dxfCases().path("story.dxf"), s.path("story.dxf"));
  const RunResult sheet =
      runKelvara(s, {"--set", "REPORT_ONLY=1", "--set", "DESIGN_REPORT__=0", "story.dxf,Sheet2"});
  ASSERT_EQ(sheet.status, 0) << sheet.err;
  EXPECT_TRUE(contains(sheet.out, "1 duplicate element was found.")) << sheet.out;
  const std::vector<std::string> report = readLines(s.path("kelvara.trf"));
  EXPECT_TRUE(std::any_of(report.begin(), report.end(),
                          [](const std::string& l) { return l == "Model:               Sheet2"; }));

  const RunResult both =
      runKelvara(s, {"--set", "DESIGN_REPORT__=0", "story.dxf", "story.dxf,Sheet2"});
  ASSERT_EQ(both.status, 0) << both.err;
  EXPECT_TRUE(contains(both.out, "2 models processed.\n6 duplicate elements were found."))
      << both.out;
  EXPECT_EQ(ezdxfAudit(s.path("story.dxf")), "No errors found.");
  dxf::Drawing d;
  dxf::DxfError error;
  ASSERT_TRUE(dxf::readDrawing(s.path("story.dxf"), d, error)) << error.text;
  const int layout = [&] {
    for (size_t i = 0; i < d.layouts.size(); ++i)
      if (d.layouts[i].name == "Sheet2") return int(i);
    return -1;
  }();
  ASSERT_GT(layout, 0);
  std::vector<std::string> onSheet, inModel;
  for (const dxf::Record& r : d.records) {
    const int at = dxf::layoutOf(d, r);
    if (at == layout) onSheet.emplace_back(dxf::typeName(d, r));
    if (at == 0) inModel.emplace_back(dxf::typeName(d, r));
  }
  EXPECT_EQ(onSheet, (std::vector<std::string>{"CIRCLE", "LINE"}));
  EXPECT_EQ(inModel.size(), 6u);
}

// What a drawing holds: its version, layers and the entities of its layouts in file order
// (viewports aside), decoded; whether $HANDSEED lies above every handle and no entity's head
// repeats a group of its symbology.
struct Drawn {
  std::string version;
  std::set<std::string> layers;
  std::vector<dxf::Entity> entities;
  bool seedAbove = true, groupsOnce = true;
};

bool symbologyOnce(const dxf::Drawing& d, const dxf::Record& r) {
  dxf::TagReader t(dxf::recordText(d, r));
  t.pos = 0;
  std::map<int, int> seen;
  dxf::Tag tag;
  for (bool first = true; t.next(tag) && (first || tag.code != 0); first = false)
    if (++seen[tag.code] > 1 &&
        (tag.code == 6 || tag.code == 8 || tag.code == 62 || tag.code == 370 || tag.code == 420))
      return false;
  return true;
}

Drawn drawn(const std::string& path) {
  dxf::Drawing d;
  dxf::DxfError error;
  Drawn out;
  if (!dxf::readDrawing(path, d, error)) {
    ADD_FAILURE() << error.text;
    return out;
  }
  out.version = d.version;
  for (const dxf::Layer& l : d.layers) out.layers.insert(l.name);
  for (const dxf::Record& r : d.records) {
    out.seedAbove &= r.handle < d.handSeed;
    if (dxf::layoutOf(d, r) < 0 || dxf::typeName(d, r) == "VIEWPORT") continue;
    out.groupsOnce &= symbologyOnce(d, r);
    EXPECT_TRUE(dxf::decodeEntity(d, r, out.entities.emplace_back(), error)) << error.text;
  }
  return out;
}

// The design report of a drawing is a drawing of the same version that the readers open, with
// the entities of the run's model in the report symbology (the reported one of each pair in the
// duplicate group's, the others in the single group's; a colour set drops the true colour) and
// those of other layouts as they were; a delete run's report still holds what it deleted.
TEST(DxfDesignReport, IsTheDrawingInTheReportSymbology) {
  struct Row {
    const char* label;
    const char* drawing;  // of dxfCases()
    const char* model;    // appended to the file's name on the command line
    std::vector<std::string> settings;
    const char* duplicateLayer;
    const char* duplicateLinetype;  // "" as it was
    const char* looks;              // per entity in file order: D reported, S single, - as it was
  };
  const std::vector<std::string> style = {"REPORT_SYM_DUPLICATE_USE_STYLE=1",
                                          "REPORT_SYM_DUPLICATE_LEVEL_VALUE=walls"};
  const Row rows[] = {
      {"r12", "report_r12.dxf", "", {}, "Kelvara Duplicate", "", "DSSDSDSDS"},
      {"r2018", "report_r2018.dxf", "", style, "Walls", "Continuous", "DSSDSDSDS"},
      {"layout", "story.dxf", ",Sheet2", {}, "Kelvara Duplicate", "", "DSS---------"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    Scratch s(std::string("dxf_design_") + row.label);
    const std::string original = dxfCases().path(row.drawing);
    std::filesystem::copy_file(original, s.path("plan.dxf"));
    std::vector<std::string> settings = row.settings;
    settings.push_back("BACKUP=0");
    const RunResult r =
        runKelvara(s, withSettings(settings, {std::string("plan.dxf") + row.model}));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string report = s.path("plan.drf");
    EXPECT_EQ(dxf::validate(readFile(report)), "");
    EXPECT_EQ(ezdxfAudit(report), "No errors found.");
    if (ogrinfoAvailable()) {
      EXPECT_EQ(ogrFeatureCount(report), ogrFeatureCount(original));
    }
    EXPECT_TRUE(libreCadDraws(report, s.path("")));
    const Drawn before = drawn(original), after = drawn(report);
    EXPECT_EQ(after.version, before.version);
    // The host shows it as the drawing it is (the design report button opens it so).
    EXPECT_EQ(mdlSystem_newDesignFile(report), SUCCESS) << lastDesignError();
    EXPECT_TRUE(mdlModelRef_isDxf(mdlModelRef_getActive()));
    resetDesignState();
    EXPECT_TRUE(after.seedAbove);
    EXPECT_TRUE(after.groupsOnce);
    ASSERT_EQ(after.entities.size(), std::string(row.looks).size());
    ASSERT_EQ(before.entities.size(), after.entities.size());
    const bool r12 = before.version == "AC1009";
    for (size_t i = 0; i < after.entities.size(); ++i) {
      const char look = row.looks[i];
      const dxf::Entity &a = after.entities[i], &b = before.entities[i];
      SCOPED_TRACE(a.type + " " + std::to_string(i));
      EXPECT_TRUE(after.layers.count(a.layer)) << a.layer;
      const bool dup = look == 'D';
      EXPECT_EQ(a.layer, look == '-' ? b.layer
                         : dup       ? row.duplicateLayer
                                     : "Kelvara Non-Duplicate");
      EXPECT_EQ(a.colour, look == '-' ? b.colour : dup ? 2 : 0);
      EXPECT_EQ(a.lineweight, look == '-' || r12 ? b.lineweight : dup ? 13 : 0);
      EXPECT_EQ(a.linetype, dup && *row.duplicateLinetype ? row.duplicateLinetype : b.linetype);
      EXPECT_EQ(a.trueColour, look == '-' ? b.trueColour : std::nullopt);
    }
  }
}

}  // namespace
}  // namespace kelvara::e2e
