#include "platform/Path.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(Path, NameAndFolderOfAPath) {
  struct Case {
    const char* path;
    const char* name;
    const char* folder;      // FolderOf: with its "/"
    const char* folderName;  // FolderNameOf: as shown
  };
  for (const Case& c : {Case{"/web/site/index.htm", "index.htm", "/web/site/", "/web/site"},
                        Case{"/index.htm", "index.htm", "/", "/"},
                        Case{"index.htm", "index.htm", "", ""},
                        Case{"site/", "", "site/", "site"}}) {
    EXPECT_EQ(FileNameOf(c.path), c.name) << c.path;
    EXPECT_EQ(FolderOf(c.path), c.folder) << c.path;
    EXPECT_EQ(FolderNameOf(c.path), c.folderName) << c.path;
  }
}

TEST(Path, CaseFoldingTouchesOnlyAsciiLetters) {
  EXPECT_EQ(AsciiUpper("photo.jpeg"), "PHOTO.JPEG");
  EXPECT_EQ(AsciiLower("Ä-IMG_1.GIF"), "Ä-img_1.gif") << "UTF-8 bytes stay as they are";
  EXPECT_EQ(AsciiUpper('`'), '`');
  EXPECT_EQ(AsciiLower('@'), '@');
}

}  // namespace
}  // namespace platform
