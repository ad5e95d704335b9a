// View 1 as the page's state shows it: a flashed element's geometry, the view requests the page
// sends, and a fetch naming the drawing the page holds, which gets only the deleted elements
// when deletions are all that changed.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <nlohmann/json.hpp>

#include "host/design.h"
#include "host/state.h"
#include "host/timers.h"
#include "host/ui.h"
#include "host/view_display.h"
#include "support/dgn_builder.h"
#include "support/scratch.h"
#include "web/drawing.h"

namespace kelvara {
namespace {

using nlohmann::json;
using namespace test;

// A flash shows an element on a level that is off, for two pauses. The highlighted elements and
// the revision that follows the drawing's changes: the browser's review and run stories.
TEST(ViewState, FlashShowsAnElementOnALevelThatIsOff) {
  resetHostState();
  resetDesignState();
  ScratchDir scratch;
  DesignBuilder d;
  d.add(line({0, 0, 0}, {1000, 0, 0}, {.level = 5, .colour = 3}));
  ASSERT_TRUE(d.write(scratch.file("v.dgn")));
  ASSERT_EQ(mdlSystem_newDesignFile(scratch.file("v.dgn")), SUCCESS);
  const ModelRef model = mdlModelRef_getActive();
  setModelLevelDisplay(5, false);
  const uint64_t ticks = mdlSystem_getTicks();
  ASSERT_EQ(flashElement(d.positionOf(0), model), SUCCESS);
  EXPECT_EQ(mdlSystem_getTicks() - ticks, 2 * FLASH_PAUSE_TICKS);
  EXPECT_EQ(flashElement(d.positionOf(0) + 2, model), ERROR);
  const json view = viewStateJson();
  EXPECT_EQ(view["flash"]["count"], 1);
  EXPECT_EQ(view["flash"]["runs"], json::parse("[[0.0, 0.0, 1000.0, 0.0]]"));
  resetDesignState();
}

// An answer of api/drawing: its magic, its head and, for a change list, the positions in it.
struct DrawingAnswer {
  std::string magic;
  json head;
  std::vector<uint32_t> positions;
};

DrawingAnswer readAnswer(const std::string& bytes) {
  uint32_t length = 0;
  std::memcpy(&length, bytes.data() + 4, 4);
  DrawingAnswer a{bytes.substr(0, 4), json::parse(bytes.substr(8, length)), {}};
  for (size_t at = 8 + length; a.magic == "KVC1" && at + 4 <= bytes.size(); at += 4) {
    a.positions.push_back(0);
    std::memcpy(&a.positions.back(), bytes.data() + at, 4);
  }
  return a;
}

TEST(ViewState, AFetchNamingTheDrawingHeldGetsOnlyTheDeletionsWhenThatIsAllThatChanged) {
  struct Case {
    const char* name;
    std::function<void(const DesignBuilder&, ModelRef)> change;
    std::vector<size_t> deleted;  // the elements whose positions come; none: the whole drawing
    uint64_t otherRevision = 0;   // added to the revision the fetch names
  };
  const auto remove = [](std::vector<size_t> elements) {
    return [elements](const DesignBuilder& d, ModelRef model) {
      for (size_t e : elements) ASSERT_EQ(mdlElement_undoableDelete(d.positionOf(e), model), 0);
    };
  };
  const Case cases[] = {
      {"drawn elements deleted", remove({1, 3}), {1, 3}},
      {"the drawing named is another", remove({1}), {}, 1},
      {"the colour table deleted", remove({0}), {}},
      {"a level switched off",
       [](const DesignBuilder&, ModelRef) { setModelLevelDisplay(5, false); },
       {}},
      {"an element deleted and one added",
       [&](const DesignBuilder& d, ModelRef model) {
         remove({1})(d, model);
         EXPECT_NE(mdlElement_add(line({0, 0, 0}, {9, 9, 0}), model), 0u);
       },
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    resetHostState();
    resetDesignState();
    ScratchDir scratch;
    DesignBuilder d;
    d.add(colourTable(0, 0, 0)).add(line({0, 0, 0}, {1000, 0, 0})).add(line({0, 9, 0}, {9, 0, 0}));
    d.add(line({5, 5, 0}, {50, 50, 0}, {.level = 5}));
    ASSERT_TRUE(d.write(scratch.file("c.dgn")));
    ASSERT_EQ(mdlSystem_newDesignFile(scratch.file("c.dgn")), SUCCESS);
    const DrawingAnswer held = readAnswer(drawingAnswer("", ""));
    ASSERT_EQ(held.magic, "KVD1");
    c.change(d, mdlModelRef_getActive());
    const uint64_t revision = held.head["revision"].get<uint64_t>() + c.otherRevision;
    const DrawingAnswer next =
        readAnswer(drawingAnswer(std::to_string(revision), held.head["edits"].dump()));
    EXPECT_EQ(next.head["revision"], drawingRevision());
    std::vector<uint32_t> positions;
    for (size_t e : c.deleted) positions.push_back(d.positionOf(e));
    EXPECT_EQ(next.magic, c.deleted.empty() ? "KVD1" : "KVC1");
    EXPECT_EQ(next.positions, positions);
  }
  resetDesignState();
}

TEST(ViewState, ViewRequestsSetTheAreaOrIdentifyAndAnythingElseChangesNothing) {
  resetHostState();
  resetDesignState();
  ScratchDir scratch;
  DesignBuilder d;
  d.add(line({0, 0, 0}, {1000, 0, 0}));
  ASSERT_TRUE(d.write(scratch.file("r.dgn")));
  ASSERT_EQ(mdlSystem_newDesignFile(scratch.file("r.dgn")), SUCCESS);
  const std::string element = std::to_string(d.positionOf(0));
  const std::pair<std::string, bool> requests[] = {
      {"", false},
      {"{}", false},
      {R"({"area":[1,2,3]})", false},
      {R"({"area":[1,2,-3,4]})", false},
      {R"({"area":[1,2,"3",4]})", false},
      {R"({"area":[0,0,10,10],"identify":)" + element + "}", false},
      {R"({"identify":-1})", false},
      {R"({"identify":)" + std::to_string(d.positionOf(0) + 2) + "}", false},
      {R"({"identify":)" + element + "}", true},
      {R"({"area":[5,6,70,80]})", true},
  };
  for (const auto& [body, applied] : requests) {
    SCOPED_TRACE(body);
    const json before = viewStateJson()["area"];
    EXPECT_EQ(applyViewRequest(body), applied);
    if (!applied) {
      EXPECT_EQ(viewStateJson()["area"], before);
    }
  }
  EXPECT_EQ(viewStateJson()["area"], json::parse("[5.0, 6.0, 70.0, 80.0]"));
  EXPECT_EQ(messageFieldText(FIELD_MESSAGE), "type 3 element at " + element);
  resetDesignState();
}

}  // namespace
}  // namespace kelvara
