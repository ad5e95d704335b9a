// Rotation comparison.
#include "engine/rotation.h"

#include <cmath>

#include "host/geometry.h"

namespace kelvara {

namespace {

bool entriesAgree(const RotMatrix& a, const RotMatrix& b, int size) {
  for (int r = 0; r < size; ++r) {
    for (int c = 0; c < size; ++c) {
      const double x = a.m[r][c], y = b.m[r][c];
      if (!(x - kRotationEntryTolerance < y && y < x + kRotationEntryTolerance)) return false;
    }
  }
  return true;
}

bool anglesAgree(const RotMatrix& a, const RotMatrix& b, double tolerance) {
  double d = std::fabs(rotationToAngle(b) - rotationToAngle(a));
  while (d >= kTwoPi) d -= kTwoPi;
  return d <= tolerance;
}

bool directionsAgree(const RotMatrix& a, const RotMatrix& b, double tolerance) {
  for (int i = -1; i <= 1; ++i) {
    for (int j = -1; j <= 1; ++j) {
      for (int k = -1; k <= 1; ++k) {
        if (i == 0 && j == 0 && k == 0) continue;
        const double n = std::sqrt(double(i * i + j * j + k * k));
        const DPoint3d v{i / n, j / n, k / n};
        if (distance(rotate(a, v), rotate(b, v)) > tolerance) return false;
      }
    }
  }
  return true;
}

}  // namespace

bool rotationMatch(const RotMatrix& a, const RotMatrix& b, bool allowRotation, double tolerance,
                   bool is3d, bool* turned) {
  if (turned != nullptr) *turned = false;
  if (!allowRotation) return entriesAgree(a, b, is3d ? 3 : 2);
  const bool agree = is3d ? directionsAgree(a, b, tolerance) : anglesAgree(a, b, tolerance);
  if (agree && turned != nullptr) *turned = !entriesAgree(a, b, is3d ? 3 : 2);
  return agree;
}

void splitTransform(const RotMatrix& transform, RotMatrix& rotation, DPoint3d& scale) {
  double s[3];
  for (int c = 0; c < 3; ++c) {
    s[c] = std::sqrt(transform.m[0][c] * transform.m[0][c] + transform.m[1][c] * transform.m[1][c] +
                     transform.m[2][c] * transform.m[2][c]);
    for (int r = 0; r < 3; ++r) {
      rotation.m[r][c] = s[c] > 0 ? transform.m[r][c] / s[c] : (r == c ? 1.0 : 0.0);
    }
  }
  scale = {s[0], s[1], s[2]};
}

}  // namespace kelvara
