// The duplicates list (--list), judged by GDAL: ogrinfo reads the CSV and the GeoJSON list of
// a run with one feature per reported element, the fields, the test that matched each element,
// its partner and its geometry type; a list that cannot be written fails the run.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <map>
#include <regex>

#include "e2e/harness.h"
#include "host/dgn/build.h"
#include "support/dgn_builder.h"

namespace kelvara::e2e {
namespace {

using test::DesignBuilder;
using test::Element;

// One feature as ogrinfo prints it: its fields by name, and its geometry's WKT keyword.
struct Feature {
  std::map<std::string, std::string> fields;
  std::string geometry;
};

std::vector<Feature> ogrFeatures(const std::string& file) {
  int status = 0;
  const std::string out = shellOutput("ogrinfo -ro -al -q '" + file + "' 2>&1", &status);
  EXPECT_EQ(status, 0) << out;
  std::vector<Feature> features;
  const std::regex field(R"(^  (\w+) \((\w+)\) = (.*)$)"), shape(R"(^  ([A-Z]+) [(E].*$)");
  std::smatch m;
  for (const std::string& line : splitLines(out)) {
    if (line.rfind("OGRFeature", 0) == 0) features.emplace_back();
    if (features.empty()) continue;
    if (std::regex_match(line, m, field)) {
      features.back().fields[m[1]] = m[3];
    } else if (std::regex_match(line, m, shape)) {
      features.back().geometry = m[1];
    }
  }
  return features;
}

// A reported element the list must hold: the drawing's element n matched element `partner`.
struct Expected {
  size_t element;
  size_t partner;
  std::string reason, outcome, geometry;
};

struct ListCase {
  std::string name;
  std::vector<Element> elements;
  std::vector<std::string> settings;
  std::vector<Expected> records;  // in file order
  // The reported elements' level name, and the name as the GeoJSON list holds it (the CSV list
  // keeps its bytes as they are).
  std::string levelName = "", levelNameInJson = "";
};

// The drawing's level-name element naming level 1.
Element levelOneNamed(const std::string& name) {
  std::array<std::string, 64> names;
  names[1] = name;
  return dgn::makeLevelNameElements(names).at(0);
}

std::vector<DPoint3d> square(double x, double size) {
  return {{x, 0}, {x + size, 0}, {x + size, size}, {x, size}, {x, 0}};
}

std::vector<ListCase> listCases() {
  const Element line = test::line({0, 0}, {10000, 0});
  const Element text = test::text({.chars = "A1", .origin = {5000, 5000}});
  const Element cell =
      test::cell("DOOR", {0, 0}, {test::shape(square(0, 900)), test::line({0, 0}, {900, 900})});
  return {
      {"exact", {line, line}, {}, {{0, 1, "exact", "removed", "LINESTRING"}}},
      {"exact cell", {cell, cell}, {}, {{0, 1, "exact", "removed", "MULTILINESTRING"}}},
      {"reversed",
       {test::lineString({{0, 0}, {5000, 0}, {5000, 5000}}),
        test::lineString({{5000, 5000}, {5000, 0}, {0, 0}})},
       {"ALLOW_REVERSED=1"},
       {{0, 1, "reversed", "removed", "LINESTRING"}}},
      {"other start vertex",
       {test::shape(square(0, 4000)),
        test::shape({{4000, 0}, {4000, 4000}, {0, 4000}, {0, 0}, {4000, 0}})},
       {"ALLOW_REVERSED=1"},
       {{0, 1, "other start vertex", "removed", "POLYGON"}}},
      {"within tolerance",
       {test::ellipse({5000, 5000}, 2000, 2000, 0), test::ellipse({5300, 5000}, 2000, 2000, 0)},
       {"OVERLAP=1", "TOLERANCE=1.0"},
       {{0, 1, "within tolerance", "removed", "POLYGON"}}},
      {"overlap",
       {line, test::line({0, 300}, {10000, 300})},
       {"OVERLAP=1", "TOLERANCE=1.0"},
       {{0, 1, "overlap", "removed", "LINESTRING"}}},
      {"underlap",
       {test::line({0, 0}, {5000, 0}), test::lineString({{0, 0}, {5000, 0}, {9000, 0}})},
       {"ALLOW_UNDERLAP=1"},
       {{0, 1, "underlap", "removed", "LINESTRING"}}},
      {"rotated",
       {text, test::text({.chars = "A1", .origin = {5000, 5000}, .rotationDeg = 0.5})},
       {"ALLOW_ROTATION=1", "ROT_TOLERANCE=1.0"},
       {{0, 1, "rotated", "removed", "POLYGON"}}},
      {"same body bytes",
       {test::opaque(33, {1, 2, 3, 4}), test::opaque(33, {1, 2, 3, 4})},
       {},
       {{0, 1, "same body bytes", "removed", "POLYGON"}}},
      // The wider line is kept by the rule and the narrower one removed in its turn.
      {"kept by rule",
       {test::line({0, 0}, {10000, 0}, {.weight = 3}),
        test::line({0, 0}, {10000, 0}, {.weight = 1})},
       {"KEEP_WIDER_ELEMENT=1", "IGNORE_USE_WEIGHT=1"},
       {{0, 1, "exact", "kept by rule", "LINESTRING"}, {1, 0, "exact", "removed", "LINESTRING"}}},
      {"reported only",
       {test::pointString({{0, 0}, {1000, 1000}}), test::pointString({{0, 0}, {1000, 1000}})},
       {"REPORT_ONLY=1"},
       {{0, 1, "exact", "reported only", "MULTIPOINT"}}},
      // GeoJSON is UTF-8: each byte of a V7 name that does not belong to UTF-8 becomes U+FFFD.
      {"level name not UTF-8",
       {levelOneNamed("W\xE4ll \xE2\x82\xAC\xE2\x82"), line, line},
       {},
       {{1, 2, "exact", "removed", "LINESTRING"}},
       "W\xE4ll \xE2\x82\xAC\xE2\x82",
       "W\uFFFDll \u20AC\uFFFD\uFFFD"},
  };
}

TEST(DuplicatesList, GdalReadsEachFormatWithTheReasonPartnerAndGeometryOfEveryRecord) {
  if (!ogrinfoAvailable()) GTEST_SKIP() << "ogrinfo is not installed";
  const std::vector<std::string> kFields = {
      "design_file", "model",   "file_position", "element_id",       "type",
      "type_name",   "level",   "level_name",    "colour",           "weight",
      "style",       "outcome", "reason",        "partner_position", "partner_type"};
  for (const ListCase& c : listCases()) {
    for (const std::string list : {"found.csv", "found.geojson"}) {
      SCOPED_TRACE(c.name + " " + list);
      Scratch scratch("dlist");
      DesignBuilder d;
      for (const Element& e : c.elements) d.add(e);
      ASSERT_TRUE(d.write(scratch.path("plan.dgn")));
      std::vector<std::string> args = {"--list", list};
      const std::vector<std::string> rest = withSettings(c.settings, {"plan.dgn"});
      args.insert(args.end(), rest.begin(), rest.end());
      const RunResult run = runKelvara(scratch, args);
      ASSERT_EQ(run.status, 0) << run.err;
      const std::vector<Feature> features = ogrFeatures(scratch.path(list));
      ASSERT_EQ(features.size(), c.records.size()) << readFile(scratch.path(list));
      for (size_t i = 0; i < features.size(); ++i) {
        const Feature& f = features[i];
        const Expected& want = c.records[i];
        for (const std::string& name : kFields) EXPECT_TRUE(f.fields.count(name)) << name;
        EXPECT_EQ(f.fields.at("file_position"), std::to_string(d.positionOf(want.element)));
        EXPECT_EQ(f.fields.at("partner_position"), std::to_string(d.positionOf(want.partner)));
        EXPECT_EQ(f.fields.at("design_file"), "plan.dgn");
        EXPECT_EQ(f.fields.at("level_name"), list == "found.csv" ? c.levelName : c.levelNameInJson);
        EXPECT_EQ(f.fields.at("reason"), want.reason);
        EXPECT_EQ(f.fields.at("outcome"), want.outcome);
        EXPECT_EQ(f.geometry, want.geometry);
      }
    }
  }
}

TEST(DuplicatesList, OneListForARunOverTwoFilesInEntryOrder) {
  if (!ogrinfoAvailable()) GTEST_SKIP() << "ogrinfo is not installed";
  Scratch scratch("dlist-two");
  const DesignBuilder d = drawingWith(0);
  ASSERT_TRUE(d.write(scratch.path("b.dgn")) && d.write(scratch.path("a.dgn")));
  const RunResult run = runKelvara(scratch, {"--list", "all.csv", "b.dgn", "a.dgn"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(contains(run.out, "\nDuplicates list: " + scratch.path("all.csv") + "\n")) << run.out;
  const std::vector<Feature> features = ogrFeatures(scratch.path("all.csv"));
  ASSERT_EQ(features.size(), 2u);
  EXPECT_EQ(features[0].fields.at("design_file"), "b.dgn");
  EXPECT_EQ(features[1].fields.at("design_file"), "a.dgn");
  // 10000 units of resolution at 1000 per master unit.
  EXPECT_EQ(features[0].fields.at("WKT"), "LINESTRING (0 0, 10 0)");
}

// A list that cannot be written fails the run (exit 1), names the list, and leaves an existing
// file of its name as it was.
TEST(DuplicatesList, AListThatCannotBeWrittenFailsTheRun) {
  Scratch scratch("dlist-fail");
  ASSERT_TRUE(drawingWith(0).write(scratch.path("plan.dgn")));
  { std::ofstream(scratch.path("locked.csv")) << "old"; }
  ASSERT_EQ(::chmod(scratch.path("locked.csv").c_str(), 0444), 0);
  for (const std::string list : {"missing/list.csv", "locked.csv"}) {
    SCOPED_TRACE(list);
    const RunResult run =
        runKelvara(scratch, {"--list", list, "--set", "REPORT_ONLY=1", "plan.dgn"});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_TRUE(contains(run.err, list)) << run.err;
    EXPECT_FALSE(contains(run.out, "Duplicates list")) << run.out;
  }
  EXPECT_EQ(readFile(scratch.path("locked.csv")), "old");
  EXPECT_TRUE(temporaryLeftovers(scratch.dir).empty());
}

}  // namespace
}  // namespace kelvara::e2e
