// Deleting entities and writing the drawing, judged by our validator and by readers nobody here
// wrote (ezdxf's audit, GDAL's feature count, LibreCAD's dxf2pdf; judge.py) on drawings ezdxf
// makes with every entity type and every kind of pointer at an entity (make_deletions.py).
#include "host/dxf/write.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>

#include "host/dgn/image.h"
#include "host/dxf/gate.h"
#include "host/dxf/model.h"
#include "host_dxf/fixtures.h"
#include "support/scratch.h"

namespace kelvara::dxf {
namespace {

using nlohmann::json;

using test_fixtures::run;

const test::ScratchDir& fixtures() {
  return test_fixtures::madeBy("make_deletions.py");
}

// What judge.py says of the files a manifest lists.
json judge(const test::ScratchDir& out, const json& manifest) {
  std::ofstream(out.file("manifest.json")) << manifest.dump();
  return json::parse(run("/usr/bin/python3 " KELVARA_SOURCE_DIR "/tests/host_dxf/judge.py " +
                         out.file("manifest.json")));
}

std::string crlf(const std::string& lf) {
  std::string out;
  for (char c : lf) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

struct Fixture {
  Drawing d;
  json handles;  // label -> handle
  uint32_t record(const std::string& label) const {
    uint64_t h = 0;
    parseHandle(handles.at(label).get<std::string>(), h);
    for (uint32_t i = 0; i < d.records.size(); ++i)
      if (d.records[i].handle == h && (d.records[i].flags & HasHandle)) return i;
    ADD_FAILURE() << "no record for " << label;
    return 0;
  }
};

Fixture load(const std::string& name, bool withCrlf = false) {
  Fixture f;
  std::string bytes = test::readText(fixtures().file(name + ".dxf"));
  if (withCrlf) bytes = crlf(bytes);
  DxfError error;
  EXPECT_TRUE(openDrawing(std::move(bytes), name, f.d, error)) << error.text;
  f.handles = json::parse(test::readText(fixtures().file(name + ".json")));
  return f;
}

std::vector<uint64_t> handlesOf(const Drawing& d) {
  std::vector<uint64_t> out;
  for (const Record& r : d.records)
    if (r.flags & HasHandle) out.push_back(r.handle);
  std::sort(out.begin(), out.end());
  return out;
}

// The handles GDAL gives the features of deleted records: the records' own and their
// followers'.
json gdalHandles(const Drawing& d, const std::vector<uint32_t>& records) {
  json out = json::array();
  for (uint32_t r : records) {
    TagReader t(recordText(d, d.records[r]));
    bool head = false;
    for (Tag tag; t.next(tag);) {
      if (tag.code == 5 && head) out.push_back(tag.value);
      head = tag.code == 0;
    }
  }
  return out;
}

// Features GDAL draws of block content: one per entity per INSERT of its block in ENTITIES.
int gdalCopies(const Drawing& d, const std::vector<uint32_t>& records) {
  int copies = 0;
  const Section* entities = findSection(d, "ENTITIES");
  for (uint32_t r : records) {
    const auto block = std::find_if(d.blocks.begin(), d.blocks.end(), [&](const Block& b) {
      return b.record < r && r < b.endRecord;
    });
    if (block == d.blocks.end()) continue;
    for (uint32_t i = entities->firstRecord; i < entities->firstRecord + entities->recordCount;
         ++i) {
      Entity e;
      DxfError error;
      copies += typeName(d, d.records[i]) == "INSERT" && decodeEntity(d, d.records[i], e, error) &&
                e.block == block->name;
    }
  }
  return copies;
}

// Entities that other records point at in a way a deletion does not fix up.
const std::map<std::string, std::string> kRefused = {
    {"leader_note", "referenced by LEADER #"},
    {"xdata_target", "(group code 1005)"},
    {"leader", "referenced by LINE #"},
};

// Deletions of several entities at once, beyond every entity on its own.
const std::vector<std::pair<std::string, std::vector<std::string>>> kTogether = {
    {"del_r2018", {"boundary", "hatch_assoc"}},
    {"del_r2018", {"boundary_a", "boundary_b"}},
    {"del_r2018", {"group_member", "group_other"}},
    {"del_r2018", {"leader_note", "leader", "leader_pointer"}},
    {"del_r2018", {"xdata_target", "xdata_pointer"}},
    {"del_r12", {"line", "polyline2d"}},
};

TEST(DxfDeletion, EveryEntityAndReferenceKindDeletesToAFileEveryReaderAccepts) {
  struct Row {
    std::string drawing;
    std::vector<std::string> labels;
  };
  std::vector<Row> rows;
  for (const char* name : {"del_r12", "del_r2018"}) {
    const json handles = load(name).handles;
    for (auto& [label, handle] : handles.items())
      if (!kRefused.count(label)) rows.push_back({name, {label}});
  }
  for (auto& [name, labels] : kTogether) rows.push_back({name, labels});

  test::ScratchDir out;
  json manifest = json::array();
  for (size_t i = 0; i < rows.size(); ++i) {
    const Row& row = rows[i];
    SCOPED_TRACE(row.drawing + " " + row.labels[0] + (row.labels.size() > 1 ? " +" : ""));
    const Fixture f = load(row.drawing);
    std::vector<uint32_t> asked;
    for (const std::string& l : row.labels) asked.push_back(f.record(l));
    const DeletionPlan plan = planDeletion(f.d, asked);
    EXPECT_TRUE(plan.refused.empty()) << plan.refused[0].why;
    const std::string path = out.file(std::to_string(i) + ".dxf");
    std::string error;
    ASSERT_TRUE(writePatched(f.d, plan.patch, path, error)) << error;
    const std::string written = test::readText(path);
    EXPECT_EQ(validate(written), "");
    // Our reader reads it back without the deleted records (objects owned by them included)
    // and with every other handle.
    Drawing back;
    DxfError readError;
    ASSERT_TRUE(openDrawing(written, path, back, readError)) << readError.text;
    std::vector<uint64_t> expected = handlesOf(f.d);
    for (uint32_t r : plan.patch.deleteRecords)
      if (f.d.records[r].flags & HasHandle)
        expected.erase(std::find(expected.begin(), expected.end(), f.d.records[r].handle));
    EXPECT_EQ(handlesOf(back), expected);
    for (uint32_t r : asked)
      EXPECT_TRUE(
          std::binary_search(plan.patch.deleteRecords.begin(), plan.patch.deleteRecords.end(), r));
    manifest.push_back({{"original", fixtures().file(row.drawing + ".dxf")},
                        {"written", path},
                        {"deleted", gdalHandles(f.d, plan.patch.deleteRecords)},
                        {"gone", gdalCopies(f.d, asked)}});
  }
  const json answers = judge(out, manifest);
  ASSERT_EQ(answers.size(), rows.size());
  if (answers[0]["pdf"].is_null())
    std::printf("[  SKIPPED ] LibreCAD's dxf2pdf: librecad is not installed\n");
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(rows[i].drawing + " " + rows[i].labels[0]);
    const json& a = answers[i];
    EXPECT_EQ(a["errors"], json::array());
    EXPECT_LE(a["fixes"].get<int>(), a["base_fixes"].get<int>());
    EXPECT_EQ(a["features"], a["expected"]);
    EXPECT_EQ(a["hatch_faults"], json::array());
    if (!a["pdf"].is_null()) {
      EXPECT_EQ(a["pdf"], 0);
    }
  }
}

TEST(DxfDeletion, PointersThatCannotBeFixedUpRefuseTheEntityAndLeaveTheRestToGo) {
  const Fixture f = load("del_r2018");
  const uint32_t other = f.record("circle");
  for (auto& [label, reason] : kRefused) {
    SCOPED_TRACE(label);
    const uint32_t target = f.record(label);
    const DeletionPlan plan = planDeletion(f.d, {target, other});
    ASSERT_EQ(plan.refused.size(), 1u);
    EXPECT_EQ(plan.refused[0].record, target);
    EXPECT_NE(plan.refused[0].why.find(reason), std::string::npos) << plan.refused[0].why;
    EXPECT_EQ(plan.patch.deleteRecords, std::vector<uint32_t>{other});
  }
  // A refusal travels: the LEADER stays, so what it points at stays too.
  const DeletionPlan chain = planDeletion(f.d, {f.record("leader_note"), f.record("leader")});
  ASSERT_EQ(chain.refused.size(), 2u);
  EXPECT_NE(chain.refused[0].why.find("referenced by"), std::string::npos);
  EXPECT_TRUE(chain.patch.deleteRecords.empty());
  // Records that are not entities are never deleted.
  const Section* tables = findSection(f.d, "TABLES");
  const DeletionPlan plan = planDeletion(f.d, {tables->firstRecord, 999999999u});
  EXPECT_EQ(plan.refused.size(), 2u);
  EXPECT_TRUE(plan.patch.deleteRecords.empty());
}

// The pointer scans take a record whose only pointer is its owner from the index: every plan
// and every answer of the gate are those of a drawing whose records are all read in full.
TEST(DxfDeletion, RecordsWithOnlyAnOwnerPlanAsWhenReadInFull) {
  auto answers = [](const Drawing& d) {
    std::vector<std::string> out;
    std::vector<uint32_t> entities;
    DeletionGate gate;
    for (uint32_t i = 0; i < d.records.size(); ++i) {
      const std::string& section = d.sections[d.records[i].section].name;
      if ((section != "ENTITIES" && section != "BLOCKS") || !(d.records[i].flags & HasHandle))
        continue;
      entities.push_back(i);
      out.push_back(pointedAtBy(d, gate, i) + " / " +
                    deletionRefusal(d, gate, i, [&] { return entities; }));
    }
    for (const DeletionPlan& plan : {planDeletion(d, entities), planDeletion(d, {entities[0]})}) {
      out.push_back(applyPatch(d, plan.patch));
      for (const Refusal& r : plan.refused) out.push_back(std::to_string(r.record) + r.why);
    }
    return out;
  };
  // Besides the fixtures: owners that are not block records (a line owned by a line, and an
  // empty dictionary owned by it).
  Fixture owned;
  DxfError error;
  ASSERT_TRUE(
      openDrawing("0\nSECTION\n2\nENTITIES\n0\nLINE\n5\nA1\n330\n1F\n8\n0\n"
                  "0\nLINE\n5\nA2\n330\nA1\n8\n0\n0\nENDSEC\n0\nSECTION\n2\nOBJECTS\n"
                  "0\nDICTIONARY\n5\nB1\n330\nA2\n0\nENDSEC\n0\nEOF\n",
                  "owned", owned.d, error))
      << error.text;
  for (const char* name : {"del_r12", "del_r2018", "owned"}) {
    SCOPED_TRACE(name);
    const Fixture f = name == std::string("owned") ? owned : load(name);
    Drawing full = f.d;
    size_t onlyOwner = 0;
    for (Record& r : full.records) {
      onlyOwner += (r.flags & OnlyOwner) != 0;
      r.flags &= uint8_t(~OnlyOwner);
    }
    EXPECT_GT(onlyOwner, 0u);
    EXPECT_EQ(answers(f.d), answers(full));
  }
}

// A run asks the gate entity by entity and deletes what it lets go: the planner at save lets
// all of those go, on the fixtures and on the drawings the fuzz target found (fuzz/findings); a
// gate that scanned the drawing on a thread of its own answers the same. Deleting every record,
// and every other one, writes a file the validator accepts and our reader reads back without
// the deleted records.
TEST(DxfDeletion, TheGatesAnswersHoldAtSaveAndDeletionsWriteValidFiles) {
  std::vector<std::pair<std::string, std::string>> drawings;
  for (const char* name : {"del_r12", "del_r2018"})
    drawings.emplace_back(name, test::readText(fixtures().file(std::string(name) + ".dxf")));
  for (const auto& entry : std::filesystem::directory_iterator(KELVARA_SOURCE_DIR "/fuzz/findings"))
    drawings.emplace_back(entry.path().filename().string(), test::readText(entry.path()));
  ASSERT_GT(drawings.size(), 2u);
  test::ScratchDir out;
  for (const auto& [name, text] : drawings) {
    SCOPED_TRACE(name);
    auto drawing = std::make_shared<Drawing>();
    const Drawing& d = *drawing;
    DxfError readError;
    ASSERT_TRUE(openDrawing(text, name, *drawing, readError)) << readError.text;
    ASSERT_EQ(validate(d.bytes), "");
    DeletionGate gate, ahead;  // scanned at the first question, and on a thread of its own
    startScan(drawing, ahead);
    std::vector<uint32_t> deleted;
    for (uint32_t i = 0; i < d.records.size(); ++i) {
      const std::string& section = d.sections[d.records[i].section].name;
      if (section != "ENTITIES" && section != "BLOCKS") continue;
      const std::string why = deletionRefusal(d, gate, i, [&] { return deleted; });
      EXPECT_EQ(deletionRefusal(d, ahead, i, [&] { return deleted; }), why);
      if (why.empty()) deleted.push_back(i);
    }
    EXPECT_FALSE(deleted.empty());
    for (const Refusal& r : planDeletion(d, deleted).refused)
      ADD_FAILURE() << "record " << r.record << " let go, refused at save: " << r.why;
    for (const uint32_t stride : {1u, 2u}) {
      SCOPED_TRACE("every " + std::to_string(stride));
      std::vector<uint32_t> asked;
      for (uint32_t r = 0; r < d.records.size(); r += stride) asked.push_back(r);
      const DeletionPlan plan = planDeletion(d, asked);
      EXPECT_FALSE(plan.patch.deleteRecords.empty());
      const std::string path = out.file(name + std::to_string(stride) + ".dxf");
      std::string error;
      ASSERT_TRUE(writePatched(d, plan.patch, path, error)) << error;
      const std::string written = test::readText(path);
      EXPECT_EQ(written, applyPatch(d, plan.patch));
      EXPECT_EQ(validate(written), "");
      Drawing back;
      ASSERT_TRUE(openDrawing(written, path, back, readError)) << readError.text;
      EXPECT_EQ(back.records.size() + plan.patch.deleteRecords.size(), d.records.size());
    }
  }
}

TEST(DxfWrite, AnUntouchedDrawingIsWrittenByteForByteAndATargetIsNeverTouchedWhenItCannotBe) {
  test::ScratchDir out;
  for (const bool withCrlf : {false, true})
    for (const char* name : {"del_r12", "del_r2018"}) {
      SCOPED_TRACE(std::string(name) + (withCrlf ? " CR LF" : ""));
      const Fixture f = load(name, withCrlf);
      const std::string path = out.file(name);
      std::string error;
      ASSERT_TRUE(writePatched(f.d, {}, path, error)) << error;
      EXPECT_EQ(test::readText(path), f.d.bytes);
    }
  const Fixture f = load("del_r12");
  const std::string path = out.file("readonly.dxf");
  std::ofstream(path) << "keep";
  ::chmod(path.c_str(), 0444);
  std::string error;
  Patch patch;
  patch.deleteRecords = {f.record("line")};
  EXPECT_FALSE(writePatched(f.d, patch, path, error));
  EXPECT_NE(error, "");
  EXPECT_EQ(test::readText(path), "keep");
  // A drawing read from its file (mapped) is written from those bytes, again after its file was
  // replaced, and not at all once its file was changed in place.
  const std::string mapped = out.file("mapped.dxf");
  std::ofstream(mapped, std::ios::binary) << f.d.bytes;
  Drawing d;
  DxfError readError;
  ASSERT_TRUE(readDrawing(mapped, d, readError)) << readError.text;
  ASSERT_TRUE(writePatched(d, patch, mapped, error)) << error;
  ASSERT_TRUE(writePatched(d, patch, mapped, error)) << error;
  EXPECT_EQ(test::readText(mapped), applyPatch(f.d, patch));
  ASSERT_TRUE(readDrawing(mapped, d, readError)) << readError.text;
  std::ofstream(mapped, std::ios::binary | std::ios::app) << "999\nlater\n";
  EXPECT_FALSE(writePatched(d, patch, out.file("copy.dxf"), error));
  EXPECT_NE(error.find("changed on disk"), std::string::npos) << error;
}

TEST(DxfWrite, ValueEditsReplaceInPlaceOrInsertWhereTheGroupBelongs) {
  struct Case {
    const char* drawing;
    bool crlf;
    const char* label;
    int code;
    const char* value;
    const char* after = "  8";  // the pair goes right after this group (its code line)
  };
  const Case cases[] = {
      {"del_r12", false, "line", 62, "5"},          // missing: after the layer
      {"del_r12", true, "circle", 62, "5"},         // the same in CR LF
      {"del_r2018", false, "line", 62, "5"},        // after AcDbEntity's layer
      {"del_r2018", true, "hatch_solid", 62, "6"},  // present: replaced
      {"del_r2018", false, "line", 370, "35"},
      {"del_r2018", false, "insert_attribs", 62, "5"},  // the head, not its ATTRIB
      {"del_r12", true, "polyline2d", 62, "5"},         // the head, not its VERTEX
      {"del_r2018", false, "line", 67, "0", "100"},     // first of the common groups
      {"del_r12", false, "line", 67, "0", "  5"},
  };
  test::ScratchDir out;
  json manifest = json::array();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.drawing) + " " + c.label + " " + std::to_string(c.code));
    const Fixture f = load(c.drawing, c.crlf);
    const uint32_t r = f.record(c.label);
    Patch patch;
    patch.edits = {{r, c.code, c.value}};
    const std::string bytes = applyPatch(f.d, patch);
    EXPECT_EQ(validate(bytes), "");
    const std::string eol = c.crlf ? "\r\n" : "\n";
    const std::string pair =
        std::string(c.code < 100 ? " " : "") + std::to_string(c.code) + eol + c.value + eol;
    // The group stands right after the group it follows, and nothing before it changed.
    const Record& rec = f.d.records[r];
    const std::string head = bytes.substr(rec.begin, rec.end - rec.begin + pair.size());
    const size_t after = head.find(c.after + eol);
    ASSERT_NE(after, std::string::npos) << head;
    const size_t value = head.find(eol, after + std::strlen(c.after) + eol.size());
    EXPECT_EQ(head.substr(value + eol.size(), pair.size()), pair) << head;
    EXPECT_EQ(bytes.substr(0, rec.begin), f.d.bytes.substr(0, rec.begin));
    if (c.crlf) {
      for (size_t at = bytes.find('\n'); at != std::string::npos; at = bytes.find('\n', at + 1))
        ASSERT_EQ(bytes[at - 1], '\r') << "a line ends in LF alone at byte " << at;
    }
    Drawing back;
    DxfError error;
    ASSERT_TRUE(openDrawing(bytes, "edited", back, error)) << error.text;
    Entity e;
    ASSERT_TRUE(decodeEntity(back, back.records[r], e, error)) << error.text;
    if (c.code != 67) {
      EXPECT_EQ(c.code == 62 ? e.colour : e.lineweight, std::atoi(c.value));
    }
    const std::string path = out.file(std::to_string(manifest.size()) + ".dxf");
    std::ofstream(path, std::ios::binary) << bytes;
    manifest.push_back({{"original", fixtures().file(std::string(c.drawing) + ".dxf")},
                        {"written", path},
                        {"deleted", json::array()}});
  }
  const json answers = judge(out, manifest);
  for (const json& a : answers) {
    EXPECT_EQ(a["errors"], json::array());
    EXPECT_EQ(a["features"], a["expected"]);
  }
}

// A restyle gives many records one of a few looks: the same bytes as the edits one by one, the
// record's own edits first; a list out of order is refused, or left out.
TEST(DxfWrite, RestyledRecordsTakeTheirLooks) {
  const Fixture f = load("del_r2018", false);
  const uint32_t line = f.record("line"), hatch = f.record("hatch_solid");
  ASSERT_LT(line, hatch);
  Patch oneByOne;
  oneByOne.edits = {{line, 62, "5"}, {line, -420, ""}, {hatch, 62, "3"}, {hatch, 8, "0"}};
  const std::vector<uint32_t> records{line, hatch};
  const std::vector<uint8_t> looks{0, 1};
  Patch restyled;
  restyled.restyle.records = records;
  restyled.restyle.lookOf = looks;
  restyled.restyle.looks = {{{0, 62, "5"}, {0, -420, ""}}, {{0, 62, "9"}, {0, 8, "0"}}};
  restyled.edits = {{hatch, 62, "3"}};  // the record's own edit wins
  const std::string bytes = applyPatch(f.d, restyled);
  EXPECT_EQ(bytes, applyPatch(f.d, oneByOne));
  EXPECT_EQ(validate(bytes), "");

  const std::vector<uint32_t> backwards{hatch, line};
  Patch bad;
  bad.restyle.records = backwards;
  bad.restyle.lookOf = looks;
  bad.restyle.looks = restyled.restyle.looks;
  test::ScratchDir out;
  std::string error;
  EXPECT_FALSE(writePatched(f.d, bad, out.file("bad.dxf"), error));
  EXPECT_NE(error.find("out of order"), std::string::npos) << error;
  EXPECT_FALSE(std::filesystem::exists(out.file("bad.dxf")));
  EXPECT_EQ(applyPatch(f.d, bad), f.d.bytes);
}

// The design report's records are written from sketches made beforehand where the sketches
// allow it: the same bytes as rewriting every record tag by tag, whatever the look.
TEST(DxfWrite, SketchedRecordsAreWrittenAsTagByTag) {
  const std::string made =
      "  0\nSECTION\n  2\nENTITIES\n"
      "  0\nLINE\n  5\n10\n102\n{ACAD_REACTORS\n  8\nNOT\n102\n}\n100\nAcDbEntity\n  8\n   "
      "PADDED\n100\nAcDbLine\n 10\n0\n"                  // padded, after a group
      "  0\nLINE\n  5\n11\n  8\n0\n 62\n1\n"             // its own colour
      "  0\nLINE\n  5\n12\n  8\n0\n1001\nAPP\n 62\n5\n"  // a colour in XDATA only
      "  0\nLINE\n  5\n13\n  8\n0\n420\n255\n"           // a true colour
      "  0\nPOLYLINE\n  5\n14\n  8\n0\n 66\n1\n  0\nVERTEX\n  5\n15\n  8\n0\n  0\nSEQEND\n"
      "  5\n16\n  8\n0\n"                                                     // followers
      "  0\nLINE\n  5\n17\n 10\n0\n"                                          // no layer
      "  0\nLINE\n  5\n18\n100\nAcDbEntity\n100\nAcDbLine\n  8\n0\n 10\n0\n"  // groups go before it
      "  0\nENDSEC\n  0\nEOF\n";
  std::vector<std::string> drawings = {made, crlf(made)};
  for (const char* name : {"del_r12", "del_r2018"}) {
    drawings.push_back(test::readText(fixtures().file(std::string(name) + ".dxf")));
    drawings.push_back(crlf(drawings.back()));
  }
  const std::vector<std::vector<ValueEdit>> looks = {
      {{0, 8, "MARKED"},
       {0, 6, "DASHED"},
       {0, 370, "35"},
       {0, 62, "1"},
       {0, -420, ""},
       {0, -430, ""}},
      {{0, 370, "0"}, {0, 62, "0"}, {0, -420, ""}, {0, -430, ""}},
      {{0, 8, "L"}},
      {{0, 62, "3"}, {0, 67, "0"}},  // an edit of another kind: tag by tag
  };
  size_t usable = 0, all = 0;
  for (const std::string& bytes : drawings) {
    Drawing d;
    DxfError error;
    ASSERT_TRUE(openDrawing(bytes, "sketched", d, error)) << error.text;
    const Section* s = findSection(d, "ENTITIES");
    std::vector<uint32_t> records;
    for (uint32_t k = 0; k < s->recordCount; ++k) records.push_back(s->firstRecord + k);
    const std::vector<RestyleSketch> sketches = sketchRestyle(d, records);
    ASSERT_EQ(sketches.size(), records.size());
    for (const RestyleSketch& k : sketches) usable += k.insertAt != 0;
    all += sketches.size();
    for (uint8_t look = 0; look < looks.size(); ++look) {
      SCOPED_TRACE(look);
      const std::vector<uint8_t> lookOf(records.size(), look);
      Patch patch;
      patch.restyle.records = records;
      patch.restyle.lookOf = lookOf;
      patch.restyle.looks = looks;
      patch.edits = {{records[1], 62, "7"}};  // a record's own edit: tag by tag
      const std::string byTags = applyPatch(d, patch);
      patch.restyle.sketches = sketches;
      EXPECT_EQ(applyPatch(d, patch), byTags);
    }
    std::stop_source stopped;
    stopped.request_stop();
    EXPECT_TRUE(sketchRestyle(d, records, stopped.get_token()).empty());
  }
  EXPECT_GT(usable, all / 4);
  EXPECT_LT(usable, all);
}

// A drawing of many records is written in chunks on two threads and built in batches on two
// threads: the same bytes as a patch applied in one piece, and the elements in record order.
TEST(DxfWrite, ALargeDrawingIsPatchedAndBuiltInRecordOrder) {
  constexpr int kLines = 9000;  // several chunks and batches, the last ones short
  std::string text = "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1009\n  0\nENDSEC\n";
  text += "  0\nSECTION\n  2\nENTITIES\n";
  for (int i = 0; i < kLines; ++i)
    text += "  0\nLINE\n  8\n0\n 10\n" + std::to_string(i) + "\n 20\n0\n 30\n0\n 11\n" +
            std::to_string(i) + "\n 21\n1\n 31\n0\n";
  text += "  0\nENDSEC\n  0\nEOF\n";
  auto d = std::make_shared<Drawing>();
  DxfError readError;
  ASSERT_TRUE(openDrawing(text, "large", *d, readError)) << readError.text;
  const Section* entities = findSection(*d, "ENTITIES");
  ASSERT_EQ(entities->recordCount, uint32_t(kLines));

  Patch patch;
  std::vector<uint32_t> records;
  std::vector<uint8_t> looks;
  for (uint32_t k = 0; k < entities->recordCount; ++k) {
    const uint32_t r = entities->firstRecord + k;
    if (k % 7 == 3) patch.deleteRecords.push_back(r);
    records.push_back(r);
    looks.push_back(uint8_t(k % 3 == 0));
  }
  patch.edits = {{records[kLines - 1], 62, "2"}};
  patch.restyle.records = records;
  patch.restyle.lookOf = looks;
  patch.restyle.looks = {{{0, 62, "1"}}, {{0, 8, "MARKED"}, {0, 370, "35"}}};
  test::ScratchDir out;
  std::string error;
  ASSERT_TRUE(writePatched(*d, patch, out.file("large.dxf"), error)) << error;
  const std::string written = test::readText(out.file("large.dxf"));
  EXPECT_EQ(written, applyPatch(*d, patch));
  EXPECT_EQ(validate(written), "");
  auto count = [&](const std::string& line) {
    size_t n = 0;
    for (size_t at = written.find(line); at != std::string::npos; at = written.find(line, at + 1))
      ++n;
    return n;
  };
  size_t left = 0, marked = 0;
  for (int k = 0; k < kLines; ++k) {
    left += k % 7 != 3;
    marked += k % 7 != 3 && k % 3 == 0;
  }
  EXPECT_EQ(count("\nLINE\n"), left);
  EXPECT_EQ(count("\nMARKED\n"), marked);

  ModelSide side;
  dgn::DesignImage image;
  ASSERT_TRUE(buildModel(d, 0, placementOf(*d), image, side, error)) << error;
  ASSERT_EQ(side.elements.size(), size_t(kLines));
  for (size_t k = 0; k < side.elements.size(); ++k)
    ASSERT_EQ(side.elements[k].record, entities->firstRecord + k) << k;

  // The side record of a position: that of the element which starts at or before it, however
  // unlike the elements' sizes.
  ModelSide uneven;
  uint32_t at = 1000;
  for (uint32_t k = 0; k < 5000; ++k, at += 4 + (k * k * 7919u) % (k % 97 == 0 ? 90000u : 60u)) {
    uneven.positions.push_back(at);
    uneven.elements.push_back(ElementSide{});
  }
  EXPECT_EQ(sideOf(uneven, 999), nullptr);
  for (uint32_t filePos = 1000; filePos < at + 10; filePos += 3) {
    const auto next = std::upper_bound(uneven.positions.begin(), uneven.positions.end(), filePos);
    ASSERT_EQ(sideOf(uneven, filePos),
              &uneven.elements[size_t(next - uneven.positions.begin()) - 1])
        << filePos;
  }
}

TEST(DxfValidate, NamesWhatIsBrokenAndWhere) {
  const Fixture f = load("del_r2018");
  const std::string good(f.d.bytes);
  const Record& poly = f.d.records[f.record("polyline2d")];
  const Record& member = f.d.records[f.record("group_member")];
  auto without = [&](size_t at, size_t n) { return good.substr(0, at) + good.substr(at + n); };
  const size_t seqend = good.find("SEQEND", poly.begin);
  const size_t seqendAt = good.rfind("  0\n", seqend);
  const size_t vertex = good.find("  0\nVERTEX", poly.begin);
  const size_t endsec = good.find("ENDSEC", good.find("ENTITIES"));
  struct Case {
    std::string bytes, expected;
  } cases[] = {
      {good.substr(0, good.rfind("  0\nEOF")), "ends without EOF"},
      {without(good.find('\n', poly.begin + 5) + 1, 6), "group code was expected"},
      {without(seqendAt, poly.end - seqendAt), "POLYLINE without SEQEND"},
      {without(poly.begin, vertex - poly.begin), "VERTEX without a POLYLINE"},
      {without(good.rfind("  0\n", endsec), 11), "is not closed (ENDSEC)"},
      {without(member.begin, member.end - member.begin), "points at handle"},
      {good.substr(0, member.end) + good.substr(member.begin), "is already used at line"},
      {without(good.find("102\n}\n", f.d.records[f.record("boundary")].begin), 6), "102 group"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    const std::string why = validate(c.bytes);
    EXPECT_NE(why.find(c.expected), std::string::npos) << why;
    EXPECT_EQ(why.rfind("line ", 0), 0u) << why;
  }
}

}  // namespace
}  // namespace kelvara::dxf
