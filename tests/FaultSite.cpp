#include "tests/FaultSite.h"

#include <sys/stat.h>

#include <filesystem>
#include <sstream>

#include "storage/BackupSet.h"
#include "testsupport/SampleImages.h"

namespace faultsite {

namespace fs = std::filesystem;
using testsupport::TempDir;

namespace {

std::string Gif(int w, int h) {
  samples::GifSpec spec;
  spec.ScreenWidth = w;
  spec.ScreenHeight = h;
  spec.GlobalPalette = samples::TestPalette(16);
  samples::GifFrame frame;
  frame.Width = w;
  frame.Height = h;
  for (int i = 0; i < w * h; ++i) frame.Indices.push_back(static_cast<uint8_t>(i % 16));
  spec.Frames.push_back(frame);
  return samples::BuildGif(spec);
}

std::string Bmp(int w, int h) {
  samples::BmpSpec spec;
  spec.Width = w;
  spec.Height = h;
  spec.BitCount = 8;
  spec.Palette = samples::TestPalette(256);
  spec.PixelData = samples::PackIndexRows(samples::TestIndexRows(w, h, 256), 8);
  return samples::BuildBmp(spec);
}

void WriteWithMode(const TempDir& dir, const std::string& name, const std::string& data,
                   fs::perms mode) {
  fs::permissions(dir.Write(name, data), mode);
}

}  // namespace

void MakeSite(const TempDir& dir) {
  fs::create_directories(dir / "home");
  fs::copy_file(VLM_PROGRAM_DIR "/vlm.ini", dir / "home/vlm.ini");
  using P = fs::perms;
  const P rw = P::owner_read | P::owner_write, r = P::group_read | P::others_read;
  samples::JpegSpec jpeg;
  jpeg.Width = 24;
  jpeg.Height = 16;
  jpeg.Progressive = true;
  WriteWithMode(dir, "site/a.gif", Gif(20, 12), rw | r);
  WriteWithMode(dir, "site/img/b.jpg", samples::BuildJpeg(jpeg), P::owner_read | r);
  WriteWithMode(dir, "site/img/c.BMP", Bmp(18, 10), rw);
  WriteWithMode(dir, "site/sub/d.bmp", Bmp(9, 14), rw | P::group_read);
  WriteWithMode(dir, "site/index.htm",
                "<html><head><title>Index</title></head>\r\n<body>\r\n"
                "<img src=\"a.gif\" alt=one>\r\n"
                "<a href=\"sub/page.html\"><img src='img/b.jpg'></a>\r\n"
                "<p><img src=img/c.BMP width=12 height=8 border=0></p>\r\n"
                "</body></html>\r\n",
                rw | P::group_read);
  WriteWithMode(dir, "site/sub/page.html",
                "<HTML><BODY><IMG SRC=\"../a.gif\"><IMG SRC=\"d.bmp\" NAME=x>"
                "<a href=..\\index.htm>back <img src=../img/b.jpg> here</a></BODY></HTML>",
                rw | r);
  WriteWithMode(dir, "site/notes.txt", "<img src=a.gif>", rw | r);
  fs::permissions(dir / "site/sub", P::owner_all | P::group_read | P::group_exec);
}

sitetools::ProgramResult Protect(const TempDir& dir, const std::vector<std::string>& env,
                                 const std::string& target) {
  std::vector<std::string> vars = env;
  vars.push_back("VLM_HOME=" + (dir / "home"));
  return sitetools::RunProgram(
      {VLM_PROGRAM_DIR "/vlm-cli", "protect", "--types", "gif,jpg,bmp", "--min", "1x1", "--grid",
       "2x2", "--links", "--subdirs", dir / target},
      vars);
}

sitetools::ProgramResult RestoreIfAny(const TempDir& dir, const std::vector<std::string>& env) {
  if (ListBackupSets(dir / "home/Backup/").empty()) {
    sitetools::ProgramResult nothing;
    nothing.Started = true;
    nothing.Status = 0;
    return nothing;
  }
  std::vector<std::string> vars = env;
  vars.push_back("VLM_HOME=" + (dir / "home"));
  return sitetools::RunProgram({VLM_PROGRAM_DIR "/vlm-cli", "restore"}, vars);
}

std::vector<std::string> ErrorLines(const std::string& err) {
  std::vector<std::string> lines;
  std::istringstream in(err);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("Error #", 0) == 0 || line.rfind("Error: ", 0) == 0 ||
        line.rfind("vlm-cli: ", 0) == 0) {
      lines.push_back(line);
    }
  }
  return lines;
}

}  // namespace faultsite
