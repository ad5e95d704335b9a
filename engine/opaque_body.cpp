// Byte comparison of element bodies.
#include "engine/opaque_body.h"

#include <algorithm>

#include "host/dgn/codec.h"

namespace kelvara {

namespace {

constexpr std::size_t kRangeStart = 4;
constexpr std::size_t kRangeEnd = 28;
constexpr std::size_t kBodyStart = 36;

dgn::Bytes body(const MSElementDescr& e) {
  const dgn::Bytes all(e.bytes.data(), e.bytes.size());
  const std::size_t end = dgn::linkageStart(all);
  if (end <= kBodyStart) return {};
  return all.subspan(kBodyStart, end - kBodyStart);
}

}  // namespace

bool opaqueBodiesEqual(const MSElementDescr& a, const MSElementDescr& b) {
  if (a.bytes.size() < kBodyStart || b.bytes.size() < kBodyStart) return false;
  if (mdlElement_getType(a) != mdlElement_getType(b)) return false;
  if (!std::equal(a.bytes.begin() + kRangeStart, a.bytes.begin() + kRangeEnd,
                  b.bytes.begin() + kRangeStart)) {
    return false;
  }
  const dgn::Bytes ba = body(a), bb = body(b);
  if (!std::equal(ba.begin(), ba.end(), bb.begin(), bb.end())) return false;
  if (a.components.size() != b.components.size()) return false;
  for (std::size_t i = 0; i < a.components.size(); ++i) {
    if (!opaqueBodiesEqual(a.components[i], b.components[i])) return false;
  }
  return true;
}

}  // namespace kelvara
