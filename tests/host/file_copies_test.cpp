// Backups, work files written when closed, and copies of a model's elements into a work file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/design.h"
#include "host/dgn/image.h"
#include "support/dgn_builder.h"
#include "support/file_faults.h"
#include "support/fresh_host.h"
#include "support/scratch.h"

namespace kelvara {
namespace {

namespace fs = std::filesystem;
using test::DesignBuilder;
using test::readText;
using test::Symb;

ino_t inodeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// A cell of two lines on levels 8 and 9, the second coloured.
test::Element doorCell() {
  return test::cell("DOOR", {0, 0},
                    {test::line({0, 0}, {1, 1}, Symb{.level = 8}),
                     test::line({1, 1}, {2, 0}, Symb{.level = 9, .colour = 3})},
                    Symb{.level = 8});
}

struct FileCopies : test::FreshDesigns {
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

TEST_F(FileCopies, BackupOfADrawingClosedUnchangedGetsBytesOfItsOwn) {
  struct Case {
    const char* name;
    bool linkWorks;
    bool closeAll;  // else: another file becomes active
  };
  for (const Case& c : std::vector<Case>{{"linked, closed at exit", true, true},
                                         {"linked, left for another file", true, false},
                                         {"copied, closed at exit", false, true}}) {
    resetDesignState();
    // Where no link can be made (another file system), the backup is a copy.
    std::optional<test::FileFault> noLinks;
    if (!c.linkWorks) noLinks.emplace(test::FileCall::Link, 0, EXDEV);
    const ModelRef m = openDrawing();
    const std::string original = readText(path("a.dgn"));
    ASSERT_EQ(backupDesignFile(path("a.bak"), m), SUCCESS) << c.name;
    EXPECT_EQ(inodeOf(path("a.bak")) == inodeOf(path("a.dgn")), c.linkWorks) << c.name;
    if (c.closeAll) {
      ASSERT_EQ(closeAllDesignFiles(), SUCCESS) << c.name << ": " << lastDesignError();
    } else {
      ASSERT_TRUE(DesignBuilder().write(path("b.dgn")));
      ASSERT_EQ(mdlSystem_newDesignFile(path("b.dgn")), SUCCESS) << c.name;
    }
    // A program that writes into the drawing afterwards no longer reaches the backup.
    EXPECT_NE(inodeOf(path("a.bak")), inodeOf(path("a.dgn"))) << c.name;
    EXPECT_EQ(readText(path("a.bak")), original) << c.name;
    EXPECT_EQ(readText(path("a.dgn")), original) << c.name;
    { std::ofstream(path("a.dgn"), std::ios::binary | std::ios::in) << "XX"; }
    EXPECT_EQ(readText(path("a.bak")), original) << c.name;
    EXPECT_TRUE(strayFiles().empty()) << c.name;
  }
}

TEST_F(FileCopies, BackupRefusesAReadOnlyTargetAndReplacesAnOldLink) {
  const ModelRef m = openDrawing();
  const std::string original = readText(path("a.dgn"));
  std::ofstream(path("a.bak")) << "keep";
  ASSERT_EQ(::chmod(path("a.bak").c_str(), 0444), 0);
  EXPECT_EQ(backupDesignFile(path("a.bak"), m), ERROR);
  EXPECT_EQ(readText(path("a.bak")), "keep");
  EXPECT_EQ(backupDesignFile(path("a.dgn"), m), ERROR);  // never onto the drawing itself
  ASSERT_EQ(::chmod(path("a.bak").c_str(), 0644), 0);
  fs::remove(path("a.bak"));
  // A backup left linked to the drawing by an interrupted run is taken as it is.
  ASSERT_EQ(::link(path("a.dgn").c_str(), path("a.bak").c_str()), 0);
  ASSERT_EQ(backupDesignFile(path("a.bak"), m), SUCCESS) << lastDesignError();
  EXPECT_EQ(readText(path("a.bak")), original);
  EXPECT_TRUE(strayFiles().empty());
}

// A pending backup is made only by the first save, of the drawing as it stood on disk; a
// drawing closed unchanged leaves the old backup alone, and a backup that cannot be made
// keeps the change from being written.
TEST_F(FileCopies, PendingBackupIsMadeOnlyWhenAChangeIsWritten) {
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

TEST_F(FileCopies, WorkFileAppearsOnlyWhenClosedAndDiscardLeavesNothing) {
  const ModelRef m = openDrawing();
  std::ofstream(path("r.drf")) << "an old report";
  ModelRef work = 0;
  ASSERT_EQ(mdlWorkDgn_createFile(&work, path("r.drf"), m, false), SUCCESS) << lastDesignError();
  // The old file stays until the new one replaces it.
  EXPECT_EQ(readText(path("r.drf")), "an old report");
  ASSERT_EQ(mdlWorkDgn_setDurability(work, Durability::NotSynced), SUCCESS);
  ASSERT_EQ(mdlWorkDgn_closeFile(work), SUCCESS);
  EXPECT_TRUE(mdlFile_validDesignFile(path("r.drf")));

  // Discarded before it was written: nothing of it stands under its name.
  ASSERT_EQ(mdlWorkDgn_createFile(&work, path("s.drf"), m, false), SUCCESS);
  EXPECT_NE(mdlElement_add(test::line({1, 1}, {2, 2}), work), 0u);
  ASSERT_EQ(mdlWorkDgn_discardFile(work), SUCCESS);
  EXPECT_FALSE(fs::exists(path("s.drf")));
  EXPECT_EQ(designFileOf(work), nullptr);
  EXPECT_EQ(mdlWorkDgn_discardFile(m), ERROR);  // the drawing is not a work file

  // A folder under the name is refused (a missing folder and a read-only file: the design
  // report's refusals).
  fs::create_directories(path("sub.drf"));
  EXPECT_EQ(mdlWorkDgn_createFile(&work, path("sub.drf"), m, false), ERROR);
  EXPECT_TRUE(fs::is_directory(path("sub.drf")));
  fs::remove(path("sub.drf"));
  EXPECT_TRUE(strayFiles().empty());
}

// Elements of a file as (type, level, colour, deleted) in file order, after the header block.
std::vector<std::array<int, 4>> elementsOf(const std::string& file) {
  dgn::DesignImage img;
  std::string error;
  EXPECT_EQ(dgn::openImage(file, img, &error), SUCCESS) << error;
  std::vector<std::array<int, 4>> out;
  for (uint32_t slot : img.topLevel) {
    const uint8_t* p = img.bytes.data() + img.slots[slot].offset;
    const dgn::ElementHeader h = dgn::decodeHeader(dgn::slotBytes(img, slot));
    out.push_back({dgn::typeOf(p), dgn::levelOf(p), dgn::colourOf(h.symbology),
                   dgn::isDeletedBit(p) ? 1 : 0});
  }
  return out;
}

TEST_F(FileCopies, ModelCopyCarriesTheDrawingAndChangesOnlyGraphicElements) {
  test::DesignBuilder ref;
  ASSERT_TRUE(ref.write(path("ref.dgn")));
  DesignBuilder d;
  d.add(test::colourTable(1, 2, 3));                                    // header block
  d.add(test::line({0, 0}, {10, 0}, Symb{.level = 4, .colour = 6}));    // graphic
  d.add(test::deleted(test::line({0, 5}, {10, 5}, Symb{.level = 4})));  // deleted
  d.add(test::sharedCellDefinition({test::line({0, 0}, {1, 1}, Symb{.level = 3})}));
  d.add(test::reference("ref.dgn", "REF"));                                // left out
  d.add(test::colourTable(9, 9, 9));                                       // left out
  d.add(test::opaque(35, std::vector<uint8_t>(24, 0), Symb{.level = 2}));  // instance
  d.add(doorCell());
  ASSERT_TRUE(d.write(path("a.dgn")));
  ASSERT_EQ(mdlSystem_newDesignFile(path("a.dgn")), SUCCESS);
  const ModelRef m = mdlModelRef_getActive();
  ASSERT_EQ(mdlLevel_setName(m, 4, "Walls"), SUCCESS);
  ASSERT_EQ(mdlLevelTable_rewrite(m), SUCCESS);  // a level-name element: left out too

  ModelRef work = 0;
  ASSERT_EQ(mdlWorkDgn_createFile(&work, path("r.drf"), m, false), SUCCESS);
  ASSERT_EQ(mdlColor_attachDefaultColorTable(work), SUCCESS);
  SymbologyChange change;
  change.level = 12;
  change.colour = 7;
  ASSERT_EQ(mdlModelRef_copyElements(work, m, change), SUCCESS) << lastDesignError();
  ASSERT_EQ(mdlSharedCell_copyDefinitions(work, m), SUCCESS);
  // The copied cell reads back whole from the work file before it is written.
  ScanCriteria sc;
  mdlScan_initialize(&sc, work);
  mdlScan_setDrawnElements(&sc, true);
  uint32_t positions[16];
  int count = 0;
  ASSERT_EQ(mdlScan_file(positions, &count, 16, &sc), END_OF_DGN);
  ASSERT_EQ(count, 3);  // line, instance, cell
  ElmDscrPtr cell;
  ASSERT_EQ(mdlElmdscr_read(&cell, positions[2], work), SUCCESS);
  ASSERT_EQ(cell->components.size(), 2u);
  EXPECT_FALSE(cell->isComponent);
  EXPECT_TRUE(cell->components[1].isComponent);
  uint32_t colour = 0;
  ASSERT_EQ(mdlElement_getSymbology(&colour, nullptr, nullptr, cell->components[1]), SUCCESS);
  EXPECT_EQ(colour, 7u);
  ASSERT_EQ(mdlWorkDgn_closeFile(work), SUCCESS);

  std::vector<std::array<int, 4>> seen = elementsOf(path("r.drf"));
  // The seed's header elements first: design file header, level symbology, the deleted table.
  while (!seen.empty() && seen.front()[0] != 3) {
    if (seen.front()[0] == 5) {
      EXPECT_EQ(seen.front()[3], 1) << "colour table not deleted";
    }
    seen.erase(seen.begin());
  }
  const std::vector<std::array<int, 4>> expected = {
      {3, 12, 7, 0},   // the line, changed
      {34, 0, 0, 0},   // the shared cell definition, as it was
      {35, 12, 7, 0},  // the instance, changed
      {2, 12, 7, 0},   // the cell, changed with its components
      {34, 0, 0, 0},   // the definition again, from mdlSharedCell_copyDefinitions
  };
  EXPECT_EQ(seen, expected);

  // An element larger than 768 words is not copied.
  DesignBuilder large;
  large.add(test::line({0, 0}, {10, 0}));
  large.add(test::opaque(37, std::vector<uint8_t>(1600, 1)));
  ASSERT_TRUE(large.write(path("large.dgn")));
  ModelRef big = 0;
  ASSERT_EQ(mdlModelRef_createWorkingByName(&big, path("large.dgn"), "Default"), SUCCESS);
  ModelRef work2 = 0;
  ASSERT_EQ(mdlWorkDgn_createFile(&work2, path("r2.drf"), big, false), SUCCESS);
  EXPECT_EQ(mdlModelRef_copyElements(work2, big, change), ERROR);
  ASSERT_EQ(mdlWorkDgn_discardFile(work2), SUCCESS);

  // A file of the other dimension does not take the copy.
  ModelRef work3 = 0;
  ASSERT_EQ(mdlWorkDgn_createFile(&work3, path("r3.drf"), m, true), SUCCESS);
  EXPECT_EQ(mdlModelRef_copyElements(work3, m, change), ERROR);
  ASSERT_EQ(mdlWorkDgn_discardFile(work3), SUCCESS);
}

// A streamed copy is the in-memory copy written another way: the same drawing, the same
// changes before and after it, give the same file. Its own rules: written only when closed,
// once per work file, nothing left behind when it is discarded or a write fails.
TEST_F(FileCopies, StreamedCopyWritesTheFileACopyInMemoryWrites) {
  DesignBuilder d;
  d.add(test::colourTable(1, 2, 3));
  for (int i = 0; i < 30000; ++i) {  // more than one block of the stream (a megabyte)
    const double x = i;
    d.add(test::line({x, 0}, {x + 10, 5}, Symb{.level = 1 + i % 5, .colour = i % 7}));
  }
  d.add(test::deleted(test::line({0, 5}, {10, 5}, Symb{.level = 4})));
  d.add(test::sharedCellDefinition({test::line({0, 0}, {1, 1}, Symb{.level = 3})}));
  d.add(test::opaque(35, std::vector<uint8_t>(24, 0), Symb{.level = 2}));
  d.add(doorCell());
  ASSERT_TRUE(d.write(path("a.dgn")));
  ASSERT_EQ(mdlSystem_newDesignFile(path("a.dgn")), SUCCESS);
  const ModelRef m = mdlModelRef_getActive();
  SymbologyChange change;
  change.level = 12;
  change.colour = 7;
  ElmDscrPtr cell;
  {
    ScanCriteria sc;
    mdlScan_initialize(&sc, m);
    mdlScan_setDrawnElements(&sc, true);
    std::vector<uint32_t> positions(40000);
    int count = 0;
    ASSERT_EQ(mdlScan_file(positions.data(), &count, 40000, &sc), END_OF_DGN);
    ASSERT_EQ(mdlElmdscr_read(&cell, positions[count - 1], m), SUCCESS);
  }
  auto build = [&](const std::string& name, bool streamed) {
    ModelRef work = 0;
    EXPECT_EQ(mdlWorkDgn_createFile(&work, path(name), m, false), SUCCESS);
    EXPECT_EQ(mdlLevel_create(nullptr, work, "Report"), SUCCESS);
    EXPECT_EQ(mdlLevelTable_rewrite(work), SUCCESS);
    EXPECT_EQ(streamed ? mdlWorkDgn_streamElements(work, m, change)
                       : mdlModelRef_copyElements(work, m, change),
              SUCCESS)
        << lastDesignError();
    // Changes after the copy: in place before it, and new elements after it.
    EXPECT_EQ(mdlColor_attachDefaultColorTable(work), SUCCESS);
    EXPECT_NE(mdlElmdscr_copy(*cell, work), 0u);
    EXPECT_EQ(mdlSharedCell_copyDefinitions(work, m), SUCCESS);
    EXPECT_EQ(mdlLevel_create(nullptr, work, "Later"), SUCCESS);
    EXPECT_EQ(mdlLevelTable_rewrite(work), SUCCESS);
    return work;
  };
  const ModelRef inMemory = build("memory.drf", false);
  const ModelRef streamed = build("streamed.drf", true);
  EXPECT_FALSE(fs::exists(path("streamed.drf")));  // nothing under the name until it is closed
  EXPECT_EQ(mdlWorkDgn_saveChanges(streamed), ERROR);
  EXPECT_EQ(mdlWorkDgn_streamElements(streamed, m, change), ERROR);  // once per work file
  ASSERT_EQ(mdlWorkDgn_closeFile(inMemory), SUCCESS) << lastDesignError();
  ASSERT_EQ(mdlWorkDgn_closeFile(streamed), SUCCESS) << lastDesignError();
  const std::string expected = readText(path("memory.drf"));
  EXPECT_GT(expected.size(), size_t{1} << 20);
  EXPECT_EQ(readText(path("streamed.drf")), expected);
  dgn::DesignImage image;
  std::string error;
  EXPECT_EQ(dgn::openImage(path("streamed.drf"), image, &error), SUCCESS) << error;

  // Discarded: no file, no temporary file.
  ModelRef dropped = 0;
  ASSERT_EQ(mdlWorkDgn_createFile(&dropped, path("dropped.drf"), m, false), SUCCESS);
  ASSERT_EQ(mdlWorkDgn_streamElements(dropped, m, change), SUCCESS);
  ASSERT_EQ(mdlWorkDgn_discardFile(dropped), SUCCESS);
  EXPECT_FALSE(fs::exists(path("dropped.drf")));
  EXPECT_TRUE(strayFiles().empty());

  // A failed rename at the close: the error is reported and nothing is left.
  ModelRef failing = 0;
  ASSERT_EQ(mdlWorkDgn_createFile(&failing, path("failing.drf"), m, false), SUCCESS);
  ASSERT_EQ(mdlWorkDgn_streamElements(failing, m, change), SUCCESS);
  {
    test::FileFault fault(test::FileCall::Rename, 0, EACCES);
    EXPECT_EQ(mdlWorkDgn_closeFile(failing), ERROR);
  }
  EXPECT_NE(lastDesignError().find("cannot replace"), std::string::npos) << lastDesignError();
  EXPECT_FALSE(fs::exists(path("failing.drf")));
  EXPECT_TRUE(strayFiles().empty());

  // Not into a drawing, nor across dimensions.
  EXPECT_EQ(mdlWorkDgn_streamElements(m, m, change), ERROR);
  ModelRef work3 = 0;
  ASSERT_EQ(mdlWorkDgn_createFile(&work3, path("r3.drf"), m, true), SUCCESS);
  EXPECT_EQ(mdlWorkDgn_streamElements(work3, m, change), ERROR);
  ASSERT_EQ(mdlWorkDgn_discardFile(work3), SUCCESS);
  EXPECT_TRUE(strayFiles().empty());
}

TEST_F(FileCopies, LevelNamesAreSetOncePerName) {
  const ModelRef m = openDrawing();
  EXPECT_EQ(mdlLevel_setName(m, 5, "Walls"), SUCCESS);
  EXPECT_EQ(mdlLevel_setName(m, 5, "Walls"), SUCCESS);  // the same level again
  EXPECT_EQ(mdlLevel_setName(m, 6, "Walls"), ERROR);    // taken by level 5
  EXPECT_EQ(mdlLevel_setName(m, 64, "Doors"), ERROR);
  EXPECT_EQ(mdlLevel_setName(m, 0, "Doors"), ERROR);
  EXPECT_EQ(mdlLevel_setName(m, 6, ""), ERROR);
  int level = 0;
  ASSERT_EQ(mdlLevel_getIdFromName(&level, m, "Walls"), SUCCESS);
  EXPECT_EQ(level, 5);
  EXPECT_EQ(mdlLevel_getName(nullptr, m, 6), ERROR);
}

}  // namespace
}  // namespace kelvara
