#include <gtest/gtest.h>

#include "storage/GlobalLib.h"

namespace {

TEST(TextSearch, PosTextFromIgnoresCaseOfTextOnly) {
  const std::string page = "<p><img src=a><IMG SRC=b><ImG sRc=c>";
  EXPECT_EQ(PosTextFrom(page, "<IMG ", 1), 4);
  EXPECT_EQ(PosTextFrom(page, "<IMG ", 5), 15);
  EXPECT_EQ(PosTextFrom(page, "<IMG ", 16), 26);
  EXPECT_EQ(PosTextFrom(page, "<IMG ", 27), 0);
  EXPECT_EQ(PosTextFrom(page, "<img ", 1), 0) << "a lower-case pattern never matches letters";
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
