#include "model/DialogLogic.h"

#include <charconv>
#include <filesystem>
#include <system_error>

#include "base/Text.h"
#include "model/Package.h"
#include "model/Sizes.h"

namespace tessaro {

namespace fs = std::filesystem;

namespace {

bool IsFolder(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  return fs::is_directory(fs::path(path), ec);
}

bool IsFile(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  return fs::is_regular_file(fs::path(path), ec);
}

bool InRange(std::string_view text, int32_t low, int32_t high) {
  auto v = ParseWholeNumber(text);
  return v && *v >= low && *v <= high;
}

// The program part of an editor command: the first blank-separated word, or
// the text between a leading pair of double quotes.
std::string CommandProgram(const std::string& command) {
  if (!command.empty() && command.front() == '"') {
    size_t close = command.find('"', 1);
    return command.substr(1, close == std::string::npos ? std::string::npos : close - 1);
  }
  size_t blank = command.find_first_of(" \t");
  return command.substr(0, blank);
}

bool IsExecutableFile(const fs::path& path) {
  std::error_code ec;
  auto st = fs::status(path, ec);
  if (ec || !fs::is_regular_file(st)) return false;
  return (st.permissions() & (fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec)) !=
         fs::perms::none;
}

bool ProgramExists(const std::string& program, const std::string& searchPath) {
  if (program.empty()) return false;
  if (program.find('/') != std::string::npos) return IsExecutableFile(fs::path(program));
  size_t start = 0;
  while (start <= searchPath.size()) {
    size_t colon = searchPath.find(':', start);
    std::string dir =
        searchPath.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    if (!dir.empty() && IsExecutableFile(fs::path(dir) / fs::path(program))) return true;
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  return false;
}

std::string NumberText(int32_t value) { return std::to_string(value); }

}  // namespace

std::optional<int32_t> ParseWholeNumber(std::string_view text) {
  std::string t = Trim(text);
  if (t.empty()) return std::nullopt;
  const char* first = t.data();
  const char* last = t.data() + t.size();
  if (*first == '+') ++first;
  if (first == last) return std::nullopt;
  int32_t v = 0;
  auto res = std::from_chars(first, last, v, 10);
  if (res.ec != std::errc() || res.ptr != last) return std::nullopt;
  return v;
}

std::optional<float> ParseSizeNumber(std::string_view text) {
  auto v = ParseReal(text);
  if (!v) return std::nullopt;
  return NarrowToFloat(*v);
}

// ---- Settings dialog ----------------------------------------------------

bool DropMissingSettingsPaths(TAppSettings& settings) {
  bool dropped = false;
  if (!settings.TempPath.empty() && !IsFolder(settings.TempPath)) {
    settings.TempPath.clear();
    dropped = true;
  }
  if (!settings.WaterMarkFile.empty() && !IsFile(settings.WaterMarkFile)) {
    settings.WaterMarkFile.clear();
    dropped = true;
  }
  return dropped;
}

TSetFormFields SettingsToFields(const TAppSettings& settings) {
  TSetFormFields f;
  f.TempPath = settings.TempPath;
  f.FixResolution = !settings.AutoResolution;
  f.Resolution = NumberText(settings.Resolution);
  f.Watermark = settings.ShowWaterMark;
  f.WatermarkFile = settings.WaterMarkFile;
  if (settings.Orient >= 0 && settings.Orient < kPositionCount) f.Positions[settings.Orient] = true;
  f.MarginH = NumberText(settings.MarginH);
  f.MarginV = NumberText(settings.MarginV);
  f.Trans = NumberText(settings.WaterMarkTrans);
  f.Scale = NumberText(settings.WaterMarkScale);
  f.ImageEditor = settings.ImageEditor;
  return f;
}

int32_t PositionCode(const std::array<bool, kPositionCount>& positions) {
  for (int32_t i = 0; i < kPositionCount; ++i)
    if (positions[i]) return i;
  return 0;
}

TMarginEnabling MarginEnabling(bool watermark, int32_t positionCode) {
  if (!watermark) return {};
  const bool valid = positionCode >= 0 && positionCode < kPositionCount;
  const bool centredH = valid && positionCode % 3 == 1;
  const bool centredV = valid && positionCode / 3 == 1;
  return {!centredH, !centredV};
}

TSetCheck CheckSettingsFields(const TSetFormFields& fields, const std::string& searchPath) {
  const std::string tempPath = Trim(fields.TempPath);
  if (!tempPath.empty() && !IsFolder(tempPath)) return {kBadTempPathText, TSetField::TempPath};
  if (fields.FixResolution && !InRange(fields.Resolution, 1, 300))
    return {kBadResolutionText, TSetField::Resolution};
  if (fields.Watermark) {
    if (!IsFile(Trim(fields.WatermarkFile))) return {kMissingWatermarkText, TSetField::WatermarkFile};
    if (!InRange(fields.MarginH, 0, 1000)) return {kBadMarginHText, TSetField::MarginH};
    if (!InRange(fields.MarginV, 0, 1000)) return {kBadMarginVText, TSetField::MarginV};
    if (!InRange(fields.Trans, 0, 100)) return {kBadTransText, TSetField::Trans};
    if (!InRange(fields.Scale, 1, 300)) return {kBadScaleText, TSetField::Scale};
  }
  const std::string editor = Trim(fields.ImageEditor);
  if (!editor.empty() && !ProgramExists(CommandProgram(editor), searchPath))
    return {kBadImageEditorText, TSetField::ImageEditor};
  return {};
}

TSetCheck StoreSettingsFields(const TSetFormFields& fields, TAppSettings& settings,
                              const std::string& searchPath) {
  TSetCheck check = CheckSettingsFields(fields, searchPath);
  if (!check.Ok()) return check;
  settings.TempPath = Trim(fields.TempPath);
  settings.AutoResolution = !fields.FixResolution;
  if (fields.FixResolution) settings.Resolution = *ParseWholeNumber(fields.Resolution);
  settings.ShowWaterMark = fields.Watermark;
  if (fields.Watermark) {
    settings.WaterMarkFile = Trim(fields.WatermarkFile);
    settings.Orient = PositionCode(fields.Positions);
    settings.MarginH = *ParseWholeNumber(fields.MarginH);
    settings.MarginV = *ParseWholeNumber(fields.MarginV);
    settings.WaterMarkTrans = *ParseWholeNumber(fields.Trans);
    settings.WaterMarkScale = *ParseWholeNumber(fields.Scale);
  }
  settings.ImageEditor = Trim(fields.ImageEditor);
  return check;
}

// ---- Custom-size dialog -------------------------------------------------

TCustomSizeCheck CheckCustomSize(const TCustomSizeFields& fields, const TSizeList& sizeList, double ppi) {
  TCustomSizeCheck c;
  auto fail = [&c](const std::string& message, TSizeField focus) {
    c.Message = message;
    c.Focus = focus;
    return c;
  };
  c.Name = Trim(fields.Name);
  if (c.Name.empty()) return fail(kEmptySizeNameText, TSizeField::Name);
  for (const auto& s : sizeList)
    if (s && s->Name == c.Name) return fail(kDuplicateSizeNameText, TSizeField::Name);
  if (!fields.Album && !fields.Spread) {
    c.CheckAlbumRadio = true;
    return fail(kNoSizeKindText, TSizeField::None);
  }
  auto width = ParseSizeNumber(fields.Width);
  if (!width) return fail(kBadWidthText, TSizeField::Width);
  float albumWidth = *width;
  if (fields.Spread && !fields.Album) albumWidth = albumWidth / 2.0f;
  if (!(albumWidth > 0)) return fail(kWidthNotPositiveText, TSizeField::Width);
  auto unitText = [](int32_t unit) {
    return std::string(unit >= 0 && unit < int32_t(kUnitItems.size()) ? kUnitItems[unit] : "");
  };
  if (FromPixels(ToPixels(fields.WidthUnit, albumWidth, ppi), kUnitInch, ppi) > kMaxAlbumWidthInches)
    return fail(kWidthTooLargeText + unitText(fields.WidthUnit) + kUnitCloseText, TSizeField::Width);
  auto height = ParseSizeNumber(fields.Height);
  if (!height) return fail(kBadHeightText, TSizeField::Height);
  if (!(*height > 0)) return fail(kHeightNotPositiveText, TSizeField::Height);
  if (FromPixels(ToPixels(fields.HeightUnit, *height, ppi), kUnitInch, ppi) > kMaxAlbumHeightInches)
    return fail(kHeightTooLargeText + unitText(fields.HeightUnit) + kUnitCloseText, TSizeField::Height);
  c.AlbumWidth = albumWidth;
  c.Height = *height;
  c.SizeType = fields.Album ? 0 : 1;
  return c;
}

TSizeNode* AddCustomSize(const TCustomSizeFields& fields, TSizeList& sizeList, TCustomSizeCheck& check,
                         double ppi) {
  check = CheckCustomSize(fields, sizeList, ppi);
  if (!check.Ok()) return nullptr;
  return &AddSize(sizeList, check.Name, fields.WidthUnit, check.AlbumWidth, check.Height, 1, check.SizeType);
}

std::string SwitchWidthText(std::string_view widthText, bool toSpread) {
  auto v = ParseSizeNumber(widthText);
  if (!v) return std::string(widthText);
  const double d = static_cast<double>(*v);
  return FormatGeneral(toSpread ? d * 2.0 : d / 2.0);
}

TCustomSizeFields CustomSizeToFields(const TSizeNode& size) {
  TCustomSizeFields f;
  f.Name = size.Name;
  f.Spread = size.SizeType != 0;
  f.Album = !f.Spread;
  const double w = static_cast<double>(size.Width);
  f.Width = FormatGeneral(f.Spread ? w * 2.0 : w);
  f.Height = FormatGeneral(static_cast<double>(size.Height));
  f.WidthUnit = size.SizeUnit;
  f.HeightUnit = size.SizeUnit;
  return f;
}

std::vector<TSizeNode*> CustomSizes(const TSizeList& sizeList) {
  std::vector<TSizeNode*> out;
  for (const auto& s : sizeList)
    if (s && s->Custom == 1) out.push_back(s.get());
  return out;
}

bool DeleteCustomSizeRow(TSizeList& sizeList, int row) {
  if (row < 0) return false;
  for (size_t i = 0; i < sizeList.size(); ++i) {
    if (sizeList[i] && sizeList[i]->Custom == 1) return DeleteSize(sizeList, static_cast<int>(i) + row);
  }
  return false;
}

std::string SizeTipsText() {
  static const char* const kParagraphs[] = {
      "◆ 跨页：翻开相册后的左右两页，所以跨页宽度是相册宽度的两倍。",
      "◆ 模板中看到的是横版，输出后的宽度是翻开相册后的左右两页的宽度。",
      "◆ 模板中看到的是竖版，输出后宽度是翻开相册后的左页或右页的宽度。",
      "◆ 自定义尺寸小技巧：如果是横版就选择【跨页尺寸】，如果是竖版就选择【相册尺寸】，"
      "这样输出的图片尺寸就完全等于自己输入的尺寸。",
      "◆ 在系统提供的尺寸中都是【相册尺寸】，且前面是高度，后面是宽度，是为了适应通常的习惯说法。",
  };
  std::string text;
  for (const char* p : kParagraphs) {
    text += p;
    text += "\n\n";
  }
  return text;
}

// ---- Template browser ---------------------------------------------------

std::string UnitNameOrUnknown(int32_t unit) {
  std::string name = UnitName(unit);
  return name.empty() ? std::string("未知") : name;
}

TSizeDisplay SizeDisplay(const TSizeNode* size) {
  if (!size || size->Name.empty()) return {};
  const std::string unit = " " + UnitNameOrUnknown(size->SizeUnit);
  return {size->Name, FormatGeneral(static_cast<double>(size->Width)) + unit,
          FormatGeneral(static_cast<double>(size->Height)) + unit};
}

bool IsTemplatePackage(const std::string& folder) {
  if (folder.empty()) return false;
  std::error_code ec;
  return fs::is_regular_file(fs::path(folder) / kPreviewDescriptorName, ec);
}

std::vector<std::string> ListTemplatePackages(const std::string& folder, size_t maxEntries) {
  std::vector<std::string> names;
  if (!IsFolder(folder)) return names;
  std::error_code ec;
  fs::directory_iterator it(fs::path(folder), ec), end;
  size_t seen = 0;
  for (; !ec && it != end && seen < maxEntries; it.increment(ec), ++seen) {
    std::error_code typeEc;
    if (!it->is_directory(typeEc)) continue;
    const std::string entry = it->path().filename().string();
    if (entry == "." || entry == "..") continue;
    if (!IsTemplatePackage(it->path().string())) continue;
    names.push_back(Trim(entry));
  }
  return names;
}

std::string BrowserStartFolder(const std::string& templateFolder, const std::string& bundledTemplatesFolder) {
  if (IsFolder(templateFolder)) return templateFolder;
  if (IsFolder(bundledTemplatesFolder)) return bundledTemplatesFolder;
  return {};
}

TPreviewPlacement PlacePreview(int32_t imageWidth, int32_t imageHeight, int32_t panelWidth,
                               int32_t panelHeight) {
  int32_t w = panelWidth - 2;
  int32_t h = panelHeight - 2;
  FitInBox(imageWidth, imageHeight, w, h);
  return {(panelWidth - w) / 2, (panelHeight - h) / 2, w, h};
}

TPreviewAction PreviewActionFor(int selectedCount) {
  if (selectedCount <= 0) return TPreviewAction::Clear;
  if (selectedCount == 1) return TPreviewAction::ShowSelected;
  return TPreviewAction::Keep;
}

TBrowserCheck CheckTemplateBrowser(const TSizeNode& currentSize, int selectedCount) {
  if (currentSize.Name.empty()) return {kNoTemplateSizeText, TBrowserFocus::SizeSelector};
  if (selectedCount <= 0) return {kNoTemplateSelectedText, TBrowserFocus::List};
  return {};
}

TSizeChoice ChooseMenuSize(int32_t tag, const TSizeList& sizeList, TSizeNode& currentSize) {
  TSizeChoice choice;
  if (tag == kCustomSizeMenuTag) {
    choice.OpenCustomSizes = true;
    return choice;
  }
  const TSizeNode* s = FindSize(sizeList, tag);
  if (!s) return choice;
  CopySize(currentSize, *s);
  choice.Chosen = s;
  return choice;
}

}  // namespace tessaro
