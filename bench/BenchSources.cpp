// Writes the source pictures of bench/compare into a folder:
//   bench_sources DIR
// photo.jpg (4000 x 3000, baseline), photo-progressive.jpg (the same
// pixels, progressive), photo.gif (1200 x 900, 256 colours) and photo.bmp
// (1200 x 900, 24-bit). The pictures are the same on every run.

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include "bench/PhotoLike.h"
#include "engine/BmpCodec.h"
#include "engine/GifCodec.h"
#include "engine/JpegCodec.h"

namespace {

bool Write(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) std::cerr << "bench_sources: cannot write " << path << "\n";
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: bench_sources DIR\n";
    return 2;
  }
  const std::string dir = argv[1];
  const TBitmap large = PhotoLike(4000, 3000);
  const TBitmap small = PhotoLike(1200, 900, 2);
  bool ok = Write(dir + "/photo.jpg", EncodeJpeg(large, false));
  ok = Write(dir + "/photo-progressive.jpg", EncodeJpeg(large, true)) && ok;
  ok = Write(dir + "/photo.gif", EncodeGif(small)) && ok;
  ok = Write(dir + "/photo.bmp", EncodeBmp(small)) && ok;
  return ok ? 0 : 1;
}
