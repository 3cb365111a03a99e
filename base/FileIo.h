// Whole-file reading with a size cap, atomic replacement of files, and the
// path helpers shared by every module. Paths are native (POSIX) strings in
// UTF-8; folder paths that the model stores keep their trailing separator.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/Status.h"

namespace tessaro {

inline constexpr char kPathSeparator = '/';
// Files larger than this are refused by ReadWholeFile unless a cap is given.
inline constexpr uint64_t kDefaultReadCap = uint64_t(2) << 30;

Result<std::vector<uint8_t>> ReadWholeFile(const std::string& path, uint64_t cap = kDefaultReadCap);
// Reads at most `count` bytes from the start of a file (header probes).
Result<std::vector<uint8_t>> ReadFileHead(const std::string& path, size_t count);

// Writes `bytes` to a temporary file beside `path` (same folder), flushes it
// to disk and renames it over `path`, so that a crash leaves either the old
// file or the new one, never a truncated file. The temporary is removed on
// failure.
Status WriteFileAtomic(const std::string& path, const void* data, size_t size);
inline Status WriteFileAtomic(const std::string& path, const std::vector<uint8_t>& bytes) {
  return WriteFileAtomic(path, bytes.data(), bytes.size());
}
inline Status WriteFileAtomic(const std::string& path, std::string_view text) {
  return WriteFileAtomic(path, text.data(), text.size());
}

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

}  // namespace tessaro
