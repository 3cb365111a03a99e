#include "base/FileIo.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <utility>

namespace tessaro {

namespace {

std::string ErrnoText(const std::string& path, const std::string& what) {
  return path + ": " + what + " (" + std::strerror(errno) + ")";
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

const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a plain file";
}

// The message for a failed open or stat of `path` (errno set by it).
std::string MissingText(const std::string& path) {
  const int error = errno;
  struct stat st;
  if (error == ENOENT && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
    return path + ": dangling symbolic link";
  if (error == ENOENT || error == ENOTDIR) return path + ": no such file";
  errno = error;
  return ErrnoText(path, "cannot open");
}

Result<std::vector<uint8_t>> ReadUpTo(const std::string& path, uint64_t limit, bool refuseLarger) {
  // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below.
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) return Status::Error(MissingText(path));
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) return Status::Error(ErrnoText(path, "cannot read"));
  if (!S_ISREG(st.st_mode)) return Status::Error(path + ": not a regular file (" + KindOf(st.st_mode) + ")");
  ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
  uint64_t size = static_cast<uint64_t>(st.st_size);
  if (size > limit) {
    if (refuseLarger)
      return Status::Error(path + ": file too large (" + std::to_string(size) + " bytes, more than " +
                           std::to_string(limit) + ")");
    size = limit;
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::read(fd.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Status::Error(ErrnoText(path, "cannot read"));
    }
    if (n == 0) break;  // the file shrank meanwhile
    done += static_cast<size_t>(n);
  }
  bytes.resize(done);
  return bytes;
}

// Follows symbolic links from `path` to the file they finally name (which
// need not exist). Relative link texts count from the link's folder.
Result<std::string> FinalTarget(const std::string& path) {
  std::string current = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
    std::vector<char> buffer(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
    const ssize_t n = ::readlink(current.c_str(), buffer.data(), buffer.size());
    if (n < 0 || static_cast<size_t>(n) >= buffer.size())
      return Status::Error(ErrnoText(current, "cannot read the link"));
    std::string text(buffer.data(), static_cast<size_t>(n));
    current = !text.empty() && text[0] == kPathSeparator ? text : FolderOf(current) + text;
  }
  return Status::Error(path + ": too many levels of symbolic links");
}

std::string FolderForCalls(const std::string& folder) { return folder.empty() ? "." : folder; }

bool IsDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// Creates a temporary beside `target`, locked while we hold it. Returns the
// descriptor and its name.
Result<int> CreateTemporary(const std::string& target, mode_t mode, std::string& temp) {
  const std::string folder = FolderOf(target);
  std::random_device rd;
  for (int attempt = 0; attempt < 64; ++attempt) {
    temp = folder + "." + FileNameOf(target) + kTempMarker + std::to_string(::getpid()) + "-" +
           std::to_string(rd() % 1000000000);
    const int raw = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
    if (raw < 0) {
      if (errno == EEXIST) continue;
      return Status::Error(ErrnoText(temp, "cannot create"));
    }
    // A cleaner may have taken the name between open and lock (it only
    // removes unlocked files); then the name is gone and we start again.
    struct stat mine, named;
    if (::flock(raw, LOCK_EX) != 0 || ::fstat(raw, &mine) != 0 || ::lstat(temp.c_str(), &named) != 0 ||
        mine.st_ino != named.st_ino || mine.st_dev != named.st_dev) {
      ::close(raw);
      continue;
    }
    return raw;
  }
  return Status::Error(target + ": cannot create a temporary file beside it");
}

}  // namespace

Result<std::vector<uint8_t>> ReadWholeFile(const std::string& path, uint64_t cap) {
  return ReadUpTo(path, cap, true);
}

Result<std::vector<uint8_t>> ReadFileHead(const std::string& path, size_t count) {
  return ReadUpTo(path, count, false);
}

Status CheckRegularFile(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return Status::Error(MissingText(path));
  if (!S_ISREG(st.st_mode)) return Status::Error(path + ": not a regular file (" + KindOf(st.st_mode) + ")");
  return Status::Ok();
}

bool IsAtomicTemporaryName(std::string_view name) {
  if (name.size() < 2 || name[0] != '.') return false;
  const size_t marker = name.rfind(kTempMarker);
  if (marker == std::string_view::npos || marker < 1) return false;
  const std::string_view rest = name.substr(marker + std::strlen(kTempMarker));
  const size_t dash = rest.find('-');
  return dash != std::string_view::npos && IsDigits(rest.substr(0, dash)) && IsDigits(rest.substr(dash + 1));
}

int RemoveUnlockedLeftovers(const std::string& folder, const std::function<bool(std::string_view)>& isOurs) {
  const std::string where = FolderForCalls(folder);
  DIR* dir = ::opendir(where.c_str());
  if (!dir) return 0;
  const int dirFd = ::dirfd(dir);
  std::vector<std::string> folders;
  int removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    if (!isOurs(entry->d_name)) continue;
    const int raw = ::openat(dirFd, entry->d_name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (raw < 0) continue;
    Fd fd(raw);
    struct stat held, named;
    // Ours, not held by a running writer, and still under that name.
    if (::fstat(fd.get(), &held) != 0 || held.st_uid != ::geteuid()) continue;
    if (!S_ISREG(held.st_mode) && !S_ISDIR(held.st_mode)) continue;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) continue;
    if (::fstatat(dirFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) != 0 || named.st_ino != held.st_ino ||
        named.st_dev != held.st_dev)
      continue;
    if (S_ISDIR(held.st_mode)) {
      folders.push_back(JoinPath(where, entry->d_name));
    } else if (::unlinkat(dirFd, entry->d_name, 0) == 0) {
      ++removed;
    }
  }
  ::closedir(dir);
  for (const std::string& f : folders) {
    std::error_code ec;
    std::filesystem::remove_all(f, ec);  // does not follow links
    if (!ec) ++removed;
  }
  return removed;
}

int RemoveStaleTemporaries(const std::string& folder) {
  return RemoveUnlockedLeftovers(folder, [](std::string_view name) { return IsAtomicTemporaryName(name); });
}

Result<TLockedFolder> TLockedFolder::Create(const std::string& prefix, unsigned mode) {
  std::random_device rd;
  for (int attempt = 0; attempt < 64; ++attempt) {
    const std::string path = prefix + std::to_string(rd() % 1000000000);
    if (::mkdir(path.c_str(), mode) != 0) {
      if (errno == EEXIST) continue;
      return Status::Error(ErrnoText(path, "cannot create the folder"));
    }
    const int raw = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (raw < 0) continue;
    struct stat mine, named;
    // As with temporaries: a cleaner may have taken it before the lock.
    if (::flock(raw, LOCK_EX) != 0 || ::fstat(raw, &mine) != 0 || ::lstat(path.c_str(), &named) != 0 ||
        mine.st_ino != named.st_ino || mine.st_dev != named.st_dev) {
      ::close(raw);
      continue;
    }
    return TLockedFolder(path, raw);
  }
  return Status::Error(prefix + ": cannot create a new folder");
}

TLockedFolder::TLockedFolder(TLockedFolder&& other) noexcept
    : FPath(std::move(other.FPath)), FFd(std::exchange(other.FFd, -1)) {}

TLockedFolder& TLockedFolder::operator=(TLockedFolder&& other) noexcept {
  if (this != &other) {
    if (FFd >= 0) ::close(FFd);
    FPath = std::move(other.FPath);
    FFd = std::exchange(other.FFd, -1);
  }
  return *this;
}

TLockedFolder::~TLockedFolder() {
  if (FFd >= 0) ::close(FFd);
}

Status SyncFolder(const std::string& folder) {
  const std::string where = FolderForCalls(folder);
  Fd fd(::open(where.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() < 0) return Status::Error(ErrnoText(where, "cannot open the folder"));
  // Some file systems cannot sync a folder; that is no failure of the write.
  if (::fsync(fd.get()) != 0 && errno != EINVAL && errno != EROFS)
    return Status::Error(ErrnoText(where, "cannot flush the folder"));
  return Status::Ok();
}

Status WriteFileAtomic(const std::string& path, const void* data, size_t size) {
  auto resolved = FinalTarget(path);
  if (!resolved.ok()) return resolved.status();
  const std::string& target = *resolved;
  RemoveStaleTemporaries(FolderOf(target));

  struct stat old;
  const bool replacing = ::stat(target.c_str(), &old) == 0;
  if (replacing && !S_ISREG(old.st_mode))
    return Status::Error(target + ": not a regular file (" + KindOf(old.st_mode) + ")");
  // Private until the old file's permissions are copied onto it.
  std::string temp;
  auto created = CreateTemporary(target, replacing ? 0600 : 0666, temp);
  if (!created.ok()) return created.status();
  Fd fd(*created);
  auto fail = [&](const std::string& message) {
    ::unlink(temp.c_str());
    return Status::Error(message);
  };
  const auto* p = static_cast<const uint8_t*>(data);
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::write(fd.get(), p + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail(ErrnoText(temp, "cannot write"));
    }
    done += static_cast<size_t>(n);
  }
  if (replacing) {
    // Owner and group where permitted (a plain user can set only the group,
    // and only to one of its own); then the mode, which chown may clear.
    if (::fchown(fd.get(), old.st_uid, old.st_gid) != 0)
      (void)!::fchown(fd.get(), static_cast<uid_t>(-1), old.st_gid);
    if (::fchmod(fd.get(), old.st_mode & 07777) != 0) return fail(ErrnoText(temp, "cannot set the mode"));
  }
  if (::fsync(fd.get()) != 0) return fail(ErrnoText(temp, "cannot write"));
  if (::rename(temp.c_str(), target.c_str()) != 0) return fail(ErrnoText(target, "cannot replace"));
  // Closed (and unlocked) only after the rename: a cleaner never sees the
  // temporary unlocked.
  if (::close(fd.Release()) != 0) return Status::Error(ErrnoText(target, "cannot write"));
  return SyncFolder(FolderOf(target));
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

Result<TAtomicFileWriter> TAtomicFileWriter::Open(const std::string& path) {
  auto resolved = FinalTarget(path);
  if (!resolved.ok()) return resolved.status();
  TAtomicFileWriter out;
  out.FTarget = *resolved;
  RemoveStaleTemporaries(FolderOf(out.FTarget));
  struct stat old;
  out.FReplacing = ::stat(out.FTarget.c_str(), &old) == 0;
  if (out.FReplacing) {
    if (!S_ISREG(old.st_mode))
      return Status::Error(out.FTarget + ": not a regular file (" + KindOf(old.st_mode) + ")");
    out.FMode = old.st_mode & 07777;
    out.FUid = old.st_uid;
    out.FGid = old.st_gid;
  }
  auto created = CreateTemporary(out.FTarget, out.FReplacing ? 0600 : 0666, out.FTemp);
  if (!created.ok()) return created.status();
  out.FFd = *created;
  return out;
}

TAtomicFileWriter::TAtomicFileWriter(TAtomicFileWriter&& other) noexcept { *this = std::move(other); }

TAtomicFileWriter& TAtomicFileWriter::operator=(TAtomicFileWriter&& other) noexcept {
  if (this != &other) {
    Discard();
    FTarget = std::move(other.FTarget);
    FTemp = std::move(other.FTemp);
    FFd = std::exchange(other.FFd, -1);
    FSize = std::exchange(other.FSize, 0);
    FReplacing = other.FReplacing;
    FMode = other.FMode;
    FUid = other.FUid;
    FGid = other.FGid;
  }
  return *this;
}

Status TAtomicFileWriter::WriteAt(uint64_t offset, const void* data, size_t size) {
  if (FFd < 0) return Status::Error(FTarget + ": cannot write (the file is closed)");
  const auto* p = static_cast<const uint8_t*>(data);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pwrite(FFd, p + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return Status::Error(ErrnoText(FTemp, "cannot write"));
    }
    done += static_cast<size_t>(n);
  }
  FSize = std::max<uint64_t>(FSize, offset + size);
  return Status::Ok();
}

Status TAtomicFileWriter::Write(const void* data, size_t size) { return WriteAt(FSize, data, size); }

Status TAtomicFileWriter::Commit() {
  if (FFd < 0) return Status::Error(FTarget + ": cannot write (the file is closed)");
  auto fail = [&](const std::string& message) {
    Discard();
    return Status::Error(message);
  };
  if (FReplacing) {
    // As in WriteFileAtomic: owner and group where permitted, then the mode.
    if (::fchown(FFd, FUid, FGid) != 0) (void)!::fchown(FFd, static_cast<uid_t>(-1), FGid);
    if (::fchmod(FFd, FMode) != 0) return fail(ErrnoText(FTemp, "cannot set the mode"));
  }
  if (::fsync(FFd) != 0) return fail(ErrnoText(FTemp, "cannot write"));
  if (::rename(FTemp.c_str(), FTarget.c_str()) != 0) return fail(ErrnoText(FTarget, "cannot replace"));
  // Closed (and unlocked) only after the rename, as in WriteFileAtomic.
  const int fd = std::exchange(FFd, -1);
  FTemp.clear();
  if (::close(fd) != 0) return Status::Error(ErrnoText(FTarget, "cannot write"));
  return SyncFolder(FolderOf(FTarget));
}

void TAtomicFileWriter::Discard() {
  if (FFd < 0) return;
  ::unlink(FTemp.c_str());
  ::close(std::exchange(FFd, -1));
  FTemp.clear();
}

}  // namespace tessaro
