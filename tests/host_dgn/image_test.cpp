// The design image: index, malformed input, edits and an unchanged save. (Refused and failed
// saves: the atomic writer's tests and WriterFaults in file_writes.)
#include "host/dgn/image.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/dgn_builder.h"
#include "support/scratch.h"

namespace kelvara::dgn {
namespace {

using namespace kelvara::test;
namespace fs = std::filesystem;

// A small 2D drawing: a line, a complex chain of two, a cell holding a shape, a text.
DesignBuilder sampleDrawing() {
  DesignBuilder d;
  d.add(line({0, 0}, {1000, 0}, {.level = 3, .colour = 2}));
  d.add(complexChain({lineString({{0, 0}, {10, 0}, {10, 10}}), line({10, 10}, {0, 10})}));
  d.add(cell("BOX", {50, 50}, {shape({{0, 0}, {5, 0}, {5, 5}, {0, 0}}, {.level = 7})}));
  d.add(text({.chars = "A", .origin = {5, 5}}));
  return d;
}

int parse(const std::vector<uint8_t>& bytes, DesignImage& img, std::string* err = nullptr) {
  return parseImage(bytes, "t.dgn", img, err);
}

TEST(Image, IndexesTopLevelElementsAndComponents) {
  const DesignBuilder d = sampleDrawing();
  DesignImage img;
  ASSERT_EQ(parse(d.bytes(), img), SUCCESS);
  // TCB, line, chain + 2, cell + 1, text.
  ASSERT_EQ(img.slots.size(), 8u);
  ASSERT_EQ(img.topLevel.size(), 5u);
  // Top-level positions: DesignState_.ScanReturnsPositionsInBatchesThenEnd.
  EXPECT_EQ(img.slots[img.topLevel[2]].extentEnd, d.positionOf(2));
  EXPECT_EQ(img.slots[3].parent, img.topLevel[2] + 1u);  // first chain component
  EXPECT_EQ(img.slots[6].parent, img.topLevel[3] + 1u);  // the cell's shape
  EXPECT_TRUE(img.hasEndMarker);
  EXPECT_EQ(img.endOfDesign, d.positionOf(4));
  EXPECT_FALSE(img.is3d);
  EXPECT_EQ(img.tcb.subPerMaster, 10);
  EXPECT_EQ(img.tcb.uorPerSub, 100);
  EXPECT_EQ(findSlot(img, d.positionOf(3)), static_cast<long>(img.topLevel[4]));
  EXPECT_EQ(findSlot(img, d.positionOf(3) + 2), -1);
  EXPECT_EQ(typeOf(elementAt(img, d.positionOf(2)).data()), 2);
}

TEST(Image, EndMarkerBeforeSectorPadding) {
  DesignBuilder d = sampleDrawing();
  d.padToSector = 512;
  std::vector<uint8_t> padded = d.bytes();
  padded.back() = 0xFF;  // sector filler with a trailing end word, as some writers leave it
  padded[padded.size() - 2] = 0xFF;
  DesignImage img;
  ASSERT_EQ(parse(padded, img), SUCCESS);
  EXPECT_EQ(img.topLevel.size(), 5u);
  EXPECT_EQ(img.endOfDesign, d.positionOf(4));
}

TEST(Image, GdalSeedFiles) {
  for (const char* seed : {"/usr/share/gdal/seed_2d.dgn", "/usr/share/gdal/seed_3d.dgn"}) {
    if (!fs::exists(seed)) GTEST_SKIP() << "GDAL data not installed";
    DesignImage img;
    std::string err;
    ASSERT_EQ(openImage(seed, img, &err), SUCCESS) << err;
    const bool is3d = std::string(seed).find("3d") != std::string::npos;
    EXPECT_EQ(img.is3d, is3d);
    EXPECT_EQ(img.hasEndMarker, !is3d);  // the 3D seed has no end-of-design word
    EXPECT_EQ(img.topLevel.size(), is3d ? 3u : 12u);
    EXPECT_EQ(img.tcb.masterName, is3d ? "m" : "ft");
    EXPECT_EQ(img.tcb.subName, is3d ? "mm" : "tf");
    EXPECT_EQ(img.tcb.subPerMaster, is3d ? 1000 : 10);
    EXPECT_EQ(img.tcb.uorPerSub, is3d ? 1 : 12);
  }
}

TEST(Image, MalformedInputIsRefusedWithFileAndOffset) {
  const DesignBuilder good = sampleDrawing();
  const std::vector<uint8_t> bytes = good.bytes();
  const uint32_t chain = good.positionOf(1);
  const uint32_t lastPos = good.positionOf(3);

  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    std::string expect;  // part of the message
  };
  std::vector<Case> cases;
  cases.push_back({"empty", {}, "t.dgn: byte 0: not a design file"});
  cases.push_back({"garbage", std::vector<uint8_t>(3000, 0x5A), "byte 0: not a design file"});
  cases.push_back({"cell library", {0x08, 0x05, 0x17, 0x00, 0, 0}, "cell library"});
  cases.push_back({"short header", std::vector<uint8_t>(bytes.begin(), bytes.begin() + 800),
                   "byte 0: design file header"});
  {
    auto b = std::vector<uint8_t>(bytes.begin(), bytes.begin() + lastPos + 10);
    cases.push_back({"truncated element", b, "runs past the end"});
  }
  {
    auto b = std::vector<uint8_t>(bytes.begin(), bytes.begin() + lastPos + 3);
    cases.push_back({"truncated header word", b, "truncated element header"});
  }
  {
    auto b = bytes;
    writeU16(b.data() + lastPos + 2, 0xFFF0);
    cases.push_back({"word count past end", b,
                     "byte " + std::to_string(lastPos) + ": element of 131044 bytes runs past"});
  }
  {
    auto b = bytes;
    writeU16(b.data() + chain + 38, 9);  // claims 9 components, 2 follow
    cases.push_back({"complex claims more", b, "not marked as a component"});
  }
  {
    DesignBuilder d;
    d.add(complexChain({line({0, 0}, {1, 1}), line({1, 1}, {2, 2})}));
    auto b = d.bytes();
    writeU16(b.data() + 1536 + 38, 5);
    cases.push_back({"complex runs into end", b, "claims 5 components, only 2 follow"});
  }
  {
    DesignBuilder d;
    d.add(cell("X", {0, 0}, {line({0, 0}, {1, 1})}));
    auto b = d.bytes();
    writeU16(b.data() + 1536 + 36, 4000);  // cell longer than the design
    cases.push_back({"cell claims more", b, "the design ends at byte"});
  }
  {
    Element inner = line({0, 0}, {1, 1});
    for (int i = 0; i < MAX_NESTING + 2; ++i) inner = cell("N", {0, 0}, {inner});
    DesignBuilder d;
    d.add(inner);
    cases.push_back({"deep nesting", d.bytes(), "nested"});
  }
  for (const Case& c : cases) {
    DesignImage img;
    std::string err;
    EXPECT_EQ(parse(c.bytes, img, &err), ERROR) << c.what;
    EXPECT_NE(err.find(c.expect), std::string::npos) << c.what << ": " << err;
    EXPECT_EQ(err.rfind("t.dgn", 0), 0u) << c.what << ": " << err;
    EXPECT_TRUE(img.slots.empty()) << c.what;
  }
}

TEST(Image, ShortCellLengthAsSomeWritersLeaveIt) {
  // Cells whose total length leaves out the header's own linkage still own their shapes.
  const Element run =
      cell("", {0, 0},
           {shape({{0, 0}, {9, 0}, {9, 9}, {0, 0}}), shape({{2, 2}, {3, 2}, {3, 3}, {2, 2}})});
  Element header = withOdbc(Element(run.begin(), run.begin() + 92), 0, 0);  // length unchanged
  header.insert(header.end(), run.begin() + 92, run.end());
  DesignBuilder d;
  d.add(header).add(line({0, 0}, {1, 1}));
  DesignImage img;
  std::string err;
  ASSERT_EQ(parse(d.bytes(), img, &err), SUCCESS) << err;
  ASSERT_EQ(img.topLevel.size(), 3u);
  EXPECT_EQ(img.slots[img.topLevel[1]].extentEnd, d.positionOf(1));
}

TEST(Image, DeleteMarksElementAndEveryComponentOnly) {
  const DesignBuilder d = sampleDrawing();
  DesignImage img;
  ASSERT_EQ(parse(d.bytes(), img), SUCCESS);
  const std::vector<uint8_t> before = img.bytes;
  ASSERT_EQ(deleteElement(img, d.positionOf(1)), SUCCESS);
  EXPECT_TRUE(img.dirty);
  std::vector<size_t> changed;
  for (size_t i = 0; i < before.size(); ++i)
    if (before[i] != img.bytes[i]) changed.push_back(i);
  // Exactly byte 1 of the chain header and of its two components.
  ASSERT_EQ(changed.size(), 3u);
  EXPECT_EQ(changed[0], d.positionOf(1) + 1u);
  for (size_t i : changed) EXPECT_EQ(img.bytes[i], before[i] | 0x80);
  EXPECT_EQ(deleteElement(img, d.positionOf(1) + 4), ERROR);
}

TEST(Image, AppendBeforeEndMarkerOrAtPhysicalEnd) {
  for (bool marker : {true, false}) {
    DesignBuilder d = sampleDrawing();
    d.endMarker = marker;
    DesignImage img;
    ASSERT_EQ(parse(d.bytes(), img), SUCCESS);
    const Element chain =
        complexShape({lineString({{0, 0}, {4, 0}, {4, 4}}), lineString({{4, 4}, {0, 4}, {0, 0}})});
    const uint32_t pos = appendElement(img, Bytes(chain.data(), chain.size()));
    EXPECT_EQ(pos, d.positionOf(4));
    EXPECT_EQ(img.bytes.size(), pos + chain.size() + 2);
    EXPECT_EQ(img.bytes[img.bytes.size() - 1], 0xFF);
    // The image reads back the same way from its bytes.
    DesignImage again;
    ASSERT_EQ(parse(img.bytes, again), SUCCESS);
    EXPECT_EQ(again.topLevel.size(), 6u);
    EXPECT_EQ(again.slots.size(), img.slots.size());
    for (size_t i = 0; i < img.slots.size(); ++i) {
      EXPECT_EQ(again.slots[i].offset, img.slots[i].offset);
      EXPECT_EQ(again.slots[i].extentEnd, img.slots[i].extentEnd);
      EXPECT_EQ(again.slots[i].parent, img.slots[i].parent);
    }
  }
}

TEST(Image, AppendRefusesMalformedRuns) {
  DesignImage img;
  ASSERT_EQ(parse(sampleDrawing().bytes(), img), SUCCESS);
  const size_t size = img.bytes.size();
  Element two = line({0, 0}, {1, 1});
  const Element second = line({1, 1}, {2, 2});
  two.insert(two.end(), second.begin(), second.end());
  Element oversize = lineString(std::vector<DPoint3d>(200, DPoint3d{}));
  Element truncated = line({0, 0}, {1, 1});
  truncated.resize(20);
  for (const Element* e : {&two, &oversize, &truncated})
    EXPECT_EQ(appendElement(img, Bytes(e->data(), e->size())), 0u);
  EXPECT_EQ(img.bytes.size(), size);
  EXPECT_FALSE(img.dirty);
}

TEST(Image, ReplaceInPlaceOrRelocate) {
  const DesignBuilder d = sampleDrawing();
  DesignImage img;
  ASSERT_EQ(parse(d.bytes(), img), SUCCESS);
  const uint32_t pos = d.positionOf(0);
  const Element moved = line({5, 5}, {6, 6}, {.level = 3, .colour = 9});
  EXPECT_EQ(replaceElement(img, pos, Bytes(moved.data(), moved.size())), pos);
  EXPECT_EQ(std::vector<uint8_t>(img.bytes.begin() + pos, img.bytes.begin() + pos + moved.size()),
            moved);
  const Element grown = lineString({{0, 0}, {1, 0}, {2, 0}});
  const uint32_t np = replaceElement(img, pos, Bytes(grown.data(), grown.size()));
  EXPECT_EQ(np, d.positionOf(4));
  EXPECT_TRUE(isDeletedBit(img.bytes.data() + pos));
  EXPECT_EQ(typeOf(elementAt(img, np).data()), 4);
  // Components are replaced with their whole group only.
  EXPECT_EQ(replaceElement(img, d.positionOf(1) + 48, Bytes(moved.data(), moved.size())), 0u);
}

TEST(Image, UnchangedSaveIsByteIdenticalAndEditsPersist) {
  ScratchDir dir;
  const std::string path = dir.file("a.dgn");
  DesignBuilder d = sampleDrawing();
  d.padToSector = 512;
  ASSERT_TRUE(d.write(path));
  const std::vector<uint8_t> original = readBytes(path);
  DesignImage img;
  std::string err;
  ASSERT_EQ(openImage(path, img, &err), SUCCESS) << err;
  ASSERT_EQ(saveImage(img, &err), SUCCESS) << err;
  EXPECT_EQ(readBytes(path), original);

  ASSERT_EQ(deleteElement(img, d.positionOf(0)), SUCCESS);
  ASSERT_EQ(saveImage(img, &err), SUCCESS) << err;
  EXPECT_FALSE(img.dirty);
  DesignImage back;
  ASSERT_EQ(openImage(path, back, &err), SUCCESS) << err;
  EXPECT_TRUE(isDeletedBit(elementAt(back, d.positionOf(0)).data()));
  for (const auto& e : fs::directory_iterator(dir.path()))  // no temporary file left behind
    EXPECT_EQ(e.path().filename(), "a.dgn");
}

}  // namespace
}  // namespace kelvara::dgn
