// The tag elements of an INSERT's ATTRIBs and the tag-set definitions that name their tags.
#include <strings.h>

#include <numbers>

#include "host/dgn/build.h"
#include "host/dgn/codec.h"
#include "host/dgn/records.h"
#include "host/dxf/to_element.h"

namespace kelvara::dxf {

namespace {

constexpr size_t kValueMax = 1024;  // bytes of a value a tag element holds
constexpr int kTagSetLevel = 24;
// A tag-set definition leaves room for its set number's linkage.
constexpr size_t kTagSetMax = dgn::MAX_ELEMENT_BYTES - 8;

std::string folded(std::string_view s) {
  std::string out(s);
  for (char& ch : out) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  return out;
}

void putI32(std::vector<uint8_t>& e, size_t o, double v) {
  dgn::writeInt32(e.data() + o, dgn::roundToInt32(v));
}

// A tag element; bytes 44 to 67 and 76 to 149 are this writer's own (the tag comparison takes
// them as they are, with 40 to 43):
//   36 target, 40 version 1, 42 the ATTRIB's flags (70), 44 the lower left corner (3 x int32),
//   56 font, 57 justification, 60 character width and 64 height (as a text's multipliers),
//   68 set number, 72 tag index, 74 value type 1 (string), 76 the rotation (2D: the angle as a
//   text's; 3D: a quaternion, 4 x int32), 150 and 152 the value's bytes and its NUL, 154 the
//   value.
std::vector<uint8_t> tagElement(const ElementContext& c, const Entity& text, uint32_t target,
                                int set, int index) {
  const std::string value = text.text.substr(0, kValueMax);
  std::vector<uint8_t> el = startElement(c, 37, 154 + value.size() + 1 - dgn::HEADER_BYTES);
  const TextPlace p = placeText(c, text, value.size());
  dgn::writeU32LE(el.data() + 36, target);
  dgn::writeU16(el.data() + 40, 1);
  dgn::writeU16(el.data() + 42, static_cast<uint16_t>(text.details.flags));
  dgn::putPoint(el.data() + 44, p.origin, true);
  el[56] = static_cast<uint8_t>(p.font);
  el[57] = static_cast<uint8_t>(p.justification);
  putI32(el, 60, p.width / dgn::TEXT_SIZE_FACTOR);
  putI32(el, 64, p.height / dgn::TEXT_SIZE_FACTOR);
  dgn::writeU32LE(el.data() + 68, static_cast<uint32_t>(set));
  dgn::writeU16(el.data() + 72, static_cast<uint16_t>(index));
  dgn::writeU16(el.data() + 74, 1);
  if (c.placement.is3d) {
    double q[4];
    dgn::matrixToQuaternion(p.orientation, q);
    for (size_t i = 0; i < 4; ++i) putI32(el, 76 + 4 * i, q[i]);
  } else {
    putI32(el, 76, p.angle * 180 / std::numbers::pi * dgn::ANGLE_UNITS_PER_DEGREE);
  }
  dgn::writeU16(el.data() + 150, static_cast<uint16_t>(value.size() + 1));
  dgn::writeU16(el.data() + 152, static_cast<uint16_t>(value.size() + 1));
  std::copy(value.begin(), value.end(), el.begin() + 154);
  setRange(el, {p.origin, p.corner});
  dgn::finishElement(el);
  return el;
}

void putWord(std::vector<uint8_t>& e, uint16_t v) {
  e.push_back(0);
  e.push_back(0);
  dgn::writeU16(e.data() + e.size() - 2, v);
}

}  // namespace

std::pair<int, int> TagSets::find(const std::string& block, const std::string& tag) {
  const auto [at, added] = numbers.emplace(folded(block), int(sets.size()) + 1);
  if (added) sets.push_back({block, {}});
  Set& set = sets[size_t(at->second) - 1];
  for (size_t i = 0; i < set.tags.size(); ++i)
    if (strcasecmp(set.tags[i].c_str(), tag.c_str()) == 0) return {at->second, int(i) + 1};
  set.tags.push_back(tag);
  return {at->second, int(set.tags.size())};
}

Entity attribText(const Attrib& a) {
  Entity t;
  t.type = "TEXT";
  t.decoded = true;
  t.text = a.value;
  t.style = a.style;
  t.details = a.details;
  t.height = a.height;
  t.rotation = a.rotation;
  t.widthFactor = a.widthFactor;
  t.extrusion = a.extrusion;
  t.vertices = {{a.position.x, a.position.y, a.position.z, 0},
                {a.alignment.x, a.alignment.y, a.alignment.z, 0}};
  t.handle = a.handle;
  t.layer = a.layer;
  t.linetype = a.linetype;
  t.colour = a.colour;
  t.trueColour = a.trueColour;
  t.lineweight = a.lineweight;
  return t;
}

void appendAttribTag(const ElementContext& c, const Entity& text, uint32_t target, int set,
                     int index, std::vector<uint8_t>& out) {
  const std::vector<uint8_t> el = tagElement(c, text, target, set, index);
  out.insert(out.end(), el.begin(), el.end());
}

void appendTagSets(const TagSets& sets, std::vector<uint8_t>& out) {
  for (size_t n = 0; n < sets.sets.size(); ++n) {
    const TagSets::Set& set = sets.sets[n];
    std::vector<uint8_t> el = dgn::beginElement(66, kTagSetLevel);
    el.resize(48, 0);
    el[36] = 0x01;  // the words every tag-set definition begins with
    el[38] = 0x81;
    el[39] = 0x0F;
    const std::string name = set.name.substr(0, 255);
    el.insert(el.end(), name.begin(), name.end());
    el.insert(el.end(), 2, 0);  // its NUL and one zero byte more
    uint16_t count = 0;
    for (const std::string& full : set.tags) {
      const std::string tag = full.substr(0, 255);
      // The name, its id, an empty prompt, the type (string), five zero bytes, an empty default.
      if (el.size() + tag.size() + 12 > kTagSetMax) break;
      el.insert(el.end(), tag.begin(), tag.end());
      el.push_back(0);
      putWord(el, ++count);
      el.push_back(0);
      putWord(el, 1);
      el.insert(el.end(), 6, 0);
    }
    dgn::writeU16(el.data() + 44, count);
    dgn::finishElement(el);
    std::vector<uint8_t> link(8, 0);
    dgn::writeU16(link.data(), 0x1003);
    dgn::writeU16(link.data() + 2, dgn::LINKAGE_ID_ASSOCIATION);
    dgn::writeU16(link.data() + 4, static_cast<uint16_t>(n + 1));
    dgn::appendLinkage(el, link);
    dgn::finishElement(el);
    out.insert(out.end(), el.begin(), el.end());
  }
}

uint64_t attribsDigest(const ElementContext& c, const Entity& insert) {
  uint64_t h = fnv64("");
  for (const Attrib& a : insert.attribs) {
    const Entity text = attribText(a);
    const std::vector<uint8_t> el = tagElement(c, text, 0, 0, 0);
    const auto bytes = [&](size_t from, size_t to) {
      return std::string_view(reinterpret_cast<const char*>(el.data()) + from, to - from);
    };
    h = fnv64(bytes(76, 150), fnv64(bytes(40, 68), h));
    const std::string rest = folded(a.tag) + '\0' + a.value + '\0' + folded(a.layer) + '\0' +
                             folded(a.linetype) + '\0' + std::to_string(a.colour) + ' ' +
                             std::to_string(a.trueColour ? int64_t(*a.trueColour) : -1) + ' ' +
                             std::to_string(a.lineweight) + '\0';
    h = fnv64(rest, h);
  }
  return h;
}

}  // namespace kelvara::dxf
