#include "valuelist/element_tests.h"

#include <string>

#include "host/design.h"
#include "host/types.h"
#include "valuelist/valuelist.h"

namespace kelvara {

namespace {

constexpr size_t kMaxLevelName = 511;
constexpr uint32_t kHostByLevel = 0xFFFFFFFFu;

std::string trimBlanks(const std::string& s) {
  const size_t first = s.find_first_not_of(" \t\r\n\v\f");
  if (first == std::string::npos) return {};
  const size_t last = s.find_last_not_of(" \t\r\n\v\f");
  return s.substr(first, last - first + 1);
}

struct Symbology {
  uint32_t colour = 0;
  uint32_t weight = 0;
  int32_t style = 0;
};

Symbology symbologyOf(const MSElementDescr& el) {
  Symbology s;
  (void)mdlElement_getSymbology(&s.colour, &s.weight, &s.style, el);
  return s;
}

}  // namespace

double hostSymbologyNumber(uint32_t value) {
  return value == kHostByLevel ? VL_BYLEVEL_COLOR : static_cast<double>(value);
}

bool typeIgnoresColorAndStyle(int type) {
  return type == 2 || type == 35 || type == 87;
}

bool elementLevelPasses(std::string_view list, const MSElementDescr& el) {
  if (list.empty()) return true;
  ElementProperties props;
  (void)mdlElement_getProperties(&props, el);
  std::string name;
  if (mdlLevel_getName(&name, el.modelRef, props.level) == SUCCESS) {
    if (name.size() > kMaxLevelName) name.resize(kMaxLevelName);
    return valueList_match(list, VL_LEVEL_FLAGS, true, props.level, &name);
  }
  return valueList_match(list, VL_LEVEL_FLAGS, true, props.level, nullptr);
}

bool elementColorPasses(std::string_view list, const MSElementDescr& el) {
  if (list.empty()) return true;
  if (typeIgnoresColorAndStyle(mdlElement_getType(el))) return false;
  return valueList_match(list, VL_COLOR_FLAGS, true, hostSymbologyNumber(symbologyOf(el).colour),
                         nullptr);
}

bool elementWeightPasses(std::string_view list, const MSElementDescr& el) {
  if (list.empty()) return true;
  if (typeIgnoresColorAndStyle(mdlElement_getType(el))) return false;
  return valueList_match(list, VL_WEIGHT_FLAGS, true, hostSymbologyNumber(symbologyOf(el).weight),
                         nullptr);
}

bool elementStylePasses(std::string_view list, const MSElementDescr& el) {
  if (list.empty()) return true;
  if (typeIgnoresColorAndStyle(mdlElement_getType(el))) return false;
  std::string name;
  if (mdlElement_getLineStyle(&name, el) == SUCCESS) {
    const std::string trimmed = trimBlanks(name);
    return valueList_match(list, VL_STYLE_FLAGS, true, -1.0, &trimmed);
  }
  return valueList_match(list, VL_STYLE_FLAGS, true, symbologyOf(el).style, nullptr);
}

}  // namespace kelvara
