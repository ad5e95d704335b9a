#include "settings/rule_test.h"

#include "valuelist/element_tests.h"

namespace kelvara {

bool symbologyRulePasses(const SymbologyRule& rule, const MSElementDescr& el) {
  if (rule.useLevel && !elementLevelPasses(rule.level.view(), el)) return false;
  if (rule.useColor && !elementColorPasses(rule.color.view(), el)) return false;
  if (rule.useWeight && !elementWeightPasses(rule.weight.view(), el)) return false;
  if (rule.useStyle && !elementStylePasses(rule.style.view(), el)) return false;
  return true;
}

}  // namespace kelvara
