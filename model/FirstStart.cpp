#include "model/FirstStart.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "base/FileIo.h"
#include "model/Config.h"
#include "model/SetFile.h"
#include "model/func.h"

namespace tessaro {

namespace {

// A set file the program made itself is small; anything larger is not ours.
constexpr uint64_t kMaxDemoSetBytes = uint64_t(4) << 20;

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && home[0] == '/') return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/tmp";
}

std::optional<TDemoPlace> DemoIn(const std::string& libraryFolder, const std::string& demoFolder) {
  TDemoPlace place;
  place.Library = WithTrailingSeparator(libraryFolder);
  place.Photos = WithTrailingSeparator(JoinPath(demoFolder, "photos"));
  place.SetFile = JoinPath(demoFolder, "demo.cys");
  if (!DirectoryExists(place.Library) || !DirectoryExists(place.Photos) || !FileExists(place.SetFile))
    return std::nullopt;
  return place;
}

}  // namespace

std::optional<TDemoPlace> FindDemo(const std::string& appDir) {
  const std::string up = FolderOf(WithoutTrailingSeparator(appDir));
  if (up.empty()) return std::nullopt;
  // The build tree: <build>/app/tessaro beside <build>/resources.
  const std::string built = JoinPath(up, "resources");
  if (auto place = DemoIn(JoinPath(built, "templates"), JoinPath(built, "demo"))) return place;
  // An installation: <prefix>/bin/tessaro beside <prefix>/share/tessaro.
  const std::string shared = JoinPath(up, "share/tessaro");
  return DemoIn(JoinPath(shared, "templates"), JoinPath(shared, "demo"));
}

std::string UserDataFolder() {
  const std::string base = XdgBaseFolder("XDG_DATA_HOME", JoinPath(HomeFolder(), ".local/share"));
  return WithTrailingSeparator(JoinPath(base, "Brivanto/Tessaro"));
}

Status WriteRelocatedDemoSet(const TDemoPlace& place, const std::string& setFile) {
  auto bytes = ReadWholeFile(place.SetFile, kMaxDemoSetBytes);
  if (!bytes.ok()) return Status::Error(place.SetFile + ": " + bytes.message());
  auto data = ParseSetFile(*bytes);
  if (!data.ok()) return Status::Error(place.SetFile + ": " + data.message());

  // The set names its packages and photos by absolute paths of the place it
  // was made in; only their last parts carry over.
  for (auto* temps : {&data->PreviewTemps, &data->ResultTemps}) {
    for (TTemplateRecord& record : *temps) {
      const std::string name = LastPathPart(record.Folder);
      if (name.empty() || name == "." || name == "..")
        return Status::Error(place.SetFile + ": a template without a folder");
      record.Folder = WithTrailingSeparator(JoinPath(place.Library, name));
    }
  }
  for (std::string& photo : data->Photos) photo = JoinPath(place.Photos, FileNameOf(photo));

  TDiskSetFileSource disk;
  std::unique_ptr<TSetNode> set = BuildSet(*data, setFile, disk);
  if (!set || set->PreviewTemps.empty()) return Status::Error(place.SetFile + ": no demo template is left");
  auto encoded = EncodeSetFile(*set);
  if (!encoded.ok()) return encoded.status();
  return WriteFileAtomic(setFile, *encoded);
}

std::string PrepareFirstStart(const std::string& configFile, const std::string& appDir,
                              const std::string& dataFolder, TAppSettings& settings) {
  if (FileExists(configFile) || DirectoryExists(configFile)) return "";
  const std::optional<TDemoPlace> place = FindDemo(appDir);
  if (!place) return "";
  if (!DirectoryExists(dataFolder) && !MakeDirectories(dataFolder, 0700)) return "";
  const std::string setFile = JoinPath(dataFolder, kDemoSetFileName);
  if (!WriteRelocatedDemoSet(*place, setFile).ok()) return "";
  if (settings.TempPath.empty()) settings.TempPath = place->Library;
  return setFile;
}

}  // namespace tessaro
