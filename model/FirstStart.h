// The program's first start for a user: the demo set made ready to open.
//
// The demo set file stores absolute paths, so the copy made at build time
// points into the build tree it was made in. At the first start (no cfg.ini
// yet) the program writes its own copy into the user's data folder, with the
// paths of the demo library and photos where they really are (the build
// tree or the installed share folder), presets the template folder to the
// demo library and opens that set. Not thread-safe (main thread, start-up).
#pragma once

#include <optional>
#include <string>

#include "base/Status.h"
#include "model/Config.h"

namespace tessaro {

// Where the demo library, photos and the build-time set file are. Folders
// with a trailing separator.
struct TDemoPlace {
  std::string Library;  // template packages, one folder each
  std::string Photos;   // the demo photos
  std::string SetFile;  // demo.cys as made at build time
};

// The demo beside the program folder: <appDir>/../resources/{templates,demo}
// in the build tree, <appDir>/../share/tessaro/{templates,demo} in an
// installation. Nothing when neither holds a library folder, a photo folder
// and demo.cys.
std::optional<TDemoPlace> FindDemo(const std::string& appDir);

// $XDG_DATA_HOME (when absolute), else $HOME/.local/share, then
// Brivanto/Tessaro/, with a trailing separator.
std::string UserDataFolder();

// File name of the user's copy of the demo set inside the data folder.
inline constexpr const char* kDemoSetFileName = "示例套系.cys";

// Writes the demo set of `place` to `setFile`: every template folder and
// photo is looked up by its last path part in the place's library and photo
// folders; the set is rebuilt from those files (so a missing package or photo
// is dropped as when the set is opened) and written atomically. An error when
// the build-time set cannot be read or no template is left.
Status WriteRelocatedDemoSet(const TDemoPlace& place, const std::string& setFile);

// First start: when `configFile` does not exist yet and the demo is found
// beside `appDir`, writes the demo set into `dataFolder` (created with mode
// 0700 when missing), sets settings.TempPath to the demo library when it is
// empty, and returns the set file to open. "" when it is not the first start,
// there is no demo, or writing failed (the program then starts as usual).
// Call it after LoadConfig, which never creates the file itself.
std::string PrepareFirstStart(const std::string& configFile, const std::string& appDir,
                              const std::string& dataFolder, TAppSettings& settings);

}  // namespace tessaro
