#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/TableMarkup.h"

// The size an image is shown at and the grid it was cut in.
struct TImageGeometry {
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t Rows = 0;
  int32_t Cols = 0;
  int32_t PieceWidth = 0;
  int32_t PieceHeight = 0;
  bool Opaque = true;                   // no pixel of the picture is transparent
  int32_t OwnWidth = 0, OwnHeight = 0;  // of the source picture
  int32_t Bleed = 0;                    // of the grid (TGrid)

  // The markup's spec with these sizes; the rest is the caller's.
  TTableSpec Spec() const;
};

// The registry of the images sliced in one run: so a later tag showing the
// same image (same full path, compared exactly) gets a table of the same
// pieces without a second cut, and so the run knows which sources it may
// delete when it ends. The registry itself deletes nothing. Entries are parallel arrays grown 20
// slots at a time; index i describes one image in all of them. One object lives for one run; not
// thread-safe.
class TSavedImage {
 public:
  static constexpr int32_t kGrowStep = 20;

  TSavedImage() = default;
  TSavedImage(const TSavedImage&) = delete;
  TSavedImage& operator=(const TSavedImage&) = delete;

  // True when `path` is registered; FoundIndex() is then its first entry.
  bool Find(const std::string& path);
  // True when `path` is registered with a cut at `width` x `height` whose
  // pieces hold `bleed` pixels of their neighbours; FoundIndex() is then
  // that entry.
  bool FindCut(const std::string& path, int32_t width, int32_t height, int32_t bleed);
  // Appends a new newest entry for `path`.
  void Add(const std::string& path);
  // Stores the newest entry's geometry and makes room for Rows x Cols piece
  // names. Rows and Cols must be at least 1.
  void SetGeometry(const TImageGeometry& geometry);
  // Appends the four letters of `name` to the newest entry's piece names.
  // Raises Exception when the entry has no room left or `name` is not four
  // characters long.
  void AddPiece(const std::string& name);
  // The newest entry's piece names, four letters each, row-major, no separator.
  const std::string& GetPieceNames() const;
  // The replacement table for the entry found by the last successful Find,
  // with the current tag's link tag and SrcDir and the run texts; ImageExt
  // is the extension of the entry's path. Same text as the first slicing of
  // the image produced for the same link tag and SrcDir.
  // `tagText` is the IMG tag the markup replaces, `markup` its kind.
  void BuildTable(const std::string& linkTag, const std::string& closeLinkText,
                  const std::string& widthHeightText, const std::string& srcDir,
                  std::string& replacement, std::string_view tagText = {},
                  TMarkup markup = TMarkup::Table, TPageTraits page = {}) const;
  // Marks the source of entry `index` (and of every entry with the same
  // path) as one to keep: for an image whose backup is incomplete, or whose
  // page was not written.
  void KeepSource(int32_t index);
  // Every registered path once, in registration order, except those marked
  // with KeepSource.
  std::vector<std::string> SourcesToDelete() const;

  // Forgets the newest entry, as if it had never been added: for an image
  // whose pieces could not be made. Its source stays in place.
  void DropNewest();
  int32_t FoundIndex() const { return FoundIndex_; }
  int32_t LastIndex() const { return LastIndex_; }
  // Every slot, LastIndex() + 1 of them used; the rest are empty.
  const std::vector<std::string>& Paths() const { return Paths_; }
  const std::vector<TImageGeometry>& Geometries() const { return Geometries_; }
  const std::string& PieceNamesAt(int32_t index) const { return PieceNames_.at(index); }
  bool IsKept(int32_t index) const { return Kept_.at(index); }

 private:
  std::vector<std::string> Paths_;
  std::vector<std::string> PieceNames_;
  std::vector<TImageGeometry> Geometries_;
  std::vector<bool> Kept_;
  int32_t FoundIndex_ = -1;
  int32_t LastIndex_ = -1;
  int32_t PieceOffset_ = 0;
  // Path -> its first entry, so Find need not scan.
  std::unordered_map<std::string, int32_t> Index_;
};
