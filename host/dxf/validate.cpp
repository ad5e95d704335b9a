// The structural check of a written drawing: tag pairs, sections, followers, 102 groups,
// unique handles and pointers that lead somewhere. It reads the tags on its own (not through the
// index) so that it judges the writer independently of the reader it shares code with.
#include <algorithm>
#include <cstdio>
#include <unordered_map>

#include "host/dxf/write.h"

namespace kelvara::dxf {
namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::string at(uint32_t line, const std::string& what) {
  return "line " + std::to_string(line) + ": " + what;
}

struct Pointer {
  uint64_t handle;
  uint32_t line;
  int code;
};

struct Checker {
  TagReader reader;
  Tag tag;
  bool have = false;
  std::unordered_map<uint64_t, uint32_t> handles;  // handle -> line
  std::vector<Pointer> pointers;
  std::string error;

  explicit Checker(std::string_view bytes) : reader(bytes) {}

  bool advance() {
    have = reader.next(tag);
    if (!have && !reader.error.empty()) error = reader.error;
    return have;
  }
  bool fail(uint32_t line, const std::string& what) {
    if (error.empty()) error = at(line, what);
    return false;
  }

  // One record from its code-0 tag; leaves the next code-0 tag in `tag`.
  bool record(bool checked, bool& followers) {
    const std::string_view type = trim(tag.value);
    const uint32_t line = tag.line;
    const bool dimstyle = type == "DIMSTYLE";
    bool inGroup = false, inXData = false, handleSeen = false;
    uint32_t groupLine = 0;
    // A dictionary's entries are pairs: a key (3) and the entry's handle (350 or 360).
    const bool dictionary = type == "DICTIONARY" || type == "ACDBDICTIONARYWDFLT";
    uint32_t keyLine = 0;
    followers = false;
    while (advance() && tag.code != 0) {
      const int c = tag.code;
      if (c == 1001) inXData = true;
      if (c == 102 && !inXData) {
        const std::string_view v = trim(tag.value);
        if (!v.empty() && v.front() == '{') {
          if (inGroup) return fail(tag.line, "a 102 group opens inside another");
          inGroup = true;
          groupLine = tag.line;
        } else if (v == "}") {
          if (!inGroup) return fail(tag.line, "a 102 group closes that was not opened");
          inGroup = false;
        }
        continue;
      }
      if (!checked) continue;
      if (dictionary && !inXData) {
        if (keyLine != 0 && c != 350 && c != 360)
          return fail(keyLine, "a dictionary key without its entry");
        keyLine = c == 3 ? tag.line : 0;
      }
      if (c == 66 && !inGroup && trim(tag.value) == "1") followers = true;
      const bool handleCode = dimstyle ? c == 105 : c == 5;
      if (handleCode && !inGroup && !inXData && !handleSeen) {
        handleSeen = true;
        uint64_t h = 0;
        if (!parseHandle(tag.value, h) || h == 0)
          return fail(tag.line + 1,
                      "\"" + std::string(tag.value.substr(0, 40)) + "\" is not a handle");
        auto [it, fresh] = handles.emplace(h, tag.line);
        if (!fresh) {
          return fail(tag.line, "handle " + handleText(h) + " is already used at line " +
                                    std::to_string(it->second));
        }
        continue;
      }
      if ((c >= 320 && c <= 369) || (c >= 390 && c <= 399) || c == 480 || c == 481 || c == 1005) {
        uint64_t h = 0;
        if (!parseHandle(tag.value, h))
          return fail(tag.line + 1, "\"" + std::string(tag.value.substr(0, 40)) +
                                        "\" is not a handle (group code " + std::to_string(c) +
                                        ")");
        if (h != 0) pointers.push_back({h, tag.line, c});
      }
    }
    if (!error.empty()) return false;
    if (inGroup) return fail(groupLine, "a 102 group is not closed");
    if (keyLine != 0) return fail(keyLine, "a dictionary key without its entry");
    if (!have) return fail(line, std::string(type) + " is not followed by ENDSEC and EOF");
    return true;
  }

  bool section() {
    const uint32_t start = tag.line;
    if (!advance()) return error.empty() ? fail(start, "the file ends inside a section") : false;
    if (tag.code != 2) return fail(tag.line, "SECTION without a name");
    const std::string name(trim(tag.value));
    const bool checked = name != "HEADER" && name != "CLASSES";
    while (advance() && tag.code != 0) {
    }
    if (!have) return error.empty() ? fail(start, "section " + name + " is not closed") : false;
    // The follower sequence in progress: the head's type and line.
    std::string_view head;
    uint32_t headLine = 0;
    while (have) {
      const std::string_view type = trim(tag.value);
      const uint32_t line = tag.line;
      if (type == "ENDSEC") {
        if (!head.empty()) return fail(headLine, std::string(head) + " without SEQEND");
        advance();
        return error.empty();
      }
      if (type == "SECTION" || type == "EOF")
        return fail(line, "section " + name + " opened at line " + std::to_string(start) +
                              " is not closed (ENDSEC)");
      const bool follower = type == "VERTEX" || type == "ATTRIB" || type == "SEQEND";
      if (!head.empty()) {
        const std::string_view expected = head == "POLYLINE" ? "VERTEX" : "ATTRIB";
        if (type != "SEQEND" && type != expected)
          return fail(headLine, std::string(head) + " without SEQEND");
      } else if (follower && name != "HEADER") {
        return fail(line, std::string(type) + " without a POLYLINE or INSERT before it");
      }
      bool followers = false;
      const bool isHead = head.empty() && (type == "POLYLINE" || type == "INSERT");
      const std::string_view headType = type;
      if (!record(checked, followers)) return false;
      if (type == "SEQEND") head = {};
      if (isHead && (headType == "POLYLINE" || followers)) {
        head = headType == "POLYLINE" ? "POLYLINE" : "INSERT";
        headLine = line;
      }
    }
    return error.empty() ? fail(start, "section " + name + " is not closed (ENDSEC)") : false;
  }

  bool run() {
    advance();
    while (have) {
      if (tag.code == 999) {
        advance();
        continue;
      }
      const std::string_view v = trim(tag.value);
      if (tag.code == 0 && v == "EOF") break;
      if (tag.code != 0 || v != "SECTION")
        return fail(tag.line, "SECTION or EOF expected, found \"" +
                                  std::string(tag.value.substr(0, 40)) + "\"");
      if (!section()) return false;
    }
    if (!error.empty()) return false;
    if (!have) return fail(reader.line > 1 ? reader.line - 1 : 1, "the file ends without EOF");
    for (const Pointer& p : pointers)
      if (!handles.count(p.handle)) {
        return fail(p.line + 1, "group code " + std::to_string(p.code) + " points at handle " +
                                    handleText(p.handle) + ", which no record has");
      }
    return true;
  }
};

}  // namespace

std::string validate(std::string_view bytes) {
  if (std::string why = refusal(bytes, "the drawing"); !why.empty()) return why;
  Checker c(bytes);
  c.run();
  return c.error;
}

}  // namespace kelvara::dxf
