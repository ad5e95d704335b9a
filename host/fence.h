// The host's fence: one closed polygon in the xy plane of view 1, in units of resolution.
//
// An element is inside the fence when it lies entirely inside it; a point on the fence's
// boundary (within a small tolerance) counts as inside. The inside tests work on plain lists
// of points so that every kind of element can be checked through its vertices or stroke
// points; z is ignored.
#pragma once

#include <span>
#include <vector>

#include "host/types.h"

namespace kelvara {

struct Fence {
  bool defined = false;
  std::vector<DPoint3d> points;  // polygon vertices, not repeating the first at the end
};

// Distance within which a point counts as lying on the boundary, in units of resolution.
inline constexpr double FENCE_BOUNDARY_TOLERANCE = 1e-6;

enum class FenceLocation { Outside, Boundary, Inside };

// ---- The host's fence ----------------------------------------------------------------------

// Defines the fence from a polygon (a repeated closing point is dropped). ERROR when fewer than
// 3 points remain or the polygon has no area; the fence is then cleared.
[[nodiscard]] int mdlFence_define(std::span<const DPoint3d> points);

// Removes the fence.
void mdlFence_clear();

// True when a fence is defined.
bool fenceIsDefined();

// Copies the fence into *clip. ERROR when no fence is defined.
[[nodiscard]] int mdlClip_getFence(Fence* clip);

// ---- Inside tests on a given fence ---------------------------------------------------------

// Where the point lies relative to the polygon.
FenceLocation locatePoint(const Fence& fence, const DPoint3d& point);

// True when every point lies inside or on the boundary (point strings, cell origins).
bool fenceContainsPoints(const Fence& fence, std::span<const DPoint3d> points);

// True when the path through the points (closed: back to the first) lies entirely inside or on
// the boundary: every vertex and every part of every segment. An empty list is not inside.
bool fenceContainsPath(const Fence& fence, std::span<const DPoint3d> points, bool closed);

// True when the rectangle of the range (xy) lies entirely inside or on the boundary.
bool fenceContainsRange(const Fence& fence, const DRange3d& range);

}  // namespace kelvara
