// Whether an element passes a rule group of the comparison (`SymbologyRule`): every value list
// whose use flag is on must pass it, tested in the order level, colour, weight, style.
#pragma once

#include "host/element.h"
#include "settings/run_settings.h"

namespace kelvara {

// True when every list in use passes the element (a rule with no flag on passes everything).
bool symbologyRulePasses(const SymbologyRule& rule, const MSElementDescr& el);

}  // namespace kelvara
