#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "engine/ImageDecoder.h"
#include "engine/ImageKind.h"
#include "engine/PieceWriter.h"
#include "engine/Slicer.h"
#include "engine/WorkerPool.h"
#include "storage/vlmOption.h"

// Decodes the pictures that the next pages of a run will cut, on the run's
// workers, while the run's thread works through the pages before them. The
// run's thread reads the pages ahead and the pictures they name, in an order
// that depends on nothing but the files, and the workers only decode; the
// run takes a decoded picture only when it read the very same bytes again
// when judging its tag, so what the run does never depends on how far the
// workers got. Nothing is changed.
//
// Bounded: it reads a few pages ahead, holds the files of a few pictures
// (kPicturesAhead, kFileBytesAhead) and decodes while the pictures decoded
// and not taken hold less than kHeldBytes; a page larger than kLargestPage
// is not read ahead.
//
// A picture that its first tag shows at its own size has its pieces encoded
// on the same worker right after it is decoded - a large JPEG band by band
// while the rest of it decodes - for the grid the options give at that
// size; the run takes them with the picture when it cuts it into that grid.
class TPictureLookAhead {
 public:
  static constexpr size_t kPagesAhead = 16;
  static constexpr size_t kPicturesAhead = 24;
  static constexpr int64_t kFileBytesAhead = int64_t{32} << 20;
  static constexpr int64_t kHeldBytes = int64_t{96} << 20;
  static constexpr int64_t kLargestPage = int64_t{1} << 20;
  // JPEGs of this many pixels on have their pieces encoded while they
  // decode.
  static constexpr int64_t kEarlyFrom = 2'000'000;

  // `writers`: an encoder for each worker of `pool`; none, no early pieces.
  TPictureLookAhead(TWorkerPool& pool, const TOptions& options,
                    std::shared_ptr<std::vector<TPieceWriter>> writers = nullptr);
  // Decoding not begun is dropped; decoding under way finishes on its own.
  ~TPictureLookAhead();
  TPictureLookAhead(const TPictureLookAhead&) = delete;
  TPictureLookAhead& operator=(const TPictureLookAhead&) = delete;

  // The run is about to take page `next` of `pages` (the same list on every
  // call): what was read for the pages before it and not taken is dropped,
  // and the pages from there on are read as far as the bounds allow.
  void Foresee(const std::vector<std::string>& pages, size_t next);

  // The picture at `path`, when it was read ahead as `kind` with exactly
  // `fileBytes`: decodes it here unless a worker did or does, moves it into
  // `image`, sets `decoded` to what DecodeImage gave, and returns true.
  // False when the look-ahead has nothing for it; the caller decodes it
  // then. `early`, when given, receives the pieces encoded while it
  // decoded, if any.
  bool Take(const std::string& path, ImageKind kind, std::string_view fileBytes, bool& decoded,
            TSourceImage& image, TEarlyPieces* early = nullptr);

  // Waits until the workers have decoded all they may of what was read.
  void Settle();

  struct TEntry;
  struct TShared;

 private:
  void Drop(const std::shared_ptr<TEntry>& entry);

  TWorkerPool& Pool_;
  const TOptions Options_;
  std::shared_ptr<TShared> Shared_;
  size_t Announced_ = 0;                          // pages of the list read ahead, or passed
  std::vector<std::shared_ptr<TEntry>> Entries_;  // read, not taken
  std::unordered_set<std::string> Seen_;          // every picture read ahead
};
