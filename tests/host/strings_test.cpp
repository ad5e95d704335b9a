// String lists with info fields, and text conversion at the host boundary. (Inserting members:
// every batch and comparison list the end-to-end tests run.)
#include "host/strings.h"

#include <gtest/gtest.h>

#include <cstring>

#include "host/types.h"

namespace kelvara {
namespace {

// Reads member `index` as (text, info fields) for compact assertions.
std::pair<std::wstring, std::vector<InfoField>> member(StringList* list, long index) {
  const wchar_t* text = nullptr;
  InfoField* info = nullptr;
  EXPECT_EQ(mdlStringList_getMember(&text, &info, list, index), SUCCESS);
  return {text, std::vector<InfoField>(info, info + list->infoCount)};
}

TEST(StringList, CreatesEmptyMembersWithZeroedInfoFields) {
  StringListOwner list(mdlStringList_create(2, 3));
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(mdlStringList_size(list.get()), 2);
  EXPECT_EQ(member(list.get(), 1), std::make_pair(std::wstring(), std::vector<InfoField>{0, 0, 0}));
  EXPECT_EQ(mdlStringList_create(-1, 0), nullptr);
  EXPECT_EQ(mdlStringList_create(0, -1), nullptr);
}

TEST(StringList, SetMemberKeepsInfoUnlessGiven) {
  StringListOwner list(mdlStringList_create(1, 2));
  const InfoField info[] = {7, -9};
  ASSERT_EQ(mdlStringList_setMember(list.get(), 0, L"a.dgn,Default", info), SUCCESS);
  ASSERT_EQ(mdlStringList_setMember(list.get(), 0, L"b.dgn,Default", nullptr), SUCCESS);
  EXPECT_EQ(member(list.get(), 0),
            std::make_pair(std::wstring(L"b.dgn,Default"), std::vector<InfoField>{7, -9}));
}

TEST(StringList, RefusesOutOfRangeAndNullArguments) {
  StringListOwner list(mdlStringList_create(2, 0));
  const wchar_t* text = nullptr;
  long index = 0;
  struct Case {
    const char* what;
    int status;
  };
  const Case cases[] = {
      {"get -1", mdlStringList_getMember(&text, nullptr, list.get(), -1)},
      {"get size", mdlStringList_getMember(&text, nullptr, list.get(), 2)},
      {"get null list", mdlStringList_getMember(&text, nullptr, nullptr, 0)},
      {"set size", mdlStringList_setMember(list.get(), 2, L"x", nullptr)},
      {"insert past end", mdlStringList_insertMember(&index, list.get(), 3, 1)},
      {"insert -2", mdlStringList_insertMember(&index, list.get(), -2, 1)},
      {"insert none", mdlStringList_insertMember(&index, list.get(), 0, 0)},
      {"insert null list", mdlStringList_insertMember(&index, nullptr, 0, 1)},
  };
  for (const Case& c : cases) EXPECT_EQ(c.status, ERROR) << c.what;
  EXPECT_EQ(mdlStringList_size(list.get()), 2);
  EXPECT_EQ(mdlStringList_size(nullptr), 0);
}

TEST(StringList, SearchFromStartIndexWithOrWithoutCase) {
  StringListOwner list(mdlStringList_create(4, 0));
  const wchar_t* names[] = {L"/d/A.dgn", L"/d/b.dgn", L"/d/a.dgn", L"/d/B.dgn"};
  for (long i = 0; i < 4; ++i)
    ASSERT_EQ(mdlStringList_setMember(list.get(), i, names[i], nullptr), SUCCESS);
  struct Case {
    const wchar_t* text;
    long start;
    bool ignoreCase;
    long expected;
  };
  const Case cases[] = {
      {L"/d/a.dgn", 0, false, 2},  {L"/d/a.dgn", 0, true, 0},   {L"/d/a.dgn", 1, true, 2},
      {L"/d/B.dgn", 2, true, 3},   {L"/d/c.dgn", 0, true, -1},  {L"/d/a.dg", 0, true, -1},
      {L"/d/A.dgn", -3, false, 0}, {L"/d/A.dgn", 9, false, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(mdlStringList_search(list.get(), c.text, c.start, c.ignoreCase), c.expected)
        << toNarrow(c.text) << " from " << c.start;
  }
}

TEST(TextConversion, RoundTripsUnicodeAndKeepsInvalidBytes) {
  const std::string utf8 = "Pl\xC3\xA4ne \xE2\x82\xAC \xF0\x9F\x98\x80";  // Pläne € 😀
  EXPECT_EQ(toWide(utf8), L"Pl\u00E4ne \u20AC \U0001F600");
  EXPECT_EQ(toNarrow(toWide(utf8)), utf8);
  // A lone Latin-1 byte, a truncated sequence and an overlong encoding map byte for byte.
  EXPECT_EQ(toWide("a\xE4z"), L"a\u00E4z");
  EXPECT_EQ(toWide("\xE2\x82"), L"\u00E2\u0082");
  EXPECT_EQ(toWide("\xC0\xAF"), L"\u00C0\u00AF");
  EXPECT_EQ(toNarrow(std::wstring(1, static_cast<wchar_t>(0xD800))), "?");
  EXPECT_EQ(toNarrow(std::wstring(1, static_cast<wchar_t>(0x110000))), "?");
}

TEST(TextConversion, CopyCutStaysWithinCapacityAndWholeCharacters) {
  struct Case {
    std::string text;
    size_t capacity;
    std::string expected;
  };
  const Case cases[] = {
      {"abc", 4, "abc"},
      {"abcd", 4, "abc"},
      {"ab\xC3\xA4", 4, "ab"},  // ä would be cut in two
      {"a\xC3\xA4", 4, "a\xC3\xA4"},
      {"\xE2\x82\xAC", 3, ""},
      {"", 1, ""},
  };
  for (const Case& c : cases) {
    char buffer[8];
    std::memset(buffer, 'X', sizeof buffer);
    const size_t n = copyCut(buffer, c.capacity, c.text);
    EXPECT_EQ(std::string(buffer), c.expected) << c.text << " in " << c.capacity;
    EXPECT_EQ(n, c.expected.size());
    EXPECT_EQ(buffer[c.capacity], 'X') << "wrote past the capacity";
  }
  char untouched = 'X';
  EXPECT_EQ(copyCut(&untouched, 0, "abc"), 0u);
  EXPECT_EQ(untouched, 'X');
}

}  // namespace
}  // namespace kelvara
