#include "app/FileFilter.h"

#include <gtest/gtest.h>

#include "storage/vlmOption.h"

namespace {

class FileFilterTest : public ::testing::Test {
 protected:
  void TearDown() override { Options.FileTypes.clear(); }
};

TEST_F(FileFilterTest, OneEntryPerTypeThenAllKnownTypesThenAnyFile) {
  Options.FileTypes = {{"htm", "HTML Files"}, {"html", "HTML Files"}};
  EXPECT_EQ(BuildFileFilter(),
            "HTML Files (*.htm)|*.htm|HTML Files (*.html)|*.html|"
            "All Known Types (*.htm;*.html)|*.htm;*.html|Any File(*.*)|*.*");
  Options.FileTypes = {{"asp", "Pages, active"}};
  EXPECT_EQ(BuildFileFilter(),
            "Pages, active (*.asp)|*.asp|All Known Types (*.asp)|*.asp|Any File(*.*)|*.*");
}

TEST_F(FileFilterTest, WithoutTypesOnlyTheTwoFixedEntriesRemain) {
  EXPECT_EQ(BuildFileFilter(), "All Known Types ()||Any File(*.*)|*.*");
  EXPECT_EQ(NameFilters(BuildFileFilter()),
            QStringList({"All Known Types () ()", "Any File(*.*) (*.*)"}));
}

TEST_F(FileFilterTest, NameFiltersCarryTheMasksSeparatedByBlanks) {
  Options.FileTypes = {{"htm", "HTML Files"}, {"shtml", "Server Pages"}};
  EXPECT_EQ(
      NameFilters(BuildFileFilter()),
      QStringList({"HTML Files (*.htm) (*.htm)", "Server Pages (*.shtml) (*.shtml)",
                   "All Known Types (*.htm;*.shtml) (*.htm *.shtml)", "Any File(*.*) (*.*)"}));
  EXPECT_EQ(NameFilters(kListFileFilter), QStringList({"List Files(*.lst) (*.lst)"}));
  EXPECT_EQ(NameFilters("Odd"), QStringList({"Odd ()"}));
}

}  // namespace
