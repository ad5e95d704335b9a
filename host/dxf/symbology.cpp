// Symbology: layers to level codes, colours, lineweights to weights 0-23, linetypes to styles.
#include <strings.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <set>
#include <tuple>

#include "host/dxf/dxf.h"

namespace kelvara::dxf {
namespace {

std::string folded(std::string_view name) {
  std::string s(name);
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

constexpr uint32_t kFirstCode = 64;
constexpr uint32_t kCodeRange = 0x7FFFFFFFu - kFirstCode;  // codes stay below 2^31

uint32_t hashCode(const std::string& foldedName) {
  uint32_t h = 2166136261u;  // FNV-1a
  for (unsigned char c : foldedName) {
    h ^= c;
    h *= 16777619u;
  }
  return kFirstCode + h % kCodeRange;
}

// The legal 370 values, in weight order.
constexpr std::array<int, 24> kLineweights = {0,  5,   9,   13,  15,  18,  20,  25,
                                              30, 35,  40,  50,  53,  60,  70,  80,
                                              90, 100, 106, 120, 140, 158, 200, 211};

}  // namespace

uint32_t levelCode(std::string_view layerName) {
  if (layerName == "0") return 0;
  return hashCode(folded(layerName));
}

std::vector<uint32_t> levelCodes(const std::vector<Layer>& layers) {
  std::vector<size_t> order(layers.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::vector<std::string> names(layers.size());
  for (size_t i = 0; i < layers.size(); ++i) names[i] = folded(layers[i].name);
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return std::tie(names[a], layers[a].name) < std::tie(names[b], layers[b].name);
  });
  std::vector<uint32_t> codes(layers.size());
  std::set<uint32_t> used;
  for (size_t i : order) {
    uint32_t c = levelCode(layers[i].name);
    while (c != 0 && used.count(c)) c = c + 1 >= kFirstCode + kCodeRange ? kFirstCode : c + 1;
    used.insert(c);
    codes[i] = c;
  }
  return codes;
}

int weightOf(int lineweight) {
  int best = 0;
  for (int w = 1; w < 24; ++w)
    if (std::abs(kLineweights[w] - lineweight) < std::abs(kLineweights[best] - lineweight))
      best = w;
  return best;
}

int lineweightOf(int weight) {
  return kLineweights[size_t(std::clamp(weight, 0, int(kLineweights.size()) - 1))];
}

Symbology symbology(const Entity& e, int defaultLineweight) {
  Symbology s;
  if (e.colour == 0) {
    s.colourBy = By::Cell;
  } else if (e.colour > 0 && e.colour < 256) {
    s.colourBy = By::Value;
    s.colour = e.colour;
  }
  s.trueColour = e.trueColour;
  if (e.trueColour && s.colourBy == By::Level) s.colourBy = By::Value;
  s.lineweight = e.lineweight == -3 ? defaultLineweight : e.lineweight;
  if (s.lineweight == -2) {
    s.weightBy = By::Cell;
  } else if (s.lineweight >= 0) {
    s.weightBy = By::Value;
    s.weight = weightOf(s.lineweight);
  }
  if (strcasecmp(e.linetype.c_str(), "BYBLOCK") == 0) {
    s.styleBy = By::Cell;
  } else if (strcasecmp(e.linetype.c_str(), "BYLAYER") != 0) {
    s.styleBy = By::Value;
    if (strcasecmp(e.linetype.c_str(), "CONTINUOUS") != 0) s.style = e.linetype;
  }
  return s;
}

}  // namespace kelvara::dxf
