// Start-up and shutdown pieces that need no window: the program folder, the
// private working folder, and the message queue through which worker threads
// speak to the user.
#pragma once

#include <deque>
#include <mutex>
#include <optional>
#include <string>

#include "base/Status.h"

namespace tessaro {

// Folder of the running program file, without trailing separator.
std::string AppDir();

// The system temporary folder: $TMPDIR when it is an absolute path, else
// /tmp; always with a trailing separator.
std::string SystemTempFolder();
// The working folder TempDir: the system temporary folder followed by
// "Brivanto-" and the user's login name (the numeric user id when the name is
// unknown or not a plain file name), with a trailing separator. A name of its
// own per user keeps users sharing the temporary folder apart.
std::string TempDirPath();
// Creates the working folder with mode 0700 (parents as needed). An existing
// entry is accepted only when it is a real folder (not a link) owned by this
// user; its mode is then narrowed to 0700. Anything else is refused, so that
// another local user cannot pre-create the folder or plant a link in its place.
Status EnsureTempDir(const std::string& tempDir);
// True when `tempDir` is a real folder owned by this user.
bool IsOwnTempDir(const std::string& tempDir);
// Deletes the working folder with everything in it, without following links,
// and only when it is our own; true when it is gone.
bool RemoveTempDir(const std::string& tempDir);

// Messages from worker threads, shown one per timer tick on the main thread.
// Entries are "&A" followed by the text. Thread-safe: every member takes the
// lock; any thread may post, the main thread takes.
class TMessageQueue {
 public:
  // Appends "&A" + text.
  void Post(const std::string& text);
  // Appends an entry as it is (for entries of other kinds).
  void PostRaw(const std::string& entry);
  // One timer tick: removes the first entry that begins with "&" and returns
  // its text from the third byte on when it begins with "&A"; nothing when
  // there is no such entry or the entry taken is of another kind.
  std::optional<std::string> TakeNext();
  size_t Size() const;

 private:
  mutable std::mutex FLock;
  std::deque<std::string> FEntries;
};

}  // namespace tessaro
