// The tag stream: code/value line pairs, value types, number parsing and format refusal.
#include <cctype>
#include <charconv>
#include <cstring>

#include "host/dxf/dxf.h"
#include "host/dxf/internal.h"

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

std::string handleText(uint64_t handle) {
  char text[20];
  char* end = std::to_chars(text, text + sizeof text, handle, 16).ptr;
  std::string out(text, end);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

TagReader::TagReader(std::string_view b) : bytes(b) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") pos = 3;
}

bool TagReader::next(Tag& tag) {
  const char* const base = bytes.data();
  const char* const stop = base + bytes.size();
  const char* p = base + pos;
  if (p >= stop) return false;
  // The code line: blanks, digits, blanks, an optional CR, LF.
  const char* q = p;
  while (q < stop && (*q == ' ' || *q == '\t')) ++q;
  int code = 0, digits = 0;
  while (q < stop && *q >= '0' && *q <= '9' && digits < 5)
    code = code * 10 + (*q++ - '0'), ++digits;
  while (q < stop && (*q == ' ' || *q == '\t' || *q == '\r')) ++q;
  if (digits == 0 || (q < stop && *q != '\n') || code > 1071) {
    const void* nl = std::memchr(p, '\n', stop - p);
    const char* end = nl ? static_cast<const char*>(nl) : stop;
    const std::string_view codeText = trim(std::string_view(p, end - p));
    if (codeText.empty() && end + 1 >= stop) {  // a blank last line
      pos = bytes.size();
      return false;
    }
    error = "line " + std::to_string(line) + ": a group code was expected, found \"" +
            std::string(codeText.substr(0, 40)) + "\"";
    return false;
  }
  if (q + 1 >= stop) {
    error = "line " + std::to_string(line) + ": group code " + std::to_string(code) +
            " has no value line";
    return false;
  }
  const char* v = q + 1;
  const void* nl = std::memchr(v, '\n', stop - v);
  const char* end = nl ? static_cast<const char*>(nl) : stop;
  tag.code = code;
  tag.offset = pos;
  tag.line = line;
  tag.value = std::string_view(v, (end > v && end[-1] == '\r' ? end - 1 : end) - v);
  pos = static_cast<uint64_t>((nl ? end + 1 : end) - base);
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

bool notANumber(const Drawing& d, const Tag& t, DxfError& error) {
  error.line = t.line + 1;
  error.text = d.file + ": line " + std::to_string(t.line + 1) + ": \"" +
               std::string(t.value.substr(0, 40)) + "\" is not a number for group code " +
               std::to_string(t.code);
  return false;
}

bool readInt(const Drawing& d, const Tag& t, int& out, DxfError& error) {
  int64_t n = 0;
  if (!parseInt(t.value, n)) return notANumber(d, t, error);
  out = static_cast<int>(n);
  return true;
}

bool readReal(const Drawing& d, const Tag& t, double& out, DxfError& error) {
  return parseDouble(t.value, out) || notANumber(d, t, error);
}

}  // namespace kelvara::dxf
