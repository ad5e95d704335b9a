// The curve of a B-spline curve element, assembled from its header and components.
#include "host/bspline_element.h"

#include <variant>

namespace kelvara {

bool bsplineCurveOf(const MSElementDescr& e, BsplineCurve& out) {
  const auto* header = std::get_if<dgn::BsplineCurveRecord>(&e.record);
  if (header == nullptr) return false;
  const std::vector<double>* knots = nullptr;
  const std::vector<double>* weights = nullptr;
  const std::vector<DPoint3d>* poles = nullptr;
  for (const MSElementDescr& c : e.components) {
    const int type = mdlElement_getType(c);
    if (type == 21) {
      if (const auto* r = std::get_if<dgn::LinearRecord>(&c.record)) poles = &r->points;
    } else if (type == 26) {
      if (const auto* r = std::get_if<dgn::ScalarsRecord>(&c.record)) knots = &r->values;
    } else if (type == 28) {
      if (const auto* r = std::get_if<dgn::ScalarsRecord>(&c.record)) weights = &r->values;
    }
  }
  if (poles == nullptr) return false;
  const std::size_t n = poles->size();
  const int k = header->order;
  out = BsplineCurve{};
  out.order = k;
  out.poles = *poles;
  if (header->rational) {
    if (weights == nullptr || weights->size() < n) return false;
    out.weights.assign(weights->begin(), weights->begin() + static_cast<std::ptrdiff_t>(n));
  }
  const std::size_t interior = header->closed ? n - 1 : n - static_cast<std::size_t>(k);
  const bool explicitKnots = header->numKnots > 0 && knots != nullptr &&
                             n >= static_cast<std::size_t>(k) && knots->size() >= interior &&
                             static_cast<std::size_t>(header->numKnots) == interior;
  if (!explicitKnots) {
    out.closed = header->closed;
    return true;
  }
  if (!header->closed) {
    out.knots.assign(static_cast<std::size_t>(k), 0.0);
    out.knots.insert(out.knots.end(), knots->begin(),
                     knots->begin() + static_cast<std::ptrdiff_t>(interior));
    out.knots.insert(out.knots.end(), static_cast<std::size_t>(k), 1.0);
    return true;
  }
  // Closed with explicit knots: one period 0, t1 .. t(n-1), 1 repeated on both sides, and the
  // first order-1 poles (and weights) wrapped to the end.
  std::vector<double> period{0.0};
  period.insert(period.end(), knots->begin(),
                knots->begin() + static_cast<std::ptrdiff_t>(interior));
  period.push_back(1.0);
  auto knotAt = [&](long j) {
    const long nn = static_cast<long>(n);
    long shift = 0;
    while (j < 0) j += nn, --shift;
    while (j > nn) j -= nn, ++shift;
    return period[static_cast<std::size_t>(j)] + static_cast<double>(shift);
  };
  for (long j = -(k - 1); j <= static_cast<long>(n) + k - 1; ++j) out.knots.push_back(knotAt(j));
  for (int i = 0; i < k - 1; ++i) {
    out.poles.push_back((*poles)[static_cast<std::size_t>(i) % n]);
    if (!out.weights.empty()) out.weights.push_back(out.weights[static_cast<std::size_t>(i) % n]);
  }
  return true;
}

}  // namespace kelvara
