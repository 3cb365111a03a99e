// Whole-file reading with a size cap, atomic replacement of files, and the
// path helpers shared by every module. Paths are native (POSIX) strings in
// UTF-8; folder paths that the model stores keep their trailing separator.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Status.h"

namespace tessaro {

inline constexpr char kPathSeparator = '/';
// Files larger than this are refused by ReadWholeFile unless a cap is given.
inline constexpr uint64_t kDefaultReadCap = uint64_t(2) << 30;

// Errors read "PATH: what is wrong" (see CheckRegularFile); a file larger
// than `cap` is refused. Never blocks on a FIFO or a device.
Result<std::vector<uint8_t>> ReadWholeFile(const std::string& path, uint64_t cap = kDefaultReadCap);
// Reads at most `count` bytes from the start of a file (header probes).
Result<std::vector<uint8_t>> ReadFileHead(const std::string& path, size_t count);

// Writes `bytes` to a temporary file beside `path` (same folder), flushes it
// to disk, renames it over `path` and flushes the folder, so that a crash or
// a power cut leaves either the old file or the new one, never a truncated
// or missing file, and a reported success survives a power cut.
// - The new file keeps the old file's permission bits, and its owner and
//   group where the system lets us set them; a new file gets 0666 less the
//   umask.
// - When `path` is a symbolic link, the link stays and its target is
//   replaced (the temporary is made in the target's folder); a dangling
//   link's target is created.
// - A file with several hard links is replaced by a new file under this one
//   name only: its other names keep the old contents. Callers that must keep
//   hard links intact have to write in place, giving up atomicity.
// - Temporaries are named "." + file name + kTempMarker + pid + "-" +
//   random digits. Each write first removes the temporaries in its folder
//   that writes of ours left behind when they were killed: files of this
//   user with that marker whose writer no longer holds them (a writer keeps
//   an exclusive lock on its temporary until it is renamed), so a write in
//   progress is never touched.
// The temporary is removed on failure. Thread-safe.
Status WriteFileAtomic(const std::string& path, const void* data, size_t size);
inline Status WriteFileAtomic(const std::string& path, const std::vector<uint8_t>& bytes) {
  return WriteFileAtomic(path, bytes.data(), bytes.size());
}
inline Status WriteFileAtomic(const std::string& path, std::string_view text) {
  return WriteFileAtomic(path, text.data(), text.size());
}

// Marks the temporaries of WriteFileAtomic: ".cfg.ini.tessaro-tmp-123-456".
inline constexpr const char* kTempMarker = ".tessaro-tmp-";
// True for a name WriteFileAtomic gives its temporaries.
bool IsAtomicTemporaryName(std::string_view name);
// Removes the temporaries of killed writes in `folder` as described above;
// returns how many were removed.
int RemoveStaleTemporaries(const std::string& folder);

// Leftovers of killed runs. A run marks what it is still working on (a
// temporary file, a folder it is filling) by holding an exclusive flock on
// it; the lock goes away with the process however it ends. This removes the
// entries of `folder` whose names `isOurs` accepts, that belong to this user
// and that nobody holds locked: files, and folders with everything in them
// (links inside are removed, never followed). Returns how many were removed.
int RemoveUnlockedLeftovers(const std::string& folder, const std::function<bool(std::string_view)>& isOurs);

// A new folder `prefix` + random digits, held open and locked (see above)
// until this object goes away; it is not removed then.
class TLockedFolder {
 public:
  static Result<TLockedFolder> Create(const std::string& prefix, unsigned mode);
  TLockedFolder(TLockedFolder&& other) noexcept;
  TLockedFolder& operator=(TLockedFolder&& other) noexcept;
  TLockedFolder(const TLockedFolder&) = delete;
  TLockedFolder& operator=(const TLockedFolder&) = delete;
  ~TLockedFolder();
  const std::string& Path() const { return FPath; }

 private:
  TLockedFolder(std::string path, int fd) : FPath(std::move(path)), FFd(fd) {}
  std::string FPath;
  int FFd = -1;
};

// Flushes a folder's entries (new names, renames) to disk.
Status SyncFolder(const std::string& folder);
// Why `path` cannot be read as a regular file, as "PATH: what is wrong"
// ("no such file", "dangling symbolic link", "not a regular file (a FIFO)");
// Ok when it is a regular file (symbolic links followed).
Status CheckRegularFile(const std::string& path);

bool FileExists(const std::string& path);       // a regular file (symlinks followed)
bool DirectoryExists(const std::string& path);  // a directory (symlinks followed)
// Creates the folder and any missing parents with the given mode.
bool MakeDirectories(const std::string& path, unsigned mode = 0755);
bool RemoveFile(const std::string& path);

// a + "/" + b without doubling the separator.
std::string JoinPath(std::string_view a, std::string_view b);
// Ensures exactly one trailing separator.
std::string WithTrailingSeparator(std::string_view folder);
std::string WithoutTrailingSeparator(std::string_view folder);
// "/a/b/c.jpg" -> "c.jpg"
std::string FileNameOf(std::string_view path);
// "/a/b/c.jpg" -> "/a/b/" (with trailing separator; "" when there is no folder)
std::string FolderOf(std::string_view path);
// "/a/b/c.tar.jpg" -> ".jpg" (with the dot, as written; "" when none)
std::string ExtensionOf(std::string_view path);
// File name without folder and extension: "/a/套系_1.cys" -> "套系_1"
std::string StemOf(std::string_view path);

// A file written in pieces with the guarantees of WriteFileAtomic (the same
// temporaries and clean-up of stale ones, the old file's mode and owner kept,
// symbolic links written through, the file and its folder flushed), for
// output too large to build in memory first. Open creates the temporary,
// Write appends, WriteAt overwrites bytes already written (lengths known only
// later), Commit renames the temporary over the path. Until Commit succeeds
// the old file is untouched; Discard, a failed Commit or destruction removes
// the temporary. Move-only; not thread-safe.
class TAtomicFileWriter {
 public:
  static Result<TAtomicFileWriter> Open(const std::string& path);
  TAtomicFileWriter(TAtomicFileWriter&& other) noexcept;
  TAtomicFileWriter& operator=(TAtomicFileWriter&& other) noexcept;
  TAtomicFileWriter(const TAtomicFileWriter&) = delete;
  TAtomicFileWriter& operator=(const TAtomicFileWriter&) = delete;
  ~TAtomicFileWriter() { Discard(); }

  Status Write(const void* data, size_t size);
  Status WriteAt(uint64_t offset, const void* data, size_t size);
  uint64_t Size() const { return FSize; }
  Status Commit();
  void Discard();

 private:
  TAtomicFileWriter() = default;
  std::string FTarget, FTemp;
  int FFd = -1;
  uint64_t FSize = 0;
  bool FReplacing = false;
  uint32_t FMode = 0, FUid = 0, FGid = 0;
};

}  // namespace tessaro
