#include "engine/RandomFileName.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "platform/Exception.h"
#include "testsupport/TempDir.h"

namespace {

using testsupport::TempDir;

std::string Letters(const TRandomFileName& g, std::array<int, 4> at) {
  std::string s;
  for (int k = 0; k < 4; ++k) s += g.Alphabets()[k][at[k]];
  return s;
}

TEST(RandomFileName, AlphabetsArePermutationsOfTheLetters) {
  TRandomFileName g(42);
  for (const std::string& alphabet : g.Alphabets()) {
    std::string sorted = alphabet;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, "abcdefghijklmnopqrstuvwxyz");
  }
  EXPECT_EQ(g.Counters(), (std::array<int32_t, 4>{1, 1, 1, 1}));
  // A fixed seed repeats; generators made back to back from the clock differ.
  TRandomFileName again(42);
  EXPECT_EQ(g.Alphabets(), again.Alphabets());
  TRandomFileName a, b;
  EXPECT_NE(a.Alphabets(), b.Alphabets());
  EXPECT_NE(a.Alphabets()[0], a.Alphabets()[1]);
}

TEST(RandomFileName, NamesStepLikeAnOdometer) {
  TempDir dir;
  TRandomFileName g(7);
  g.SetTarget(dir.path() + "/", ".Gif");
  std::string path, name;
  g.NextName(path, name);
  EXPECT_EQ(name, Letters(g, {0, 0, 0, 0}));
  EXPECT_EQ(path, dir.path() + "/" + name + ".Gif");
  g.NextName(path, name);
  EXPECT_EQ(name, Letters(g, {0, 0, 0, 1}));
  for (int i = 2; i < 26; ++i) g.NextName(path, name);
  EXPECT_EQ(name, Letters(g, {0, 0, 0, 25}));
  g.NextName(path, name);  // the 27th name: the third letter moves on
  EXPECT_EQ(name, Letters(g, {0, 0, 1, 0}));
  EXPECT_EQ(g.Counters(), (std::array<int32_t, 4>{1, 1, 2, 2}));
}

TEST(RandomFileName, AdvanceCarriesThroughEveryPosition) {
  TRandomFileName g(1);
  for (int i = 0; i < 26 * 26 - 1; ++i) g.Advance(4);
  EXPECT_EQ(g.Counters(), (std::array<int32_t, 4>{1, 1, 26, 26}));
  g.Advance(4);
  EXPECT_EQ(g.Counters(), (std::array<int32_t, 4>{1, 2, 1, 1}));
  g.Advance(2);
  EXPECT_EQ(g.Counters(), (std::array<int32_t, 4>{1, 3, 1, 1}));
  EXPECT_FALSE(g.Exhausted());
}

TEST(RandomFileName, ExistingEntriesAreSkippedAndNotOfferedAgain) {
  TempDir dir;
  TRandomFileName probe(9);
  std::string first = Letters(probe, {0, 0, 0, 0});
  std::string second = Letters(probe, {0, 0, 0, 1});
  std::string third = Letters(probe, {0, 0, 0, 2});
  dir.Write(first + ".bmp", "taken");
  std::filesystem::create_directory(dir / (second + ".bmp"));  // a folder counts too

  TRandomFileName g(9);
  g.SetTarget(dir.path() + "/", ".bmp");
  std::string path, name;
  g.NextName(path, name);
  EXPECT_EQ(name, third);
  // In another folder the skipped names are not offered again either.
  TempDir other;
  g.SetTarget(other.path() + "/", ".bmp");
  g.NextName(path, name);
  EXPECT_EQ(name, Letters(g, {0, 0, 0, 3}));
  EXPECT_EQ(path, other.path() + "/" + name + ".bmp");
}

TEST(RandomFileName, NamesOfARunAreDistinct) {
  TempDir dir;
  TRandomFileName g(3);
  g.SetTarget(dir.path() + "/", ".x");
  std::set<std::string> seen;
  std::string path, name;
  for (int i = 0; i < 26 * 26 * 26; ++i) {
    g.NextName(path, name);
    seen.insert(name);
  }
  EXPECT_EQ(seen.size(), 26u * 26 * 26);
}

TEST(RandomFileName, ExhaustingTheNamesIsAnErrorNotALoop) {
  TempDir dir;
  TRandomFileName g(3);
  g.SetTarget(dir.path() + "/", ".x");
  for (int i = 0; i < TRandomFileName::kNameCount - 1; ++i) g.Advance(4);
  EXPECT_EQ(g.Counters(), (std::array<int32_t, 4>{26, 26, 26, 26}));
  std::string path, name;
  g.NextName(path, name);  // the last name is still given
  EXPECT_EQ(name, Letters(g, {25, 25, 25, 25}));
  EXPECT_TRUE(g.Exhausted());
  try {
    g.NextName(path, name);
    FAIL() << "no error after the last name";
  } catch (const Exception& e) {
    EXPECT_NE(std::string(e.what()).find("456976"), std::string::npos) << e.what();
  }

  // The same when the last free names are all taken on disk.
  TRandomFileName h(3);
  h.SetTarget(dir.path() + "/", ".x");
  for (int i = 0; i < TRandomFileName::kNameCount - 1; ++i) h.Advance(4);
  dir.Write(Letters(h, {25, 25, 25, 25}) + ".x", "taken");
  EXPECT_THROW(h.NextName(path, name), Exception);
}

}  // namespace
