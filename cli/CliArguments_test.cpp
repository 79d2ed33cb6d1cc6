#include "cli/CliArguments.h"

#include <gtest/gtest.h>

namespace {

TEST(CliArguments, ProtectOptionsOverrideOnlyWhatTheyName) {
  TCliArguments a = ParseCliArguments({"protect", "--grid", "4x2", "--no-links", "--types",
                                       "GIF,jpeg", "--min", "0x10", "site", "--", "--odd"});
  EXPECT_EQ(a.Command, CliCommand::Protect);
  EXPECT_EQ(a.Paths, (std::vector<std::string>{"site", "--odd"}));
  TOptions o;
  o.SliceByPixels = 1;
  o.ATag = 1;
  o.WidthHeight = 1;
  o.ProtectBMP = 1;
  o.PixWidth = 64;
  a.Overrides.ApplyTo(o);
  EXPECT_EQ(o.SliceByPixels, 0);
  EXPECT_EQ(o.PieHor, 4);
  EXPECT_EQ(o.PieVer, 2);
  EXPECT_EQ(o.PixWidth, 64);
  EXPECT_EQ(o.ATag, 0);
  EXPECT_EQ(o.WidthHeight, 1);
  EXPECT_EQ(o.ProtectGIF, 1);
  EXPECT_EQ(o.ProtectJPG, 1);
  EXPECT_EQ(o.ProtectBMP, 0);
  EXPECT_EQ(o.MinHeight, 10);

  EXPECT_EQ(a.Jobs, std::nullopt);

  a = ParseCliArguments(
      {"protect", "--grid", "2x2", "--pieces", "30X40", "--dry-run", "--jobs", "3", "p.htm"});
  o = TOptions{};
  a.Overrides.ApplyTo(o);
  EXPECT_TRUE(a.DryRun);
  EXPECT_EQ(a.Jobs, 3);
  EXPECT_EQ(o.SliceByPixels, 1) << "the last of --grid and --pieces wins";
  EXPECT_EQ(o.PixHeight, 40);
  EXPECT_EQ(o.Markup, TMarkup::Table);
  EXPECT_EQ(o.SiteRoot, "");

  a = ParseCliArguments({"protect", "--types", "png,WEBP", "--markup", "layered", "--site-root",
                         "/srv/www//", "p.htm"});
  o.ProtectGIF = o.ProtectJPG = 1;
  a.Overrides.ApplyTo(o);
  EXPECT_EQ(o.ProtectPNG, 1);
  EXPECT_EQ(o.ProtectWebP, 1);
  EXPECT_EQ(o.ProtectGIF, 0);
  EXPECT_EQ(o.ProtectJPG, 0);
  EXPECT_EQ(o.Markup, TMarkup::Layered);
  EXPECT_EQ(o.SiteRoot, "/srv/www");
}

TEST(CliArguments, CommandsAndSets) {
  EXPECT_EQ(ParseCliArguments({"restore"}).Set, std::nullopt);
  EXPECT_EQ(ParseCliArguments({"restore", "3"}).Set, 3);
  EXPECT_FALSE(ParseCliArguments({"restore", "3"}).Force);
  EXPECT_TRUE(ParseCliArguments({"restore", "--force", "2"}).Force);
  EXPECT_EQ(ParseCliArguments({"restore", "2", "--force"}).Set, 2);
  EXPECT_EQ(ParseCliArguments({"backups"}).Command, CliCommand::Backups);
  EXPECT_EQ(ParseCliArguments({"--version"}).Command, CliCommand::Version);
  EXPECT_EQ(ParseCliArguments({"--help"}).Command, CliCommand::Help);
}

TEST(CliArguments, BadInputIsRefusedWithAReason) {
  for (auto args : std::vector<std::vector<std::string>>{
           {},
           {"frobnicate"},
           {"protect"},
           {"protect", "--grid", "0x3", "a"},
           {"protect", "--grid", "3", "a"},
           {"protect", "--pieces", "ax3", "a"},
           {"protect", "--min", "-1x3", "a"},
           {"protect", "--types", "svg", "a"},
           {"protect", "--markup", "frames", "a"},
           {"protect", "--site-root", "", "a"},
           {"protect", "--grid"},
           {"protect", "--fast", "a"},
           {"protect", "--jobs", "0", "a"},
           {"protect", "--jobs", "two", "a"},
           {"restore", "-1"},
           {"restore", "x"},
           {"restore", "1", "2"},
           {"restore", "--forced"},
           {"backups", "1"}}) {
    EXPECT_THROW(ParseCliArguments(args), UsageError) << (args.empty() ? "" : args.back());
  }
}

}  // namespace
