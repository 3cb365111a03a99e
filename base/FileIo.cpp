#include "base/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

namespace tessaro {

namespace {

std::string ErrnoText(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

class Fd {
 public:
  explicit Fd(int fd) : FFd(fd) {}
  ~Fd() {
    if (FFd >= 0) ::close(FFd);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return FFd; }
  int Release() {
    int f = FFd;
    FFd = -1;
    return f;
  }

 private:
  int FFd;
};

Result<std::vector<uint8_t>> ReadUpTo(const std::string& path, uint64_t limit, bool refuseLarger) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return Status::Error(ErrnoText("cannot open", path));
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) return Status::Error(ErrnoText("cannot stat", path));
  if (!S_ISREG(st.st_mode)) return Status::Error("not a regular file: " + path);
  uint64_t size = static_cast<uint64_t>(st.st_size);
  if (size > limit) {
    if (refuseLarger) return Status::Error("file too large: " + path);
    size = limit;
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::read(fd.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Status::Error(ErrnoText("cannot read", path));
    }
    if (n == 0) break;  // the file shrank meanwhile
    done += static_cast<size_t>(n);
  }
  bytes.resize(done);
  return bytes;
}

}  // namespace

Result<std::vector<uint8_t>> ReadWholeFile(const std::string& path, uint64_t cap) {
  return ReadUpTo(path, cap, true);
}

Result<std::vector<uint8_t>> ReadFileHead(const std::string& path, size_t count) {
  return ReadUpTo(path, count, false);
}

Status WriteFileAtomic(const std::string& path, const void* data, size_t size) {
  std::string folder = FolderOf(path);
  std::random_device rd;
  std::string temp;
  int raw = -1;
  for (int attempt = 0; attempt < 16 && raw < 0; ++attempt) {
    temp = folder + "." + FileNameOf(path) + ".tmp" + std::to_string(rd() % 1000000);
    raw = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (raw < 0 && errno != EEXIST) break;
  }
  if (raw < 0) return Status::Error(ErrnoText("cannot create", temp));
  Fd fd(raw);
  const auto* p = static_cast<const uint8_t*>(data);
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::write(fd.get(), p + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      Status s = Status::Error(ErrnoText("cannot write", temp));
      ::unlink(temp.c_str());
      return s;
    }
    done += static_cast<size_t>(n);
  }
  if (::fsync(fd.get()) != 0 || ::close(fd.Release()) != 0) {
    Status s = Status::Error(ErrnoText("cannot write", temp));
    ::unlink(temp.c_str());
    return s;
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    Status s = Status::Error(ErrnoText("cannot replace", path));
    ::unlink(temp.c_str());
    return s;
  }
  return Status::Ok();
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeDirectories(const std::string& path, unsigned mode) {
  if (path.empty()) return false;
  if (DirectoryExists(path)) return true;
  std::string current;
  size_t i = 0;
  while (i <= path.size()) {
    size_t next = path.find(kPathSeparator, i);
    if (next == std::string::npos) next = path.size();
    current = path.substr(0, next);
    if (!current.empty() && !DirectoryExists(current)) {
      if (::mkdir(current.c_str(), mode) != 0 && errno != EEXIST) return false;
    }
    i = next + 1;
  }
  return DirectoryExists(path);
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

std::string JoinPath(std::string_view a, std::string_view b) {
  if (a.empty()) return std::string(b);
  std::string out(a);
  while (!b.empty() && b.front() == kPathSeparator) b.remove_prefix(1);
  if (out.back() != kPathSeparator) out.push_back(kPathSeparator);
  out.append(b);
  return out;
}

std::string WithTrailingSeparator(std::string_view folder) {
  std::string out(folder);
  if (out.empty() || out.back() != kPathSeparator) out.push_back(kPathSeparator);
  return out;
}

std::string WithoutTrailingSeparator(std::string_view folder) {
  std::string out(folder);
  while (out.size() > 1 && out.back() == kPathSeparator) out.pop_back();
  return out;
}

std::string FileNameOf(std::string_view path) {
  size_t slash = path.rfind(kPathSeparator);
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string FolderOf(std::string_view path) {
  size_t slash = path.rfind(kPathSeparator);
  if (slash == std::string_view::npos) return std::string();
  return std::string(path.substr(0, slash + 1));
}

std::string ExtensionOf(std::string_view path) {
  std::string name = FileNameOf(path);
  size_t dot = name.rfind('.');
  if (dot == std::string::npos) return std::string();
  return name.substr(dot);
}

std::string StemOf(std::string_view path) {
  std::string name = FileNameOf(path);
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace tessaro
