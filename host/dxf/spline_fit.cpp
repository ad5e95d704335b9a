// Control points of a SPLINE given only by fit points: global interpolation with chord-length
// parameters and averaged knots; with both end tangents, two more control points make the curve
// leave and reach its ends along them (their length scaled to the total chord length).
#include <algorithm>
#include <cmath>

#include "host/dxf/internal.h"

namespace kelvara::dxf {
namespace {

// Row of the basis functions of degree p at u over `knots` (clamped, so u at the end of the
// domain takes the last control point alone).
std::vector<double> basisRow(const std::vector<double>& knots, int p, double u, size_t count) {
  std::vector<double> row(count, 0.0);
  if (u >= knots[count]) {
    row[count - 1] = 1;
    return row;
  }
  // Degree 0, then raise.
  std::vector<double> n(knots.size() - 1, 0.0);
  for (size_t i = 0; i + 1 < knots.size(); ++i) n[i] = knots[i] <= u && u < knots[i + 1] ? 1 : 0;
  for (int d = 1; d <= p; ++d)
    for (size_t i = 0; i + size_t(d) + 1 < knots.size(); ++i) {
      const double a = knots[i + d] - knots[i], b = knots[i + d + 1] - knots[i + 1];
      n[i] = (a > 0 ? (u - knots[i]) / a * n[i] : 0) +
             (b > 0 ? (knots[i + d + 1] - u) / b * n[i + 1] : 0);
    }
  std::copy(n.begin(), n.begin() + long(count), row.begin());
  return row;
}

// Solves a x = b for three right-hand sides (columns of b) by elimination with partial
// pivoting; false when a is singular.
bool solve(std::vector<std::vector<double>>& a, std::vector<Point3>& b) {
  const size_t n = a.size();
  for (size_t col = 0; col < n; ++col) {
    size_t pivot = col;
    for (size_t r = col + 1; r < n; ++r)
      if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
    if (std::fabs(a[pivot][col]) < 1e-14) return false;
    std::swap(a[col], a[pivot]);
    std::swap(b[col], b[pivot]);
    for (size_t r = 0; r < n; ++r) {
      if (r == col || a[r][col] == 0) continue;
      const double f = a[r][col] / a[col][col];
      for (size_t c = col; c < n; ++c) a[r][c] -= f * a[col][c];
      b[r] = {b[r].x - f * b[col].x, b[r].y - f * b[col].y, b[r].z - f * b[col].z};
    }
  }
  for (size_t r = 0; r < n; ++r) b[r] = {b[r].x / a[r][r], b[r].y / a[r][r], b[r].z / a[r][r]};
  return true;
}

double distance(const Point3& a, const Point3& b) {
  return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) +
                   (a.z - b.z) * (a.z - b.z));
}

}  // namespace

bool interpolateSpline(const Spline& in, size_t maxControl, Spline& out) {
  const std::vector<Point3>& q = in.fit;
  const size_t m = q.size();
  const bool tangents = in.startTangent && in.endTangent;
  const size_t count = m + (tangents ? 2 : 0);
  if (m < 2 || count > maxControl || in.degree < 1) return false;
  const int p = static_cast<int>(std::min<size_t>(size_t(in.degree), count - 1));
  // Chord-length parameters.
  std::vector<double> u(m, 0.0);
  double total = 0;
  for (size_t k = 1; k < m; ++k) total += distance(q[k], q[k - 1]);
  if (!(total > 0) || !std::isfinite(total)) return false;
  for (size_t k = 1; k < m; ++k) u[k] = u[k - 1] + distance(q[k], q[k - 1]) / total;
  u[m - 1] = 1;
  // Clamped knots, the interior ones averaged over p parameters; with the tangents the
  // averages start one parameter earlier, as the two extra control points need two more knots.
  std::vector<double> knots(size_t(p) + 1, 0.0);
  const size_t interior = count - size_t(p) - 1;
  for (size_t j = 1; j <= interior; ++j) {
    double sum = 0;
    for (size_t i = 0; i < size_t(p); ++i) sum += u[std::min(j + i - (tangents ? 1 : 0), m - 1)];
    knots.push_back(sum / p);
  }
  knots.insert(knots.end(), size_t(p) + 1, 1.0);
  // One row per fit point, and with the tangents P1 - P0 = knot(p+1) / p * D0 and
  // P(last) - P(last-1) = (1 - knot(count-1)) / p * D1.
  std::vector<std::vector<double>> a;
  std::vector<Point3> b;
  for (size_t k = 0; k < m; ++k) {
    a.push_back(basisRow(knots, p, u[k], count));
    b.push_back(q[k]);
  }
  const auto scaled = [&](const Point3& t, double f) {
    const double n = std::sqrt(t.x * t.x + t.y * t.y + t.z * t.z);
    const double s = n > 0 ? total * f / n : 0;
    return Point3{t.x * s, t.y * s, t.z * s};
  };
  if (tangents) {
    std::vector<double> row(count, 0.0);
    row[0] = -1, row[1] = 1;
    a.push_back(row);
    b.push_back(scaled(*in.startTangent, knots[size_t(p) + 1] / p));
    row.assign(count, 0.0);
    row[count - 2] = -1, row[count - 1] = 1;
    a.push_back(row);
    b.push_back(scaled(*in.endTangent, (1 - knots[count - 1]) / p));
  }
  if (!solve(a, b)) return false;
  out = in;
  out.degree = p;
  out.knots = std::move(knots);
  out.weights.clear();
  out.control = std::move(b);
  return true;
}

}  // namespace kelvara::dxf
