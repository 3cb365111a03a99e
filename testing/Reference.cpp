#include "testing/Reference.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "testing/TempFolder.h"

namespace tessaro::test {

std::string ShellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

int RunCommand(const std::string& command, std::string* output) {
  FILE* p = popen((command + " 2>/dev/null").c_str(), "r");
  if (!p) return -1;
  std::string out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
  const int rc = pclose(p);
  if (output) *output = std::move(out);
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

bool HaveImageMagick() {
  return access("/usr/bin/convert", X_OK) == 0 && access("/usr/bin/identify", X_OK) == 0;
}

namespace {

// Runs argv[0] with standard error discarded; true when it exits with 0.
// posix_spawn, not fork: test processes run worker threads.
bool Spawn(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return false;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// An 8-bit PAM file of depth 4 (header lines up to ENDHDR; comments copied
// from the source file are skipped).
std::optional<Image> ParsePam(const std::vector<uint8_t>& pam) {
  const std::string text(pam.begin(), pam.begin() + std::min<size_t>(pam.size(), 65536));
  const size_t end = text.find("ENDHDR\n");
  if (end == std::string::npos) return std::nullopt;
  int w = 0, h = 0, depth = 0;
  for (size_t pos = 0; pos < end;) {
    const size_t eol = text.find('\n', pos);
    const std::string line = text.substr(pos, eol - pos);
    pos = eol + 1;
    if (line.rfind("WIDTH ", 0) == 0) w = std::atoi(line.c_str() + 6);
    if (line.rfind("HEIGHT ", 0) == 0) h = std::atoi(line.c_str() + 7);
    if (line.rfind("DEPTH ", 0) == 0) depth = std::atoi(line.c_str() + 6);
  }
  const size_t at = end + 7;
  if (w <= 0 || h <= 0 || depth != 4 || pam.size() < at + size_t(w) * h * 4) return std::nullopt;
  Image image;
  if (!image.Create(w, h).ok()) return std::nullopt;
  std::memcpy(image.data(), pam.data() + at, size_t(w) * h * 4);
  return image;
}

}  // namespace

std::optional<Image> ReferenceDecode(const std::string& path, const ReferenceOptions& options) {
  if (!HaveImageMagick()) return std::nullopt;
  TempFolder scratch("tessaro-ref");
  const std::string output = scratch.File("reference.pam");
  std::vector<std::string> args = {"/usr/bin/convert", path + "[0]"};
  if (options.wholeCanvas) args.push_back("-coalesce");
  args.insert(args.end(), options.extraArgs.begin(), options.extraArgs.end());
  if (options.cmykToRgb || options.toSrgb) args.insert(args.end(), {"-colorspace", "sRGB"});
  args.insert(args.end(), {"-type", "TrueColorAlpha", "-depth", "8", "pam:" + output});
  if (!Spawn(std::move(args))) return std::nullopt;
  return ParsePam(ReadBytes(output));
}

std::string AgPsdModule() {
  if (RunCommand("node --version") != 0) return "";
  const char* env = std::getenv("TESSARO_TEST_TOOLS");
  const std::string dir = env && *env ? env : "/tmp/tessaro-test-tools";
  const std::string module = dir + "/node_modules/ag-psd";
  if (!std::filesystem::exists(module + "/package.json")) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    RunCommand("timeout 300 npm install --prefix " + ShellQuote(dir) +
               " ag-psd@31 --no-audit --no-fund --silent");
  }
  return std::filesystem::exists(module + "/package.json") ? module : "";
}

}  // namespace tessaro::test
