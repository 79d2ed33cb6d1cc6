// Speed of the image half of the engine. Run from the build folder:
//   bin/engine_bench
// Each cut benchmark decodes the source file's bytes and makes, encodes and
// writes every piece, as a run does for one image. Every iteration writes
// into a fresh folder; all are removed at the end, not between iterations,
// since a file system that must avoid just-freed inodes makes creating files
// right after deleting thousands far slower than a run ever meets.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

#include "bench/PhotoLike.h"
#include "engine/GifCodec.h"
#include "engine/ImageDecoder.h"
#include "engine/JpegCodec.h"
#include "engine/OctreeQuantizer.h"
#include "engine/Slicer.h"
#include "testsupport/TempDir.h"

namespace {

// 1 megapixel cut 3 x 3: the colour reduction of every piece, then the
// mapping of its pixels.
void BM_OctreeReduceAndMap(benchmark::State& state) {
  const TBitmap photo = PhotoLike(1000, 1000);
  std::vector<TBitmap> pieces;
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      TBitmap piece;
      CopyRect(photo, c * 333, r * 333, c == 2 ? 334 : 333, r == 2 ? 334 : 333, piece);
      pieces.push_back(std::move(piece));
    }
  }
  std::vector<TPaletteColor> palette;
  std::vector<uint8_t> indices;
  for (auto _ : state) {
    for (const TBitmap& piece : pieces) {
      QuantizeBitmap(piece, palette, indices);
      benchmark::DoNotOptimize(indices.data());
    }
  }
  state.SetItemsProcessed(state.iterations() * 1000 * 1000);
}
BENCHMARK(BM_OctreeReduceAndMap)->Unit(benchmark::kMillisecond);

// Decodes `file` and cuts it into cols x rows pieces in a fresh folder.
void CutFile(benchmark::State& state, ImageKind kind, const std::string& file, const char* ext,
             int32_t cols, int32_t rows) {
  testsupport::TempDir dir;
  TOptions options;
  options.PieHor = cols;
  options.PieVer = rows;
  int64_t pixels = 0;
  int round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const std::string folder = dir / std::to_string(round++);
    std::filesystem::create_directory(folder);
    state.ResumeTiming();
    TRandomFileName names;
    TSavedImage saved;
    TSourceImage image;
    if (!DecodeImage(kind, file, image)) {
      state.SkipWithError("source does not decode");
      break;
    }
    TSliceTarget target;
    target.ImagePath = folder + "/source" + ext;
    target.ImageFolder = folder + "/";
    target.ImageExt = ext;
    std::string table = SliceImage(image, kind, target, "", "", options, names, saved, nullptr);
    benchmark::DoNotOptimize(table.data());
    pixels += static_cast<int64_t>(image.Bitmap.Width) * image.Bitmap.Height;
    saved.KeepSource(0);  // the source is not on disk; nothing to delete
  }
  state.SetItemsProcessed(pixels);
}

const std::string& Jpeg12Mp() {
  static const std::string file = EncodeJpeg(PhotoLike(4000, 3000), false);
  return file;
}

void BM_CutJpeg12MpInto3x3(benchmark::State& state) {
  CutFile(state, ImageKind::JPEG, Jpeg12Mp(), ".jpg", 3, 3);
}
BENCHMARK(BM_CutJpeg12MpInto3x3)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CutJpeg12MpInto64x64(benchmark::State& state) {
  CutFile(state, ImageKind::JPEG, Jpeg12Mp(), ".jpg", 64, 64);
}
BENCHMARK(BM_CutJpeg12MpInto64x64)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CutGif1MpInto3x3(benchmark::State& state) {
  static const std::string file = EncodeGif(PhotoLike(1000, 1000));
  CutFile(state, ImageKind::GIF, file, ".gif", 3, 3);
}
BENCHMARK(BM_CutGif1MpInto3x3)->Unit(benchmark::kMillisecond)->UseRealTime();

// The libjpeg-turbo baseline: decode the 12-megapixel file and encode its
// pixels once, in process (the same work djpeg | cjpeg does).
void BM_LibjpegDecodeEncode12Mp(benchmark::State& state) {
  for (auto _ : state) {
    TBitmap bitmap;
    bool progressive;
    DecodeJpeg(Jpeg12Mp(), bitmap, progressive);
    std::string out = EncodeJpeg(bitmap, false);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_LibjpegDecodeEncode12Mp)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

// Writes the benchmark sources beside the program for the command-line
// comparison (djpeg | cjpeg) when asked: engine_bench --write-sources DIR
int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--write-sources") {
    std::ofstream(std::string(argv[2]) + "/photo12mp.jpg", std::ios::binary) << Jpeg12Mp();
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
