#include "app/ListColumns.h"

#include <gtest/gtest.h>

namespace {

TEST(ListColumns, SizesUseTheLocalesThousandsSeparator) {
  const QLocale english(QLocale::English, QLocale::UnitedStates);
  EXPECT_EQ(FormatSize(1234567, english), "1,234,567");
  EXPECT_EQ(FormatSize(12345, english), "12,345");
  EXPECT_EQ(FormatSize(999, english), "999");
  EXPECT_EQ(FormatSize(0, english), "0");
  EXPECT_EQ(FormatSize(1234567, QLocale(QLocale::German, QLocale::Germany)), "1.234.567");
  // The plain C locale has no thousands separator.
  EXPECT_EQ(FormatSize(1234567, QLocale::c()), "1234567");
}

}  // namespace
