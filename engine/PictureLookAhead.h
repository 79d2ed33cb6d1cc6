#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ImageDecoder.h"
#include "engine/ImageKind.h"
#include "engine/WorkerPool.h"
#include "storage/vlmOption.h"

// Decodes the pictures that the next pages of a run will cut, on the run's
// workers, while the run's thread works through the pages before them. It
// reads the pages and pictures it looks at and changes nothing; the run
// takes a decoded picture only when it read the very same bytes itself, so
// what the run does never depends on what the look-ahead got to.
//
// Bounded: it looks a few pages ahead, keeps a few decoded pictures and at
// most kHeldBytes of their pixels, and skips pages larger than kLargestPage.
class TPictureLookAhead {
 public:
  static constexpr size_t kPagesAhead = 8;
  static constexpr size_t kPicturesAhead = 6;
  static constexpr int64_t kHeldBytes = int64_t{64} << 20;
  static constexpr int64_t kLargestPage = int64_t{4} << 20;

  TPictureLookAhead(TWorkerPool& pool, const TOptions& options);
  // Work not begun is dropped; work under way finishes on its own.
  ~TPictureLookAhead();
  TPictureLookAhead(const TPictureLookAhead&) = delete;
  TPictureLookAhead& operator=(const TPictureLookAhead&) = delete;

  // The run is about to take page `next` of `pages` (the same list on every
  // call): the pages from there on are looked at, and what was decoded for
  // the pages before it and not taken is dropped.
  void Foresee(const std::vector<std::string>& pages, size_t next);

  // The picture at `path`, when it was decoded as `kind` from exactly
  // `fileBytes`: moves it into `image`, sets `decoded` to what DecodeImage
  // gave, and returns true. Waits when it is being decoded. False when the
  // look-ahead has nothing for it; the caller decodes it then.
  bool Take(const std::string& path, ImageKind kind, std::string_view fileBytes, bool& decoded,
            TSourceImage& image);

  // Waits until the look-ahead has done all its bounds let it do for now.
  void Settle();

  struct TState;

 private:
  std::shared_ptr<TState> State_;
};
