// The design report's copy of a drawing, streamed into a work file: the drawing's elements after
// its header block, deleted ones and those that do not belong to the drawing (references, colour
// tables, level names) left out, and the symbology change on graphic elements only. (Where the
// report is written, and what GDAL reads of it: the end-to-end run tests.)
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "host/design.h"
#include "host/dgn/image.h"
#include "support/dgn_builder.h"
#include "support/fresh_host.h"

namespace kelvara {
namespace {

using test::DesignBuilder;
using test::Symb;

struct ReportCopy : test::FreshDesigns {};

// Elements of a file as (type, level, colour, deleted) in file order.
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

TEST_F(ReportCopy, CarriesTheDrawingAndChangesOnlyGraphicElements) {
  ASSERT_TRUE(DesignBuilder().write(path("ref.dgn")));
  DesignBuilder d;
  d.add(test::colourTable(1, 2, 3));                                    // header block
  d.add(test::line({0, 0}, {10, 0}, Symb{.level = 4, .colour = 6}));    // graphic
  d.add(test::deleted(test::line({0, 5}, {10, 5}, Symb{.level = 4})));  // deleted
  d.add(test::sharedCellDefinition({test::line({0, 0}, {1, 1}, Symb{.level = 3})}));
  d.add(test::reference("ref.dgn", "REF"));                                // left out
  d.add(test::colourTable(9, 9, 9));                                       // left out
  d.add(test::opaque(35, std::vector<uint8_t>(24, 0), Symb{.level = 2}));  // instance
  d.add(test::cell("DOOR", {0, 0},
                   {test::line({0, 0}, {1, 1}, Symb{.level = 8}),
                    test::line({1, 1}, {2, 0}, Symb{.level = 9, .colour = 3})},
                   Symb{.level = 8}));
  ASSERT_TRUE(d.write(path("a.dgn")));
  ASSERT_EQ(mdlSystem_newDesignFile(path("a.dgn")), SUCCESS);
  const ModelRef m = mdlModelRef_getActive();
  ASSERT_EQ(mdlLevel_setName(m, 4, "Walls"), SUCCESS);
  ASSERT_EQ(mdlLevelTable_rewrite(m), SUCCESS);  // a level-name element: left out too

  SymbologyChange change;
  change.level = 12;
  change.colour = 7;
  ModelRef work = 0;
  ASSERT_EQ(mdlWorkDgn_createFile(&work, path("r.drf"), m, false), SUCCESS);
  ASSERT_EQ(mdlWorkDgn_streamElements(work, m, change), SUCCESS) << lastDesignError();
  ASSERT_EQ(mdlWorkDgn_closeFile(work), SUCCESS) << lastDesignError();

  std::vector<std::array<int, 4>> seen = elementsOf(path("r.drf"));
  // The seed's header elements first.
  while (!seen.empty() && seen.front()[0] != 3) seen.erase(seen.begin());
  const std::vector<std::array<int, 4>> expected = {
      {3, 12, 7, 0},   // the line, changed
      {34, 0, 0, 0},   // the shared cell definition, as it was
      {35, 12, 7, 0},  // the instance, changed
      {2, 12, 7, 0},   // the cell, changed with its components
  };
  EXPECT_EQ(seen, expected);

  // An element larger than 768 words is not copied, nor a drawing of the other dimension.
  DesignBuilder large;
  large.add(test::line({0, 0}, {10, 0}));
  large.add(test::opaque(37, std::vector<uint8_t>(1600, 1)));
  ASSERT_TRUE(large.write(path("large.dgn")));
  ModelRef big = 0;
  ASSERT_EQ(mdlModelRef_createWorkingByName(&big, path("large.dgn"), "Default"), SUCCESS);
  for (const auto& [source, is3d] : {std::pair{big, false}, std::pair{m, true}}) {
    ModelRef refused = 0;
    ASSERT_EQ(mdlWorkDgn_createFile(&refused, path("r2.drf"), source, is3d), SUCCESS);
    EXPECT_EQ(mdlWorkDgn_streamElements(refused, source, change), ERROR) << is3d;
    ASSERT_EQ(mdlWorkDgn_discardFile(refused), SUCCESS);
  }
}

}  // namespace
}  // namespace kelvara
