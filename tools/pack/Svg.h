// SVG drawings of the authoring tool: their stated size, and rendering with
// the external rsvg-convert at exactly the size a page, overlay or mask
// needs. Renderings are kept in a cache folder under a name made of the
// SHA-1 of the drawing's bytes and the size, so a package rebuilt after a
// code change does not rasterise its art again. Drawings are expected to be
// self-contained (the key does not cover files an SVG might link to).
//
// rsvg-convert writes to a file we open (O_CREAT|O_EXCL|O_NOFOLLOW) in a
// folder only this user can change: a cache folder must belong to this user
// and not be writable by others (a new one is made with mode 0700), and
// without one the renderings go to a private folder made for this renderer
// (mode 0700, random name under $TMPDIR) and removed with it. A shared
// folder another user could plant links in is never used. Leftovers of
// killed runs (private folders, unfinished renderings in the cache) are
// removed on first use.
//
// Thread-safety: Render and RenderAll may run on several threads and in
// several processes sharing one cache folder (entries appear by rename).
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/FileIo.h"
#include "base/Status.h"
#include "imaging/Image.h"

namespace tessaro::authoring {

struct TSvgSize {
  double Width = 0, Height = 0;  // 0 when the drawing states no size
};

// The size of the root <svg> element (width and height in pixels, else its
// viewBox). An error when the file cannot be read or has no <svg> element.
Result<TSvgSize> ReadSvgSize(const std::string& path);

// The program that renders drawings: $TESSARO_RSVG_CONVERT, else
// "rsvg-convert" from PATH.
std::string RsvgConvertProgram();

class TSvgRenderer {
 public:
  // `cacheDir` empty: no cache (renderings go through a private temporary
  // folder).
  explicit TSvgRenderer(std::string cacheDir) : FCacheDir(std::move(cacheDir)) {}
  ~TSvgRenderer();
  TSvgRenderer(const TSvgRenderer&) = delete;
  TSvgRenderer& operator=(const TSvgRenderer&) = delete;

  // The drawing stretched to width x height pixels (straight alpha).
  Result<Image> Render(const std::string& path, int width, int height) const;

  struct TRequest {
    std::string Path;
    int Width = 0, Height = 0;
  };
  // Renders every request that is not yet in the cache, on up to `threads`
  // processes at once. Returns one status per request.
  std::vector<Status> Prefetch(const std::vector<TRequest>& requests, int threads) const;

  // The cache entry of a drawing at a size ("" without a cache folder or
  // when the drawing cannot be read).
  std::string CachePath(const std::string& path, int width, int height) const;

  // Number of rsvg-convert runs since construction (for tests of the cache).
  int RenderCount() const { return FRenderCount; }

 private:
  struct TRendering;
  // The folder renderings are made in (see above), made or checked once.
  Result<std::string> WorkFolder() const;
  // Renders into a new file of the work folder, held locked until the
  // returned value goes away.
  Result<std::unique_ptr<TRendering>> RenderToFile(const std::string& path, int width, int height) const;

  std::string FCacheDir;
  mutable std::atomic<int> FRenderCount{0};
  mutable std::mutex FFolderLock;
  mutable bool FFolderReady = false;
  mutable Status FFolderError;
  mutable std::unique_ptr<TLockedFolder> FPrivateFolder;
};

// Lowercase hex SHA-1 of the bytes.
std::string Sha1Hex(const std::vector<uint8_t>& bytes);

}  // namespace tessaro::authoring
