// The host's design files: scanning, descriptors and their accessors, adding and rewriting,
// read-only drawings, work files, level names and reference attachments. (Switching and saving
// files, and backups: the end-to-end runs and the writer fault tests.)
#include "host/design.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/dgn_builder.h"
#include "support/fresh_host.h"
#include "support/scratch.h"

namespace kelvara {
namespace {

using namespace kelvara::test;

// line (level 3, colour 2, weight 1, style 4, class 2), filled shape, complex chain, cell, text,
// deleted line.
DesignBuilder drawing(bool is3d = false) {
  DesignBuilder d;
  d.is3d = is3d;
  d.add(line({0, 0, 0}, {1000, 500, 0},
             {.level = 3,
              .colour = 2,
              .weight = 1,
              .style = 4,
              .properties = 2 | dgn::PROP_LOCKED | dgn::PROP_VIEW_INDEPENDENT},
             is3d));
  d.add(withFill(
      shape({{0, 0}, {10, 0}, {10, 10}, {0, 0}}, {.level = 4, .properties = 0x8000}, is3d), 6));
  d.add(complexChain({lineString({{0, 0}, {10, 0}, {10, 10}}, {}, is3d),
                      arc({10, 20}, 10, 10, 0, 270, 90, {}, is3d)},
                     {.level = 5}, is3d));
  d.add(cell("DOOR", {100, 100}, {line({0, 0}, {1, 0}, {.level = 6}, is3d)}, {.level = 6}, is3d));
  d.add(text({.chars = "T", .origin = {1, 2}}, {.level = 7}, is3d));
  d.add(deleted(line({5, 5}, {6, 6}, {}, is3d)));
  d.add(colourTable(0, 0, 0));
  return d;
}

struct DesignState_ : FreshDesigns {};

std::vector<uint32_t> scanAll(ModelRef model, bool drawnOnly, int batch = 4,
                              int* batches = nullptr) {
  ScanCriteria sc;
  mdlScan_initialize(&sc, model);
  mdlScan_setDrawnElements(&sc, drawnOnly);
  std::vector<uint32_t> all;
  std::vector<uint32_t> buf(batch);
  int count = 0, status = SUCCESS, n = 0;
  do {
    status = mdlScan_file(buf.data(), &count, batch, &sc);
    EXPECT_NE(status, ERROR);
    all.insert(all.end(), buf.begin(), buf.begin() + count);
    ++n;
  } while (status == SUCCESS);
  EXPECT_EQ(status, END_OF_DGN);
  if (batches) *batches = n;
  return all;
}

TEST_F(DesignState_, ScanReturnsPositionsInBatchesThenEnd) {
  const DesignBuilder d = drawing();
  ASSERT_EQ(mdlSystem_newDesignFile(write("s.dgn", d)), SUCCESS);
  const ModelRef m = mdlModelRef_getActive();
  int batches = 0;
  const auto all = scanAll(m, false, 3, &batches);
  // TCB + 6 live top-level elements (the deleted line is left out), components never.
  const std::vector<uint32_t> expect = {0,
                                        d.positionOf(0),
                                        d.positionOf(1),
                                        d.positionOf(2),
                                        d.positionOf(3),
                                        d.positionOf(4),
                                        d.positionOf(6)};
  EXPECT_EQ(all, expect);
  EXPECT_EQ(batches, 3);
  const auto drawn = scanAll(m, true);
  EXPECT_EQ(drawn, std::vector<uint32_t>(expect.begin() + 1, expect.end() - 1));
  ScanCriteria sc;
  mdlScan_initialize(&sc, 12345);
  uint32_t buf[4];
  int count = 0;
  EXPECT_EQ(mdlScan_file(buf, &count, 4, &sc), ERROR);
}

TEST_F(DesignState_, DescriptorTreeAndAccessors) {
  for (bool is3d : {false, true}) {
    SCOPED_TRACE(is3d);
    resetDesignState();
    const DesignBuilder d = drawing(is3d);
    ASSERT_EQ(mdlSystem_newDesignFile(write(is3d ? "d3.dgn" : "d2.dgn", d)), SUCCESS);
    const ModelRef m = mdlModelRef_getActive();
    ElmDscrPtr line;
    ASSERT_EQ(mdlElmdscr_read(&line, d.positionOf(0), m), SUCCESS);
    EXPECT_EQ(mdlElement_getType(*line), 3);
    EXPECT_EQ(line->modelRef, m);
    EXPECT_EQ(mdlElement_getID(*line), d.positionOf(0));
    ElementProperties pr;
    ASSERT_EQ(mdlElement_getProperties(&pr, *line), SUCCESS);
    EXPECT_EQ(pr.level, 3);
    EXPECT_EQ(pr.elementClass, 2);
    EXPECT_TRUE(pr.locked);
    EXPECT_TRUE(pr.viewIndependent);
    EXPECT_FALSE(pr.solidHole);
    uint32_t colour = 0, weight = 0;
    int32_t style = 0;
    ASSERT_EQ(mdlElement_getSymbology(&colour, &weight, &style, *line), SUCCESS);
    EXPECT_EQ(colour, 2u);
    EXPECT_EQ(weight, 1u);
    EXPECT_EQ(style, 4);
    std::string styleName;
    EXPECT_EQ(mdlElement_getLineStyle(&styleName, *line), ERROR);
    EXPECT_FALSE(mdlElement_isFilled(*line));
    EXPECT_TRUE(mdlElement_isVisible(*line));
    const DRange3d r = mdlElement_getRange(*line);
    EXPECT_EQ(std::vector<int64_t>({r.xLow, r.xHigh, r.yHigh}),
              std::vector<int64_t>({0, 1000, 500}));

    ElmDscrPtr shape;
    ASSERT_EQ(mdlElmdscr_read(&shape, d.positionOf(1), m), SUCCESS);
    EXPECT_TRUE(mdlElement_isFilled(*shape));
    uint32_t fill = 0;
    EXPECT_EQ(mdlElement_getFillColor(&fill, *shape), SUCCESS);
    EXPECT_EQ(fill, 6u);
    ASSERT_EQ(mdlElement_getProperties(&pr, *shape), SUCCESS);
    EXPECT_TRUE(pr.solidHole);
    EXPECT_EQ(mdlElement_getFillColor(&fill, *line), ERROR);

    ElmDscrPtr chain;
    ASSERT_EQ(mdlElmdscr_read(&chain, d.positionOf(2), m), SUCCESS);
    ASSERT_EQ(chain->components.size(), 2u);
    EXPECT_EQ(mdlElement_getType(chain->components[0]), 4);
    EXPECT_EQ(mdlElement_getType(chain->components[1]), 16);
    EXPECT_TRUE(mdlElement_isComplexComponent(chain->components[1]));
    EXPECT_FALSE(mdlElement_isComplexComponent(*chain));
    EXPECT_EQ(chain->components[1].filePosition, d.positionOf(2) + 48 + (is3d ? 74u : 62u));

    ElmDscrPtr cell;
    ASSERT_EQ(mdlElmdscr_read(&cell, d.positionOf(3), m), SUCCESS);
    ASSERT_EQ(cell->components.size(), 1u);
    EXPECT_EQ(elementRun(*cell).size(), size_t(d.positionOf(4) - d.positionOf(3)));

    ElmDscrPtr gone;
    ASSERT_EQ(mdlElmdscr_read(&gone, d.positionOf(5), m), SUCCESS);  // deleted ones read too
    EXPECT_TRUE(mdlElement_isDeleted(*gone));
    EXPECT_FALSE(mdlElement_isVisible(*gone));
    ElmDscrPtr table;
    ASSERT_EQ(mdlElmdscr_read(&table, d.positionOf(6), m), SUCCESS);
    EXPECT_FALSE(mdlElement_isVisible(*table));

    ElmDscrPtr none;
    EXPECT_EQ(mdlElmdscr_read(&none, d.positionOf(0) + 2, m), ERROR);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(mdlElmdscr_read(&none, d.positionOf(0), 999), ERROR);
  }
}

TEST_F(DesignState_, ReadOnlyFileIsNeverWritten) {
  const DesignBuilder d = drawing();
  const std::string a = write("ro.dgn", d), b = write("b.dgn", d);
  ::chmod(a.c_str(), 0444);
  ASSERT_EQ(mdlSystem_newDesignFile(a), SUCCESS);
  const ModelRef m = mdlModelRef_getActive();
  const DPoint3d pts[2] = {{0, 0, 0}, {0, 0, 0}};
  EXPECT_EQ(mdlElement_add(mdlLine_create(pts, false), m), 0u);
  EXPECT_EQ(mdlElement_undoableDelete(d.positionOf(0), m), ERROR);
  ElmDscrPtr e;
  ASSERT_EQ(mdlElmdscr_read(&e, d.positionOf(0), m), SUCCESS);
  EXPECT_EQ(mdlElmdscr_add(e.get(), m), 0u);
  ASSERT_EQ(mdlSystem_newDesignFile(b), SUCCESS);
  EXPECT_EQ(readBytes(a), d.bytes());
  struct stat st {};
  ::stat(a.c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0444u);
}

TEST_F(DesignState_, AddRewriteAndCopyDescriptors) {
  const DesignBuilder d = drawing();
  ASSERT_EQ(mdlSystem_newDesignFile(write("a.dgn", d)), SUCCESS);
  const ModelRef m = mdlModelRef_getActive();
  ElmDscrPtr chain;
  ASSERT_EQ(mdlElmdscr_read(&chain, d.positionOf(2), m), SUCCESS);
  const uint32_t pos = mdlElmdscr_add(chain.get(), m);
  ASSERT_EQ(pos, d.positionOf(7));
  EXPECT_EQ(chain->filePosition, pos);
  EXPECT_EQ(chain->components[1].filePosition, pos + 48 + 62u);
  ElmDscrPtr again;
  ASSERT_EQ(mdlElmdscr_read(&again, pos, m), SUCCESS);
  EXPECT_EQ(elementRun(*again), elementRun(*chain));

  // A 3D element does not go into a 2D file.
  ElmDscrPtr line3d;
  const Element l3 = line({0, 0, 0}, {1, 1, 1}, {}, true);
  ASSERT_EQ(mdlElmdscr_new(&line3d, dgn::Bytes(l3.data(), l3.size()), true), SUCCESS);
  EXPECT_EQ(mdlElmdscr_add(line3d.get(), m), 0u);
  const Element bad = {1, 2, 3};
  EXPECT_EQ(mdlElmdscr_new(&line3d, dgn::Bytes(bad.data(), bad.size()), true), ERROR);

  // Work file from the active model as seed: setup elements only, then the copies.
  ModelRef work = 0;
  const std::string wpath = path("report.dgn");
  ASSERT_EQ(mdlWorkDgn_createFile(&work, wpath, m, false), SUCCESS);
  EXPECT_TRUE(scanAll(work, true).empty());
  const uint32_t cpos = mdlElmdscr_copy(*chain, work);
  EXPECT_NE(cpos, 0u);
  ASSERT_EQ(mdlWorkDgn_closeFile(work), SUCCESS);
  dgn::DesignImage img;
  std::string err;
  ASSERT_EQ(dgn::openImage(wpath, img, &err), SUCCESS) << err;
  ASSERT_EQ(img.topLevel.size(), 2u);  // header block and the copied chain
  EXPECT_EQ(img.slots[img.topLevel[1]].offset, cpos);
  EXPECT_EQ(img.tcb.subPerMaster, d.subPerMaster);

  // A work file of the other dimension gets a header of its own with the seed's units.
  ModelRef w3 = 0;
  ASSERT_EQ(mdlWorkDgn_createFile(&w3, path("r3.dgn"), m, true), SUCCESS);
  EXPECT_TRUE(mdlModelRef_is3D(w3));
  dgn::TcbRecord units;
  ASSERT_EQ(mdlModelRef_getUnits(w3, &units), SUCCESS);
  EXPECT_EQ(units.uorPerSub, d.uorPerSub);
  ASSERT_EQ(mdlWorkDgn_closeFile(w3), SUCCESS);
  EXPECT_TRUE(mdlFile_validDesignFile(path("r3.dgn")));

  // Rewritten at another size, the element moves to the end (in place: Image tests).
  ElmDscrPtr grown;
  const Element ls = lineString({{0, 0}, {1, 1}, {2, 0}});
  ASSERT_EQ(mdlElmdscr_new(&grown, dgn::Bytes(ls.data(), ls.size()), false), SUCCESS);
  EXPECT_GT(mdlElmdscr_rewrite(grown.get(), d.positionOf(0), m), d.positionOf(7));
}

TEST_F(DesignState_, LevelNamesSurviveSavingAndReopening) {
  const DesignBuilder d = drawing();
  const std::string a = write("a.dgn", d), b = write("b.dgn", d);
  ASSERT_EQ(mdlSystem_newDesignFile(a), SUCCESS);
  ModelRef m = mdlModelRef_getActive();
  std::string name;
  EXPECT_EQ(mdlLevel_getName(&name, m, 3), ERROR);  // V7 levels have no names
  int l1 = 0, l2 = 0;
  ASSERT_EQ(mdlLevel_create(&l1, m, "Duplicates"), SUCCESS);
  ASSERT_EQ(mdlLevel_create(&l2, m, std::string(200, 'n')), SUCCESS);
  EXPECT_EQ(mdlLevel_create(nullptr, m, "Duplicates"), ERROR);
  EXPECT_EQ(l1, 1);
  EXPECT_EQ(l2, 2);
  for (int i = 3; i <= 20; ++i)  // enough long names to need more than one element
    ASSERT_EQ(mdlLevel_create(nullptr, m, "level " + std::to_string(i) + std::string(100, 'x')),
              SUCCESS);
  ASSERT_EQ(mdlLevelTable_rewrite(m), SUCCESS);
  ASSERT_EQ(mdlLevelTable_rewrite(m), SUCCESS);  // replaces, does not pile up
  ASSERT_EQ(mdlSystem_newDesignFile(b), SUCCESS);
  ASSERT_EQ(mdlSystem_newDesignFile(a), SUCCESS);
  m = mdlModelRef_getActive();
  EXPECT_EQ(mdlLevel_getName(&name, m, 1), SUCCESS);
  EXPECT_EQ(name, "Duplicates");
  EXPECT_EQ(mdlLevel_getName(&name, m, 20), SUCCESS);
  EXPECT_EQ(name.substr(0, 8), "level 20");
  int id = 0;
  EXPECT_EQ(mdlLevel_getIdFromName(&id, m, std::string(200, 'n')), SUCCESS);
  EXPECT_EQ(id, 2);
  EXPECT_EQ(mdlLevel_getIdFromName(&id, m, "nope"), ERROR);
  // The drawn elements are unchanged and the name elements are not drawn.
  EXPECT_EQ(scanAll(m, true).size(), 5u);
}

TEST_F(DesignState_, ReferenceAttachmentsThatExist) {
  const DesignBuilder base = drawing();
  write("base.dgn", base);
  DesignBuilder master = drawing();
  master.add(reference("C:\\projects\\base.dgn", "BASE", true));
  master.add(reference("missing.dgn", "GONE", true, true));
  master.add(reference("base.dgn", "AGAIN", false, true));
  const std::string mp = write("master.dgn", master);
  ASSERT_EQ(mdlSystem_newDesignFile(mp), SUCCESS);
  const ModelRef m = mdlModelRef_getActive();
  EXPECT_EQ(referenceAttachments(m).size(), 3u);
  ModelRefIterator it;
  ASSERT_EQ(mdlModelRefIterator_create(&it, m, 2, -1), SUCCESS);
  const ModelRef r1 = mdlModelRefIterator_getNext(&it);
  const ModelRef r2 = mdlModelRefIterator_getNext(&it);
  EXPECT_EQ(mdlModelRefIterator_getNext(&it), 0u);
  ASSERT_NE(r1, 0u);
  ASSERT_NE(r2, 0u);
  EXPECT_TRUE(mdlModelRef_isReference(r1));
  bool display = false;
  ASSERT_EQ(mdlRefFile_getBooleanParameters(&display, 1, r1), SUCCESS);
  EXPECT_TRUE(display);
  ASSERT_EQ(mdlRefFile_getBooleanParameters(&display, 1, r2), SUCCESS);
  EXPECT_FALSE(display);
  EXPECT_EQ(mdlRefFile_getBooleanParameters(&display, 1, m), ERROR);
  EXPECT_EQ(scanAll(r1, true).size(), 5u);
  // Attachments are never written.
  EXPECT_EQ(mdlElement_undoableDelete(base.positionOf(0), r1), ERROR);
  mdlModelRefIterator_free(&it);
}

}  // namespace
}  // namespace kelvara
