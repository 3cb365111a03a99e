#include "model/Config.h"

#include <pwd.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>

#include "base/FileIo.h"
#include "model/Sizes.h"
#include "model/func.h"

namespace tessaro {

namespace {

constexpr const char* kLanguage = "Language";
constexpr const char* kAppSet = "AppSet";
// A configuration larger than this is not ours; it reads as missing.
constexpr uint64_t kMaxConfigBytes = 16u << 20;
// More custom sizes than any menu can show; the rest of such a file is ignored.
constexpr int kMaxCustomSizes = 10000;

std::string CustomSection(int n) { return "CustomSize" + std::to_string(n); }

// A real read from the file as the float the size holds; -1 when the text or
// the narrowed value is not a finite number.
float ReadSizeReal(const TIniFile& ini, const std::string& section, const char* key) {
  return NarrowToFloat(ini.ReadFloat(section, key, -1.0)).value_or(-1.0f);
}

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/tmp";
}

}  // namespace

std::string XdgBaseFolder(const char* variable, const std::string& fallback) {
  if (const char* value = std::getenv(variable); value && value[0] == '/') return value;
  return fallback;
}

std::string ConfigFilePath() {
  const std::string base = XdgBaseFolder("XDG_CONFIG_HOME", JoinPath(HomeFolder(), ".config"));
  return JoinPath(JoinPath(base, "Brivanto/Tessaro"), "cfg.ini");
}

void LoadConfigFromIni(const TIniFile& ini, TAppSettings& settings, TSizeList& sizeList) {
  settings.LanguageIndex = ini.ReadInteger(kLanguage, "index", -1);
  settings.LanguageName = ini.ReadString(kLanguage, "name", "");

  for (int n = 0; n < kMaxCustomSizes; ++n) {
    const std::string section = CustomSection(n);
    if (!ini.HasKey(section, "Name")) break;
    std::string name = ini.ReadString(section, "Name", "自定义" + std::to_string(n));
    float width = ReadSizeReal(ini, section, "Width");
    float height = ReadSizeReal(ini, section, "Height");
    int32_t unit = ini.ReadInteger(section, "Unit", 1);
    int32_t type = ini.ReadInteger(section, "Type", 1);
    int32_t sizeType = ini.ReadInteger(section, "SizeType", 0);
    if (width > 0 && height > 0) AddSize(sizeList, name, unit, width, height, type, sizeType);
  }

  settings.TempPath = ini.ReadString(kAppSet, "TempPath", "");
  settings.AutoResolution = ini.ReadBool(kAppSet, "AutoResolution", true);
  settings.Resolution = ini.ReadInteger(kAppSet, "Resolution", 254);
  settings.ShowWaterMark = ini.ReadBool(kAppSet, "ShowWaterMark", false);
  settings.WaterMarkFile = ini.ReadString(kAppSet, "WaterMarkFile", "");
  settings.Orient = ini.ReadInteger(kAppSet, "Orient", 0);
  settings.MarginH = ini.ReadInteger(kAppSet, "MarginH", 10);
  settings.MarginV = ini.ReadInteger(kAppSet, "MarginV", 10);
  settings.WaterMarkTrans = ini.ReadInteger(kAppSet, "WaterMarkTrans", 60);
  settings.WaterMarkScale = ini.ReadInteger(kAppSet, "WaterMarkScale", 100);
  settings.ImageEditor = ini.ReadString(kAppSet, "ImageEditor", "");
}

TIniFile SaveConfigToIni(const TAppSettings& settings, const TSizeList& sizeList) {
  TIniFile ini;
  ini.WriteInteger(kLanguage, "index", settings.LanguageIndex);
  ini.WriteString(kLanguage, "name", settings.LanguageName);

  int n = 0;
  for (const auto& s : sizeList) {
    if (s->Custom == 0) continue;
    const std::string section = CustomSection(n++);
    ini.WriteString(section, "Name", s->Name);
    ini.WriteFloat(section, "Width", static_cast<double>(s->Width));
    ini.WriteFloat(section, "Height", static_cast<double>(s->Height));
    ini.WriteInteger(section, "Unit", s->SizeUnit);
    ini.WriteInteger(section, "Type", s->Custom);
    ini.WriteInteger(section, "SizeType", s->SizeType);
  }

  ini.WriteString(kAppSet, "TempPath", settings.TempPath);
  ini.WriteBool(kAppSet, "AutoResolution", settings.AutoResolution);
  ini.WriteInteger(kAppSet, "Resolution", settings.Resolution);
  ini.WriteBool(kAppSet, "ShowWaterMark", settings.ShowWaterMark);
  ini.WriteString(kAppSet, "WaterMarkFile", settings.WaterMarkFile);
  ini.WriteInteger(kAppSet, "Orient", settings.Orient);
  ini.WriteInteger(kAppSet, "MarginH", settings.MarginH);
  ini.WriteInteger(kAppSet, "MarginV", settings.MarginV);
  ini.WriteInteger(kAppSet, "WaterMarkTrans", settings.WaterMarkTrans);
  ini.WriteInteger(kAppSet, "WaterMarkScale", settings.WaterMarkScale);
  ini.WriteString(kAppSet, "ImageEditor", settings.ImageEditor);
  return ini;
}

void LoadConfig(const std::string& path, TAppSettings& settings, TSizeList& sizeList) {
  MakeDirectories(WithoutTrailingSeparator(FolderOf(path)), 0700);
  TIniFile ini;
  if (auto bytes = ReadWholeFile(path, kMaxConfigBytes); bytes.ok())
    ini = TIniFile::Parse(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
  LoadConfigFromIni(ini, settings, sizeList);
}

Status SaveConfig(const std::string& path, const TAppSettings& settings, const TSizeList& sizeList) {
  const std::string folder = WithoutTrailingSeparator(FolderOf(path));
  if (!folder.empty() && !MakeDirectories(folder, 0700))
    return Status::Error(folder + ": cannot create the configuration folder");
  return WriteFileAtomic(path, std::string_view(SaveConfigToIni(settings, sizeList).Serialize()));
}

Status SaveConfigAndTell(const std::string& path, const TAppSettings& settings, const TSizeList& sizeList,
                         TDialogService& dialogs) {
  Status s = SaveConfig(path, settings, sizeList);
  if (!s.ok()) dialogs.ShowInfo(std::string(kConfigNotSavedText) + s.message());
  return s;
}

}  // namespace tessaro
