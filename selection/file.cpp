// Selection file reading and writing.
#include "selection/file.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <fstream>
#include <iterator>
#include <new>
#include <optional>
#include <utility>

#include "host/files.h"
#include "host/types.h"
#include "host/ui.h"
#include "selection/labels.h"

namespace kelvara {

namespace {

constexpr std::string_view kSetHeader = "[[Name=";
constexpr std::string_view kEmptyMember = "[]";
// Most members a list takes from a size line when the file ends before its member lines.
constexpr long kMaxPaddedMembers = 65536;

bool startsWith(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && s.substr(0, prefix.size()) == prefix;
}

bool readWholeFile(const std::string& path, std::string* content) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  content->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// Lines of a file's content as the reader sees them: each read takes at most buffer - 1
// bytes (the rest of a longer line comes as the next line); one trailing line feed is
// stripped, and a carriage return before it, so files saved with Windows line ends read the
// same; a scrambled file's text is unshifted.
struct LineReader {
  std::string_view data;
  size_t pos = 0;
  bool scrambled = false;
  int line = 0;             // the file line (1-based) that the last read came from
  bool atLineStart = true;  // the next read starts a file line

  // The file line the next read comes from.
  int nextLine() const { return atLineStart ? line + 1 : line; }

  // Reads the next line; past the end it gives none, and counts the line that was missing.
  std::optional<std::string> next(size_t buffer = SEL_LINE_BUFFER) {
    line = nextLine();
    if (pos >= data.size()) {
      atLineStart = true;
      return std::nullopt;
    }
    const size_t limit = std::min(data.size(), pos + buffer - 1);
    size_t end = pos;
    while (end < limit && data[end] != '\n') ++end;
    const bool hasFeed = end < data.size() && end < limit && data[end] == '\n';
    atLineStart = hasFeed;
    std::string text(data.substr(pos, end - pos));
    pos = hasFeed ? end + 1 : end;
    if (hasFeed && !text.empty() && text.back() == '\r') text.pop_back();
    if (scrambled) {
      // A byte that unshifts to a line end cannot belong to the line (written out again it
      // would split it): it reads as a blank.
      for (char& c : text) {
        c = static_cast<char>(static_cast<uint8_t>(c) - SCRAMBLE_SHIFT);
        if (c == '\n' || c == '\r') c = ' ';
      }
    }
    return text;
  }
};

// The value of a decimal text as the C library's atol reads it, held to the int range.
long long parseDecimal(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = std::min<long long>(value * 10 + (text[i] - '0'), 1LL << 32);
  }
  return negative ? -value : value;
}

int toInt(long long v) {
  return static_cast<int>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

// A signed decimal as written for the 32-bit masks; unsigned values above INT_MAX read back.
uint32_t toMask(long long v) {
  return static_cast<uint32_t>(static_cast<int64_t>(v));
}

// Reads "key" + number; false (the line consumed) when the file ends or the key is missing.
bool readKeyed(LineReader& r, std::string_view key, long long* value) {
  auto line = r.next();
  if (!line || !startsWith(*line, key)) return false;
  *value = parseDecimal(std::string_view(*line).substr(key.size()));
  return true;
}

std::string cutTo(std::string text, size_t capacity) {
  if (text.size() > capacity - 1) text.resize(capacity - 1);
  return text;
}

// ---- Sections ------------------------------------------------------------------------------

enum class Body {
  List,       // type toggle + constraint list
  Toggle,     // type toggle only
  Dimension,  // two lists with their flags, then the dimension toggle
  Text,       // one line of text
  Number,     // one decimal line
  Database,
  UserData,
  LevelList,
};

struct Section {
  std::string_view tag;
  Body body;
  int elementType = 0;                          // List, Toggle
  ConstraintKind list = CONSTRAINT_LIST_COUNT;  // List
  std::string SelectionSet::*text = nullptr;    // Text
  size_t capacity = SEL_TEXT_CAPACITY;          // Text
  int number = 0;                               // Number: which field (below)
};

enum NumberField { LEVELS_MODE, CELL_LEVEL_FLAG, PROPERTIES, CLASSES };

// Every section in the order it is written.
const std::array<Section, 35>& sections() {
  static const std::array<Section, 35> kSections = {{
      {"[Arc]", Body::List, 16, ARC_LIST},
      {"[BSpline curve]", Body::List, 27, BSPLINE_CURVE_LIST},
      {"[BSpline surface]", Body::Toggle, 24},
      {"[Cell]", Body::List, 2, CELL_LIST},
      {"[Complex shape]", Body::List, 14, COMPLEX_SHAPE_LIST},
      {"[Complex string]", Body::List, 12, COMPLEX_STRING_LIST},
      {"[Cone]", Body::List, 23, CONE_LIST},
      {"[Curve]", Body::List, 11, CURVE_LIST},
      {"[Dimension]", Body::Dimension, 33},
      {"[Ellipse]", Body::List, 15, ELLIPSE_LIST},
      {"[Line]", Body::List, 3, LINE_LIST},
      {"[Linestring]", Body::List, 4, LINE_STRING_LIST},
      {"[Multiline]", Body::List, 36, MULTILINE_LIST},
      {"[Pointstring]", Body::List, 22, POINT_STRING_LIST},
      {"[Raster]", Body::Toggle, 87},
      {"[Solid]", Body::Toggle, 19},
      {"[Surface]", Body::Toggle, 18},
      {"[Shape]", Body::List, 6, SHAPE_LIST},
      {"[Shared cell]", Body::List, 35, SHARED_CELL_LIST},
      {"[Tag]", Body::List, 37, TAG_LIST},
      {"[Text]", Body::List, 17, TEXT_LIST},
      {"[Textnode]", Body::List, 7, TEXT_NODE_LIST},
      {"[Color]", Body::Text, 0, CONSTRAINT_LIST_COUNT, &SelectionSet::colors},
      {"[Weight]", Body::Text, 0, CONSTRAINT_LIST_COUNT, &SelectionSet::weights},
      {"[Style]", Body::Text, 0, CONSTRAINT_LIST_COUNT, &SelectionSet::styles},
      {"[Level]", Body::Text, 0, CONSTRAINT_LIST_COUNT, &SelectionSet::levels, SEL_LEVELS_CAPACITY},
      {"[Levels mode]", Body::Number, 0, CONSTRAINT_LIST_COUNT, nullptr, 0, LEVELS_MODE},
      {"[CellElesMustBeOnSeldLevel]", Body::Number, 0, CONSTRAINT_LIST_COUNT, nullptr, 0,
       CELL_LEVEL_FLAG},
      {"[Graphic group]", Body::Text, 0, CONSTRAINT_LIST_COUNT, &SelectionSet::graphicGroups},
      {"[Coordinate range]", Body::Text, 0, CONSTRAINT_LIST_COUNT, &SelectionSet::coordinateRange},
      {"[Database]", Body::Database},
      {"[User data]", Body::UserData},
      {"[Properties]", Body::Number, 0, CONSTRAINT_LIST_COUNT, nullptr, 0, PROPERTIES},
      {"[Class]", Body::Number, 0, CONSTRAINT_LIST_COUNT, nullptr, 0, CLASSES},
      {"[LevelList]", Body::LevelList},
  }};
  return kSections;
}

const Section* findSection(std::string_view line) {
  for (const Section& s : sections()) {
    if (s.tag == line) return &s;
  }
  return nullptr;
}

std::array<std::string*, 8> databaseTexts(DatabaseCriteria& d) {
  return {&d.linkageClass, &d.linkageWords, &d.linkageWord3, &d.linkageKey,
          &d.dmrsClass,    &d.dmrsEntity,   &d.dmrsWord1,    &d.dmrsKey};
}

// Rebuilds a list of rows of oldWidth members as rows of newWidth: each old row is copied to
// column `at` onwards, `fill` goes into the columns before `at` and `tail` after the old ones,
// the rest stays empty. A last, incomplete row counts as a whole one.
void widenRows(ConstraintList& list, int oldWidth, int newWidth, int at, std::string_view fill,
               std::string_view tail) {
  if (!list || list->empty()) return;
  const size_t rows = (list->size() + oldWidth - 1) / oldWidth;
  std::vector<std::string> widened(rows * newWidth);
  for (size_t r = 0; r < rows; ++r) {
    for (int i = 0; i < at; ++i) widened[r * newWidth + i] = fill;
    for (int i = 0; i < oldWidth && r * oldWidth + i < list->size(); ++i) {
      widened[r * newWidth + at + i] = std::move((*list)[r * oldWidth + i]);
    }
    if (at + oldWidth < newWidth) widened[r * newWidth + at + oldWidth] = tail;
  }
  *list = std::move(widened);
}

// Reads Selected, More and Size of a list or toggle body. False when the section ended early.
bool readFlags(LineReader& r, int* selected, int* more, long long* size) {
  long long v = 0;
  if (!readKeyed(r, "Selected=", &v)) return false;
  *selected = toInt(v);
  if (!readKeyed(r, "More=", &v)) return false;
  *more = toInt(v);
  return readKeyed(r, "Size=", size);
}

bool readMembers(LineReader& r, long long size, ConstraintList& list) {
  list.reset();
  if (size <= 0) return true;
  list.emplace();
  for (long long i = 0; i < size; ++i) {
    auto line = r.next();
    if (!line) {
      // The file ended early: the remaining members stay empty.
      if (size <= kMaxPaddedMembers) list->resize(static_cast<size_t>(size));
      return false;
    }
    list->push_back(*line == kEmptyMember ? std::string() : std::move(*line));
  }
  return true;
}

void readListBody(LineReader& r, int* selected, int* more, ConstraintList& list) {
  long long size = 0;
  if (!readFlags(r, selected, more, &size)) return;
  (void)readMembers(r, size, list);
}

struct ParseContext {
  LineReader& reader;
  const SelectionFileKind& kind;
};

// Returns false when the set ends here (end of file in the numeric sections that end a set).
bool readSection(ParseContext& ctx, const Section& s, SelectionSet& set) {
  LineReader& r = ctx.reader;
  switch (s.body) {
    case Body::List: {
      TypeToggle* t = toggleOf(set, s.elementType);
      if (!t) return true;
      ConstraintList& list = set.lists[s.list];
      readListBody(r, &t->selected, &t->more, list);
      if (ctx.kind.scrambled && s.list == CELL_LIST) {
        widenRows(list, 2, rowWidth(CELL_LIST), 0, "", FORMAT_WILDCARD);
      } else if (ctx.kind.scrambled && s.list == SHARED_CELL_LIST) {
        widenRows(list, 1, rowWidth(SHARED_CELL_LIST), 0, "", FORMAT_WILDCARD);
      } else if (ctx.kind.oldLayout && s.list == TEXT_LIST) {
        widenRows(list, 6, 7, 1, "", "");
      } else if (ctx.kind.oldLayout && s.list == TEXT_NODE_LIST) {
        widenRows(list, 9, 10, 1, "", "");
      }
      return true;
    }
    case Body::Toggle: {
      TypeToggle* t = toggleOf(set, s.elementType);
      long long size = 0;
      if (t) (void)readFlags(r, &t->selected, &t->more, &size);
      return true;
    }
    case Body::Dimension: {
      long long size = 0;
      readListBody(r, &set.dimensionTypesSelected, &set.dimensionTypesMore,
                   set.lists[DIMENSION_TYPE_LIST]);
      readListBody(r, &set.dimensionTextSelected, &set.dimensionTextMore,
                   set.lists[DIMENSION_TEXT_LIST]);
      TypeToggle* t = toggleOf(set, 33);
      (void)readFlags(r, &t->selected, &t->more, &size);
      return true;
    }
    case Body::Text: {
      // Each line is read with room for the whole field, so a long level list survives.
      auto line = r.next(std::max(SEL_LINE_BUFFER, s.capacity + 2));
      if (line) set.*(s.text) = *line == kEmptyMember ? std::string() : cutTo(*line, s.capacity);
      return true;
    }
    case Body::Number: {
      auto line = r.next();
      if (!line) return !(s.number == LEVELS_MODE || s.number == CELL_LEVEL_FLAG);
      const long long v = parseDecimal(*line);
      switch (s.number) {
        case LEVELS_MODE:
          set.levelsMode = toInt(v);
          break;
        case CELL_LEVEL_FLAG:
          set.cellElesMustBeOnSeldLevel = v != 0 ? 1 : 0;
          break;
        case PROPERTIES:
          set.properties = toMask(v);
          break;
        default:
          set.classes = toMask(v);
          break;
      }
      return true;
    }
    case Body::Database:
    case Body::UserData: {
      long long v = 0;
      if (!readKeyed(r, "Toggles=", &v)) return true;
      std::vector<std::string*> texts;
      if (s.body == Body::Database) {
        set.database.toggles = toMask(v);
        for (std::string* t : databaseTexts(set.database)) texts.push_back(t);
      } else {
        set.userData.toggles = toMask(v);
        for (std::string& t : set.userData.texts) texts.push_back(&t);
      }
      for (std::string* t : texts) {
        auto line = r.next();
        if (!line) return true;
        *t = *line == kEmptyMember ? std::string() : cutTo(*line, SEL_TEXT_CAPACITY);
      }
      return true;
    }
    case Body::LevelList: {
      long long n = 0;
      if (!readKeyed(r, "Size=", &n)) return true;
      for (long long i = 0; i < n; ++i) {
        auto line = r.next(SEL_LEVEL_LINE_BUFFER);
        if (!line) return true;
        if (*line == kEmptyMember) continue;
        if (!set.levelList) set.levelList.emplace();
        set.levelList->push_back(std::move(*line));
      }
      return true;
    }
  }
  return true;
}

void parseSet(ParseContext& ctx, SelectionSet& set) {
  LineReader& r = ctx.reader;
  while (true) {
    const size_t mark = r.pos;
    auto line = r.next();
    if (!line) return;
    if (startsWith(*line, kSetHeader)) {
      r.pos = mark;
      return;
    }
    if (const Section* s = findSection(*line)) {
      if (!readSection(ctx, *s, set)) return;
    }
  }
}

// The version of a version line: the text after its last blank, without the closing bracket.
std::optional<std::string> versionOf(const std::optional<std::string>& line) {
  if (!line) return std::nullopt;
  const size_t blank = line->rfind(' ');
  if (blank == std::string::npos) return std::nullopt;
  std::string v = line->substr(blank + 1);
  if (!v.empty() && v.back() == ']') v.pop_back();
  return v;
}

void appendLine(std::string& out, std::string_view text) {
  out.append(text);
  out.push_back('\n');
}

void appendMember(std::string& out, std::string_view text) {
  appendLine(out, text.empty() ? kEmptyMember : text);
}

void appendFlags(std::string& out, int selected, int more, size_t size) {
  appendLine(out, (selected & 1) ? "Selected=1" : "Selected=0");
  appendLine(out, (more & 1) ? "More=1" : "More=0");
  appendLine(out, "Size=" + std::to_string(size));
}

void appendList(std::string& out, int selected, int more, const ConstraintList& list) {
  appendFlags(out, selected, more, list ? list->size() : 0);
  if (list) {
    for (const std::string& m : *list) appendMember(out, m);
  }
}

void appendSet(std::string& out, const SelectionSet& set) {
  appendLine(out, std::string(kSetHeader) + set.name + "]]");
  for (const Section& s : sections()) {
    appendLine(out, s.tag);
    switch (s.body) {
      case Body::List: {
        const TypeToggle* t = toggleOf(set, s.elementType);
        appendList(out, t->selected, t->more, set.lists[s.list]);
        break;
      }
      case Body::Toggle:
        appendFlags(out, toggleOf(set, s.elementType)->selected, 0, 0);
        break;
      case Body::Dimension:
        appendList(out, set.dimensionTypesSelected, set.dimensionTypesMore,
                   set.lists[DIMENSION_TYPE_LIST]);
        appendList(out, set.dimensionTextSelected, set.dimensionTextMore,
                   set.lists[DIMENSION_TEXT_LIST]);
        appendFlags(out, toggleOf(set, 33)->selected, toggleOf(set, 33)->more, 0);
        break;
      case Body::Text:
        appendMember(out, set.*(s.text));
        break;
      case Body::Number: {
        long long v = 0;
        switch (s.number) {
          case LEVELS_MODE:
            v = set.levelsMode;
            break;
          case CELL_LEVEL_FLAG:
            v = set.cellElesMustBeOnSeldLevel;
            break;
          case PROPERTIES:
            v = static_cast<int32_t>(set.properties);
            break;
          default:
            v = static_cast<int32_t>(set.classes);
            break;
        }
        appendLine(out, std::to_string(v));
        break;
      }
      case Body::Database: {
        DatabaseCriteria d = set.database;
        appendLine(out, "Toggles=" + std::to_string(static_cast<int32_t>(d.toggles)));
        for (std::string* t : databaseTexts(d)) appendMember(out, *t);
        break;
      }
      case Body::UserData:
        appendLine(out, "Toggles=" + std::to_string(static_cast<int32_t>(set.userData.toggles)));
        for (const std::string& t : set.userData.texts) appendMember(out, t);
        break;
      case Body::LevelList: {
        const size_t n = set.levelList ? set.levelList->size() : 0;
        appendLine(out, "Size=" + std::to_string(n));
        if (set.levelList) {
          for (const std::string& m : *set.levelList) appendMember(out, m);
        }
        break;
      }
    }
  }
}

ParseError unreadableError(const std::string& path) {
  return ParseError{SEL_ERR_UNREADABLE, unreadableSelectionFileMessage(path), path, 0, false};
}

bool fileExists(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return static_cast<bool>(in);
}

}  // namespace

std::string unreadableSelectionFileMessage(std::string_view path) {
  return "Unable to open the selection file \"" + std::string(path) + "\".";
}

std::string unsuitableSelectionFileMessage(std::string_view path) {
  return "The file \"" + std::string(path) + "\" is not a selection file.";
}

std::string unwritableSelectionFileMessage(std::string_view path) {
  return "Unable to write the selection file \"" + std::string(path) + "\".";
}

int compareVersions(const std::string* a, const std::string* b) {
  if (!a || !b) return 0;
  return compareVersions(std::string_view(*a), std::string_view(*b));
}

int compareVersions(std::string_view a, std::string_view b) {
  if (a == b) return 0;
  auto fields = [](std::string_view v) {
    std::array<long long, 4> f{};
    for (size_t i = 0; i < 4 && !v.empty(); ++i) {
      const size_t colon = v.find(':');
      f[i] = parseDecimal(v.substr(0, colon));
      if (colon == std::string_view::npos) break;
      v.remove_prefix(colon + 1);
    }
    return f;
  };
  const auto fa = fields(a), fb = fields(b);
  for (size_t i = 0; i < 4; ++i) {
    if (fa[i] != fb[i]) return fa[i] > fb[i] ? 1 : -1;
  }
  return 0;
}

int checkSelectionText(std::string_view content, std::string_view path, SelectionFileKind* kind,
                       ParseError* error) {
  auto fail = [&](SelectionFileError code, std::string text, int line) {
    if (error)
      *error = ParseError{code, std::move(text), std::string(path), line,
                          code == SEL_ERR_INVALID_FORMAT};
    return ERROR;
  };
  SelectionFileKind found;
  LineReader r{content};
  auto first = r.next();
  if (!first || *first != SELECTION_FILE_HEADER) {
    LineReader again{content, 0, true};
    auto unshifted = again.next();
    if (!unshifted || *unshifted != SELECTION_FILE_HEADER) {
      return fail(SEL_ERR_UNSUITABLE, unsuitableSelectionFileMessage(path), 1);
    }
    found.scrambled = true;
    if (kind) *kind = found;
    return SUCCESS;
  }
  const int selectLine = r.nextLine();
  const auto select = versionOf(r.next());
  const int minorLine = r.nextLine();
  const auto minor = versionOf(r.next());
  const int majorLine = r.nextLine();
  const auto major = versionOf(r.next());
  if (!minor || !major) {
    return fail(SEL_ERR_INVALID_FORMAT, std::string(SEL_MSG_INVALID_FORMAT),
                minor ? majorLine : minorLine);
  }
  if (compareVersions(SELECTION_PROGRAM_VERSION, *minor) == -1) {
    return fail(SEL_ERR_NEXT_VERSION, std::string(SEL_MSG_NEXT_VERSION), minorLine);
  }
  if (compareVersions(SELECTION_PROGRAM_VERSION, *major) == 1) {
    if (!select) {
      return fail(SEL_ERR_INVALID_FORMAT, std::string(SEL_MSG_INVALID_FORMAT), selectLine);
    }
    if (compareVersions("2:0:1:1", *select) == 1) {
      return fail(SEL_ERR_OLD_VERSION, std::string(SEL_MSG_OLD_VERSION), selectLine);
    }
    found.oldLayout = compareVersions(SELECTION_MINOR_VERSION, *select) == 1;
  }
  if (kind) *kind = found;
  return SUCCESS;
}

int checkSelectionFile(const std::string& path, SelectionFileKind* kind, ParseError* error) {
  std::string content;
  if (!readWholeFile(path, &content)) {
    if (error) *error = unreadableError(path);
    return ERROR;
  }
  return checkSelectionText(content, path, kind, error);
}

void parseSelectionText(std::string_view content, const SelectionFileKind& kind,
                        SelectionSetList& list) {
  LineReader r{content, 0, kind.scrambled};
  (void)r.next();
  if (!kind.scrambled) {
    for (int i = 0; i < 3; ++i) (void)r.next();
  }
  ParseContext ctx{r, kind};
  while (auto line = r.next()) {
    if (!startsWith(*line, kSetHeader)) continue;
    std::string name = line->substr(kSetHeader.size());
    if (name.size() >= 2 && name.ends_with("]]")) name.resize(name.size() - 2);
    list.sets.push_back(emptySelectionSet(cutTo(std::move(name), SEL_NAME_CAPACITY)));
    parseSet(ctx, list.sets.back());
    if (content.size() > 0) {
      progressUpdate(static_cast<int>(100.0 * double(r.pos) / double(content.size())), "");
    }
  }
}

int readSelectionFile(const std::string& path, SelectionSetList& list, ParseError* error) {
  freeSets(list);
  std::string content;
  if (!readWholeFile(path, &content)) {
    if (error) *error = unreadableError(path);
    return ERROR;
  }
  SelectionFileKind kind;
  if (checkSelectionText(content, path, &kind, error) != SUCCESS) return ERROR;
  progressOpen("Reading selection sets");
  parseSelectionText(content, kind, list);
  progressClose();
  return SUCCESS;
}

std::string normalizeSelectionPath(std::string_view path) {
  auto isSpace = [](char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
  };
  std::string out;
  bool pendingBlank = false;
  for (char c : path) {
    if (isSpace(c)) {
      pendingBlank = !out.empty();
      continue;
    }
    if (pendingBlank) out.push_back(' ');
    pendingBlank = false;
    out.push_back(c);
  }
  const size_t slash = out.find_last_of('/');
  const size_t dot = out.find_last_of('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  if (!out.empty() && !hasExtension) out += "." + std::string(SELECTION_FILE_EXTENSION);
  return out;
}

int readRunList(std::string_view path, SelectionSetList& list, ParseError* error) {
  const std::string file = normalizeSelectionPath(path);
  freeSets(list);
  std::string content;
  if (file.empty() || !readWholeFile(file, &content)) {
    if (error) *error = unreadableError(file);
    return SEL_READ_UNREADABLE;
  }
  SelectionFileKind kind;
  if (checkSelectionText(content, file, &kind, error) != SUCCESS) return SEL_READ_UNSUITABLE;
  parseSelectionText(content, kind, list);
  return SEL_READ_OK;
}

std::string formatSelectionText(const SelectionSetList& list) {
  std::string out;
  appendLine(out, SELECTION_FILE_HEADER);
  appendLine(out, "[Select version = " + std::string(SELECTION_PROGRAM_VERSION) + "]");
  appendLine(out, "[Minor version = " + std::string(SELECTION_MINOR_VERSION) + "]");
  appendLine(out, "[Major version = " + std::string(SELECTION_PROGRAM_VERSION) + "]");
  const size_t n = list.sets.size();
  for (size_t i = 0; i < n; ++i) {
    progressUpdate(static_cast<int>(100 * i / n), "");
    appendSet(out, list.sets[i]);
  }
  progressUpdate(100, "");
  return out;
}

int writeSelectionFile(const std::string& path, const SelectionSetList& list, std::string* error) {
  progressOpen("Saving selection sets");
  const std::string text = formatSelectionText(list);
  progressClose();
  if (writeFileAtomically(path, bytesOf(text), error) != SUCCESS) {
    (void)mdlDialog_openInfoBox(fileExists(path) ? unwritableSelectionFileMessage(path)
                                                 : unreadableSelectionFileMessage(path));
    return ERROR;
  }
  return SUCCESS;
}

int collectSetNames(const char* path, char* buffer, int capacity) {
  if (!path) return -1;
  if (!*path) return -2;
  if (!buffer) return -3;
  if (capacity < 1) return -4;
  buffer[0] = '\0';
  std::string content;
  if (!readWholeFile(normalizeSelectionPath(path), &content)) return -5;
  LineReader r{content};
  auto first = r.next();
  LineReader probe{content, 0, true};
  auto unshifted = probe.next();
  r.scrambled = (!first || *first != SELECTION_FILE_HEADER) && unshifted &&
                *unshifted == SELECTION_FILE_HEADER;
  r.pos = 0;
  size_t used = 0;
  while (auto line = r.next()) {
    if (!startsWith(*line, kSetHeader)) continue;
    std::string_view name = std::string_view(*line).substr(kSetHeader.size());
    name = name.substr(0, name.find(']'));
    const size_t need = used + (used > 0 ? 1 : 0) + name.size() + 1;
    if (need > static_cast<size_t>(capacity)) return -7;
    if (used > 0) buffer[used++] = ',';
    std::memcpy(buffer + used, name.data(), name.size());
    used += name.size();
    buffer[used] = '\0';
  }
  return 0;
}

}  // namespace kelvara
