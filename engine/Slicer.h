#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Bitmap.h"
#include "engine/ImageDecoder.h"
#include "engine/ImageKind.h"
#include "engine/RandomFileName.h"
#include "engine/SavedImage.h"
#include "engine/TableMarkup.h"
#include "storage/vlmOption.h"

// Where one image lies and how the page refers to it.
struct TSliceTarget {
  std::string ImagePath;    // full path of the source image
  std::string ImageFolder;  // its folder, with the trailing "/"
  std::string ImageExt;     // its extension with the dot, as written
  std::string SrcDir;       // the SRC value up to its last "/", or empty
  std::string LinkTag;      // the enclosing A start tag, or empty
  std::string TagText;      // the IMG tag the markup replaces
  TMarkup Markup = TMarkup::Table;
  bool Responsive = false;  // the page declares a viewport
};

// Cuts `image` (already the W x H it is shown at) into the grid of `options`
// and writes every piece beside the source, in the format of `kind`.
//
// In order: computes the grid (raising, with nothing registered, for values
// that cannot cut and for more pieces than a run has names); registers the image in `saved` (Add,
// SetGeometry); points `names` at ImageFolder/ImageExt and makes every piece name (NextName,
// AddPiece); calls `namesReady` with the piece names - the caller records
// them in the backup there, and an exception from it aborts before any piece
// file exists; then cuts and saves the pieces row-major. Returns the
// replacement table. A failure to write a piece raises Exception; the pieces
// already written for the image are deleted again, the image stays
// registered. `pieceWritten`, when given, is told of every piece file once
// it is complete, with its bytes.
//
// With `piecesMade` given, no file is written: once every piece is encoded,
// the pieces (path and bytes, row-major) are handed to it instead, for the
// caller to write later in that order; an exception before that hands over
// nothing.
struct TEncodedPiece {
  std::string Path;
  std::string Bytes;
};
std::string SliceImage(
    const TSourceImage& image, ImageKind kind, const TSliceTarget& t,
    const std::string& widthHeightText, const std::string& closeLinkText, const TOptions& options,
    TRandomFileName& names, TSavedImage& saved,
    const std::function<void(const std::string& pieceNames)>& namesReady,
    const std::function<void(const std::string& path, std::string_view bytes)>& pieceWritten = {},
    const std::function<void(std::vector<TEncodedPiece>&& pieces)>& piecesMade = {});

// Writes `piece` as a new file at `path` in the format of `kind` (BMP: 24-bit
// uncompressed; GIF: one frame, adaptive palette, no transparency; JPEG:
// colour, quality 90, baseline tables, progressive when `progressive`).
// Never overwrites an existing file. Raises Exception on any failure,
// removing a half-written file. Each call starts its encoder afresh; for
// the pieces of one picture TPieceWriter writes the same bytes with less
// work.
void SavePiece(ImageKind kind, const std::string& path, const TBitmap& piece, bool progressive);
