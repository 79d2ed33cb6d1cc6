// vlm-cli as a user runs it: protect a site, undo it, and refuse bad input
// without changing anything.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "engine/BmpCodec.h"
#include "testsupport/ChildProcess.h"
#include "testsupport/TestImages.h"
#include "testsupport/SnapshotTree.h"
#include "testsupport/TempDir.h"
#include "storage/GlobalLib.h"

namespace {

using testsupport::TempDir;
namespace fs = std::filesystem;

struct Result {
  int status;
  std::string out;
};

Result Cli(const TempDir& home, const std::string& args) {
  auto run = testsupport::RunShell("'" VLM_PROGRAM_DIR "/vlm-cli' " + args, {"VLM_HOME=" + home.path()});
  return {run.Status, run.Output};
}

class CliRun : public testing::Test {
 protected:
  void SetUp() override {
    fs::copy_file(VLM_PROGRAM_DIR "/vlm.ini", home / "vlm.ini");
    site.Write("index.htm", "<html><head></head><body><a href=a.htm><img src=img/a.bmp></a>"
                            "<img src=\"img/b.bmp\" width=40 height=30></body></html>");
    site.Write("sub/page.html", "<p><img src=../img/a.bmp>");
    site.Write("notes.txt", "<img src=img/a.bmp>");
    site.Write("img/a.bmp", EncodeBmp(testimages::Gradient(90, 60)));
    site.Write("img/b.bmp", EncodeBmp(testimages::Gradient(80, 60)));
  }
  TempDir home, site;
};

TEST_F(CliRun, ProtectThenRestoreGivesTheSiteBack) {
  const auto before = testsupport::SnapshotTree(site.path());
  Result r = Cli(home, "protect '" + site.path() + "'");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("Pages protected: 2 of 2"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Images sliced: 2 (18 pieces)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("vlm-cli restore 0"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(site / "img/a.bmp"));
  EXPECT_EQ(site.Read("notes.txt"), "<img src=img/a.bmp>") << "not a page type";

  // A second run over the protected site, which has a new page by then: the
  // protected pages are left alone, and restores walk back run by run. (The
  // new picture's name cannot end a piece's name: a source whose name the
  // pages mention stays.)
  const std::string protectedIndex = site.Read("index.htm");
  site.Write("more.htm", "<img src=img/new-c.bmp>");
  site.Write("img/new-c.bmp", EncodeBmp(testimages::Gradient(90, 60)));
  ASSERT_EQ(Cli(home, "protect '" + site.path() + "'").status, 0);
  EXPECT_EQ(site.Read("index.htm"), protectedIndex);
  EXPECT_FALSE(fs::exists(site / "img/new-c.bmp"));
  r = Cli(home, "backups");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("set 0 (applied): 2 page(s), 2 image(s), 18 piece(s)"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("set 1 (applied): 1 page(s), 1 image(s)"), std::string::npos) << r.out;
  r = Cli(home, "restore 0");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("set 1 is newer than set 0 and applied"), std::string::npos) << r.out;

  for (const char* set : {"Backup set 1:", "Backup set 0:"}) {
    r = Cli(home, "restore");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find(set), std::string::npos) << r.out;
  }
  EXPECT_EQ(site.Read("more.htm"), "<img src=img/new-c.bmp>");
  EXPECT_EQ(site.Read("img/new-c.bmp"), EncodeBmp(testimages::Gradient(90, 60)));
  fs::remove(site / "more.htm");
  fs::remove(site / "img/new-c.bmp");
  EXPECT_EQ(testsupport::DescribeDifferences(before, testsupport::SnapshotTree(site.path())), "");
  EXPECT_NE(Cli(home, "backups").out.find("set 1 (restored)"), std::string::npos);
  r = Cli(home, "restore");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("restored already"), std::string::npos) << r.out;
  EXPECT_EQ(Cli(home, "restore --force 0").status, 0) << "again, with nothing left to change";
  EXPECT_EQ(testsupport::DescribeDifferences(before, testsupport::SnapshotTree(site.path())), "");
}

TEST_F(CliRun, DryRunListsAndChangesNothing) {
  const auto before = testsupport::SnapshotTree(site.path());
  const auto homeBefore = testsupport::SnapshotTree(home.path());
  Result r = Cli(home, "protect --dry-run --no-links '" + site.path() + "'");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("slice " + (site / "img/b.bmp")), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("slice " + (site / "img/a.bmp")), std::string::npos) << "from the sub page";
  r = Cli(home, "protect --dry-run '" + site.path() + "'");
  EXPECT_NE(r.out.find("sub/page.html\n  reuse " + (site / "img/a.bmp")), std::string::npos)
      << "cut on index.htm, shown again at its own size: " << r.out;
  EXPECT_EQ(testsupport::DescribeDifferences(before, testsupport::SnapshotTree(site.path())), "");
  EXPECT_EQ(testsupport::DescribeDifferences(homeBefore, testsupport::SnapshotTree(home.path())),
            "");

  // A WIDTH that is no number leaves its page, as in a run, and the look
  // goes on with the next page.
  site.Write("bad.htm", "<img src=img/a.bmp width=abc>");
  r = Cli(home, "protect --dry-run '" + (site / "bad.htm") + "' '" + (site / "index.htm") + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("Error: " + (site / "bad.htm") + ": 'abc' is not a valid integer value"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("slice " + (site / "img/b.bmp")), std::string::npos) << r.out;

  // A page another program holds is an error in the look as in the run.
  {
    auto held = TFileHandler::Open(site / "index.htm", fmOpenReadWrite | fmShareExclusive);
    r = Cli(home, "protect --dry-run '" + (site / "index.htm") + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Error #102"), std::string::npos) << r.out;
  }

  // A pipe named like a picture is never opened: reading it would block.
  ASSERT_EQ(::mkfifo((site / "img/pipe.gif").c_str(), 0600), 0);
  site.Write("pipe.htm", "<img src=img/pipe.gif>");
  r = Cli(home, "protect --dry-run '" + (site / "pipe.htm") + "'");
  EXPECT_NE(r.out.find("leave " + (site / "img/pipe.gif") + ": not a regular file"),
            std::string::npos)
      << r.out;
  r = Cli(home, "protect '" + (site / "pipe.htm") + "'");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(site.Read("pipe.htm").find("<table"), std::string::npos) << "no table for a pipe";
}

// A SRC starting with "/" is found under the site root, and only there;
// without a site root the tag is left alone, never looked up at the
// machine's root.
TEST_F(CliRun, RootRelativeAddressesNeedASiteRoot) {
  site.Write("root.htm", "<img src=\"/img/a.bmp?v=1\"><img src=\"/../img/b.bmp\">");
  Result r = Cli(home, "protect --dry-run --format json '" + (site / "root.htm") + "'");
  EXPECT_EQ(r.status, 0) << r.out;
  const std::string reason = "\"reason\":\"root-relative address without a site root\"";
  EXPECT_NE(r.out.find("\"action\":\"leave\"," + reason), std::string::npos) << r.out;
  const std::string missingRoot = site / "missing";
  EXPECT_EQ(Cli(home, "protect --site-root '" + missingRoot + "' '" + site.path() + "'").status, 2);

  r = Cli(home, "protect --site-root '" + site.path() + "' '" + (site / "root.htm") + "'");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("Images sliced: 2 (18 pieces)"), std::string::npos) << r.out;
  const std::string page = site.Read("root.htm");
  EXPECT_NE(page.find("src=\"/img/"), std::string::npos) << "the SRC's folder: " << page;
  // The site's other pages, not in this run, still show them.
  EXPECT_TRUE(fs::exists(site / "img/a.bmp"));
  EXPECT_NE(r.out.find("Sources kept: 2 (a page or file of the site still refers to it)"),
            std::string::npos)
      << r.out;
}

TEST_F(CliRun, BadInputChangesNothing) {
  const auto before = testsupport::SnapshotTree(site.path());
  EXPECT_EQ(Cli(home, "protect '" + site.path() + "' '" + site.path() + "/missing.htm'").status, 2);
  EXPECT_EQ(Cli(home, "protect --grid 0x2 '" + site.path() + "'").status, 2);
  EXPECT_EQ(Cli(home, "protect --colour red '" + site.path() + "'").status, 2);
  EXPECT_EQ(Cli(home, "restore").status, 1) << "no set yet";
  home.Write("vlm.ini", "1\r\n1\r\n");
  Result r = Cli(home, "protect '" + site.path() + "'");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("List index out of bounds (2)"), std::string::npos) << r.out;
  EXPECT_EQ(testsupport::DescribeDifferences(before, testsupport::SnapshotTree(site.path())), "");
  EXPECT_FALSE(fs::exists(home / "Backup"));
}

TEST_F(CliRun, ErrorsOfOnePageAreReportedAndTheRunGoesOn) {
  site.Write("bad.htm", "<img src=img/a.bmp>");
  TFileHandler held(site / "bad.htm", fmOpenReadWrite | fmShareExclusive);  // another program has it
  Result r = Cli(home, "protect '" + (site / "bad.htm") + "' '" + (site / "index.htm") + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("Error #102: Can not open file " + (site / "bad.htm")), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Pages protected: 1 of 2"), std::string::npos) << r.out;
}

}  // namespace
