// The single tests that selection criteria are made of: numeric constraints, integer lists,
// name patterns, the coordinate box, classes, property flags and attribute linkages.
//
// These are pure functions of their arguments (the element's bytes, the criterion's text,
// the model's units); admitted() and passes() in selection/admit.h combine them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/dgn/codec.h"
#include "host/types.h"
#include "selection/model.h"

namespace kelvara {

// How a distance typed in working units becomes units of resolution.
struct WorkingUnits {
  double uorPerMaster = 1.0;
  DPoint3d globalOrigin;  // UOR of the design's origin (coordinates in master units start here)
};

// Differences below these count as equal.
inline constexpr double DISTANCE_TOLERANCE = 1.0;  // UOR
inline constexpr double SCALE_TOLERANCE = 0.00004;

// Numeric constraint: an operator label followed by a value or a LOW:HIGH range. An empty text
// or one without a blank passes; an unknown operator fails. With isDistance the values are in
// working units and compare with DISTANCE_TOLERANCE; scaleTolerance (cell scales) uses
// SCALE_TOLERANCE. LOW and HIGH are taken as written.
bool constraintHolds(double value, std::string_view text, bool isDistance,
                     const WorkingUnits& units, bool scaleTolerance = false);

// Integer list test: 1 when n is one of the numbers or inside one of the ranges (A-B or A:B,
// either order) of text, 0 when not, ERROR (32768) for a syntax failure. Commas count as
// blanks; only digits, blanks, '-' and ':' may appear; every token starts with a digit.
int inList(std::string_view text, int64_t n);

// Dialog check of an integer list with bounds. Rewrites *text (blanks removed, ':' outside
// double quotes made '-', runs of commas made one) and checks it: only digits, commas and '-',
// whole numbers or ranges A-B, every number within [lower, upper]. SUCCESS, or ERROR with the
// reason in *error. An empty text passes.
[[nodiscard]] int checkIntegerList(std::string* text, int64_t lower, int64_t upper,
                                   std::string* error);

// Name matching of the "Wildcard" (`*` and `?`, ASCII case ignored) and "Regex" formats
// (ECMAScript, whole text, case as written). Regular expressions are compiled once and kept.
bool wildcardNameMatch(std::string_view text, std::string_view pattern);
bool regexNameMatch(std::string_view text, std::string_view pattern);
// Matches by the format member: "Regex" selects the regular expression, anything else the
// wildcard.
bool nameMatches(std::string_view text, std::string_view pattern, std::string_view format);
// Forgets the compiled regular expressions.
void clearPatternCache();

// Reads six numbers separated by commas or blanks; false for any other count or a token that
// is not a number.
bool readSixNumbers(std::string_view text, double out[6]);
inline constexpr std::string_view SEL_MSG_SIX_NUMBERS = "Enter six numbers.";

// The coordinate box test: the element's range lies inside the box from (X1,Y1,Z1) to
// (X2,Y2,Z2) in master units, bounds included, in X and Y and, when is3d, in Z.
bool insideBox(const DRange3d& range, const double box[6], const WorkingUnits& units, bool is3d);

// Class test (classes 0 admits every class) and property test of an element's header.
bool classAdmitted(uint32_t classes, dgn::Bytes element);
bool propertiesAdmitted(uint32_t properties, dgn::Bytes element);

// Linkage groups: true when the set has no linkage criteria at all.
bool linkageCriteriaEmpty(const SelectionSet& set);
// The linkage test: database group A, database group B or the user data group admits one of
// the element's linkages. An element without attribute data fails.
bool linkagesAdmitted(const SelectionSet& set, dgn::Bytes element);

}  // namespace kelvara
