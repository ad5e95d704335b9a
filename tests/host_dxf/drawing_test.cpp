// The DXF reader against drawings ezdxf writes (make_drawings.py, run once per test program):
// the index, the tables and layouts, and every decoded entity against what ezdxf reads back.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "host/dxf/dxf.h"
#include "host_dxf/fixtures.h"
#include "support/scratch.h"

namespace kelvara::dxf {
namespace {

using nlohmann::json;

const test::ScratchDir& fixtures() {
  return test_fixtures::madeBy("make_drawings.py");
}

struct Variant {
  const char* name;  // r12 or r2018
  bool crlf;         // lines end in CR LF and the file starts with a byte order mark
};

void PrintTo(const Variant& v, std::ostream* os) {
  *os << v.name << (v.crlf ? " CR LF" : "");
}

std::string variantBytes(const Variant& v) {
  std::string bytes = test::readText(fixtures().file(std::string(v.name) + ".dxf"));
  if (!v.crlf) return bytes;
  std::string out = "\xEF\xBB\xBF";
  for (char c : bytes) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

json xyz(const Point3& p) {
  return {p.x, p.y, p.z};
}
json points(const std::vector<Point3>& ps) {
  json out = json::array();
  for (const Point3& p : ps) out.push_back(xyz(p));
  return out;
}
json spline(const Spline& s) {
  return {{"flags", s.flags},
          {"degree", s.degree},
          {"knots", s.knots},
          {"weights", s.weights},
          {"control", points(s.control)},
          {"fit", points(s.fit)},
          {"start_tangent", s.startTangent ? xyz(*s.startTangent) : json()},
          {"end_tangent", s.endTangent ? xyz(*s.endTangent) : json()}};
}
json loop(const HatchLoop& l) {
  json out = {{"flags", l.flags},
              {"closed", l.closed},
              {"vertices", json::array()},
              {"edges", json::array()},
              {"sources", json::array()}};
  char hex[20];
  for (uint64_t h : l.sources) {
    std::snprintf(hex, sizeof hex, "%llX", static_cast<unsigned long long>(h));
    out["sources"].push_back(hex);
  }
  for (const Vertex& v : l.vertices) out["vertices"].push_back({v.x, v.y, v.z, v.bulge});
  for (const HatchEdge& e : l.edges) {
    json edge = e.type == 4 ? spline(e.spline) : json{{"start", xyz(e.start)}, {"end", xyz(e.end)}};
    if (e.type == 2 || e.type == 3)
      edge = {{"centre", xyz(e.start)}, {"angles", {e.startAngle, e.endAngle}}, {"ccw", e.ccw}};
    if (e.type == 2) edge["radius"] = e.radius;
    if (e.type == 3) edge["major"] = xyz(e.end), edge["ratio"] = e.radius;
    edge["type"] = e.type;
    out["edges"].push_back(edge);
  }
  return out;
}

// Per type, the decoded fields beyond the common ones, as make_drawings.py's "extra" spells them.
const std::map<std::string, std::function<json(const Entity&)>> kExtra = {
    {"TEXT",
     [](const Entity& e) -> json {
       return {{"formatting", e.formatting},
               {"halign", e.details.halign},
               {"valign", e.details.valign}};
     }},
    {"INSERT",
     [](const Entity& e) {
       json out = {{"attribs", json::array()}};
       for (const Attrib& a : e.attribs)
         out["attribs"].push_back({a.details.flags, a.details.halign, a.details.valign,
                                   xyz(a.position), xyz(a.alignment), a.height, a.rotation,
                                   a.handle, a.layer, a.colour, a.widthFactor});
       return out;
     }},
    {"ATTDEF",
     [](const Entity& e) -> json {
       return {{"tag", e.tag},
               {"prompt", e.prompt},
               {"flags", e.details.flags},
               {"halign", e.details.halign},
               {"valign", e.details.valign}};
     }},
    {"SOLID", [](const Entity&) { return json::object(); }},
    {"TRACE", [](const Entity&) { return json::object(); }},
    {"3DFACE",
     [](const Entity& e) -> json {
       return {{"edges", e.edgeFlags}};
     }},
    {"DIMENSION",
     [](const Entity& e) -> json {
       const Dimension& d = e.dimension;
       json out = {{"kind", d.kind},
                   {"subclass", d.subclass},
                   {"dimstyle", d.dimstyle},
                   {"points", json::object()},
                   {"measurement", d.measurement ? json(*d.measurement) : json()}};
       for (int i = 0; i < 7; ++i)
         if (d.has[i]) out["points"][std::to_string(10 + i)] = xyz(d.points[i]);
       return out;
     }},
    {"ELLIPSE",
     [](const Entity& e) -> json {
       return {{"major", xyz(e.majorAxis)},
               {"ratio", e.ratio},
               {"start", e.startParam},
               {"end", e.endParam}};
     }},
    {"SPLINE", [](const Entity& e) { return spline(e.spline); }},
    {"MTEXT",
     [](const Entity& e) -> json {
       return {
           {"formatting", e.formatting}, {"attachment", e.attachment}, {"box_width", e.boxWidth}};
     }},
    {"MLINE",
     [](const Entity& e) {
       const Mline& m = e.mline;
       json out = {{"style", m.style},
                   {"scale", m.scale},
                   {"justification", m.justification},
                   {"flags", m.flags},
                   {"directions", json::array()},
                   {"miters", json::array()},
                   {"parameters", json::array()}};
       for (const MlineVertex& v : m.vertices) {
         out["directions"].push_back(xyz(v.direction));
         out["miters"].push_back(xyz(v.miter));
         out["parameters"].push_back(v.parameters);
       }
       return out;
     }},
    {"HATCH",
     [](const Entity& e) {
       json out = {{"pattern", e.hatch.pattern},
                   {"solid", e.hatch.solid},
                   {"associative", e.hatch.associative},
                   {"loops", json::array()}};
       for (const HatchLoop& l : e.hatch.loops) out["loops"].push_back(loop(l));
       return out;
     }},
};

// Equal JSON, numbers within 1e-9.
bool near(const json& a, const json& b) {
  if (a.is_number() && b.is_number()) return std::abs(a.get<double>() - b.get<double>()) <= 1e-9;
  if (a.is_array() && b.is_array()) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
      if (!near(a[i], b[i])) return false;
    return true;
  }
  if (a.is_object() && b.is_object()) {
    if (a.size() != b.size()) return false;
    for (auto it = a.begin(); it != a.end(); ++it)
      if (!b.contains(it.key()) || !near(it.value(), b[it.key()])) return false;
    return true;
  }
  return a == b;
}

class DrawingTest : public ::testing::TestWithParam<Variant> {
 protected:
  void SetUp() override {
    expected = json::parse(test::readText(fixtures().file(std::string(GetParam().name) + ".json")));
    bytes = variantBytes(GetParam());
    DxfError error;
    ASSERT_TRUE(openDrawing(bytes, "t.dxf", d, error)) << error.text;
  }
  json expected;
  std::string bytes;
  Drawing d;
};

TEST_P(DrawingTest, IndexHeaderTablesAndLayoutsMatchTheWriter) {
  EXPECT_EQ(d.version, expected["version"]);
  EXPECT_EQ(d.insUnits, expected["insunits"]);
  EXPECT_EQ(d.measurement, expected["measurement"]);
  ASSERT_TRUE(d.extMin && d.extMax);
  EXPECT_EQ(std::vector<double>({d.extMin->x, d.extMin->y, d.extMin->z}), expected["extmin"]);
  EXPECT_EQ(std::vector<double>({d.extMax->x, d.extMax->y, d.extMax->z}), expected["extmax"]);

  // Records per type in ENTITIES (followers belong to their POLYLINE or INSERT).
  std::map<std::string, int> counts;
  const Section* entities = findSection(d, "ENTITIES");
  ASSERT_NE(entities, nullptr);
  for (uint32_t i = 0; i < entities->recordCount; ++i)
    ++counts[std::string(typeName(d, d.records[entities->firstRecord + i]))];
  EXPECT_EQ(counts, expected["counts"].get<decltype(counts)>());

  // The spans with the gaps between them give back the file byte for byte; every record starts
  // with its own code-0 tag and the gaps hold only section brackets and header variables.
  std::string rebuilt;
  uint64_t at = 0;
  for (const Record& r : d.records) {
    ASSERT_LE(at, r.begin);
    const std::string_view gap = std::string_view(bytes).substr(at, r.begin - at);
    TagReader gapTags(gap);
    for (Tag t; gapTags.next(t);)
      if (t.code == 0) {
        EXPECT_TRUE(t.value == "SECTION" || t.value == "ENDSEC") << t.value;
      }
    rebuilt += gap;
    TagReader own(recordText(d, r));
    Tag first;
    ASSERT_TRUE(own.next(first));
    EXPECT_EQ(first.value, typeName(d, r));
    if (typeName(d, r) == "POLYLINE" || (r.flags & Followers)) {
      EXPECT_NE(recordText(d, r).find("SEQEND"), std::string::npos);
    }
    rebuilt += recordText(d, r);
    at = r.end;
  }
  rebuilt += bytes.substr(at);
  EXPECT_EQ(rebuilt, bytes);

  std::vector<std::string> layouts, blocks;
  for (const Layout& l : d.layouts) layouts.push_back(l.name);
  for (const Block& b : d.blocks) blocks.push_back(b.name);
  EXPECT_EQ(layouts, expected["layouts"]);
  EXPECT_EQ(blocks, expected["blocks"]);
  auto names = [](const std::vector<NamedRecord>& records) {
    std::vector<std::string> out;
    for (const NamedRecord& r : records) out.push_back(r.name);
    return out;
  };
  EXPECT_EQ(names(d.linetypes), expected["linetypes"]);
  EXPECT_EQ(names(d.styles), expected["styles"]);
  EXPECT_EQ(names(d.blockRecords), expected["block_records"]);
  ASSERT_EQ(d.layers.size(), expected["layers"].size());
  for (size_t i = 0; i < d.layers.size(); ++i) {
    const json& x = expected["layers"][i];
    const Layer& l = d.layers[i];
    EXPECT_EQ(l.name, x["name"]);
    EXPECT_EQ(l.colour, x["colour"]) << l.name;
    EXPECT_EQ(l.on, x["on"]) << l.name;
    EXPECT_EQ(l.frozen, x["frozen"]) << l.name;
    EXPECT_EQ(l.linetype, x["linetype"]) << l.name;
    EXPECT_EQ(l.lineweight, x["lineweight"]) << l.name;
  }
}

TEST_P(DrawingTest, EveryEntityDecodesAsWritten) {
  std::set<std::string> extraTypes;
  std::map<uint64_t, const Record*> byHandle;
  for (const Record& r : d.records)
    if (r.flags & HasHandle) byHandle[r.handle] = &r;
  for (const json& x : expected["entities"]) {
    uint64_t h = 0;
    ASSERT_TRUE(parseHandle(x["handle"].get<std::string>(), h));
    ASSERT_TRUE(byHandle.count(h)) << x["handle"];
    const Record& r = *byHandle[h];
    SCOPED_TRACE(x["type"].get<std::string>() + " " + x["handle"].get<std::string>());
    uint64_t owner = 0;
    ASSERT_TRUE(parseHandle(x["owner"].get<std::string>(), owner));
    EXPECT_EQ(r.owner, owner);
    EXPECT_EQ(xdata(d, r).size(), x["xdata"]);
    std::vector<std::string> xdicts;
    char hex[20];
    for (const Group102& g : groups102(d, r)) {
      for (uint64_t h : g.handles) {
        std::snprintf(hex, sizeof hex, "%llX", static_cast<unsigned long long>(h));
        if (g.name == "ACAD_XDICTIONARY") xdicts.push_back(hex);
      }
    }
    EXPECT_EQ(xdicts,
              x["xdict"] == "" ? std::vector<std::string>{} : std::vector<std::string>{x["xdict"]});
    const int layout = layoutOf(d, r);
    ASSERT_GE(layout, 0);
    EXPECT_EQ(d.layouts[layout].name, x["layout"]);
    Entity e;
    DxfError error;
    ASSERT_TRUE(decodeEntity(d, r, e, error)) << error.text;
    EXPECT_EQ(e.type, x["type"]);
    EXPECT_EQ(e.handle, h);
    EXPECT_EQ(e.layer, x["layer"]);
    EXPECT_EQ(e.colour, x["colour"]);
    EXPECT_EQ(e.lineweight, x["lineweight"]);
    EXPECT_EQ(e.linetype, x["linetype"]);
    EXPECT_EQ(e.trueColour ? int64_t(*e.trueColour) : -1, x["true_colour"]);
    EXPECT_EQ(e.closed, x["closed"]);
    std::vector<std::vector<double>> vertices;
    for (const Vertex& v : e.vertices) vertices.push_back({v.x, v.y, v.z, v.bulge});
    EXPECT_EQ(vertices, x["vertices"]);
    EXPECT_EQ(e.radius, x["radius"]);
    EXPECT_EQ(e.startAngle, x["start"]);
    EXPECT_EQ(e.endAngle, x["end"]);
    EXPECT_EQ(e.height, x["height"]);
    EXPECT_EQ(e.rotation, x["rotation"]);
    EXPECT_EQ(e.text, x["text"]);
    if (x.contains("extra")) {
      ASSERT_TRUE(kExtra.count(e.type));
      const json got = kExtra.at(e.type)(e);
      EXPECT_TRUE(near(got, x["extra"])) << got.dump() << "\nexpected\n" << x["extra"].dump();
      extraTypes.insert(e.type);
    }
    EXPECT_EQ(e.block, x["block"]);
    EXPECT_EQ(std::vector<double>({e.scale.x, e.scale.y, e.scale.z}), x["scale"]);
    std::vector<std::vector<std::string>> attribs;
    for (const Attrib& a : e.attribs) attribs.push_back({a.tag, a.value});
    EXPECT_EQ(attribs, x["attribs"]);
  }
  // Every type of the table is in the drawing (R12 lacks the types that came with R13).
  for (const auto& [type, fields] : kExtra)
    if (!d.r12() ||
        !std::set<std::string>{"ELLIPSE", "SPLINE", "MTEXT", "MLINE", "HATCH"}.count(type)) {
      EXPECT_TRUE(extraTypes.count(type)) << type;
    }
}

INSTANTIATE_TEST_SUITE_P(Drawings, DrawingTest,
                         ::testing::Values(Variant{"r12", false}, Variant{"r2018", false},
                                           Variant{"r2018", true}),
                         [](const auto& info) {
                           return std::string(info.param.name) + (info.param.crlf ? "_crlf" : "");
                         });

}  // namespace
}  // namespace kelvara::dxf
