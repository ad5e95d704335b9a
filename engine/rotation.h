// Comparing the orientations of elements placed by a rotation: cells, shared cells, arcs,
// ellipses, texts, text nodes and tags.
//
// Without the rotation switch two rotations agree when every entry of the upper-left 2 x 2
// block (3 x 3 in a three-dimensional file) agrees within 1e-6. With it, a two-dimensional file
// compares the angles about z (their difference reduced by whole turns only), and a
// three-dimensional file rotates the 26 unit directions of the cube around the origin by both
// matrices and requires every pair of images to lie within the tolerance.
#pragma once

#include "host/types.h"

namespace kelvara {

// Entry tolerance of rotations compared without the rotation switch.
inline constexpr double kRotationEntryTolerance = 1e-6;

// True when rotation b agrees with rotation a (see above). `is3d` is the dimension of the design
// taken when its model was set up (the elements of a 2D attachment of a 3D design are compared
// as 3D rotations).
// `tolerance` is in radians (in 3D, the largest distance between the images of a unit
// direction).
// With `turned`, an agreement also tells whether it needed the rotation tolerance (the
// rotations differ beyond the entry tolerance).
[[nodiscard]] bool rotationMatch(const RotMatrix& a, const RotMatrix& b, bool allowRotation,
                                 double tolerance, bool is3d, bool* turned = nullptr);

// Splits a transform (rotation times scale per axis) into its rotation and the scale vector:
// the lengths of its columns. A column of length 0 keeps a scale of 0 and a unit axis.
void splitTransform(const RotMatrix& transform, RotMatrix& rotation, DPoint3d& scale);

}  // namespace kelvara
