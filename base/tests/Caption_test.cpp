#include "base/Caption.h"

#include <gtest/gtest.h>

#include <string>

namespace tessaro {
namespace {

struct WrapCase {
  const char* name;
  std::string text;
  int maxColumns;
  std::string expected;
};

void PrintTo(const WrapCase& c, std::ostream* os) { *os << c.name; }

class WrapCaptionTest : public testing::TestWithParam<WrapCase> {};

TEST_P(WrapCaptionTest, Wraps) {
  const WrapCase& c = GetParam();
  EXPECT_EQ(WrapCaption(c.text, c.maxColumns), c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Captions, WrapCaptionTest,
    testing::Values(WrapCase{"empty text", "", 9, ""},
                    WrapCase{"exactly the limit is one line", "IMG_00012", 9, "IMG_00012"},
                    WrapCase{"one more gives two lines", "IMG_000123", 9, "IMG_00012\r3"},
                    WrapCase{"several full lines", "abcdefghij", 3, "abc\rdef\rghi\rj"},
                    // 6 columns: "ab" + 婚 + 纱 would be 6, so the limit is met exactly.
                    WrapCase{"wide characters count two columns", "ab婚纱cd", 6, "ab婚纱\rcd"},
                    // The fifth column would be the first half of 纱: it moves down whole.
                    WrapCase{"a wide character never straddles the limit", "abc婚纱", 5, "abc婚\r纱"},
                    WrapCase{"only wide characters, odd limit", "婚纱照片", 3, "婚\r纱\r照\r片"},
                    WrapCase{"a wide character alone on a one-column line", "a婚b", 1, "a\r婚\rb"},
                    WrapCase{"full-width digits are wide", "１２３", 4, "１２\r３"},
                    WrapCase{"limit below one keeps one line", "abcdef", 0, "abcdef"},
                    WrapCase{"negative limit keeps one line", "abcdef", -3, "abcdef"}),
    [](const testing::TestParamInfo<WrapCase>& info) { return "Case" + std::to_string(info.index); });

TEST(WrapCaption, MalformedBytesAreKeptAndCountOneColumn) {
  std::string bad =
      "ab\xE5\xA9"
      "cd";  // a truncated three-byte sequence in the middle
  std::string wrapped = WrapCaption(bad, 3);
  std::string unwrapped;
  for (char ch : wrapped)
    if (ch != kCaptionLineBreak) unwrapped += ch;
  EXPECT_EQ(unwrapped, bad) << "no byte is lost or added";
  EXPECT_EQ(wrapped, std::string("ab\xE5\r\xA9"
                                 "cd"));
}

TEST(WrapCaption, LinesNeverEndInsideACharacter) {
  std::string text = "婚纱摄影工作室样片2024春季";
  for (int limit = 1; limit <= 12; ++limit) {
    std::string wrapped = WrapCaption(text, limit);
    size_t start = 0;
    while (start <= wrapped.size()) {
      size_t end = wrapped.find(kCaptionLineBreak, start);
      if (end == std::string::npos) end = wrapped.size();
      std::string line = wrapped.substr(start, end - start);
      ASSERT_FALSE(line.empty()) << "limit " << limit;
      // A line begins with a lead byte, never a continuation byte.
      EXPECT_NE(static_cast<unsigned char>(line[0]) & 0xC0, 0x80) << "limit " << limit;
      start = end + 1;
    }
  }
}

}  // namespace
}  // namespace tessaro
