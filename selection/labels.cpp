// Label texts of the constraint rows and the justification names.
#include "selection/labels.h"

namespace kelvara {

const std::array<std::string_view, OP_COUNT>& operatorLabels() {
  static constexpr std::array<std::string_view, OP_COUNT> kLabels = {
      "= ", "< ", "<= ", ">= ", "> ", "!= "};
  return kLabels;
}

int operatorIndex(std::string_view label) {
  const auto& labels = operatorLabels();
  for (int i = 0; i < OP_COUNT; ++i) {
    if (labels[i] == label) return i;
  }
  return -1;
}

const std::array<std::string_view, 3>& fillLabels() {
  static constexpr std::array<std::string_view, 3> kLabels = {"Any", "Filled", "Not filled"};
  return kLabels;
}

const std::array<std::string_view, 3>& displayLabels() {
  static constexpr std::array<std::string_view, 3> kLabels = {"Any", "Disjoint", "Continuous"};
  return kLabels;
}

const std::array<std::string_view, 3>& cellKindLabels() {
  static constexpr std::array<std::string_view, 3> kLabels = {"Any", "Graphic cell", "Point cell"};
  return kLabels;
}

const std::array<std::string_view, 2>& openClosedLabels() {
  static constexpr std::array<std::string_view, 2> kLabels = {"Closed", "Open"};
  return kLabels;
}

// Host justification values: 0-2 left top/centre/bottom, 3-5 left margin, 6-8 centre,
// 9-11 right margin, 12-14 right.
const std::array<JustificationName, 9>& textJustifications() {
  static constexpr std::array<JustificationName, 9> kNames = {{{"LT", 0},
                                                               {"LC", 1},
                                                               {"LB", 2},
                                                               {"CT", 6},
                                                               {"CC", 7},
                                                               {"CB", 8},
                                                               {"RT", 12},
                                                               {"RC", 13},
                                                               {"RB", 14}}};
  return kNames;
}

const std::array<JustificationName, 15>& textNodeJustifications() {
  static constexpr std::array<JustificationName, 15> kNames = {{{"LT", 0},
                                                                {"LC", 1},
                                                                {"LB", 2},
                                                                {"LMT", 3},
                                                                {"LMC", 4},
                                                                {"LMB", 5},
                                                                {"CT", 6},
                                                                {"CC", 7},
                                                                {"CB", 8},
                                                                {"RMT", 9},
                                                                {"RMC", 10},
                                                                {"RMB", 11},
                                                                {"RT", 12},
                                                                {"RC", 13},
                                                                {"RB", 14}}};
  return kNames;
}

}  // namespace kelvara
