// View areas, display controls and level display, kept as numbers.
#include "host/view.h"

#include <gtest/gtest.h>

#include <limits>

#include "host/state.h"
#include "host/types.h"
#include "host/view_display.h"
#include "support/fresh_host.h"

namespace kelvara {
namespace {

struct View : test::FreshHost {};

TEST_F(View, AreaRoundTripsAndFitsARange) {
  ASSERT_EQ(mdlView_setArea(0, {10, 20, 0}, {100, 50, 0}), SUCCESS);
  DPoint3d origin, center, delta;
  RotMatrix rot;
  ASSERT_EQ(mdlView_getParameters(&origin, &center, &delta, &rot, 0), SUCCESS);
  EXPECT_EQ(origin, (DPoint3d{10, 20, 0}));
  EXPECT_EQ(delta, (DPoint3d{100, 50, 0}));
  EXPECT_EQ(center, (DPoint3d{60, 45, 0}));

  ASSERT_EQ(mdlView_fitToRange(0, {-5, -6, -7, 15, 14, 13}), SUCCESS);
  ASSERT_EQ(mdlView_getParameters(&origin, nullptr, &delta, nullptr, 0), SUCCESS);
  EXPECT_EQ(origin, (DPoint3d{-5, -6, -7}));
  EXPECT_EQ(delta, (DPoint3d{20, 20, 20}));

  // The widest possible range does not overflow.
  constexpr int64_t lo = std::numeric_limits<int64_t>::min(),
                    hi = std::numeric_limits<int64_t>::max();
  ASSERT_EQ(mdlView_fitToRange(1, {lo, lo, 0, hi, hi, 0}), SUCCESS);
  ASSERT_EQ(mdlView_getParameters(nullptr, nullptr, &delta, nullptr, 1), SUCCESS);
  EXPECT_GT(delta.x, 1.8e19);

  // View 1's area is untouched by view 2's.
  ASSERT_EQ(mdlView_getParameters(&origin, nullptr, nullptr, nullptr, 0), SUCCESS);
  EXPECT_EQ(origin, (DPoint3d{-5, -6, -7}));
}

TEST_F(View, RefusesBadViewsAndAreas) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* what;
    int status;
  };
  const Case cases[] = {
      {"negative delta", mdlView_setArea(0, {0, 0, 0}, {-1, 1, 0})},
      {"nan origin", mdlView_setArea(0, {nan, 0, 0}, {1, 1, 0})},
      {"inverted range", mdlView_fitToRange(0, {10, 0, 0, 5, 5, 0})},
      {"view -1", mdlView_setArea(-1, {0, 0, 0}, {1, 1, 0})},
      {"view 8", mdlView_getParameters(nullptr, nullptr, nullptr, nullptr, VIEW_COUNT)},
      {"turn on view 8", mdlView_turnOn(VIEW_COUNT)},
      {"control 32", mdlView_setDisplayControl(0, VIEW_DISPLAY_CONTROLS, true)},
      {"level in view 9", mdlView_setLevelDisplay(9, 1, false)},
  };
  for (const Case& c : cases) EXPECT_EQ(c.status, ERROR) << c.what;
  DPoint3d origin;
  ASSERT_EQ(mdlView_getParameters(&origin, nullptr, nullptr, nullptr, 0), SUCCESS);
  EXPECT_EQ(origin, (DPoint3d{})) << "a refused area leaves the view as it was";
}

TEST_F(View, OnOffControlsAndRedraws) {
  EXPECT_FALSE(mdlView_isOn(0));
  ASSERT_EQ(mdlView_turnOn(0), SUCCESS);
  ASSERT_EQ(mdlView_turnOn(2), SUCCESS);
  ASSERT_EQ(mdlView_turnOff(2), SUCCESS);
  EXPECT_TRUE(mdlView_isOn(0));
  EXPECT_FALSE(mdlView_isOn(2));
  EXPECT_FALSE(mdlView_isOn(-1));

  ASSERT_EQ(mdlView_setDisplayControl(0, 3, true), SUCCESS);
  ASSERT_EQ(mdlView_setDisplayControl(0, 9, false), SUCCESS);
  EXPECT_TRUE(mdlView_getDisplayControl(0, 3));
  EXPECT_FALSE(mdlView_getDisplayControl(0, 9));
  EXPECT_FALSE(mdlView_getDisplayControl(1, 3));

  ASSERT_EQ(mdlView_updateSingle(0), SUCCESS);
  ASSERT_EQ(mdlView_updateSingle(0), SUCCESS);
  EXPECT_EQ(hostState().views.views[0].updates, 2);
}

TEST_F(View, LevelsAreDisplayedUntilSwitchedOff) {
  EXPECT_TRUE(mdlView_isLevelDisplayed(0, 63));
  EXPECT_TRUE(modelLevelDisplayed(63));
  ASSERT_EQ(mdlView_setLevelDisplay(0, 5, false), SUCCESS);
  setModelLevelDisplay(7, false);
  EXPECT_FALSE(mdlView_isLevelDisplayed(0, 5));
  EXPECT_TRUE(mdlView_isLevelDisplayed(1, 5)) << "per view";
  EXPECT_TRUE(mdlView_isLevelDisplayed(0, 7)) << "model and view flags are separate";
  EXPECT_FALSE(modelLevelDisplayed(7));
  ASSERT_EQ(mdlView_setLevelDisplay(0, 5, true), SUCCESS);
  setModelLevelDisplay(7, true);
  EXPECT_TRUE(mdlView_isLevelDisplayed(0, 5));
  EXPECT_TRUE(modelLevelDisplayed(7));
}

TEST_F(View, ZoomScalesTheAreaAboutAPointAndAnAreaAroundARangeIsNeverFlat) {
  struct Case {
    double factor;
    const DPoint3d* centre;
    DPoint3d origin, delta;
    int result;
  };
  const DPoint3d point{10, 10, 0};
  const Case cases[] = {
      {2.5, nullptr, {-75, -30, 0}, {250, 100, 0}, SUCCESS},  // about the view's centre
      {0.75, &point, {-27.5, -5, 0}, {75, 30, 0}, SUCCESS},
      {1.25, &point, {-52.5, -15, 0}, {125, 50, 0}, SUCCESS},
      {0.0, &point, {0, 0, 0}, {100, 40, 0}, ERROR},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.factor);
    ASSERT_EQ(mdlView_setArea(0, {0, 0, 0}, {100, 40, 0}), SUCCESS);
    EXPECT_EQ(mdlView_zoom(0, 0, c.centre, c.factor), c.result);
    DPoint3d origin, delta;
    ASSERT_EQ(mdlView_getParameters(&origin, nullptr, &delta, nullptr, 0), SUCCESS);
    EXPECT_EQ(origin, c.origin);
    EXPECT_EQ(delta, c.delta);
  }
  // A horizontal line gets a square area; a point one of the minimum extent.
  const std::pair<DRange3d, std::pair<DPoint3d, DPoint3d>> ranges[] = {
      {{0, 5, 0, 100, 5, 0}, {{0, -45, 0}, {100, 100, 0}}},
      {{7, 7, 0, 7, 7, 0}, {{2, 2, 0}, {10, 10, 0}}},
  };
  for (const auto& [range, area] : ranges) {
    ASSERT_EQ(viewAreaAroundRange(0, range, 10), SUCCESS);
    DPoint3d origin, delta;
    ASSERT_EQ(mdlView_getParameters(&origin, nullptr, &delta, nullptr, 0), SUCCESS);
    EXPECT_EQ(origin, area.first);
    EXPECT_EQ(delta, area.second);
  }
}

}  // namespace
}  // namespace kelvara
