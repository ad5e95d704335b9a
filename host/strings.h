// Host string lists and text conversion at the host boundary.
//
// The host keeps wide strings; the application keeps 8-bit, NUL-terminated UTF-8 text in
// fixed-capacity buffers. The conversions here are the only place where the two meet.
// A string list is an ordered list of wide strings, each member carrying the same number of
// integer info fields (all 0 when the member is created). Lists are created and destroyed
// explicitly, as the host does; `StringListOwner` frees one automatically.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kelvara {

// ---- Wide <-> 8-bit conversion -------------------------------------------------------------

// UTF-8 to wide. A byte that does not start a valid UTF-8 sequence becomes the code point of
// the same value (Latin-1), so no input is ever refused.
std::wstring toWide(std::string_view text);

// Appends the UTF-8 bytes of code point cp (a Unicode scalar value) to out.
void appendUtf8(std::string& out, char32_t cp);

// Wide to UTF-8. Values that are not Unicode scalar values become '?'.
std::string toNarrow(std::wstring_view text);

// Copies `text` into `buffer` of `capacity` bytes (capacity includes the NUL), cutting it when
// it is longer, never inside a UTF-8 sequence. Returns the number of bytes copied (without
// the NUL). Does nothing and returns 0 when capacity is 0.
size_t copyCut(char* buffer, size_t capacity, std::string_view text);

// ---- String lists --------------------------------------------------------------------------

using InfoField = int64_t;

struct StringListMember {
  std::wstring text;
  std::vector<InfoField> info;  // always `StringList::infoCount` fields
};

struct StringList {
  size_t infoCount = 0;
  std::vector<StringListMember> members;
};

// A new list of `count` empty members with `infoCount` zeroed info fields each; nullptr when a
// count is negative. Free it with mdlStringList_destroy.
[[nodiscard]] StringList* mdlStringList_create(long count, long infoCount);

// Frees the list (nullptr is allowed). Always SUCCESS.
int mdlStringList_destroy(StringList* list);

// Number of members; 0 for nullptr.
long mdlStringList_size(const StringList* list);

// Points *text at member `index`'s NUL-terminated string and *info at its info fields (either
// out-pointer may be nullptr). The pointers stay valid until the list is changed in size or
// destroyed. ERROR when the list is null or the index is out of range.
[[nodiscard]] int mdlStringList_getMember(const wchar_t** text, InfoField** info, StringList* list,
                                          long index);

// Replaces member `index`'s text, and its info fields when `info` is not nullptr (copying
// `infoCount` values from it). ERROR when the list is null or the index is out of range.
[[nodiscard]] int mdlStringList_setMember(StringList* list, long index, std::wstring_view text,
                                          const InfoField* info);

// Inserts `count` empty members before `insertIndex` (-1 or the size: at the end) and stores
// the index of the first new member in *index (when not nullptr). ERROR when the list is null,
// count < 1 or insertIndex is out of range.
[[nodiscard]] int mdlStringList_insertMember(long* index, StringList* list, long insertIndex,
                                             long count);

// Index of the first member at or after `startIndex` whose text equals `text` (ignoring the
// case of ASCII letters when `ignoreCase`), or -1.
long mdlStringList_search(const StringList* list, std::wstring_view text, long startIndex,
                          bool ignoreCase);

// Owning handle for code that wants the list freed on every path.
struct StringListDeleter {
  void operator()(StringList* list) const { (void)mdlStringList_destroy(list); }
};
using StringListOwner = std::unique_ptr<StringList, StringListDeleter>;

}  // namespace kelvara
