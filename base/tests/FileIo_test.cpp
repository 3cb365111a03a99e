#include "base/FileIo.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "testing/TempFolder.h"

namespace tessaro {
namespace {

class FileIoTest : public ::testing::Test {
 protected:
  test::TempFolder FFolder{"tessaro-fileio"};
  const std::string FDir = FFolder.Path();
};

TEST_F(FileIoTest, AtomicWriteReplacesAndLeavesNoTemporary) {
  std::string path = FDir + "/cfg.ini";
  ASSERT_TRUE(WriteFileAtomic(path, std::string_view("old")).ok());
  ASSERT_TRUE(WriteFileAtomic(path, std::string_view("new contents")).ok());
  auto bytes = ReadWholeFile(path);
  ASSERT_TRUE(bytes.ok());
  EXPECT_EQ(std::string(bytes->begin(), bytes->end()), "new contents");
  int entries = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(FDir)) ++entries;
  EXPECT_EQ(entries, 1);
}

TEST_F(FileIoTest, AtomicWriteIntoMissingFolderFailsCleanly) {
  Status s = WriteFileAtomic(FDir + "/missing/x.cys", std::string_view("x"));
  EXPECT_FALSE(s.ok());
  EXPECT_NE(s.message().find("missing"), std::string::npos);
}

TEST_F(FileIoTest, ReadCapsAndHeads) {
  std::string path = FDir + "/f.bin";
  ASSERT_TRUE(WriteFileAtomic(path, std::string_view("0123456789")).ok());
  EXPECT_FALSE(ReadWholeFile(path, 5).ok());
  auto head = ReadFileHead(path, 4);
  ASSERT_TRUE(head.ok());
  EXPECT_EQ(head->size(), 4u);
  EXPECT_FALSE(ReadWholeFile(FDir).ok()) << "a folder is not a file";
  EXPECT_FALSE(ReadWholeFile(FDir + "/none").ok());
}

TEST_F(FileIoTest, MakeDirectoriesCreatesParents) {
  std::string deep = FDir + "/a/b/c";
  EXPECT_TRUE(MakeDirectories(deep));
  EXPECT_TRUE(DirectoryExists(deep));
  EXPECT_TRUE(MakeDirectories(deep)) << "existing folders are fine";
}

std::string Text(const std::string& path) {
  auto bytes = ReadWholeFile(path);
  return bytes.ok() ? std::string(bytes->begin(), bytes->end()) : "<" + bytes.message() + ">";
}

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(FileIoTest, ReplacingKeepsTheOldFilesMode) {
  for (unsigned mode : {0600u, 0640u, 0444u, 0755u}) {
    const std::string path = FDir + "/set.cys";
    ASSERT_TRUE(WriteFileAtomic(path, std::string_view("old")).ok());
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
    ASSERT_TRUE(WriteFileAtomic(path, std::string_view("new")).ok());
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, mode) << std::oct << mode;
    EXPECT_EQ(Text(path), "new");
    ::unlink(path.c_str());
  }
}

TEST_F(FileIoTest, ReplacingKeepsTheOwnerWherePermitted) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root may give a file to another user";
  const std::string path = FDir + "/set.cys";
  ASSERT_TRUE(WriteFileAtomic(path, std::string_view("old")).ok());
  ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
  ASSERT_TRUE(WriteFileAtomic(path, std::string_view("new")).ok());
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 65534u);
  EXPECT_EQ(st.st_gid, 65534u);
}

TEST_F(FileIoTest, WritingThroughALinkReplacesItsTargetAndKeepsTheLink) {
  std::filesystem::create_directories(FDir + "/real");
  std::filesystem::create_directories(FDir + "/links");
  ASSERT_TRUE(WriteFileAtomic(FDir + "/real/cfg.ini", std::string_view("old")).ok());
  // A relative link, and a link to that link.
  ASSERT_EQ(::symlink("../real/cfg.ini", (FDir + "/links/cfg.ini").c_str()), 0);
  ASSERT_EQ(::symlink("cfg.ini", (FDir + "/links/again.ini").c_str()), 0);
  ASSERT_TRUE(WriteFileAtomic(FDir + "/links/again.ini", std::string_view("new")).ok());
  EXPECT_TRUE(std::filesystem::is_symlink(FDir + "/links/cfg.ini"));
  EXPECT_TRUE(std::filesystem::is_symlink(FDir + "/links/again.ini"));
  EXPECT_EQ(Text(FDir + "/real/cfg.ini"), "new");
  EXPECT_EQ(Entries(FDir + "/real"), std::vector<std::string>{"cfg.ini"}) << "no temporary left";
  EXPECT_EQ(Entries(FDir + "/links"), (std::vector<std::string>{"again.ini", "cfg.ini"}));

  // A dangling link: its target is made.
  ASSERT_EQ(::symlink("../real/new.ini", (FDir + "/links/new.ini").c_str()), 0);
  ASSERT_TRUE(WriteFileAtomic(FDir + "/links/new.ini", std::string_view("made")).ok());
  EXPECT_EQ(Text(FDir + "/real/new.ini"), "made");
  EXPECT_TRUE(std::filesystem::is_symlink(FDir + "/links/new.ini"));

  ASSERT_EQ(::symlink("loop", (FDir + "/loop").c_str()), 0);
  Status s = WriteFileAtomic(FDir + "/loop", std::string_view("x"));
  EXPECT_FALSE(s.ok());
  EXPECT_EQ(s.message().rfind(FDir + "/loop: ", 0), 0u) << s.message();
}

TEST_F(FileIoTest, AWriteRemovesTemporariesOfKilledWritesOnly) {
  auto make = [&](const std::string& name) {
    const std::string path = FDir + "/" + name;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    EXPECT_GE(fd, 0) << name;
    return fd;
  };
  ::close(make(".set.cys.tessaro-tmp-4242-17"));  // killed write of this file
  ::close(make(".other.ini.tessaro-tmp-1-2"));    // killed write of another file
  const int running = make(".big.psd.tessaro-tmp-77-3");
  ASSERT_EQ(::flock(running, LOCK_EX), 0);  // a write in progress holds its lock
  ::close(make(".set.cys.tmp123456"));      // not a name we give temporaries
  ::close(make("set.cys.tessaro-tmp-1-2"));
  ::close(make(".x.tessaro-tmp-12-ab"));

  ASSERT_TRUE(WriteFileAtomic(FDir + "/set.cys", std::string_view("new")).ok());
  EXPECT_EQ(Entries(FDir),
            (std::vector<std::string>{".big.psd.tessaro-tmp-77-3", ".set.cys.tmp123456",
                                      ".x.tessaro-tmp-12-ab", "set.cys", "set.cys.tessaro-tmp-1-2"}));
  ::close(running);
}

TEST_F(FileIoTest, LeftoverFoldersAreRemovedUnlessHeldOrForeign) {
  const std::string victim = FDir + "/victim.txt";
  ASSERT_TRUE(WriteFileAtomic(victim, std::string_view("keep")).ok());
  std::filesystem::create_directories(FDir + "/w/.job-1/sub");
  ASSERT_EQ(::symlink(victim.c_str(), (FDir + "/w/.job-1/sub/link").c_str()), 0);
  auto held = TLockedFolder::Create(FDir + "/w/.job-", 0700);
  ASSERT_TRUE(held.ok()) << held.message();
  std::filesystem::create_directories(FDir + "/w/unrelated");
  if (::geteuid() == 0) {
    std::filesystem::create_directories(FDir + "/w/.job-2");
    ASSERT_EQ(::chown((FDir + "/w/.job-2").c_str(), 65534, 65534), 0);
  }
  const int removed = RemoveUnlockedLeftovers(
      FDir + "/w", [](std::string_view name) { return name.substr(0, 5) == ".job-"; });
  EXPECT_EQ(removed, 1);
  EXPECT_FALSE(std::filesystem::exists(FDir + "/w/.job-1"));
  EXPECT_TRUE(std::filesystem::exists(held->Path()));
  EXPECT_TRUE(std::filesystem::exists(FDir + "/w/unrelated"));
  if (::geteuid() == 0) {
    EXPECT_TRUE(std::filesystem::exists(FDir + "/w/.job-2")) << "another user's";
  }
  EXPECT_EQ(Text(victim), "keep") << "links inside are removed, not followed";
}

// Every message starts with the file, then says what is wrong.
TEST_F(FileIoTest, ReadErrorsNameTheFileFirstAndTheRightFault) {
  const std::string fifo = FDir + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_EQ(::symlink("/dev/zero", (FDir + "/zero").c_str()), 0);
  ASSERT_EQ(::symlink("gone", (FDir + "/dangling").c_str()), 0);
  ASSERT_TRUE(WriteFileAtomic(FDir + "/big", std::string(100, 'x')).ok());
  // Should a read wait on the FIFO, a writer that comes and goes ends the wait.
  std::thread unblock([&] {
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) ::close(fd);
  });
  const struct {
    std::string Name;
    uint64_t Cap;
    std::string Fault;
  } cases[] = {
      {"missing", kDefaultReadCap, "no such file"},
      {"dangling", kDefaultReadCap, "dangling symbolic link"},
      {"fifo", kDefaultReadCap, "not a regular file (a FIFO)"},
      {"zero", kDefaultReadCap, "not a regular file (a character device)"},
      {"", kDefaultReadCap, "not a regular file (a folder)"},
      {"big", 10, "file too large (100 bytes, more than 10)"},
  };
  for (const auto& c : cases) {
    const std::string path = c.Name.empty() ? FDir : FDir + "/" + c.Name;
    auto bytes = ReadWholeFile(path, c.Cap);
    ASSERT_FALSE(bytes.ok()) << c.Name;
    EXPECT_EQ(bytes.message(), path + ": " + c.Fault);
    if (c.Cap == kDefaultReadCap) {
      EXPECT_EQ(CheckRegularFile(path).message(), path + ": " + c.Fault);
    }
  }
  EXPECT_TRUE(CheckRegularFile(FDir + "/big").ok());
  unblock.join();
}

TEST(PathHelpers, SplitPaths) {
  EXPECT_EQ(FileNameOf("/a/b/c.jpg"), "c.jpg");
  EXPECT_EQ(FolderOf("/a/b/c.jpg"), "/a/b/");
  EXPECT_EQ(FolderOf("c.jpg"), "");
  EXPECT_EQ(ExtensionOf("/a.b/c"), "");
  EXPECT_EQ(ExtensionOf("/a/c.tar.JPG"), ".JPG");
  EXPECT_EQ(StemOf("/x/套系_1.cys"), "套系_1");
  EXPECT_EQ(JoinPath("/a/", "/b"), "/a/b");
  EXPECT_EQ(JoinPath("/a", "b"), "/a/b");
  EXPECT_EQ(WithTrailingSeparator("/a"), "/a/");
  EXPECT_EQ(WithTrailingSeparator("/a/"), "/a/");
  EXPECT_EQ(WithoutTrailingSeparator("/a//"), "/a");
}

}  // namespace
}  // namespace tessaro
