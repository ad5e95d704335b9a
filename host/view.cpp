#include "host/view.h"

#include <cmath>

#include "host/state.h"

namespace kelvara {

namespace {

ViewArea* viewAt(int view) {
  if (view < 0 || view >= VIEW_COUNT) return nullptr;
  return &hostState().views.views[static_cast<size_t>(view)];
}

bool validDelta(double d) {
  return std::isfinite(d) && d >= 0.0;
}

}  // namespace

int mdlView_getParameters(DPoint3d* origin, DPoint3d* center, DPoint3d* delta, RotMatrix* rotation,
                          int view) {
  const ViewArea* v = viewAt(view);
  if (v == nullptr) return ERROR;
  if (origin) *origin = v->origin;
  if (delta) *delta = v->delta;
  if (center) {
    *center = {v->origin.x + v->delta.x / 2, v->origin.y + v->delta.y / 2,
               v->origin.z + v->delta.z / 2};
  }
  if (rotation) *rotation = v->rotation;
  return SUCCESS;
}

int mdlView_setArea(int view, const DPoint3d& origin, const DPoint3d& delta) {
  ViewArea* v = viewAt(view);
  if (v == nullptr || !validDelta(delta.x) || !validDelta(delta.y) || !validDelta(delta.z) ||
      !std::isfinite(origin.x) || !std::isfinite(origin.y) || !std::isfinite(origin.z)) {
    return ERROR;
  }
  v->origin = origin;
  v->delta = delta;
  return SUCCESS;
}

int mdlView_fitToRange(int view, const DRange3d& r) {
  if (r.xLow > r.xHigh || r.yLow > r.yHigh || r.zLow > r.zHigh) return ERROR;
  const DPoint3d origin{static_cast<double>(r.xLow), static_cast<double>(r.yLow),
                        static_cast<double>(r.zLow)};
  // Differences of 64-bit values are taken in double so that the widest range cannot overflow.
  const DPoint3d delta{static_cast<double>(r.xHigh) - static_cast<double>(r.xLow),
                       static_cast<double>(r.yHigh) - static_cast<double>(r.yLow),
                       static_cast<double>(r.zHigh) - static_cast<double>(r.zLow)};
  return mdlView_setArea(view, origin, delta);
}

int mdlView_turnOn(int view) {
  ViewArea* v = viewAt(view);
  if (v == nullptr) return ERROR;
  v->on = true;
  return SUCCESS;
}

int mdlView_turnOff(int view) {
  ViewArea* v = viewAt(view);
  if (v == nullptr) return ERROR;
  v->on = false;
  return SUCCESS;
}

bool mdlView_isOn(int view) {
  const ViewArea* v = viewAt(view);
  return v != nullptr && v->on;
}

int mdlView_updateSingle(int view) {
  ViewArea* v = viewAt(view);
  if (v == nullptr) return ERROR;
  ++v->updates;
  return SUCCESS;
}

int mdlView_setDisplayControl(int view, int control, bool on) {
  ViewArea* v = viewAt(view);
  if (v == nullptr || control < 0 || control >= VIEW_DISPLAY_CONTROLS) return ERROR;
  v->displayControls.set(static_cast<size_t>(control), on);
  return SUCCESS;
}

bool mdlView_getDisplayControl(int view, int control) {
  const ViewArea* v = viewAt(view);
  return v != nullptr && control >= 0 && control < VIEW_DISPLAY_CONTROLS &&
         v->displayControls.test(static_cast<size_t>(control));
}

int mdlView_setLevelDisplay(int view, uint32_t level, bool on) {
  ViewArea* v = viewAt(view);
  if (v == nullptr) return ERROR;
  if (on) {
    v->hiddenLevels.erase(level);
  } else {
    v->hiddenLevels.insert(level);
  }
  return SUCCESS;
}

bool mdlView_isLevelDisplayed(int view, uint32_t level) {
  const ViewArea* v = viewAt(view);
  return v != nullptr && v->hiddenLevels.count(level) == 0;
}

void setModelLevelDisplay(uint32_t level, bool on) {
  auto& hidden = hostState().views.modelHiddenLevels;
  if (on) {
    hidden.erase(level);
  } else {
    hidden.insert(level);
  }
}

bool modelLevelDisplayed(uint32_t level) {
  return hostState().views.modelHiddenLevels.count(level) == 0;
}

}  // namespace kelvara
