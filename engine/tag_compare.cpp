// Tag comparison.
#include "engine/tag_compare.h"

#include <algorithm>
#include <variant>

#include "host/design.h"
#include "host/dgn/codec.h"

namespace kelvara {

namespace {

constexpr int kTagSetType = 66;
constexpr int kTagSetLevel = 24;
// The undecoded placement and format blocks of a tag element.
constexpr std::size_t kPlacementBlocks[2][2] = {{40, 68}, {76, 150}};

bool placementsEqual(const MSElementDescr& a, const MSElementDescr& b) {
  for (const auto& block : kPlacementBlocks) {
    if (a.bytes.size() < block[1] || b.bytes.size() < block[1]) return false;
    if (!std::equal(a.bytes.begin() + block[0], a.bytes.begin() + block[1],
                    b.bytes.begin() + block[0])) {
      return false;
    }
  }
  return true;
}

// A short integer value: the 16-bit word at the value's place.
bool shortValuesEqual(const MSElementDescr& ea, const MSElementDescr& eb) {
  constexpr std::size_t at = 154;
  if (ea.bytes.size() < at + 2 || eb.bytes.size() < at + 2) return false;
  return dgn::readU16(ea.bytes.data() + at) == dgn::readU16(eb.bytes.data() + at);
}

bool valuesEqual(const MSElementDescr& ea, const MSElementDescr& eb, const dgn::TagValueRecord& a,
                 const dgn::TagValueRecord& b) {
  if (a.valueType != b.valueType) return false;
  switch (a.valueType) {
    case 1:
      return a.text == b.text;
    case 2:
      return shortValuesEqual(ea, eb);
    case 3:
      return a.integer == b.integer;
    case 4:
      return a.real == b.real;
    case 5:
      return a.binary == b.binary;
    default:
      return true;
  }
}

// The file the tag was read from: its descriptor's model, else the model of the pair.
const DesignFile* fileOf(const MSElementDescr& tag, ModelRef model) {
  const DesignFile* f = designFileOf(tag.modelRef);
  return f ? f : designFileOf(model);
}

// The names of both tags agree.
bool namesAgree(const PairElement& first, const PairElement& second, const dgn::TagValueRecord& a,
                const dgn::TagValueRecord& b) {
  const DesignFile* fa = fileOf(*first.descriptor, first.model);
  const DesignFile* fb = fileOf(*second.descriptor, second.model);
  // One file, one set number, one tag index: one definition names both.
  if (fa && fa == fb && a.tagSetId == b.tagSetId && a.tagIndex == b.tagIndex) return true;
  std::string setA, tagA, setB, tagB;
  if (!tagNames(*first.descriptor, first.model, setA, tagA) ||
      !tagNames(*second.descriptor, second.model, setB, tagB)) {
    return false;
  }
  return setA == setB && tagA == tagB;
}

}  // namespace

bool tagNames(const MSElementDescr& tag, ModelRef model, std::string& setName,
              std::string& tagName) {
  const auto* value = std::get_if<dgn::TagValueRecord>(&tag.record);
  const DesignFile* file = fileOf(tag, model);
  if (!value || !file) return false;
  const dgn::DesignImage& img = file->image;
  for (const uint32_t slot : img.topLevel) {
    const dgn::Bytes e = dgn::slotBytes(img, slot);
    if (e.size() < 2 || dgn::typeOf(e.data()) != kTagSetType ||
        dgn::levelOf(e.data()) != kTagSetLevel || dgn::isDeletedBit(e.data())) {
      continue;
    }
    dgn::ElementRecord record;
    if (!dgn::decodeRecord(e, img.is3d, record)) continue;
    const auto* set = std::get_if<dgn::TagSetRecord>(&record);
    if (!set || static_cast<uint32_t>(set->setNumber) != value->tagSetId) continue;
    for (const dgn::TagDefinition& t : set->tags) {
      if (t.id != value->tagIndex) continue;
      setName = set->name;
      tagName = t.name;
      return true;
    }
  }
  return false;
}

int tagCompare(const PairElement& first, const PairElement& second, const CompareOptions& options) {
  if (!first.descriptor || !second.descriptor) return COMPARE_DIFFERENT;
  const auto* a = std::get_if<dgn::TagValueRecord>(&first.descriptor->record);
  const auto* b = std::get_if<dgn::TagValueRecord>(&second.descriptor->record);
  if (!a || !b) return COMPARE_DIFFERENT;
  if (!placementsEqual(*first.descriptor, *second.descriptor)) return COMPARE_DIFFERENT;
  if (!namesAgree(first, second, *a, *b)) return COMPARE_DIFFERENT;
  if (!valuesEqual(*first.descriptor, *second.descriptor, *a, *b)) return COMPARE_DIFFERENT;
  return attributeResult(first, second, options.ignore);
}

}  // namespace kelvara
