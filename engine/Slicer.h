#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Bitmap.h"
#include "engine/Grid.h"
#include "engine/ImageDecoder.h"
#include "engine/ImageKind.h"
#include "engine/PieceWriter.h"
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
  TPageTraits Page;                     // the page the tag stands in
  int32_t OwnWidth = 0, OwnHeight = 0;  // of the source, before it was scaled
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
// With `piecesPlanned` given, nothing is encoded or written: once the names
// are recorded, the grid and the pieces' paths (row-major) go to it, for the
// caller to encode with EncodePiece and write in that order later.
std::string SliceImage(
    const TSourceImage& image, ImageKind kind, const TSliceTarget& t,
    const std::string& widthHeightText, const std::string& closeLinkText, const TOptions& options,
    TRandomFileName& names, TSavedImage& saved,
    const std::function<void(const std::string& pieceNames)>& namesReady,
    const std::function<void(const std::string& path, std::string_view bytes)>& pieceWritten = {},
    const std::function<void(const TGrid& grid, std::vector<std::string>&& paths)>& piecesPlanned =
        {});

// Pieces of a picture encoded before it was cut, for `Grid`, row-major:
// what EncodePiece gives for each.
struct TEarlyPieces {
  TGrid Grid;
  std::vector<std::string> Bytes;
};

// The bytes of piece `index` (row-major) of `image` cut into `grid`, in the
// format of `kind`: what SliceImage writes for it. Valid until the next call
// on `writer`. Touches no file; raises Exception as TPieceWriter::Encode.
std::string_view EncodePiece(const TSourceImage& image, ImageKind kind, const TGrid& grid,
                             size_t index, TPieceWriter& writer);

// Writes `piece` as a new file at `path` in the format of `kind` (BMP: 24-bit
// uncompressed; GIF: one frame, adaptive palette, no transparency; JPEG:
// colour, quality 90, baseline tables, progressive when `progressive`).
// Never overwrites an existing file. Raises Exception on any failure,
// removing a half-written file. Each call starts its encoder afresh; for
// the pieces of one picture TPieceWriter writes the same bytes with less
// work.
void SavePiece(ImageKind kind, const std::string& path, const TBitmap& piece, bool progressive);
