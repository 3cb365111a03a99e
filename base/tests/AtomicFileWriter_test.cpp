// TAtomicFileWriter: pieces and patches make the file, nothing shows at the
// path before Commit, and a discarded or destroyed writer leaves the old file
// and no temporary.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/FileIo.h"
#include "testing/TempFolder.h"

namespace tessaro {
namespace {

class AtomicFileWriterTest : public ::testing::Test {
 protected:
  std::string Contents(const std::string& path) {
    auto bytes = ReadWholeFile(path);
    return bytes.ok() ? std::string(bytes->begin(), bytes->end()) : "<" + bytes.message() + ">";
  }
  int Entries() {
    int n = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(FDir)) ++n;
    return n;
  }
  test::TempFolder FFolder{"tessaro-writer"};
  const std::string FDir = FFolder.Path();
};

TEST_F(AtomicFileWriterTest, PiecesAndPatchesMakeTheFileAtCommit) {
  const std::string path = FDir + "/out.bin";
  ASSERT_TRUE(WriteFileAtomic(path, std::string_view("old")).ok());
  ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
  Result<TAtomicFileWriter> w = TAtomicFileWriter::Open(path);
  ASSERT_TRUE(w.ok()) << w.message();
  ASSERT_TRUE(w->Write("len=????;", 9).ok());
  ASSERT_TRUE(w->Write("body", 4).ok());
  EXPECT_EQ(w->Size(), 13u);
  ASSERT_TRUE(w->WriteAt(4, "0013", 4).ok());
  EXPECT_EQ(w->Size(), 13u);  // a patch does not lengthen the file
  EXPECT_EQ(Contents(path), "old");
  ASSERT_TRUE(w->Commit().ok());
  EXPECT_EQ(Contents(path), "len=0013;body");
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(Entries(), 1);
  // Nothing more can be written after the commit.
  EXPECT_FALSE(w->Write("x", 1).ok());
}

TEST_F(AtomicFileWriterTest, DiscardOrDestructionLeavesTheOldFile) {
  const std::string path = FDir + "/out.bin";
  ASSERT_TRUE(WriteFileAtomic(path, std::string_view("old")).ok());
  for (bool destroy : {false, true}) {
    SCOPED_TRACE(destroy ? "destroyed" : "discarded");
    {
      Result<TAtomicFileWriter> w = TAtomicFileWriter::Open(path);
      ASSERT_TRUE(w.ok());
      ASSERT_TRUE(w->Write("new", 3).ok());
      EXPECT_EQ(Entries(), 2);  // the temporary beside the target
      if (!destroy) {
        w->Discard();
        EXPECT_FALSE(w->Commit().ok());
      }
    }
    EXPECT_EQ(Contents(path), "old");
    EXPECT_EQ(Entries(), 1);
  }
  // A new file is not created until the commit.
  {
    Result<TAtomicFileWriter> w = TAtomicFileWriter::Open(FDir + "/new.bin");
    ASSERT_TRUE(w.ok());
    ASSERT_TRUE(w->Write("x", 1).ok());
  }
  EXPECT_FALSE(std::filesystem::exists(FDir + "/new.bin"));
  EXPECT_EQ(Entries(), 1);
}

TEST_F(AtomicFileWriterTest, RefusesWhatWriteFileAtomicRefuses) {
  std::filesystem::create_directory(FDir + "/folder");
  Result<TAtomicFileWriter> folder = TAtomicFileWriter::Open(FDir + "/folder");
  ASSERT_FALSE(folder.ok());
  EXPECT_NE(folder.message().find("not a regular file"), std::string::npos) << folder.message();
  EXPECT_FALSE(TAtomicFileWriter::Open(FDir + "/missing/out.bin").ok());
}

TEST_F(AtomicFileWriterTest, WritesThroughASymbolicLink) {
  const std::string target = FDir + "/target.bin";
  ASSERT_TRUE(WriteFileAtomic(target, std::string_view("old")).ok());
  const std::string link = FDir + "/link.bin";
  ASSERT_EQ(::symlink("target.bin", link.c_str()), 0);
  Result<TAtomicFileWriter> w = TAtomicFileWriter::Open(link);
  ASSERT_TRUE(w.ok());
  ASSERT_TRUE(w->Write("new", 3).ok());
  ASSERT_TRUE(w->Commit().ok());
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(Contents(target), "new");
}

}  // namespace
}  // namespace tessaro
