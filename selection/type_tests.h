// Per-type constraint tests: an element passes its type's constraint list when the list is
// absent or empty, or when one of its rows accepts the element. Within a row every member must
// hold (an empty member sets no test); lines and complex strings take each non-empty member
// as a row of its own.
#pragma once

#include "host/element.h"
#include "selection/criteria.h"
#include "selection/model.h"

namespace kelvara {

// The per-type test of the element's type; types without a constraint test pass.
bool typeConstraintsPass(const MSElementDescr& el, const SelectionSet& set,
                         const WorkingUnits& units);

// The fill label test: the any label passes, the filled label requires a filled element,
// any other label an unfilled one.
bool fillLabelHolds(std::string_view label, bool filled);

// True when `name` equals one of the comma-separated names of `member` (blanks around a name
// are not part of it).
bool justificationListed(std::string_view member, std::string_view name);

}  // namespace kelvara
