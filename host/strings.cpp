#include "host/strings.h"

#include <algorithm>
#include <cwctype>

#include "host/types.h"

namespace kelvara {

namespace {

constexpr char32_t kMaxCodePoint = 0x10FFFF;

bool isContinuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

// Length of the valid UTF-8 sequence starting at text[i] and its code point; 0 when invalid.
size_t decodeUtf8(std::string_view text, size_t i, char32_t* cp) {
  const auto b0 = static_cast<unsigned char>(text[i]);
  size_t len = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if (b0 < 0x80) {
    *cp = b0;
    return 1;
  } else if ((b0 & 0xE0) == 0xC0) {
    len = 2, value = b0 & 0x1F, minimum = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, value = b0 & 0x0F, minimum = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, value = b0 & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (i + len > text.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(text[i + k]);
    if (!isContinuation(b)) return 0;
    value = (value << 6) | (b & 0x3F);
  }
  if (value < minimum || value > kMaxCodePoint || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *cp = value;
  return len;
}

bool validIndex(const StringList* list, long index) {
  return list != nullptr && index >= 0 && static_cast<size_t>(index) < list->members.size();
}

wchar_t foldAscii(wchar_t c) {
  return (c >= L'A' && c <= L'Z') ? c - L'A' + L'a' : c;
}

}  // namespace

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::wstring toWide(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    char32_t cp = 0;
    const size_t len = decodeUtf8(text, i, &cp);
    if (len == 0) {
      out += static_cast<wchar_t>(static_cast<unsigned char>(text[i]));
      ++i;
    } else {
      out += static_cast<wchar_t>(cp);
      i += len;
    }
  }
  return out;
}

std::string toNarrow(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t w : text) {
    const auto cp = static_cast<char32_t>(w);
    const bool scalar = cp <= kMaxCodePoint && !(cp >= 0xD800 && cp <= 0xDFFF);
    appendUtf8(out, scalar ? cp : U'?');
  }
  return out;
}

size_t copyCut(char* buffer, size_t capacity, std::string_view text) {
  if (capacity == 0) return 0;
  size_t n = std::min(text.size(), capacity - 1);
  if (n < text.size()) {
    // Step back over a sequence that would be cut in two.
    while (n > 0 && isContinuation(static_cast<unsigned char>(text[n]))) --n;
  }
  std::copy_n(text.data(), n, buffer);
  buffer[n] = '\0';
  return n;
}

StringList* mdlStringList_create(long count, long infoCount) {
  if (count < 0 || infoCount < 0) return nullptr;
  auto* list = new StringList;
  list->infoCount = static_cast<size_t>(infoCount);
  list->members.assign(static_cast<size_t>(count),
                       StringListMember{std::wstring(), std::vector<InfoField>(list->infoCount)});
  return list;
}

int mdlStringList_destroy(StringList* list) {
  delete list;
  return SUCCESS;
}

long mdlStringList_size(const StringList* list) {
  return list ? static_cast<long>(list->members.size()) : 0;
}

int mdlStringList_getMember(const wchar_t** text, InfoField** info, StringList* list, long index) {
  if (!validIndex(list, index)) return ERROR;
  StringListMember& m = list->members[static_cast<size_t>(index)];
  if (text) *text = m.text.c_str();
  if (info) *info = m.info.data();
  return SUCCESS;
}

int mdlStringList_setMember(StringList* list, long index, std::wstring_view text,
                            const InfoField* info) {
  if (!validIndex(list, index)) return ERROR;
  StringListMember& m = list->members[static_cast<size_t>(index)];
  m.text.assign(text);
  if (info) std::copy_n(info, list->infoCount, m.info.begin());
  return SUCCESS;
}

int mdlStringList_insertMember(long* index, StringList* list, long insertIndex, long count) {
  if (list == nullptr || count < 1) return ERROR;
  const long size = static_cast<long>(list->members.size());
  if (insertIndex == -1) insertIndex = size;
  if (insertIndex < 0 || insertIndex > size) return ERROR;
  list->members.insert(list->members.begin() + insertIndex, static_cast<size_t>(count),
                       StringListMember{std::wstring(), std::vector<InfoField>(list->infoCount)});
  if (index) *index = insertIndex;
  return SUCCESS;
}

long mdlStringList_search(const StringList* list, std::wstring_view text, long startIndex,
                          bool ignoreCase) {
  if (list == nullptr) return -1;
  const auto same = [&](const std::wstring& s) {
    if (!ignoreCase) return s == text;
    return s.size() == text.size() &&
           std::equal(s.begin(), s.end(), text.begin(),
                      [](wchar_t a, wchar_t b) { return foldAscii(a) == foldAscii(b); });
  };
  for (long i = std::max(startIndex, 0L); i < static_cast<long>(list->members.size()); ++i) {
    if (same(list->members[static_cast<size_t>(i)].text)) return i;
  }
  return -1;
}

}  // namespace kelvara
