// The host's views, kept as numbers: nothing is drawn.
//
// Eight views (index 0 is view 1), each on or off, with an area (origin = lower corner and
// delta = extent, in units of resolution), a rotation, view display controls and the levels it
// displays. The model's own level display flags are kept beside them. Every level is displayed
// until it is switched off.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <set>

#include "host/types.h"

namespace kelvara {

inline constexpr int VIEW_COUNT = 8;
inline constexpr int VIEW_DISPLAY_CONTROLS = 32;

struct ViewArea {
  bool on = false;
  DPoint3d origin;
  DPoint3d delta{1000.0, 1000.0, 0.0};
  RotMatrix rotation;
  std::bitset<VIEW_DISPLAY_CONTROLS> displayControls;
  std::set<uint32_t> hiddenLevels;
  int updates = 0;  // how often the view was asked to redraw
};

// What view 1 shows over the drawing (host/view_display.h): a highlighted element, the element
// it pairs with in a second style, and the last flash. File positions; 0 = none.
struct ViewOverlay {
  uint64_t model = 0;
  uint32_t highlight = 0;
  uint32_t partner = 0;
  uint64_t flashModel = 0;
  uint32_t flash = 0;
  int flashes = 0;  // flashes so far: each new one is played once
};

struct ViewState {
  std::array<ViewArea, VIEW_COUNT> views;
  std::set<uint32_t> modelHiddenLevels;
  ViewOverlay overlay;
};

// All calls taking a view index answer ERROR (or false) for an index outside 0..7.

[[nodiscard]] int mdlView_getParameters(DPoint3d* origin, DPoint3d* center, DPoint3d* delta,
                                        RotMatrix* rotation, int view);

// Sets the view's area. ERROR when a delta component is negative or not finite.
[[nodiscard]] int mdlView_setArea(int view, const DPoint3d& origin, const DPoint3d& delta);

// Fits the view's area to the range (origin = low corner, delta = extent). ERROR for a range
// whose low corner lies above its high corner.
[[nodiscard]] int mdlView_fitToRange(int view, const DRange3d& range);

int mdlView_turnOn(int view);
int mdlView_turnOff(int view);
bool mdlView_isOn(int view);

// Counts a redraw request.
int mdlView_updateSingle(int view);

// View display control `control` (0..31) of the view.
int mdlView_setDisplayControl(int view, int control, bool on);
bool mdlView_getDisplayControl(int view, int control);

// Level display in a view and in the model.
int mdlView_setLevelDisplay(int view, uint32_t level, bool on);
bool mdlView_isLevelDisplayed(int view, uint32_t level);
void setModelLevelDisplay(uint32_t level, bool on);
bool modelLevelDisplayed(uint32_t level);

}  // namespace kelvara
