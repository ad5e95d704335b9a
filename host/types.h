// Plain value types shared by the host layer and every module above it: points and vectors in
// double precision, integer ranges in units of resolution, rotation matrices.
#pragma once

#include <cstdint>

namespace kelvara {

// A point or vector in units of resolution (UOR), double precision. z is 0 in 2D designs.
struct DPoint3d {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
  friend bool operator==(const DPoint3d&, const DPoint3d&) = default;
};

// An element range in units of resolution, as stored in the element header.
struct DRange3d {
  int64_t xLow = 0;
  int64_t yLow = 0;
  int64_t zLow = 0;
  int64_t xHigh = 0;
  int64_t yHigh = 0;
  int64_t zHigh = 0;
  friend bool operator==(const DRange3d&, const DRange3d&) = default;
};

// Row-major 3x3 rotation (or general linear) matrix; identity by default.
struct RotMatrix {
  double m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
};

// Status codes used throughout: 0 success, 0x8000 failure.
inline constexpr int SUCCESS = 0;
inline constexpr int ERROR = 0x8000;

}  // namespace kelvara
