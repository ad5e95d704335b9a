// The tag stream: code/value line pairs, value types, number parsing and format refusal.
#include <charconv>
#include <cstring>

#include "host/dxf/dxf.h"

namespace kelvara::dxf {

ValueType valueType(int code) {
  auto in = [code](int lo, int hi) { return code >= lo && code <= hi; };
  if (code == 5 || code == 105 || in(320, 369) || in(390, 399) || in(480, 481) || code == 1005)
    return ValueType::Handle;
  if (in(10, 59) || in(110, 149) || in(460, 469) || in(1010, 1059)) return ValueType::Double;
  if (in(60, 79) || in(170, 179) || in(270, 289) || in(370, 389) || in(400, 409) || code == 1070)
    return ValueType::Int16;
  if (in(90, 99) || in(420, 429) || in(440, 459) || code == 1071) return ValueType::Int32;
  if (in(160, 169)) return ValueType::Int64;
  if (in(290, 299)) return ValueType::Bool;
  if (in(310, 319) || code == 1004) return ValueType::Binary;
  return ValueType::String;
}

namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

}  // namespace

bool parseDouble(std::string_view text, double& out) {
  text = trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, out);
  return !text.empty() && ec == std::errc() && p == end;
}

bool parseInt(std::string_view text, int64_t& out) {
  text = trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, out);
  return !text.empty() && ec == std::errc() && p == end;
}

bool parseHandle(std::string_view text, uint64_t& out) {
  text = trim(text);
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, out, 16);
  return !text.empty() && text.size() <= 16 && ec == std::errc() && p == end;
}

TagReader::TagReader(std::string_view b) : bytes(b) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") pos = 3;
}

bool TagReader::next(Tag& tag) {
  if (pos >= bytes.size()) return false;
  auto lineAt = [this](uint64_t from, uint64_t& after) {
    const char* start = bytes.data() + from;
    const void* nl = std::memchr(start, '\n', bytes.size() - from);
    const uint64_t stop =
        nl ? static_cast<uint64_t>(static_cast<const char*>(nl) - bytes.data()) : bytes.size();
    after = nl ? stop + 1 : stop;
    std::string_view s(start, stop - from);
    if (!s.empty() && s.back() == '\r') s.remove_suffix(1);
    return s;
  };
  uint64_t afterCode = 0, afterValue = 0;
  const std::string_view codeText = trim(lineAt(pos, afterCode));
  int code = 0;
  auto [p, ec] = std::from_chars(codeText.data(), codeText.data() + codeText.size(), code);
  if (codeText.empty() || ec != std::errc() || p != codeText.data() + codeText.size() || code < 0 ||
      code > 1071) {
    if (codeText.empty() && afterCode >= bytes.size()) {  // blank last line
      pos = afterCode;
      return false;
    }
    error = "line " + std::to_string(line) + ": a group code was expected, found \"" +
            std::string(codeText.substr(0, 40)) + "\"";
    return false;
  }
  if (afterCode >= bytes.size()) {
    error = "line " + std::to_string(line) + ": group code " + std::to_string(code) +
            " has no value line";
    return false;
  }
  tag.code = code;
  tag.offset = pos;
  tag.line = line;
  tag.value = lineAt(afterCode, afterValue);
  pos = afterValue;
  line += 2;
  return true;
}

std::string refusal(std::string_view bytes, const std::string& file) {
  if (bytes.substr(0, 18) == "AutoCAD Binary DXF")
    return file + ": binary DXF is not supported; save the drawing as ASCII DXF";
  if (bytes.size() >= 6 && bytes.substr(0, 4) == "AC10" && bytes[4] >= '0' && bytes[4] <= '9' &&
      bytes[5] >= '0' && bytes[5] <= '9')
    return file + ": DWG files cannot be read (reading DWG needs a licensed library); " +
           "save the drawing as ASCII DXF";
  return "";
}

}  // namespace kelvara::dxf
