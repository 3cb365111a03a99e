// The user's configuration file cfg.ini: settings of the settings dialog,
// the two language keys carried through unchanged, and the custom sizes of
// the size catalogue. Read once at start-up, written once at shutdown.
// Not thread-safe (main thread only).
#pragma once

#include <cstdint>
#include <string>

#include "base/Status.h"
#include "model/Ini.h"
#include "model/Records.h"
#include "model/Views.h"

namespace tessaro {

// The settings as the main window holds them. Defaults are those of a
// missing configuration file.
struct TAppSettings {
  int32_t LanguageIndex = -1;  // not interpreted, written back unchanged
  std::string LanguageName;    // not interpreted, written back unchanged
  std::string TempPath;        // template library folder (template browser start)
  bool AutoResolution = true;  // output resolution follows the template image
  int32_t Resolution = 254;    // fixed output resolution, pixels per inch
  bool ShowWaterMark = false;
  std::string WaterMarkFile;
  int32_t Orient = 0;            // watermark position, one of nine
  int32_t MarginH = 10;          // pixels
  int32_t MarginV = 10;          // pixels
  int32_t WaterMarkTrans = 60;   // percent
  int32_t WaterMarkScale = 100;  // percent
  // The user's image editor, for editing a slot's photo: a program, with
  // arguments if any (the photo is passed last); empty means the desktop's
  // handler for the file. Key ImageEditor of [AppSet].
  std::string ImageEditor;
};

// The folder an XDG base-directory variable names when it is absolute (a
// relative value is ignored, as the base-directory rules ask), else
// `fallback`.
std::string XdgBaseFolder(const char* variable, const std::string& fallback);

// $XDG_CONFIG_HOME (when absolute), else $HOME/.config, then
// Brivanto/Tessaro/cfg.ini.
std::string ConfigFilePath();

// Reads the settings and appends the custom sizes CustomSize0, 1, ... (up to
// the first section without a Name key; entries without positive width and
// height are skipped; at most 10000 are looked at) to `sizeList`. Keys that are missing or unreadable
// keep their defaults.
void LoadConfigFromIni(const TIniFile& ini, TAppSettings& settings, TSizeList& sizeList);
// The document SaveConfig writes: the language keys, every size with
// Custom != 0 as CustomSize0, 1, ... in list order, then the AppSet keys.
TIniFile SaveConfigToIni(const TAppSettings& settings, const TSizeList& sizeList);

// LoadConfig: creates the file's folder if missing, then reads the file; a
// missing or unreadable file leaves the defaults.
void LoadConfig(const std::string& path, TAppSettings& settings, TSizeList& sizeList);
// SaveConfig: creates the folder if missing and replaces the file atomically
// (a temporary file renamed over it), so a crash never leaves a truncated or
// missing configuration.
Status SaveConfig(const std::string& path, const TAppSettings& settings, const TSizeList& sizeList);

}  // namespace tessaro

namespace tessaro {

// Shown when the configuration cannot be saved at shutdown, followed by the
// reason (which names the file): the settings and custom sizes of this
// session are lost, and the user should know.
inline constexpr const char* kConfigNotSavedText = "配置文件保存失败，本次的设置未能保存：";

// SaveConfig, telling the user through `dialogs` (ShowInfo, kConfigNotSavedText
// and the reason) when it fails. Returns SaveConfig's status.
Status SaveConfigAndTell(const std::string& path, const TAppSettings& settings, const TSizeList& sizeList,
                         TDialogService& dialogs);

}  // namespace tessaro
