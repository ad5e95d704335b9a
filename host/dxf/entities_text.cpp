// Text of TEXT, ATTRIB, ATTDEF, MTEXT and DIMENSION records: the drawing's code page (up to
// R2004) or UTF-8 (R2007 and later) to UTF-8, the %% codes, \U+ and \M+ escapes and MTEXT's
// inline formatting, which is kept apart from the plain text.
#include <iconv.h>

#include <cerrno>
#include <map>
#include <string>

#include "host/dxf/dxf.h"
#include "host/strings.h"

namespace kelvara::dxf {
namespace {

const char* const kReplacement = "\xEF\xBF\xBD";  // U+FFFD

void appendUtf8(std::string& out, uint32_t cp) {
  if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
    out += kReplacement;
  } else {
    kelvara::appendUtf8(out, static_cast<char32_t>(cp));
  }
}

// Length of the valid UTF-8 sequence at s[i], 0 when it is not one.
size_t utf8Length(std::string_view s, size_t i) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(s[i + k]); };
  const auto cont = [&](size_t k) { return i + k < s.size() && (b(k) & 0xC0) == 0x80; };
  const unsigned char c = b(0);
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) return cont(1) ? 2 : 0;
  if (c >= 0xE0 && c <= 0xEF) {
    if (!cont(1) || !cont(2)) return 0;
    if ((c == 0xE0 && b(1) < 0xA0) || (c == 0xED && b(1) >= 0xA0)) return 0;
    return 3;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    if (!cont(1) || !cont(2) || !cont(3)) return 0;
    if ((c == 0xF0 && b(1) < 0x90) || (c == 0xF4 && b(1) >= 0x90)) return 0;
    return 4;
  }
  return 0;
}

std::string validUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const size_t n = utf8Length(s, i);
    if (n == 0) {
      out += kReplacement;
      ++i;
    } else {
      out.append(s.substr(i, n));
      i += n;
    }
  }
  return out;
}

// Windows-1252 0x80-0x9F; the other bytes are Latin-1. 0 marks the unassigned ones.
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

std::string fromCp1252(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (const char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    const uint32_t cp = c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : c;
    if (cp == 0)
      out += kReplacement;
    else
      appendUtf8(out, cp);
  }
  return out;
}

// The iconv name of a $DWGCODEPAGE value; "" for Windows-1252 (built in), "UTF-8" for UTF-8.
std::string iconvName(std::string_view page) {
  std::string p;
  for (char c : page) p += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  if (p == "UTF8" || p == "UTF-8") return "UTF-8";
  if (p == "ANSI_1361") return "JOHAB";
  for (const std::string_view prefix : {"ANSI_", "DOS"})
    if (p.rfind(prefix, 0) == 0 && p.size() > prefix.size() &&
        p.find_first_not_of("0123456789", prefix.size()) == std::string::npos)
      return p.substr(prefix.size()) == "1252" ? "" : "CP" + p.substr(prefix.size());
  if (p.rfind("ISO8859-", 0) == 0) return "ISO-8859-" + p.substr(8);
  return "";  // unknown names read as the default page
}

// The converters a thread has opened, closed when the thread ends.
struct Converters {
  std::map<std::string, iconv_t> open;
  ~Converters() {
    for (const auto& [name, cd] : open)
      if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
  }
};

// A converter to UTF-8 per code page, opened once per thread; (iconv_t)-1 when iconv lacks it.
iconv_t converter(const std::string& name) {
  thread_local Converters converters;
  auto& open = converters.open;
  auto it = open.find(name);
  if (it == open.end()) it = open.emplace(name, iconv_open("UTF-8", name.c_str())).first;
  return it->second;
}

std::string fromCodePage(std::string_view s, const std::string& name) {
  if (name.empty()) return fromCp1252(s);
  if (name == "UTF-8") return validUtf8(s);
  const iconv_t cd = converter(name);
  if (cd == reinterpret_cast<iconv_t>(-1)) return fromCp1252(s);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  std::string out;
  char buf[256];
  char* in = const_cast<char*>(s.data());
  size_t left = s.size();
  while (left > 0) {
    char* o = buf;
    size_t room = sizeof buf;
    const size_t rc = iconv(cd, &in, &left, &o, &room);
    out.append(buf, o - buf);
    if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
      out += kReplacement;  // an invalid or incomplete sequence: skip one byte
      ++in;
      --left;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  return out;
}

std::string toUtf8(std::string_view s, const std::string& name) {
  bool ascii = true;
  for (const char c : s) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  return ascii ? std::string(s) : fromCodePage(s, name);
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The value of the 4 hex digits at s[i], -1 when they are not.
int hex4(std::string_view s, size_t i) {
  if (i + 4 > s.size()) return -1;
  int v = 0;
  for (size_t k = i; k < i + 4; ++k) {
    const int h = hexDigit(s[k]);
    if (h < 0) return -1;
    v = v * 16 + h;
  }
  return v;
}

struct Scanner {
  std::string_view s;  // UTF-8
  const std::string& page;
  bool mtext;
  PlainText out;
  size_t i = 0;

  void code(std::string_view c) {
    out.formatting += '@';
    out.formatting += std::to_string(out.text.size());
    out.formatting += c;
  }
  // The code at i of `n` characters plus its argument up to ";" (included).
  std::string_view argument(size_t n) {
    const size_t semi = s.find(';', i + n);
    return s.substr(i, semi == std::string_view::npos ? std::string_view::npos : semi + 1 - i);
  }
  bool percent();
  bool backslash();
  PlainText run();
};

bool Scanner::percent() {
  if (i + 2 >= s.size() || s[i + 1] != '%') return false;
  const char c = static_cast<char>(s[i + 2] | 0x20);
  const char* sign = c == 'c' ? "\u2300" : c == 'd' ? "\u00B0" : c == 'p' ? "\u00B1" : nullptr;
  if (sign || s[i + 2] == '%') {
    out.text += sign ? sign : "%";
  } else if (c == 'u' || c == 'o' || c == 'k') {
    code(s.substr(i, 3));
  } else if (i + 5 <= s.size() &&
             s.substr(i + 2, 3).find_first_not_of("0123456789") == std::string_view::npos) {
    const int n = std::stoi(std::string(s.substr(i + 2, 3)));
    if (page == "UTF-8" || n < 128)
      appendUtf8(out.text, static_cast<uint32_t>(n));
    else if (n < 256)
      out.text += fromCodePage(std::string(1, static_cast<char>(n)), page);
    else
      out.text += kReplacement;
    i += 5;
    return true;
  } else {
    return false;
  }
  i += 3;
  return true;
}

bool Scanner::backslash() {
  if (i + 1 >= s.size()) return false;
  const char c = s[i + 1];
  if ((c == 'U' || c == 'u') && i + 2 < s.size() && s[i + 2] == '+' && hex4(s, i + 3) >= 0) {
    appendUtf8(out.text, static_cast<uint32_t>(hex4(s, i + 3)));
    i += 7;
    return true;
  }
  if ((c == 'M' || c == 'm') && i + 3 < s.size() && s[i + 2] == '+' && s[i + 3] >= '1' &&
      s[i + 3] <= '5' && hex4(s, i + 4) >= 0) {
    static const char* const pages[] = {"CP932", "CP950", "CP949", "JOHAB", "CP936"};
    const int v = hex4(s, i + 4);
    const char bytes[2] = {static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)};
    out.text += fromCodePage(std::string_view(bytes, 2), pages[s[i + 3] - '1']);
    i += 8;
    return true;
  }
  if (!mtext) return false;
  switch (c) {
    case 'P':
    case 'X':
      out.text += '\n';
      break;
    case '~':
      out.text += "\u00A0";
      break;
    case '\\':
    case '{':
    case '}':
      out.text += c;
      break;
    case 'L':
    case 'l':
    case 'O':
    case 'o':
    case 'K':
    case 'k':
    case 'N':
      code(s.substr(i, 2));
      break;
    case 'S': {
      const std::string_view stack = argument(2);
      code(stack);
      std::string_view body = stack.substr(2);
      if (!body.empty() && body.back() == ';') body.remove_suffix(1);
      const size_t sep = body.find_first_of("^/#");
      out.text += body.substr(0, sep);
      if (sep != std::string_view::npos) out.text += '/' + std::string(body.substr(sep + 1));
      i += stack.size();
      return true;
    }
    case 'f':
    case 'F':
    case 'H':
    case 'W':
    case 'Q':
    case 'T':
    case 'A':
    case 'C':
    case 'c':
    case 'p': {
      const std::string_view arg = argument(2);
      code(arg);
      i += arg.size();
      return true;
    }
    default:
      return false;
  }
  i += 2;
  return true;
}

PlainText Scanner::run() {
  while (i < s.size()) {
    const char c = s[i];
    if (c == '%' && percent()) continue;
    if (c == '\\' && backslash()) continue;
    if (mtext && (c == '{' || c == '}')) {
      code(s.substr(i, 1));
    } else {
      out.text += c;
    }
    ++i;
  }
  return std::move(out);
}

}  // namespace

PlainText plainText(std::string_view raw, std::string_view codePage, bool utf8, bool mtext) {
  const std::string page = utf8 ? "UTF-8" : iconvName(codePage);
  const std::string text = toUtf8(raw, page);
  return Scanner{text, page, mtext, {}}.run();
}

}  // namespace kelvara::dxf
