// Writes the seed corpus of every harness: small valid inputs of each kind,
// each also cut at every length, and the hostile samples whole.
//
//   vlm-fuzz-seeds FOLDER   makes FOLDER/<harness>/ for bmp, gif, jpeg,
//                           options, lines, handoff, backup_set and page

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/File.h"
#include "testsupport/TempDir.h"
#include "storage/Backup.h"
#include "testsupport/SampleImages.h"

namespace {

namespace fs = std::filesystem;

class Corpus {
 public:
  Corpus(const std::string& root, const std::string& harness) : folder_(root + "/" + harness) {
    fs::create_directories(folder_);
  }
  void Add(const std::string& name, const std::string& bytes) {
    std::FILE* f = std::fopen((folder_ + "/" + name).c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
      std::perror(name.c_str());
      std::exit(1);
    }
    std::fclose(f);
    ++count_;
  }
  // The whole input and every proper prefix of it.
  void AddWithCuts(const std::string& name, const std::string& bytes) {
    Add(name, bytes);
    for (size_t n = 0; n < bytes.size(); ++n)
      Add(name + "-cut" + std::to_string(n), bytes.substr(0, n));
  }
  size_t count() const { return count_; }

 private:
  std::string folder_;
  size_t count_ = 0;
};

const char kOptions[] =
    "1\r\n1\r\n1\r\n1\r\n1\r\n0\r\n1\r\n16\r\n16\r\n3\r\n3\r\n64\r\n64\r\n\r\n\r\n1\r\n"
    "htm,HTML Document\r\nhtml,HTML Document\r\nshtml,Server-parsed HTML Document\r\n";

void Images(const std::string& root, size_t& total) {
  struct Kind {
    const char* harness;
    std::vector<samples::SampleFile> valid, hostile;
  };
  Kind kinds[] = {{"bmp", samples::ValidBmpFiles(), samples::HostileBmpFiles()},
                  {"gif", samples::ValidGifFiles(), samples::HostileGifFiles()},
                  {"jpeg", samples::ValidJpegFiles(), samples::HostileJpegFiles()}};
  for (auto& kind : kinds) {
    Corpus corpus(root, kind.harness);
    for (const auto& f : kind.valid) {
      // Every cut of the small files; the large ones whole.
      if (f.Bytes.size() <= 4096) {
        corpus.AddWithCuts(f.Name, f.Bytes);
      } else {
        corpus.Add(f.Name, f.Bytes);
      }
    }
    for (const auto& f : kind.hostile) {
      if (f.Bytes.size() <= 65536) corpus.Add(f.Name, f.Bytes);
    }
    total += corpus.count();
  }
}

void TextFiles(const std::string& root, size_t& total) {
  Corpus options(root, "options");
  const std::string ini = kOptions;
  options.AddWithCuts("vlm.ini", ini);
  std::string lf = ini, cr = ini;
  for (size_t at; (at = lf.find("\r\n")) != std::string::npos;) lf.replace(at, 2, "\n");
  for (size_t at; (at = cr.find("\r\n")) != std::string::npos;) cr.replace(at, 2, "\r");
  options.Add("vlm-lf.ini", lf);
  options.Add("vlm-cr.ini", cr);
  options.Add("vlm-values.ini",
              "2\n256\n-1\n$FF\n0x10\nx7\n  +3\n007\n-2147483648\n$FFFFFFFF\n0X7fffffff\n-0\n+0\n"
              " custom dir \n\n1\n,\nnocomma\n\nhtm,a,b,c\n");
  options.Add("vlm-bad.ini", "1\n1\n1\n1\n1\n0\n1\n16 \n16\n3\n3\n64\n64\n\n\n1\n");
  total += options.count();

  Corpus lines(root, "lines");
  lines.AddWithCuts("mixed",
                    std::string("one\r\ntwo\rthree\nfour\r\r\n\n\rfive\0after NUL\r\n", 40));
  lines.Add("vlm.ini", ini);
  lines.Add("list", "/site/index.htm\r\n/site/sub/page.html\r\n");
  total += lines.count();

  Corpus handoff(root, "handoff");
  handoff.AddWithCuts("files.tmp", "/home/user/site/index.htm\r\n/home/user/site/sub\r\n");
  handoff.Add("lone-line-ends", "/a\r/b\n/c\r\n\r\n/d");
  total += handoff.count();
}

std::string Packed(const std::string& index, const std::string& list, const std::string& data,
                   uint8_t existing) {
  std::string s;
  s.push_back(static_cast<char>(index.size() & 0xFF));
  s.push_back(static_cast<char>(index.size() >> 8));
  s.push_back(static_cast<char>(list.size() & 0xFF));
  s.push_back(static_cast<char>(list.size() >> 8));
  s.push_back(static_cast<char>(existing));
  return s + index + list + data;
}

void BackupSets(const std::string& root, size_t& total) {
  testsupport::TempDir dir;
  const std::string gif = samples::ValidGifFiles()[0].Bytes;
  {
    TImageBackupMaker maker(dir / "Backup/");
    maker.AddEntry(static_cast<int32_t>(gif.size()), "/site/a.gif", gif);
    maker.AddPieceNames("abcdefghijklmnop");
    maker.AddEntry(5, "/site/b.BMP", "BM...");
    maker.AddPieceNames("wxyz");
    maker.AddEntry(12, "/site/index.htm", "<html></html");
    maker.AddEntry(0, "/site/empty.htm", "");
    maker.AddEntry(3, "/site/index.htm", "new");
  }
  const std::string index = testsupport::TempDir::ReadFile(dir / "Backup/0.ind");
  const std::string list = testsupport::TempDir::ReadFile(dir / "Backup/0.img");
  const std::string data = testsupport::TempDir::ReadFile(dir / "Backup/0.dat");
  Corpus corpus(root, "backup_set");
  corpus.Add("set", Packed(index, list, data, 0));
  corpus.Add("set-files-changed", Packed(index, list, data, 0xFF));
  for (size_t n = 0; n < index.size(); n += 13) {
    corpus.Add("index-cut" + std::to_string(n), Packed(index.substr(0, n), list, data, 0));
  }
  for (size_t n = 0; n < list.size(); ++n) {
    corpus.Add("list-cut" + std::to_string(n), Packed(index, list.substr(0, n), data, 0));
  }
  for (size_t n = 0; n < data.size(); n += 7) {
    corpus.Add("data-cut" + std::to_string(n), Packed(index, list, data.substr(0, n), 0));
  }
  total += corpus.count();
}

void Pages(const std::string& root, size_t& total) {
  Corpus corpus(root, "page");
  // The page lies in sub/ of a site holding a.gif, img/b.jpg, c.bmp,
  // img/d.BMP, sub/e.gif, f.jpeg, anim.gif and cut.jpg.
  const std::string full =
      "<!DOCTYPE html><html><head><title>t</title></head><body>\n"
      "<img src=\"../a.gif\" alt=x><img src='../img/b.jpg' width=20 height=10>\n"
      "<a href=\"x.htm\"><img src=../c.bmp></a>\n"
      "<a href=y.htm>text <IMG SRC=\"e.gif\" NAME=n> more</a>\n"
      "<a href=z.htm onclick=\"go()\"><img src=../f.jpeg></a>\n"
      "<img src=\"../a.gif\" width=7><img src=..\\img\\d.BMP NOPROTECT>\n"
      "<img src=../anim.gif><img src=../cut.jpg><img src=\"/vlm-site/img/d.BMP\" usemap=#m>\n"
      "<!-- <img src=\"../img/d.BMP\"> --></body></html>\n";
  for (uint8_t flags : {0, 1, 3, 5, 7, 8, 15, 0x21}) {
    corpus.Add("page-flags" + std::to_string(flags),
               std::string(1, static_cast<char>(flags)) + full);
  }
  corpus.AddWithCuts("page", std::string(1, '\x03') + full);
  corpus.Add("no-head", std::string(1, '\x01') + "<img src=e.gif><p><a href=q><img src=e.gif></a>");
  corpus.Add("unterminated", std::string(1, '\x01') +
                                 "<html><head></head><a href=x><img src=e.gif><IMG src=../a.gif");
  corpus.Add("bad-width", std::string(1, '\x00') + "<img src=e.gif width=abc><img src=e.gif>");
  corpus.Add("empty", std::string(1, '\x00'));
  total += corpus.count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  size_t total = 0;
  Images(argv[1], total);
  TextFiles(argv[1], total);
  BackupSets(argv[1], total);
  Pages(argv[1], total);
  std::printf("%zu seed inputs written to %s\n", total, argv[1]);
  return 0;
}
