// Per-type constraint tests of selection sets.
#include "selection/type_tests.h"

#include <span>
#include <string>

#include "host/fonts.h"
#include "selection/labels.h"
#include "selection/measure.h"
#include "valuelist/valuelist.h"
#include "valuelist/wildcard.h"

namespace kelvara {

namespace {

using Row = std::span<const std::string>;
// Walks the rows of a list: true when the list is absent or empty or some row passes. `test`
// is called as (row, column, member) for the non-empty members; `row` is the member's whole
// row (the last row of a list may be short).
template <typename MemberTest>
bool anyRowPasses(const ConstraintList& list, int width, const MemberTest& test) {
  if (!list || list->empty()) return true;
  const std::vector<std::string>& members = *list;
  for (size_t start = 0; start < members.size(); start += width) {
    const size_t end = std::min(members.size(), start + width);
    bool rowPasses = true;
    for (size_t i = start; i < end && rowPasses; ++i) {
      if (!members[i].empty()) {
        rowPasses = test(Row(members.data() + start, end - start), i - start, members[i]);
      }
    }
    if (rowPasses) return true;
  }
  return false;
}

// Lines and complex strings: every non-empty member is a row of its own.
template <typename Test>
bool anyMemberPasses(const ConstraintList& list, const Test& t) {
  if (!list || list->empty()) return true;
  for (const std::string& m : *list) {
    if (!m.empty() && t(m)) return true;
  }
  return false;
}

bool colourListHolds(const std::string& list, uint32_t colour) {
  const double n = colour == 0xFFFFFFFFu ? -1.0 : double(colour);
  return valueList_match(list, VL_COLOR_FLAGS, true, n, nullptr);
}

// A distance, plain or scale member against an optional measured value.
bool numberHolds(const std::optional<double>& v, const std::string& member, bool isDistance,
                 const WorkingUnits& units, bool scale = false) {
  return v && constraintHolds(*v, member, isDistance, units, scale);
}

bool fillColourHolds(const MSElementDescr& el, const std::string& member) {
  uint32_t colour = 0;
  if (mdlElement_getFillColor(&colour, el) != SUCCESS) return true;  // tested only when filled
  return colourListHolds(member, colour);
}

bool textStyleHolds(const std::string& member) {
  // Design files of this format have no text styles.
  const std::string none(NO_TEXT_STYLE);
  return valueList_match(member, VL_LEVEL_FLAGS, false, -1.0, &none);
}

// These design files keep the font's number; its name is the host's name of that number.
bool fontHolds(const std::string& member, int font) {
  if (font < 0) return false;
  const std::string name = pc_fontName(font);
  return valueList_match(member, VL_LEVEL_FLAGS, false, double(font), &name);
}

template <size_t N>
std::string_view justificationName(const std::array<JustificationName, N>& names, int value) {
  for (const JustificationName& j : names) {
    if (j.value == value) return j.name;
  }
  return {};
}

bool arcTest(const MSElementDescr& el, const SelectionSet& set, const WorkingUnits& u) {
  double primary = 0, secondary = 0;
  const bool axes = ellipseAxes(el, &primary, &secondary);
  const auto sweep = arcSweepDegrees(el);
  return anyRowPasses(set.lists[ARC_LIST], 3, [&](Row, size_t c, const std::string& m) {
    if (c == 0) return numberHolds(sweep, m, false, u);
    return axes && constraintHolds(c == 1 ? primary : secondary, m, true, u);
  });
}

bool ellipseTest(const MSElementDescr& el, const SelectionSet& set, const WorkingUnits& u) {
  double primary = 0, secondary = 0;
  const bool axes = ellipseAxes(el, &primary, &secondary);
  const bool filled = mdlElement_isFilled(el);
  return anyRowPasses(set.lists[ELLIPSE_LIST], 4, [&](Row, size_t c, const std::string& m) {
    if (c == 0) return fillLabelHolds(m, filled);
    if (c == 1) return fillColourHolds(el, m);
    return axes && constraintHolds(c == 2 ? primary : secondary, m, true, u);
  });
}

bool lengthOnlyTest(const MSElementDescr& el, const ConstraintList& list, const WorkingUnits& u) {
  const auto length = elementLength(el);
  return anyMemberPasses(list,
                         [&](const std::string& m) { return numberHolds(length, m, true, u); });
}

bool lengthAndVerticesTest(const MSElementDescr& el, const ConstraintList& list,
                           const WorkingUnits& u) {
  const auto length = elementLength(el);
  const auto vertices = vertexCount(el);
  return anyRowPasses(list, 2, [&](Row, size_t c, const std::string& m) {
    return c == 0 ? numberHolds(length, m, true, u) : numberHolds(vertices, m, false, u);
  });
}

bool shapeTest(const MSElementDescr& el, const ConstraintList& list, int width,
               const WorkingUnits& u) {
  const bool filled = mdlElement_isFilled(el);
  const auto perimeter = elementLength(el);
  const auto vertices = vertexCount(el);
  return anyRowPasses(list, width, [&](Row, size_t c, const std::string& m) {
    switch (c) {
      case 0:
        return fillLabelHolds(m, filled);
      case 1:
        return fillColourHolds(el, m);
      case 2:
        return numberHolds(perimeter, m, true, u);
      default:
        return numberHolds(vertices, m, false, u);
    }
  });
}

bool pointStringTest(const MSElementDescr& el, const SelectionSet& set, const WorkingUnits& u) {
  const bool disjoint = dgn::decodeHeader(dgn::Bytes(el.bytes)).properties & dgn::PROP_HOLE;
  const auto vertices = vertexCount(el);
  return anyRowPasses(set.lists[POINT_STRING_LIST], 2, [&](Row, size_t c, const std::string& m) {
    if (c == 1) return numberHolds(vertices, m, false, u);
    if (m == displayLabels()[0]) return true;
    return m == displayLabels()[1] ? disjoint : !disjoint;
  });
}

bool cellNameHolds(const std::string& name, const std::string& expression,
                   std::string_view format) {
  if (expression == UNNAMED_CELL) return name.empty();
  return nameMatches(name, expression, format);
}

bool cellTest(const MSElementDescr& el, const SelectionSet& set, const WorkingUnits& u) {
  const auto facts = cellFacts(el);
  const ConstraintList& list = set.lists[CELL_LIST];
  if (!list || list->empty()) return true;
  if (!facts) return false;
  return anyRowPasses(list, 6, [&](Row row, size_t c, const std::string& m) {
    const CellFacts& f = *facts;
    switch (c) {
      case 0:
        if (m == cellKindLabels()[0]) return true;
        return m == cellKindLabels()[1] ? !f.pointCell : f.pointCell;
      case 1: {
        const std::string_view format =
            c + 1 < row.size() ? std::string_view(row[c + 1]) : std::string_view();
        return cellNameHolds(f.name, m, format);
      }
      case 2:
        return true;  // the format member
      case 3:
        return constraintHolds(f.rotationDegrees, m, false, u);
      case 4:
        return constraintHolds(f.xScale, m, false, u, true);
      default:
        return constraintHolds(f.yScale, m, false, u, true);
    }
  });
}

bool sharedCellTest(const SelectionSet& set) {
  // The name, rotation and scales of shared cell instances cannot be read from these design
  // files: any constraint on them does not hold.
  return anyRowPasses(set.lists[SHARED_CELL_LIST], 5,
                      [](Row, size_t c, const std::string&) { return c == 1; });
}

bool coneTest(const MSElementDescr& el, const SelectionSet& set, const WorkingUnits& u) {
  double sizes[3] = {0, 0, 0};
  const bool ok = coneSizes(el, &sizes[0], &sizes[1], &sizes[2]);
  return anyRowPasses(set.lists[CONE_LIST], 3, [&](Row, size_t c, const std::string& m) {
    return ok && constraintHolds(sizes[c], m, true, u);
  });
}

// The text style, font, justification, height and width columns that text and text node rows
// share, in this order.
constexpr size_t kTextCommonColumns = 5;

bool textColumnHolds(size_t c, const std::string& m, const TextFacts& facts, std::string_view just,
                     const WorkingUnits& u) {
  switch (c) {
    case 0:
      return textStyleHolds(m);
    case 1:
      return fontHolds(m, facts.font);
    case 2:
      return !just.empty() && justificationListed(m, just);
    case 3:
      return constraintHolds(facts.height, m, true, u);
    default:
      return constraintHolds(facts.width, m, true, u);
  }
}

bool textTest(const MSElementDescr& el, const SelectionSet& set, const WorkingUnits& u) {
  const ConstraintList& list = set.lists[TEXT_LIST];
  if (!list || list->empty()) return true;
  const auto facts = textFacts(el);
  if (!facts) return false;
  const std::string_view just = justificationName(textJustifications(), facts->justification);
  return anyRowPasses(list, 7, [&](Row row, size_t c, const std::string& m) {
    if (c < kTextCommonColumns) return textColumnHolds(c, m, *facts, just, u);
    switch (c) {
      case 5: {
        const std::string_view format =
            c + 1 < row.size() ? std::string_view(row[c + 1]) : std::string_view();
        return nameMatches(facts->strings.front(), m, format);
      }
      default:
        return true;  // the format member
    }
  });
}

bool textNodeTest(const MSElementDescr& el, const SelectionSet& set, const WorkingUnits& u) {
  const ConstraintList& list = set.lists[TEXT_NODE_LIST];
  if (!list || list->empty()) return true;
  const auto facts = textFacts(el);
  if (!facts) return false;
  const std::string_view just = justificationName(textNodeJustifications(), facts->justification);
  return anyRowPasses(list, 10, [&](Row row, size_t c, const std::string& m) {
    if (c < kTextCommonColumns) return textColumnHolds(c, m, *facts, just, u);
    switch (c) {
      case 5:
        return constraintHolds(facts->lineSpacing, m, true, u);
      case 6:
        return constraintHolds(facts->lineLength, m, false, u);
      case 7:
        return constraintHolds(facts->nodeNumber, m, false, u);
      case 8: {
        const std::string_view format =
            c + 1 < row.size() ? std::string_view(row[c + 1]) : std::string_view();
        if (format != FORMAT_WILDCARD && format != FORMAT_REGEX) return false;
        for (const std::string& s : facts->strings) {
          if (nameMatches(s, m, format)) return true;
        }
        return false;
      }
      default:
        return true;  // the format member
    }
  });
}

bool tagTest(const MSElementDescr& el, const SelectionSet& set, const WorkingUnits& u) {
  const ConstraintList& list = set.lists[TAG_LIST];
  if (!list || list->empty()) return true;
  const auto facts = tagFacts(el);
  if (!facts) return false;
  auto lowerRegex = [](const std::optional<std::string>& name, const std::string& m) {
    return name && regexNameMatch(toLowerAscii(*name), toLowerAscii(m));
  };
  (void)u;
  return anyRowPasses(list, 9, [&](Row row, size_t c, const std::string& m) {
    switch (c) {
      case 0:
        return true;  // the font of a tag is not kept in its element: no test
      case 1:         // justification, height and width are not available either
      case 2:
      case 3:
        return false;
      case 4:
        return lowerRegex(facts->setName, m);
      case 5:
        return lowerRegex(facts->tagName, m);
      case 6:
        if (m == TAG_TYPE_CHARACTER) return facts->valueType == 1;
        if (m == TAG_TYPE_INTEGER) return facts->valueType == 3;
        if (m == TAG_TYPE_REAL) return facts->valueType == 4;
        return true;
      case 7: {
        if (facts->valueType != 1 && facts->valueType != 3 && facts->valueType != 4) return false;
        const std::string_view format =
            c + 1 < row.size() ? std::string_view(row[c + 1]) : std::string_view();
        return nameMatches(facts->valueText, m, format);
      }
      default:
        return true;  // the format member
    }
  });
}

bool dimensionTest(const SelectionSet& set) {
  // The dimension type and text parameters cannot be read from these design files: a type
  // list, and any text constraint, does not hold.
  const ConstraintList& types = set.lists[DIMENSION_TYPE_LIST];
  if (types && !types->empty() && !types->front().empty()) return false;
  return anyRowPasses(set.lists[DIMENSION_TEXT_LIST], 5,
                      [](Row, size_t, const std::string&) { return false; });
}

}  // namespace

bool fillLabelHolds(std::string_view label, bool filled) {
  if (label == fillLabels()[0]) return true;
  return label == fillLabels()[1] ? filled : !filled;
}

bool justificationListed(std::string_view member, std::string_view name) {
  while (!member.empty()) {
    const size_t comma = member.find(',');
    std::string_view item = member.substr(0, comma);
    while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
    while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
    if (item == name) return true;
    if (comma == std::string_view::npos) break;
    member.remove_prefix(comma + 1);
  }
  return false;
}

bool typeConstraintsPass(const MSElementDescr& el, const SelectionSet& set,
                         const WorkingUnits& units) {
  switch (mdlElement_getType(el)) {
    case 16:
      return arcTest(el, set, units);
    case 15:
      return ellipseTest(el, set, units);
    case 3:
      return lengthOnlyTest(el, set.lists[LINE_LIST], units);
    case 12:
      return lengthOnlyTest(el, set.lists[COMPLEX_STRING_LIST], units);
    case 4:
      return lengthAndVerticesTest(el, set.lists[LINE_STRING_LIST], units);
    case 11:
      return lengthAndVerticesTest(el, set.lists[CURVE_LIST], units);
    case 36:
      return lengthAndVerticesTest(el, set.lists[MULTILINE_LIST], units);
    case 14:
      return shapeTest(el, set.lists[COMPLEX_SHAPE_LIST], 3, units);
    case 6:
      return shapeTest(el, set.lists[SHAPE_LIST], 4, units);
    case 22:
      return pointStringTest(el, set, units);
    case 2:
      return cellTest(el, set, units);
    case 35:
      return sharedCellTest(set);
    case 23:
      return coneTest(el, set, units);
    case 17:
      return textTest(el, set, units);
    case 7:
      return textNodeTest(el, set, units);
    case 37:
      return tagTest(el, set, units);
    case 33:
      return dimensionTest(set);
    default:
      return true;
  }
}

}  // namespace kelvara
