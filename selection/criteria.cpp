// Single selection tests: numeric constraints, integer lists, patterns, box, class, properties
// and linkages.
#include "selection/criteria.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <optional>
#include <regex>
#include <vector>

#include "selection/labels.h"
#include "valuelist/wildcard.h"

namespace kelvara {

namespace {

// The number at the start of text as the C library's atof reads it (0 when there is none).
double readNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (i < text.size() && text[i] == '+') ++i;
  double v = 0;
  const auto r = std::from_chars(text.data() + i, text.data() + text.size(), v);
  return r.ec == std::errc() ? v : 0.0;
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

struct Comparer {
  double tolerance = 0;  // 0: exact
  bool equal(double v, double t) const {
    return tolerance > 0 ? std::fabs(v - t) < tolerance : v == t;
  }
  bool less(double v, double t) const { return !equal(v, t) && v < t; }
  bool greater(double v, double t) const { return !equal(v, t) && v > t; }
};

}  // namespace

bool constraintHolds(double value, std::string_view text, bool isDistance,
                     const WorkingUnits& units, bool scaleTolerance) {
  if (text.empty()) return true;
  const size_t blank = text.find(' ');
  if (blank == std::string_view::npos) return true;
  const int op = operatorIndex(text.substr(0, blank + 1));
  if (op < 0) return false;
  const double scale = isDistance ? units.uorPerMaster : 1.0;
  Comparer c;
  if (isDistance) c.tolerance = DISTANCE_TOLERANCE;
  if (scaleTolerance) c.tolerance = SCALE_TOLERANCE;
  const std::string_view rest = text.substr(blank + 1);
  const size_t colon = rest.find(':');
  if (colon == std::string_view::npos) {
    const double t = readNumber(rest) * scale;
    switch (op) {
      case OP_EQ:
        return c.equal(value, t);
      case OP_LT:
        return c.less(value, t);
      case OP_LE:
        return !c.greater(value, t);
      case OP_GE:
        return !c.less(value, t);
      case OP_GT:
        return c.greater(value, t);
      default:
        return !c.equal(value, t);
    }
  }
  const double low = readNumber(rest.substr(0, colon)) * scale;
  const double high = readNumber(rest.substr(colon + 1)) * scale;
  const bool inside = !c.less(value, low) && !c.greater(value, high);
  switch (op) {
    case OP_EQ:
      return inside;
    case OP_NE:
      return !inside;
    case OP_LT:
      return c.less(value, low);
    case OP_LE:
      return !c.greater(value, low);
    case OP_GE:
      return !c.less(value, high);
    default:
      return c.greater(value, high);
  }
}

int inList(std::string_view text, int64_t n) {
  for (char c : text) {
    if (!isDigit(c) && c != ' ' && c != ',' && c != '-' && c != ':') return ERROR;
  }
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ' || text[i] == ',') {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < text.size() && text[end] != ' ' && text[end] != ',') ++end;
    const std::string_view token = text.substr(i, end - i);
    i = end;
    if (!isDigit(token[0])) return ERROR;
    auto number = [](std::string_view digits) {
      int64_t v = 0;
      for (char c : digits) {
        if (!isDigit(c)) break;
        v = std::min<int64_t>(v * 10 + (c - '0'), INT64_MAX / 16);
      }
      return v;
    };
    const size_t mark = token.find_first_of("-:");
    const int64_t a = number(token.substr(0, mark));
    const int64_t b = mark == std::string_view::npos ? a : number(token.substr(mark + 1));
    if (n >= std::min(a, b) && n <= std::max(a, b)) return 1;
  }
  return 0;
}

int checkIntegerList(std::string* text, int64_t lower, int64_t upper, std::string* error) {
  std::string rewritten;
  bool quoted = false;
  for (char c : *text) {
    if (c == '"') quoted = !quoted;
    if (c == ' ' || c == '\t') continue;
    if (c == ':' && !quoted) c = '-';
    if (c == ',' && (rewritten.empty() || rewritten.back() == ',')) {
      if (rewritten.empty()) continue;
      continue;
    }
    rewritten.push_back(c);
  }
  while (!rewritten.empty() && rewritten.back() == ',') rewritten.pop_back();
  *text = rewritten;
  if (rewritten.empty()) return SUCCESS;
  auto fail = [error](std::string message) {
    if (error) *error = std::move(message);
    return ERROR;
  };
  for (char c : rewritten) {
    if (!isDigit(c) && c != ',' && c != '-') {
      return fail(std::string("The character '") + c + "' is not allowed in a number list.");
    }
  }
  size_t start = 0;
  while (start <= rewritten.size()) {
    size_t comma = rewritten.find(',', start);
    if (comma == std::string::npos) comma = rewritten.size();
    const std::string item = rewritten.substr(start, comma - start);
    start = comma + 1;
    const size_t dash = item.find('-', 1);
    const std::string parts[2] = {item.substr(0, dash),
                                  dash == std::string::npos ? "" : item.substr(dash + 1)};
    for (int k = 0; k < (dash == std::string::npos ? 1 : 2); ++k) {
      const std::string& p = parts[k];
      int64_t v = 0;
      const auto r = std::from_chars(p.data(), p.data() + p.size(), v);
      if (p.empty() || r.ec != std::errc() || r.ptr != p.data() + p.size() ||
          std::to_string(v) != p) {
        return fail("\"" + item + "\" is not a whole number or a range of whole numbers.");
      }
      if (v < lower || v > upper) {
        return fail("The number " + p + " must be within the range of " + std::to_string(lower) +
                    " to " + std::to_string(upper) + ".");
      }
    }
    if (comma == rewritten.size()) break;
  }
  return SUCCESS;
}

// ---- Patterns ------------------------------------------------------------------------------

namespace {
std::map<std::string, std::optional<std::regex>, std::less<>>& patternCache() {
  static std::map<std::string, std::optional<std::regex>, std::less<>> cache;
  return cache;
}
constexpr size_t kMaxCachedPatterns = 1024;
}  // namespace

bool wildcardNameMatch(std::string_view text, std::string_view pattern) {
  return b_wild(pattern, text, 1) != 0;
}

bool regexNameMatch(std::string_view text, std::string_view pattern) {
  auto& cache = patternCache();
  auto it = cache.find(pattern);
  if (it == cache.end()) {
    if (cache.size() >= kMaxCachedPatterns) cache.clear();
    it = cache.emplace(std::string(pattern), compileRegexPattern(pattern)).first;
  }
  return it->second && regexMatchesWhole(*it->second, text);
}

bool nameMatches(std::string_view text, std::string_view pattern, std::string_view format) {
  return format == FORMAT_REGEX ? regexNameMatch(text, pattern) : wildcardNameMatch(text, pattern);
}

void clearPatternCache() {
  patternCache().clear();
}

// ---- Box, class, properties ----------------------------------------------------------------

bool readSixNumbers(std::string_view text, double out[6]) {
  int count = 0;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ',' || text[i] == ' ' || text[i] == '\t') {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < text.size() && text[end] != ',' && text[end] != ' ' && text[end] != '\t') ++end;
    std::string_view token = text.substr(i, end - i);
    i = end;
    if (token.front() == '+') token.remove_prefix(1);
    double v = 0;
    const auto r = std::from_chars(token.data(), token.data() + token.size(), v);
    if (token.empty() || r.ec != std::errc() || r.ptr != token.data() + token.size()) return false;
    if (count == 6) return false;
    out[count++] = v;
  }
  return count == 6;
}

bool insideBox(const DRange3d& range, const double box[6], const WorkingUnits& units, bool is3d) {
  const double origin[3] = {units.globalOrigin.x, units.globalOrigin.y, units.globalOrigin.z};
  double low[3], high[3];
  for (int k = 0; k < 3; ++k) {
    const double a = box[k] * units.uorPerMaster + origin[k];
    const double b = box[k + 3] * units.uorPerMaster + origin[k];
    low[k] = std::min(a, b);
    high[k] = std::max(a, b);
  }
  const double lows[3] = {double(range.xLow), double(range.yLow), double(range.zLow)};
  const double highs[3] = {double(range.xHigh), double(range.yHigh), double(range.zHigh)};
  for (int k = 0; k < (is3d ? 3 : 2); ++k) {
    if (lows[k] < low[k] || highs[k] > high[k]) return false;
  }
  return true;
}

bool classAdmitted(uint32_t classes, dgn::Bytes element) {
  if (classes == 0) return true;
  const int n = dgn::decodeHeader(element).properties & dgn::PROP_CLASS_MASK;
  return (classes >> n) & 1u;
}

bool propertiesAdmitted(uint32_t properties, dgn::Bytes element) {
  if (properties == 0) return true;
  const uint16_t flags = dgn::decodeHeader(element).properties;
  const bool hasAttributes = dgn::linkageStart(element) != element.size();
  for (int k = 0; k < 8; ++k) {
    const bool first = (properties >> (2 * k)) & 1u;
    const bool second = (properties >> (2 * k + 1)) & 1u;
    if (first == second) continue;
    bool state = false;  // true: the element is in the pair's first state
    switch (k) {
      case 0:
        state = (flags & dgn::PROP_LOCKED) != 0;
        break;
      case 1:
        state = (flags & 0x0200) != 0;
        break;
      case 2:
        state = (flags & 0x0400) != 0;
        break;
      case 3:
        state = hasAttributes;
        break;
      case 4:
        state = (flags & 0x1000) != 0;
        break;
      case 5:
        state = (flags & 0x2000) == 0;
        break;
      case 6:
        state = (flags & 0x4000) == 0;
        break;
      default:
        state = (flags & 0x8000) == 0;
        break;
    }
    if (state != first) return false;
  }
  return true;
}

// ---- Linkages ------------------------------------------------------------------------------

namespace {

constexpr uint16_t kDatabaseMarker = 3969;  // third word of a user database linkage
// Identifiers chosen by toggle bits 0-3. Bits 2 and 3 also take the identifiers that Informix
// and RIS linkages carry in files (0x3848, 0x71FB).
bool identifierChosen(uint32_t toggles, uint16_t id) {
  return ((toggles & 1) && id == 24721) || ((toggles & 2) && id == 6513) ||
         ((toggles & 4) && (id == 14664 || id == dgn::LINKAGE_ID_INFORMIX)) ||
         ((toggles & 8) && (id == 29171 || id == dgn::LINKAGE_ID_RIS));
}

struct Link {
  std::vector<uint16_t> words;
  uint16_t word(size_t i) const { return i < words.size() ? words[i] : 0; }
  uint16_t h() const { return word(0); }
  bool user() const { return (h() & dgn::LINKAGE_USER_BIT) != 0; }
};

std::vector<Link> walkLinkages(dgn::Bytes e) {
  std::vector<Link> out;
  size_t pos = dgn::linkageStart(e);
  while (pos + 2 <= e.size()) {
    const uint16_t h = dgn::readU16(e.data() + pos);
    const size_t words = (h & dgn::LINKAGE_USER_BIT) ? (h & 255u) + 1 : 4;
    if (pos + 2 * words > e.size()) break;
    Link l;
    for (size_t i = 0; i < words; ++i) l.words.push_back(dgn::readU16(e.data() + pos + 2 * i));
    out.push_back(std::move(l));
    pos += 2 * words;
  }
  return out;
}

bool listHolds(const std::string& text, int64_t n) {
  return text.empty() || inList(text, n) == 1;
}

bool headerBits(uint16_t h, uint32_t toggles, int firstBit) {
  if (((toggles >> firstBit) & 1) && h < 0x8000) return false;
  if (((toggles >> (firstBit + 1)) & 1) && !(h & 0x4000)) return false;
  if (((toggles >> (firstBit + 2)) & 1) && !(h & 0x2000)) return false;
  return true;
}

bool groupAEmpty(const DatabaseCriteria& d) {
  return (d.toggles & 0xFF) == 0 && d.linkageClass.empty() && d.linkageWords.empty() &&
         d.linkageWord3.empty() && d.linkageKey.empty();
}
bool groupBEmpty(const DatabaseCriteria& d) {
  return (d.toggles & 0xF00) == 0 && d.dmrsClass.empty() && d.dmrsEntity.empty() &&
         d.dmrsWord1.empty() && d.dmrsKey.empty();
}
bool userGroupEmpty(const UserDataCriteria& u) {
  if (u.toggles & 0xF) return false;
  return std::all_of(u.texts.begin(), u.texts.end(),
                     [](const std::string& t) { return t.empty(); });
}

bool groupAAdmits(const DatabaseCriteria& d, const Link& l) {
  if (!l.user() || l.word(2) != kDatabaseMarker) return false;
  if ((d.toggles & 0xF) && !identifierChosen(d.toggles, l.word(1))) return false;
  const uint16_t h = l.h();
  if (!headerBits(h, d.toggles, 4)) return false;
  if ((d.toggles & 0x80) && !(h & 0x1000)) return false;
  const int64_t key = l.word(4) | (int64_t(l.word(5)) << 16);
  return listHolds(d.linkageClass, (h >> 8) & 15) && listHolds(d.linkageWords, h & 255) &&
         listHolds(d.linkageWord3, l.word(3)) && listHolds(d.linkageKey, key);
}

bool groupBAdmits(const DatabaseCriteria& d, const Link& l) {
  if (l.user() || (d.toggles & 0x800)) return false;
  if (l.word(0) == 0 && l.word(1) == 0 && l.word(2) == 0 && l.word(3) == 0) return false;
  const uint16_t h = l.h();
  if (!headerBits(h, d.toggles, 8)) return false;
  const int64_t key = (l.word(2) | (int64_t(l.word(3)) << 16)) & 0xFFFFFF;
  return listHolds(d.dmrsClass, (h >> 8) & 15) && listHolds(d.dmrsEntity, h & 255) &&
         listHolds(d.dmrsWord1, l.word(1)) && listHolds(d.dmrsKey, key);
}

bool userGroupAdmits(const UserDataCriteria& u, const Link& l) {
  if (!l.user()) return false;
  const uint16_t h = l.h();
  if ((h & 0xE000) == 0 && (h & 255) == 7 && l.word(1) == 65) return false;  // shape fill
  if ((h & 255) == 7 && l.word(1) == kDatabaseMarker) return false;
  if (!headerBits(h, u.toggles, 0)) return false;
  if ((u.toggles & 8) && !(h & 0x1000)) return false;
  if (!listHolds(u.texts[0], (h >> 8) & 15) || !listHolds(u.texts[1], h & 255) ||
      !listHolds(u.texts[2], l.word(1))) {
    return false;
  }
  for (size_t i = 3; i < 12; ++i) {
    if (!listHolds(u.texts[i], l.word(i - 1))) return false;
  }
  return true;
}

}  // namespace

bool linkageCriteriaEmpty(const SelectionSet& set) {
  return groupAEmpty(set.database) && groupBEmpty(set.database) && userGroupEmpty(set.userData);
}

bool linkagesAdmitted(const SelectionSet& set, dgn::Bytes element) {
  if (dgn::linkageStart(element) == element.size()) return false;
  const bool useA = !groupAEmpty(set.database);
  const bool useB = !groupBEmpty(set.database);
  const bool useUser = !userGroupEmpty(set.userData);
  for (const Link& l : walkLinkages(element)) {
    if (useA && groupAAdmits(set.database, l)) return true;
    if (useB && groupBAdmits(set.database, l)) return true;
    if (useUser && userGroupAdmits(set.userData, l)) return true;
  }
  return false;
}

}  // namespace kelvara
