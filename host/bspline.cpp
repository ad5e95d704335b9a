// B-spline curve evaluation (de Boor's algorithm in homogeneous coordinates) and stroking.
#include <algorithm>
#include <cmath>

#include "host/geometry.h"

namespace kelvara {

namespace {

// The curve in evaluation form: poles (wrapped for closed curves), weights, full knot vector,
// and the parameter domain [knots[order-1], knots[poles]].
struct Prepared {
  int order = 0;
  std::vector<DPoint3d> poles;
  std::vector<double> weights;
  std::vector<double> knots;
  double low = 0, high = 0;
};

bool prepare(const BsplineCurve& c, Prepared& p) {
  const int k = c.order;
  const std::size_t n = c.poles.size();
  if (k < 2 || n < static_cast<std::size_t>(k) || k > 26) return false;
  if (!c.weights.empty() && c.weights.size() != n) return false;
  for (double w : c.weights) {
    if (!(w > 0.0)) return false;
  }
  p.order = k;
  p.poles = c.poles;
  p.weights = c.weights.empty() ? std::vector<double>(n, 1.0) : c.weights;
  if (c.closed && c.knots.empty()) {
    // Periodic: the first order-1 poles repeat at the end, knots 0, 1, 2, ...
    for (int i = 0; i < k - 1; ++i) {
      p.poles.push_back(c.poles[i]);
      p.weights.push_back(p.weights[i]);
    }
    for (std::size_t i = 0; i < p.poles.size() + k; ++i) p.knots.push_back(static_cast<double>(i));
  } else if (c.knots.empty()) {
    for (int i = 0; i < k; ++i) p.knots.push_back(0.0);
    const std::size_t interior = n - k;
    for (std::size_t i = 1; i <= interior; ++i) {
      p.knots.push_back(static_cast<double>(i) / static_cast<double>(interior + 1));
    }
    for (int i = 0; i < k; ++i) p.knots.push_back(1.0);
  } else {
    if (c.knots.size() != n + k) return false;
    if (!std::is_sorted(c.knots.begin(), c.knots.end())) return false;
    p.knots = c.knots;
  }
  p.low = p.knots[k - 1];
  p.high = p.knots[p.poles.size()];
  return p.high > p.low;
}

// de Boor on the prepared curve; u is clamped into the domain.
DPoint3d evaluate(const Prepared& p, double u) {
  const int k = p.order;
  const std::size_t n = p.poles.size();
  u = std::clamp(u, p.low, p.high);
  // The span: knots[s] <= u < knots[s+1], with s in [k-1, n-1].
  std::size_t s = static_cast<std::size_t>(
      std::upper_bound(p.knots.begin() + k - 1, p.knots.begin() + n, u) - p.knots.begin());
  s = std::clamp<std::size_t>(s == 0 ? 0 : s - 1, k - 1, n - 1);
  double x[26], y[26], z[26], w[26];
  for (int j = 0; j < k; ++j) {
    const std::size_t i = s - (k - 1) + j;
    w[j] = p.weights[i];
    x[j] = p.poles[i].x * w[j];
    y[j] = p.poles[i].y * w[j];
    z[j] = p.poles[i].z * w[j];
  }
  for (int r = 1; r < k; ++r) {
    for (int j = k - 1; j >= r; --j) {
      const std::size_t i = s - (k - 1) + j;
      const double denom = p.knots[i + k - r] - p.knots[i];
      const double a = denom > 0.0 ? (u - p.knots[i]) / denom : 0.0;
      x[j] = (1 - a) * x[j - 1] + a * x[j];
      y[j] = (1 - a) * y[j - 1] + a * y[j];
      z[j] = (1 - a) * z[j - 1] + a * z[j];
      w[j] = (1 - a) * w[j - 1] + a * w[j];
    }
  }
  return {x[k - 1] / w[k - 1], y[k - 1] / w[k - 1], z[k - 1] / w[k - 1]};
}

}  // namespace

bool bsplinePointAt(const BsplineCurve& curve, double u, DPoint3d& out) {
  Prepared p;
  if (!prepare(curve, p)) return false;
  out = evaluate(p, u);
  return true;
}

std::size_t strokeBspline(const BsplineCurve& curve, std::size_t perSpan, std::size_t maxPoints,
                          std::vector<DPoint3d>& out) {
  Prepared p;
  if (!prepare(curve, p) || maxPoints < 2) return 0;
  perSpan = std::max<std::size_t>(perSpan, 1);
  std::vector<double> params;
  for (std::size_t s = p.order - 1; s < p.poles.size(); ++s) {
    const double a = p.knots[s], b = p.knots[s + 1];
    if (!(b > a)) continue;
    for (std::size_t i = 0; i < perSpan; ++i) {
      params.push_back(a + (b - a) * static_cast<double>(i) / static_cast<double>(perSpan));
    }
  }
  params.push_back(p.high);
  // Thin out evenly when the limit is lower than the points asked for; keep both ends.
  const std::size_t count = std::min(params.size(), maxPoints);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = count == params.size() ? i : (i * (params.size() - 1)) / (count - 1);
    out.push_back(evaluate(p, params[at]));
  }
  return count;
}

}  // namespace kelvara
