// Writes the inputs of bench/compare into a folder:
//   bench_sources DIR
// photo.jpg (4000 x 3000, baseline), photo-progressive.jpg (the same
// pixels, progressive), photo.gif (1200 x 900, 256 colours), photo.bmp
// (1200 x 900, 24-bit), and a large page: page.html (about 50 MB of text
// with 10,000 IMG tags, nine in ten of them refused) with the two small
// pictures it shows, dot.gif and tiny.gif. Everything is the same on every
// run.

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

// The tags of the large page in turn: refused for a missing file, for
// NOPROTECT, for a map, for an unknown kind, for an event handler on the
// link, for a picture below the minimum size (decoded every time), for no
// source; and one picture shown again and again, cut once and then reused.
std::string Tag(int i) {
  switch (i % 10) {
    case 0:
      return "<IMG SRC=\"pictures/missing" + std::to_string(i) + ".jpg\" WIDTH=40 HEIGHT=30>";
    case 1:
      return "<IMG SRC=\"dot.gif\" NOPROTECT>";
    case 2:
      return "<IMG SRC=\"dot.gif\" USEMAP=\"#map\">";
    case 3:
      return "<IMG SRC=\"dot.png\" ALT=\"not a kind that is cut\">";
    case 4:
      return "<A HREF=\"next.html\" ONCLICK=\"go()\"><IMG SRC=\"dot.gif\"></A>";
    case 5:
      return "<IMG SRC=\"tiny.gif\" ALT=\"spacer\">";
    case 6:
      return "<IMG SRC=\"dot.gif\" ALT=\"a small picture\">";
    case 7:
      return "<A HREF=\"next.html\"><IMG SRC='missing.bmp'></A>";
    case 8:
      return "<IMG SRC=\"../elsewhere/photo.gif\">";
    default:
      return "<IMG ALT=\"no source\">";
  }
}

std::string LargePage() {
  const std::string paragraph =
      "<P>Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor "
      "incididunt ut labore et dolore magna aliqua. <A HREF=\"more.html\">More</A> about it, "
      "<B>in bold</B> and <I>in italics</I>.</P>\r\n";
  constexpr int kTags = 10000;
  constexpr size_t kSize = 50u << 20;
  std::string page = "<HTML><HEAD><TITLE>A large page</TITLE></HEAD>\r\n<BODY>\r\n";
  page.reserve(kSize + (1u << 20));
  for (int i = 0; i < kTags; ++i) {
    while (page.size() < kSize / kTags * (i + 1)) page += paragraph;
    page += Tag(i) + "\r\n";
  }
  page += "</BODY></HTML>\r\n";
  return page;
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
  ok = Write(dir + "/page.html", LargePage()) && ok;
  ok = Write(dir + "/dot.gif", EncodeGif(PhotoLike(64, 48, 3))) && ok;
  ok = Write(dir + "/tiny.gif", EncodeGif(PhotoLike(8, 8, 4))) && ok;
  return ok ? 0 : 1;
}
