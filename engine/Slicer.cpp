#include "engine/Slicer.h"

#include <algorithm>
#include <vector>

#include "engine/BmpCodec.h"
#include "engine/GifCodec.h"
#include "engine/Grid.h"
#include "engine/JpegCodec.h"
#include "engine/PieceFile.h"
#include "engine/PieceWriter.h"
#include "engine/PngCodec.h"
#include "engine/TableMarkup.h"
#include "engine/WebpCodec.h"
#include "engine/WorkerPool.h"
#include "platform/Exception.h"
#include "platform/File.h"

void SavePiece(ImageKind kind, const std::string& path, const TBitmap& piece, bool progressive) {
  std::string bytes;
  switch (kind) {
    case ImageKind::BMP:
      bytes = EncodeBmp(piece);
      break;
    case ImageKind::GIF:
      bytes = EncodeGif(piece);
      break;
    case ImageKind::JPEG:
      bytes = EncodeJpeg(piece, progressive);
      break;
    case ImageKind::PNG:
      bytes = EncodePng(ViewOf(piece), TPixelView(), false, "", "");
      break;
    case ImageKind::WebP:
      bytes = EncodeWebp(ViewOf(piece), TPixelView(), true, "");
      break;
    case ImageKind::None:
    default:
      throw Exception("Can not write piece file " + path + ": no encoder for this image kind");
  }
  WriteNewFile(path, bytes);
}

namespace {

// Pieces encoded before any is written: enough to keep every worker busy,
// few enough that their bytes stay within a bound however large they are.
size_t PiecesPerBatch(const TGrid& grid, int workers) {
  constexpr size_t kBatchBytes = size_t{64} << 20;
  const size_t pieceBytes = size_t{4} * static_cast<size_t>(LargestFilePixels(grid)) + 1;
  return std::max(kBatchBytes / pieceBytes, size_t{2} * static_cast<size_t>(workers));
}

}  // namespace

std::string_view EncodePiece(const TSourceImage& image, ImageKind kind, const TGrid& grid,
                             size_t index, TPieceWriter& writer) {
  const TBitmap& bitmap = image.Bitmap;
  const int32_t r = static_cast<int32_t>(index / static_cast<size_t>(grid.Cols));
  const int32_t c = static_cast<int32_t>(index % static_cast<size_t>(grid.Cols));
  const TPieceRect rect = PieceRect(grid, bitmap.Width, bitmap.Height, r, c);
  const int32_t left = rect.FileLeft(), top = rect.FileTop();
  const int32_t pieceWidth = rect.FileWidth(), pieceHeight = rect.FileHeight();
  const TPixelView alpha = image.Alpha.Pixels.empty()
                               ? TPixelView()
                               : ViewOf(image.Alpha, left, top, pieceWidth, pieceHeight);
  return writer.Encode(kind, ViewOf(bitmap, left, top, pieceWidth, pieceHeight), alpha, image);
}

std::string SliceImage(
    const TSourceImage& image, ImageKind kind, const TSliceTarget& t,
    const std::string& widthHeightText, const std::string& closeLinkText, const TOptions& options,
    TRandomFileName& names, TSavedImage& saved,
    const std::function<void(const std::string& pieceNames)>& namesReady,
    const std::function<void(const std::string& path, std::string_view bytes)>& pieceWritten,
    const std::function<void(const TGrid& grid, std::vector<std::string>&& paths)>& piecesPlanned) {
  const TBitmap& bitmap = image.Bitmap;
  const int32_t w = bitmap.Width, h = bitmap.Height;
  TGrid grid = ComputeGrid(options, w, h);
  grid.Bleed = PieceBleed(t.Markup);
  // More pieces than a run has names could never all be named; refuse before
  // anything is registered instead of failing half way.
  if (int64_t{grid.Rows} * grid.Cols > TRandomFileName::kNameCount) {
    throw Exception("Can not cut " + t.ImagePath + " into " + std::to_string(grid.Cols) + " x " +
                    std::to_string(grid.Rows) + " pieces: more than " +
                    std::to_string(TRandomFileName::kNameCount) +
                    " pieces per image. Choose larger pieces.");
  }

  saved.Add(t.ImagePath);
  const bool opaque = image.Alpha.Pixels.empty() && !image.Transparent.Used;
  const TImageGeometry geometry{
      w,      h,          grid.Rows,   grid.Cols, grid.PieceWidth, grid.PieceHeight,
      opaque, t.OwnWidth, t.OwnHeight, grid.Bleed};
  saved.SetGeometry(geometry);
  names.SetTarget(t.ImageFolder, t.ImageExt);
  std::vector<std::string> paths;
  paths.reserve(static_cast<size_t>(grid.Rows) * grid.Cols);
  std::string fullPath, name;
  for (int32_t i = 0; i < grid.Rows * grid.Cols; ++i) {
    names.NextName(fullPath, name);
    saved.AddPiece(name);
    paths.push_back(fullPath);
  }
  if (namesReady) namesReady(saved.GetPieceNames());

  auto table = [&] {
    TTableSpec spec = geometry.Spec();
    spec.LinkTag = t.LinkTag;
    spec.SrcDir = t.SrcDir;
    spec.ImageExt = t.ImageExt;
    spec.WidthHeightText = widthHeightText;
    spec.CloseLinkText = closeLinkText;
    spec.TagText = t.TagText;
    spec.Markup = t.Markup;
    spec.Page = t.Page;
    return BuildTableMarkup(spec, saved.GetPieceNames());
  };
  if (kind == ImageKind::None) {
    throw Exception("Can not write piece file " + paths[0] + ": no encoder for this image kind");
  }
  if (piecesPlanned) {
    piecesPlanned(grid, std::move(paths));
    return table();
  }

  // Each piece is encoded straight from its rectangle of the picture. The
  // pieces are encoded on the run's workers a batch at a time, each worker
  // with its own encoders, and written here in row-major order, so the files,
  // the order of their creation and the reports of them do not depend on the
  // number of workers.
  TWorkerPool& pool = RunWorkers();
  size_t written = 0;
  const size_t count = paths.size();
  std::vector<TPieceWriter> writers(static_cast<size_t>(pool.Size()));
  auto encode = [&](size_t i, TPieceWriter& writer) {
    return EncodePiece(image, kind, grid, i, writer);
  };
  auto write = [&](std::string_view bytes) {
    WriteNewFile(paths[written], bytes);
    ++written;
    if (pieceWritten) pieceWritten(paths[written - 1], bytes);
  };
  const size_t batch = PiecesPerBatch(grid, pool.Size());
  std::vector<std::string> encoded(pool.Size() == 1 ? 0 : std::min(batch, count));
  try {
    if (pool.Size() == 1) {
      while (written < count) write(encode(written, writers[0]));
    }
    while (written < count) {
      const size_t first = written, n = std::min(batch, count - first);
      pool.Run(n, [&](size_t i, int worker) {
        encoded[i].assign(encode(first + i, writers[static_cast<size_t>(worker)]));
      });
      for (size_t i = 0; i < n; ++i) write(encoded[i]);
    }
  } catch (...) {
    // No page will show an image that was cut only in part: its pieces are
    // litter the run would not report.
    for (size_t i = 0; i < written; ++i) platform::DeleteFile(paths[i]);
    throw;
  }
  return table();
}
