// tessaro-cli compose on the demo set: the batch result layout and the same
// pages whatever --jobs is, the preview switch, bad usage, and Ctrl+C leaving
// only whole files.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <set>

#include "base/FileIo.h"
#include "imaging/codecs/Codecs.h"
#include "model/Compose.h"
#include "model/SetFile.h"

namespace tessaro {
namespace {

namespace fs = std::filesystem;

const fs::path kCli = fs::path(TESSARO_BINARY_DIR) / "tools" / "tessaro-cli";
const fs::path kDemoSet = fs::path(TESSARO_BINARY_DIR) / "resources" / "demo" / "demo.cys";

class ComposeCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kDemoSet) || !fs::exists(kCli)) GTEST_SKIP() << "the demo set or the tool is not built";
    dir = fs::temp_directory_path() / ("engine_cli_" + std::to_string(getpid()) + "_" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override {
    if (!dir.empty()) fs::remove_all(dir);
  }
  // Runs the tool; returns its exit code and captures stdout+stderr.
  int Run(const std::string& args, std::string* output = nullptr) {
    const std::string command = kCli.string() + " " + args + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return -1;
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) text.append(buf, n);
    const int status = ::pclose(pipe);
    if (output) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // The names the batch result command gives the demo set's templates.
  std::set<std::string> ExpectedFiles(const std::string& caption, bool psd) {
    Result<std::unique_ptr<TSetNode>> set = ReadSetFile(kDemoSet.string(), TDiskSetFileSource());
    EXPECT_TRUE(set.ok());
    std::set<std::string> names;
    const std::string folder = BatchSetFolderName(1, caption);
    for (size_t t = 0; t < (*set)->PreviewTemps.size(); ++t)
      names.insert(folder + "/" + BatchResultFileName(1, caption, int(t) + 1, *(*set)->PreviewTemps[t], psd));
    return names;
  }
  std::set<std::string> Written() {
    std::set<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(dir / "out"))
      if (e.is_regular_file()) names.insert(fs::relative(e.path(), dir / "out").string());
    return names;
  }

  fs::path dir;
};

TEST_F(ComposeCliTest, BatchResultsOfTheDemoSetWithTwoJobs) {
  std::string out;
  ASSERT_EQ(Run("compose " + kDemoSet.string() + " --out " + (dir / "out").string() + " --jobs 2", &out), 0)
      << out;
  const std::set<std::string> written = Written();
  EXPECT_EQ(written, ExpectedFiles("demo", false)) << out;
  for (const std::string& name : written) {
    Result<DecodedImage> d = DecodeImageFile((dir / "out" / name).string());
    ASSERT_TRUE(d.ok()) << name;
    EXPECT_GT(d->pixels.width(), 580) << name;  // print size, not a preview
  }
  // On one thread (no helper anywhere) the pages come out the same, byte for
  // byte, as from two templates at once with the spare threads helping the
  // last one.
  ASSERT_EQ(Run("compose " + kDemoSet.string() + " --out " + (dir / "one").string() + " --jobs 1", &out), 0)
      << out;
  for (const std::string& name : written) {
    Result<std::vector<uint8_t>> two = ReadWholeFile((dir / "out" / name).string());
    Result<std::vector<uint8_t>> one = ReadWholeFile((dir / "one" / name).string());
    ASSERT_TRUE(two.ok() && one.ok()) << name;
    EXPECT_TRUE(*one == *two) << name << " differs";
  }
}

TEST_F(ComposeCliTest, PreviewsAreScreenSized) {
  std::string out;
  ASSERT_EQ(
      Run("compose " + kDemoSet.string() + " --out " + (dir / "out").string() + " --preview --jobs 1", &out),
      0)
      << out;
  EXPECT_EQ(Written(), ExpectedFiles("demo", false));
}

TEST_F(ComposeCliTest, BadUsageExitsWithTwo) {
  for (const std::string& args :
       {std::string("--out x"), kDemoSet.string(), kDemoSet.string() + " --out x --jobs 0",
        kDemoSet.string() + " --out x --resolution high",
        kDemoSet.string() + " --out x --watermark-position 9", std::string("/absent.cys --out x")}) {
    std::string out;
    EXPECT_EQ(Run("compose " + args, &out), 2) << args << "\n" << out;
  }
  EXPECT_EQ(Run("compose --help"), 0);
}

TEST_F(ComposeCliTest, MissingSetFailsWhileOthersCompose) {
  const fs::path broken = dir / "broken.cys";
  ASSERT_TRUE(WriteFileAtomic(broken.string(), std::string("\x01\x00\x00\x00", 4)).ok());
  std::string out;
  EXPECT_EQ(Run("compose " + broken.string() + " " + kDemoSet.string() + " --out " + (dir / "out").string() +
                    " --preview",
                &out),
            1)
      << out;
  EXPECT_NE(out.find("broken.cys"), std::string::npos) << out;
  // The demo set is the second set: its folder and names carry number 2.
  EXPECT_TRUE(fs::is_directory(dir / "out" / BatchSetFolderName(2, "demo"))) << out;
}

TEST_F(ComposeCliTest, InterruptLeavesOnlyWholeFiles) {
  const std::string command = "exec " + kCli.string() + " compose " + kDemoSet.string() + " --out " +
                              (dir / "out").string() + " --jobs 1 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  // Interrupt once the first page is written (the demo set has more).
  char line[4096];
  pid_t pid = -1;
  bool interrupted = false;
  while (std::fgets(line, sizeof line, pipe)) {
    if (!interrupted && std::string(line).rfind("composed ", 0) == 0) {
      // The tool replaced the pipe's shell (exec); find it by its command line.
      const std::string find =
          "pgrep -n -f '^" + kCli.string() + " compose .*" + (dir / "out").string() + "'";
      FILE* p = ::popen(find.c_str(), "r");
      ASSERT_NE(p, nullptr);
      ASSERT_EQ(std::fscanf(p, "%d", &pid), 1);
      ::pclose(p);
      ::kill(pid, SIGINT);
      interrupted = true;
    }
  }
  const int status = ::pclose(pipe);
  ASSERT_TRUE(interrupted);
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 130);
  const std::set<std::string> expected = ExpectedFiles("demo", false);
  const std::set<std::string> written = Written();
  EXPECT_LT(written.size(), expected.size());
  for (const std::string& name : written) {
    EXPECT_TRUE(expected.count(name)) << name;  // no temporary or partial file
    EXPECT_TRUE(DecodeImageFile((dir / "out" / name).string()).ok()) << name;
  }
}

}  // namespace
}  // namespace tessaro
