#include "engine/RandomFileName.h"

#include <chrono>
#include <filesystem>
#include <utility>

#include "platform/Exception.h"

namespace {

uint64_t ClockSeed() {
  // Nanoseconds of the high-resolution clock mixed with a per-process
  // counter, so alphabets made in the same clock tick still differ.
  static uint64_t calls = 0;
  uint64_t now =
      static_cast<uint64_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
  std::seed_seq seq{static_cast<uint32_t>(now), static_cast<uint32_t>(now >> 32),
                    static_cast<uint32_t>(++calls)};
  uint32_t seed[2];
  seq.generate(seed, seed + 2);
  return (uint64_t{seed[0]} << 32) | seed[1];
}

}  // namespace

TRandomFileName::TRandomFileName(std::optional<uint64_t> seed) {
  FixedSeed_ = seed.has_value();
  Random_.seed(seed.value_or(0));
  std::string letters = "abcdefghijklmnopqrstuvwxyz";
  for (auto& alphabet : Alphabets_) {
    Shuffle(letters);
    alphabet = letters;
  }
}

void TRandomFileName::Shuffle(std::string& alphabet) {
  // Every alphabet is shuffled with freshly seeded randomness unless the
  // caller fixed the seed.
  if (!FixedSeed_) Random_.seed(ClockSeed());
  // Each position in turn is swapped with one drawn from the first 25.
  std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 2);
  for (size_t i = 0; i < alphabet.size(); ++i) {
    std::swap(alphabet[i], alphabet[pick(Random_)]);
  }
}

void TRandomFileName::SetTarget(const std::string& folder, const std::string& ext) {
  Folder_ = folder;
  Ext_ = ext;
}

void TRandomFileName::Advance(int position) {
  while (position >= 1) {
    int32_t& counter = Counters_[position - 1];
    if (counter < 26) {
      ++counter;
      return;
    }
    counter = 1;
    --position;
  }
  // The first position wrapped: every name has been given out.
  Exhausted_ = true;
}

void TRandomFileName::NextName(std::string& fullPath, std::string& name) {
  name.resize(4);
  for (;;) {
    if (Exhausted_) {
      throw Exception("All " + std::to_string(kNameCount) +
                      " piece file names of this run are used up; protect the remaining pages "
                      "in another run.");
    }
    for (int k = 0; k < 4; ++k) name[k] = Alphabets_[k][Counters_[k] - 1];
    fullPath = Folder_ + name + Ext_;
    Advance(4);
    // Any entry counts as taken, a folder or a dangling link included: the
    // piece file is created exclusively and must not collide with it.
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(fullPath, error))) return;
  }
}
