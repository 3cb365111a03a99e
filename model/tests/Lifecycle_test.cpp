#include "model/Lifecycle.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "Fakes.h"
#include "testing/ScopedEnv.h"

namespace tessaro {
namespace {

using EnvGuard = test::ScopedEnv;

TEST(TempDir, TrailingSeparatorOfTheSystemFolderMakesNoDifference) {
  EnvGuard guard("TMPDIR");
  ::setenv("TMPDIR", "/var/tmp/", 1);
  const std::string with = TempDirPath();
  ::setenv("TMPDIR", "/var/tmp", 1);
  EXPECT_EQ(TempDirPath(), with);
  EXPECT_EQ(with.rfind("/var/tmp/Brivanto-", 0), 0u) << with;
  EXPECT_EQ(with.back(), '/');
  ::setenv("TMPDIR", "relative/dir", 1);
  EXPECT_EQ(SystemTempFolder(), "/tmp/");
  ::unsetenv("TMPDIR");
  EXPECT_EQ(SystemTempFolder(), "/tmp/");
}

TEST(TempDir, IsCreatedPrivate) {
  test::TempFolder dir;
  const std::string work = dir / "Brivanto-me/";
  ASSERT_TRUE(EnsureTempDir(work).ok());
  struct stat st;
  ASSERT_EQ(::stat(work.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_EQ(::chmod(work.c_str(), 0755), 0);
  ASSERT_TRUE(EnsureTempDir(work).ok()) << "our own folder is taken back";
  ASSERT_EQ(::stat(work.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(TempDir, RefusesALinkOrAFileInItsPlace) {
  test::TempFolder dir;
  testing::WriteText(dir / "victim/keep.txt", "keep");
  ASSERT_EQ(::symlink((dir / "victim").c_str(), (dir / "Brivanto-me").c_str()), 0);
  EXPECT_FALSE(EnsureTempDir(dir / "Brivanto-me/").ok());
  EXPECT_FALSE(RemoveTempDir(dir / "Brivanto-me/"));
  EXPECT_TRUE(std::filesystem::exists(dir / "victim/keep.txt"));
  testing::WriteText(dir / "plain", "x");
  EXPECT_FALSE(EnsureTempDir(dir / "plain/").ok());
}

TEST(TempDir, RefusesAFolderOfAnotherUser) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to make a folder owned by another user";
  test::TempFolder dir;
  const std::string work = dir / "Brivanto-me";
  ASSERT_EQ(::mkdir(work.c_str(), 0777), 0);
  ASSERT_EQ(::chown(work.c_str(), 12345, 12345), 0);
  // Root owns nothing here: the folder belongs to user 12345.
  EXPECT_FALSE(IsOwnTempDir(work));
  EXPECT_FALSE(EnsureTempDir(work + "/").ok());
  testing::WriteText(work + "/planted.txt", "x");
  EXPECT_FALSE(RemoveTempDir(work + "/"));
  EXPECT_TRUE(std::filesystem::exists(work + "/planted.txt"));
}

TEST(TempDir, RemovalDeletesEverythingInside) {
  test::TempFolder dir;
  const std::string work = dir / "w/";
  ASSERT_TRUE(EnsureTempDir(work).ok());
  testing::WriteText(work + "a_2009/preview.jpg", "x");
  EXPECT_TRUE(RemoveTempDir(work));
  EXPECT_FALSE(std::filesystem::exists(work));
  EXPECT_TRUE(RemoveTempDir(work)) << "nothing left to remove";
}

TEST(AppDir, IsTheFolderOfThisProgram) {
  const std::string dir = AppDir();
  EXPECT_NE(dir.back(), '/');
  EXPECT_TRUE(std::filesystem::exists(dir + "/model_test"));
}

TEST(MessageQueue, TakesMessagesInPostingOrderOnePerTick) {
  TMessageQueue queue;
  queue.Post("one");
  queue.PostRaw("plain text");  // never taken
  queue.PostRaw("&Bother");     // taken, not shown
  queue.Post("two");
  EXPECT_EQ(queue.TakeNext(), "one");
  EXPECT_EQ(queue.TakeNext(), std::nullopt);
  EXPECT_EQ(queue.TakeNext(), "two");
  EXPECT_EQ(queue.TakeNext(), std::nullopt);
  EXPECT_EQ(queue.Size(), 1u);
}

TEST(MessageQueue, LosesNothingWhileThreadsPost) {
  TMessageQueue queue;
  constexpr int kPerThread = 2000;
  std::vector<std::thread> posters;
  for (int t = 0; t < 3; ++t)
    posters.emplace_back([&queue, t] {
      for (int i = 0; i < kPerThread; ++i) queue.Post(std::to_string(t) + ":" + std::to_string(i));
    });
  std::vector<int> next(3, 0);
  int taken = 0;
  while (taken < 3 * kPerThread) {
    if (auto m = queue.TakeNext()) {
      const int t = (*m)[0] - '0';
      EXPECT_EQ(m->substr(2), std::to_string(next[t])) << "each thread's messages stay in order";
      ++next[t];
      ++taken;
    }
  }
  for (auto& p : posters) p.join();
  EXPECT_EQ(queue.Size(), 0u);
}

}  // namespace
}  // namespace tessaro
