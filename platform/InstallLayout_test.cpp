#include "platform/InstallLayout.h"

#include <gtest/gtest.h>

#include "testsupport/TempDir.h"

namespace platform {

using testsupport::ScopedEnv;
using testsupport::TempDir;
namespace {

// Where the build installs menu.so: lib/velmora, or lib/TRIPLET/velmora.
const std::string kLibrary = VLM_INSTALL_PKGLIBDIR;

// Each case lays out some files under a fresh folder and asks for the layout
// around one of its folders.
TEST(InstallLayout, FindsTheSpreadLayoutOnlyWhereAnInstallationIsComplete) {
  struct Case {
    const char* name;
    std::vector<std::string> files;
    std::string module;  // relative to the fresh folder
    bool spread;
  };
  const Case cases[] = {
      {"program in a prefix", {"usr/bin/vlm", "usr/share/velmora/vlm.ini"}, "usr/bin", true},
      {"menu.so in a prefix", {"usr/" + kLibrary + "/menu.so", "usr/share/velmora/vlm.ini"},
       "usr/" + kLibrary, true},
      {"build tree", {"build/bin/vlm", "build/bin/vlm.ini"}, "build/bin", false},
      {"own vlm.ini wins", {"opt/bin/vlm.ini", "opt/share/velmora/vlm.ini"}, "opt/bin", false},
      {"prefix without shared files", {"usr/bin/vlm"}, "usr/bin", false},
      {"folder that is no bin/", {"x/sbin/vlm", "x/share/velmora/vlm.ini"}, "x/sbin", false},
      {"library outside velmora/", {"usr/lib/menu.so", "usr/share/velmora/vlm.ini"}, "usr/lib",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir root;
    for (const auto& file : c.files) root.Write(file, "");
    const std::string folder = root / c.module;
    const InstallLayout layout = InstallLayoutAround(folder);
    EXPECT_EQ(layout.Spread, c.spread);
    if (c.spread) {
      const std::string prefix = folder.substr(0, folder.find(c.module)) + "usr";
      EXPECT_EQ(layout.Programs, prefix + "/bin");
      EXPECT_EQ(layout.Library, prefix + "/" + kLibrary);
      EXPECT_EQ(layout.Shared, prefix + "/share/velmora");
    } else {
      EXPECT_EQ(layout.Programs, folder);
      EXPECT_EQ(layout.Library, folder);
      EXPECT_EQ(layout.Shared, folder);
    }
  }
}

}  // namespace
}  // namespace platform
