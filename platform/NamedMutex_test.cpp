#include "platform/NamedMutex.h"

#include <gtest/gtest.h>

#include "testsupport/TempDir.h"

namespace platform {

using testsupport::ScopedEnv;
using testsupport::TempDir;
namespace {

TEST(NamedMutex, OnlyOneHolderAtATime) {
  TempDir dir;
  ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path());
  {
    NamedMutex first("Velmora");
    EXPECT_TRUE(first.Owned());
    NamedMutex second("Velmora");
    EXPECT_FALSE(second.Owned());
    NamedMutex other("Other");
    EXPECT_TRUE(other.Owned());
  }
  NamedMutex again("Velmora");
  EXPECT_TRUE(again.Owned());
}

}  // namespace
}  // namespace platform
