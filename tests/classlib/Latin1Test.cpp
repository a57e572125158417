#include "classlib/Latin1.h"

#include <gtest/gtest.h>

namespace {

using classlib::Latin1ToUtf8;
using classlib::Utf8ToLatin1;

TEST(Latin1, EveryByteRoundTripsThroughUtf8) {
  std::string all;
  for (int c = 0; c < 256; ++c) {
    all += static_cast<char>(c);
  }
  const std::string utf8 = Latin1ToUtf8(all);
  EXPECT_EQ(utf8.size(), 128u + 2 * 128u);
  EXPECT_EQ(Utf8ToLatin1(utf8), all);
  EXPECT_EQ(Latin1ToUtf8("\xE9"), "\xC3\xA9");
}

TEST(Latin1, ForeignUtf8ReadsWithoutFailing) {
  struct Case {
    const char* utf8;
    const char* latin1;
  };
  const Case cases[] = {
      {"\xE2\x82\xAC", "?"},             // beyond Latin-1
      {"\xF0\x9F\x98\x80!", "?!"},       // four bytes
      {"\xE9t\xE9", "\xE9t\xE9"},        // not UTF-8: bytes taken as they are
      {"\xC3", "\xC3"},                  // cut short
      {"\xC0\xAF", "\xC0\xAF"},          // overlong
      {"\xED\xA0\x80", "\xED\xA0\x80"},  // surrogate
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.utf8);
    EXPECT_EQ(Utf8ToLatin1(c.utf8), c.latin1);
  }
}

}  // namespace
