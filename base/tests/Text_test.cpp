#include "base/Text.h"

#include <gtest/gtest.h>

namespace tessaro {
namespace {

TEST(Text, CutNeverSplitsACharacter) {
  std::string s = "婚纱01";  // 3 + 3 + 1 + 1 bytes
  EXPECT_EQ(CutUtf8(s, 8), s);
  EXPECT_EQ(CutUtf8(s, 5), "婚");
  EXPECT_EQ(CutUtf8(s, 2), "");
  EXPECT_EQ(CutUtf8(s, 6), "婚纱");
}

TEST(Text, WideCharactersTakeTwoColumns) {
  EXPECT_EQ(DisplayColumns("ab"), 2);
  EXPECT_EQ(DisplayColumns("婚纱01"), 6);
  EXPECT_EQ(PrefixBytesForColumns("婚纱01", 3), 3u) << "a wide character never straddles the limit";
  EXPECT_EQ(PrefixBytesForColumns("婚纱01", 5), 7u);
}

TEST(Text, MalformedUtf8DoesNotOverrun) {
  std::string bad = "a\xE5\xA9";  // a truncated three-byte sequence
  size_t pos = 1;
  EXPECT_EQ(NextCodePoint(bad, pos), U'\xFFFD');
  EXPECT_LE(pos, bad.size());
  EXPECT_EQ(DisplayColumns(bad), 3);
}

TEST(Text, Utf16SurrogatePairs) {
  const char16_t alien[] = {0xD83D, 0xDC7D};
  EXPECT_EQ(Utf16ToUtf8(alien, 2), "👽");
  const char16_t lone[] = {0xD83D, u'a'};
  EXPECT_EQ(Utf16ToUtf8(lone, 2),
            "\xEF\xBF\xBD"
            "a");
}

TEST(Text, TrimAndLower) {
  EXPECT_EQ(Trim("  Brivanto \t"), "Brivanto");
  EXPECT_EQ(AsciiLower("BriVanto"), "brivanto");
  EXPECT_EQ(TrimRight("x  "), "x");
}

}  // namespace
}  // namespace tessaro
