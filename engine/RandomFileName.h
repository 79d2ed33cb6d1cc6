#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <string>

// Gives every piece file of a run a four-letter name that cannot be guessed
// from its image's name and never names an existing file.
//
// Each of the four positions has its own shuffled copy of the letters a to z;
// the counters step like an odometer (the fourth position fastest), so the
// 26^4 = 456,976 names of a run come in one fixed shuffled order and each is
// offered at most once per run, whatever folder it is used in. One object
// lives for one run; not thread-safe.
class TRandomFileName {
 public:
  static constexpr int32_t kNameCount = 26 * 26 * 26 * 26;

  // Shuffles the alphabets with a generator seeded from a high-resolution
  // clock (or from `seed`, for reproducible tests) and sets every counter to
  // the first letter.
  explicit TRandomFileName(std::optional<uint64_t> seed = std::nullopt);
  TRandomFileName(const TRandomFileName&) = delete;
  TRandomFileName& operator=(const TRandomFileName&) = delete;
  // Replaces a run's generator, for a test that fixes its names.
  TRandomFileName& operator=(TRandomFileName&&) = default;

  // Folder (with its trailing "/") and extension (with its dot) of the names
  // to come.
  void SetTarget(const std::string& folder, const std::string& ext);

  // The next name whose file does not exist yet: `name` receives the four
  // letters, `fullPath` Folder + name + Ext. Names whose file exists are
  // skipped (and not offered again in the run). Raises Exception when all
  // 456,976 names of the run have been given out.
  void NextName(std::string& fullPath, std::string& name);

  // Steps the counter of `position` (1 to 4): past the last letter it goes
  // back to the first and the position before it steps. Stepping the first
  // position past its last letter marks the names as exhausted.
  void Advance(int position);

  const std::array<std::string, 4>& Alphabets() const { return Alphabets_; }
  const std::array<int32_t, 4>& Counters() const { return Counters_; }
  bool Exhausted() const { return Exhausted_; }

 private:
  void Shuffle(std::string& alphabet);

  std::array<std::string, 4> Alphabets_;
  std::array<int32_t, 4> Counters_{1, 1, 1, 1};
  std::string Folder_;
  std::string Ext_;
  bool Exhausted_ = false;
  std::mt19937_64 Random_;
  bool FixedSeed_ = false;
};
