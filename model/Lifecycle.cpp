#include "model/Lifecycle.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>

#include "base/FileIo.h"
#include "model/Views.h"
#include "model/func.h"

namespace tessaro {

std::string AppDir() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  std::string exe(buf, static_cast<size_t>(n));
  std::string folder = WithoutTrailingSeparator(FolderOf(exe));
  return folder.empty() ? "." : folder;
}

std::string SystemTempFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = tmp && tmp[0] == '/' ? tmp : "/tmp";
  return WithTrailingSeparator(WithoutTrailingSeparator(folder));
}

namespace {

bool PlainName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
              c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

std::string UserName() {
  const uid_t uid = ::getuid();
  if (const passwd* pw = ::getpwuid(uid); pw && pw->pw_name && PlainName(pw->pw_name)) return pw->pw_name;
  return std::to_string(uid);
}

}  // namespace

std::string TempDirPath() { return SystemTempFolder() + "Brivanto-" + UserName() + "/"; }

bool IsOwnTempDir(const std::string& tempDir) {
  struct stat st;
  const std::string folder = WithoutTrailingSeparator(tempDir);
  return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

Status EnsureTempDir(const std::string& tempDir) {
  const std::string folder = WithoutTrailingSeparator(tempDir);
  const std::string parent = WithoutTrailingSeparator(FolderOf(folder));
  if (!parent.empty() && !MakeDirectories(parent, 0700))
    return Status::Error("cannot create the folder " + parent);
  if (::mkdir(folder.c_str(), 0700) == 0) return Status::Ok();
  if (errno != EEXIST) return Status::Error("cannot create the working folder " + folder);
  if (!IsOwnTempDir(folder))
    return Status::Error("the working folder " + folder + " exists and is not a folder of this user");
  if (::chmod(folder.c_str(), 0700) != 0) return Status::Error("cannot protect the working folder " + folder);
  return Status::Ok();
}

bool RemoveTempDir(const std::string& tempDir) {
  struct stat st;
  if (::lstat(WithoutTrailingSeparator(tempDir).c_str(), &st) != 0) return true;
  if (!IsOwnTempDir(tempDir)) return false;
  return DeleteFolder(tempDir);
}

void TMessageQueue::Post(const std::string& text) { PostRaw("&A" + text); }

void TMessageQueue::PostRaw(const std::string& entry) {
  std::lock_guard<std::mutex> lock(FLock);
  FEntries.push_back(entry);
}

std::optional<std::string> TMessageQueue::TakeNext() {
  std::lock_guard<std::mutex> lock(FLock);
  for (auto it = FEntries.begin(); it != FEntries.end(); ++it) {
    if (it->empty() || (*it)[0] != '&') continue;
    std::string entry = std::move(*it);
    FEntries.erase(it);
    if (entry.size() >= 2 && entry[1] == 'A') return entry.substr(2);
    return std::nullopt;
  }
  return std::nullopt;
}

size_t TMessageQueue::Size() const {
  std::lock_guard<std::mutex> lock(FLock);
  return FEntries.size();
}

TDateTime TSystemClock::Now() const {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  return TDateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                   local.tm_hour,        local.tm_min,     local.tm_sec};
}

}  // namespace tessaro
