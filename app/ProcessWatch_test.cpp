#include "app/ProcessWatch.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QProcess>

#include "app/AppTest.h"

namespace {

TEST(ProcessWatch, ADetachedProcessRunsUntilItEnds) {
  EXPECT_TRUE(ProcessRunning(::getpid()));
  EXPECT_FALSE(ProcessRunning(0));
  EXPECT_FALSE(ProcessRunning(-1));
  qint64 pid = 0;
  ASSERT_TRUE(QProcess::startDetached("/bin/sleep", {"0.3"}, {}, &pid));
  EXPECT_TRUE(ProcessRunning(pid));
  EXPECT_TRUE(apptest::WaitFor([&] { return !ProcessRunning(pid); }));
}

}  // namespace
