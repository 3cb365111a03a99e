#include "base/FileIo.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace tessaro {
namespace {

class FileIoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tessaro-fileio-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    FDir = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(FDir); }
  std::string FDir;
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
