#include "storage/Convert.h"

#include <gtest/gtest.h>

#include "platform/Exception.h"

namespace {

TEST(Convert, AcceptsDecimalHexSignsAndLeadingBlanks) {
  struct Case {
    const char* text;
    int32_t value;
  } cases[] = {
      {"0", 0},           {"007", 7},           {"  42", 42},        {"+5", 5},
      {"-17", -17},       {"$1F", 31},          {"x1f", 31},         {"X10", 16},
      {"0x10", 16},       {"0X7fffffff", INT32_MAX}, {"$FFFFFFFF", -1}, {"-$10", -16},
      {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN},
  };
  for (const auto& c : cases) {
    int32_t value = 12345;
    EXPECT_TRUE(TryStrToInt(c.text, value)) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
  }
}

TEST(Convert, RefusesEverythingElse) {
  for (const char* text : {"", " ", "5 ", "1a", "abc", "+", "-", "$", "0x", "x", "2147483648",
                           "-2147483649", "$100000000", "1.5", "--1", "\t"}) {
    int32_t value = 0;
    EXPECT_FALSE(TryStrToInt(text, value)) << '"' << text << '"';
  }
  try {
    StrToInt("abc");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'abc' is not a valid integer value");
  }
}

}  // namespace
