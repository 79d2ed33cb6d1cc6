#include <gtest/gtest.h>

#include <random>

#include "storage/GlobalLib.h"

namespace {

// The search as plainly stated: every start position in turn, each byte
// upper-cased (a to z only) and compared with the pattern's byte.
int PlainPosTextFrom(std::string_view text, std::string_view pattern, int start) {
  if (start < 1) start = 1;
  for (size_t p = static_cast<size_t>(start - 1); p + pattern.size() <= text.size(); ++p) {
    size_t k = 0;
    while (k < pattern.size()) {
      char c = text[p + k];
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
      if (c != pattern[k]) break;
      ++k;
    }
    if (k == pattern.size()) return static_cast<int>(p) + 1;
  }
  return 0;
}

TEST(TextSearch, PosTextFromIgnoresCaseOfTextOnly) {
  const std::string page = "<p><img src=a><IMG SRC=b><ImG sRc=c>";
  EXPECT_EQ(PosTextFrom(page, "<IMG ", 1), 4);
  EXPECT_EQ(PosTextFrom(page, "<IMG ", 5), 15);
  EXPECT_EQ(PosTextFrom(page, "<IMG ", 16), 26);
  EXPECT_EQ(PosTextFrom(page, "<IMG ", 27), 0);
  EXPECT_EQ(PosTextFrom(page, "<img ", 1), 0) << "a lower-case pattern never matches letters";
}

// Random texts over the bytes that matter to folding (both cases of the
// pattern's letters, their neighbours '@' and '[' or '`' and '{', bytes with
// the high bit set, control bytes that become '<' or ')' with the case bit
// set) against every pattern kind the engine passes; long enough for a
// match in every lane of two or three blocks.
TEST(TextSearch, PosTextFromAgreesWithThePlainScan) {
  const std::string alphabet = "<>/=sSrRcCiImMgGaA @[`{ \xC1\xE1\xF3\x1C\x29\x09";
  const char* const patterns[] = {"<IMG ", "SRC=", "</A>", "AA", "S", "@[", "\xC1M", "sr", "{A"};
  std::mt19937 random(20);
  for (int round = 0; round < 3000; ++round) {
    std::string text(random() % 110, ' ');
    for (char& c : text) c = alphabet[random() % alphabet.size()];
    for (const char* pattern : patterns) {
      for (int start = 0; start <= static_cast<int>(text.size()) + 2; start += 1 + random() % 5) {
        ASSERT_EQ(PosTextFrom(text, pattern, start), PlainPosTextFrom(text, pattern, start))
            << "text \"" << text << "\" pattern \"" << pattern << "\" from " << start;
      }
    }
  }
}

TEST(TextSearch, PosTextFromAtItsBounds) {
  const std::string text = "xxAB";
  EXPECT_EQ(PosTextFrom(text, "AB", 3), 3);
  EXPECT_EQ(PosTextFrom("xxab", "AB", 3), 3);
  EXPECT_EQ(PosTextFrom("xxab", "AB", 4), 0) << "pattern cannot fit from the last position";
  EXPECT_EQ(PosTextFrom("xxab", "AB", 5), 0);
  EXPECT_EQ(PosTextFrom("a", "AB", 1), 0);
  EXPECT_EQ(PosTextFrom("", "AB", 1), 0);
  EXPECT_EQ(PosTextFrom("ab", "AB", 1), 1);
}

TEST(TextSearch, PosCharFromAtItsBounds) {
  const std::string text = "a>b>";
  EXPECT_EQ(PosCharFrom(text, '>', 1), 2);
  EXPECT_EQ(PosCharFrom(text, '>', 2), 2);
  EXPECT_EQ(PosCharFrom(text, '>', 3), 4);
  EXPECT_EQ(PosCharFrom(text, '>', 4), 4);
  EXPECT_EQ(PosCharFrom(text, '>', 5), 0) << "one past the end";
  EXPECT_EQ(PosCharFrom(text, 'z', 1), 0);
  EXPECT_EQ(PosCharFrom("", '>', 1), 0);
}

TEST(TextSearch, CopyIntoAndAppendFrom) {
  std::string dest = "keep";
  AppendFrom("hello", 2, 0, dest);
  EXPECT_EQ(dest, "keep");
  AppendFrom("hello", 2, 3, dest);
  EXPECT_EQ(dest, "keepell");
  CopyInto("hello", 5, 1, dest);
  EXPECT_EQ(dest, "o");
  CopyInto("hello", 1, 0, dest);
  EXPECT_EQ(dest, "");
}

constexpr ScrambledText kSecret("<style>secret</style>");

TEST(TextSearch, ScrambledTextsRoundTripAndDoNotStandInPlain) {
  EXPECT_EQ(Descrambled(kSecret), "<style>secret</style>");
  EXPECT_EQ(kSecret.stored().find("secret"), std::string_view::npos);
  EXPECT_EQ(kSecret.stored().size(), 21u);
  std::string result;
  DescrambleText("", result);
  EXPECT_EQ(result, "");
  DescrambleText(std::string(4, '\0'), result);
  EXPECT_EQ(result, std::string({'\x5A', '\xC3', '\x1E', '\x97'}));
}

}  // namespace
