// What the settings, custom-size and template-browser dialogs decide, without
// widgets: the checks of their OK buttons (messages in order, the field that
// gets the focus), what is stored, the album/spread width arithmetic, the
// unit texts and the rule that lists template packages. The Qt dialogs read
// their fields into the input records below and forward here.
// Pure functions except where a comment names the file system; main thread
// only where a size list is changed.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/Config.h"
#include "model/Records.h"
#include "model/func.h"

namespace tessaro {

// A whole number as the dialogs read one: surrounding blanks allowed, an
// optional sign, decimal digits only, within the 32-bit range.
std::optional<int32_t> ParseWholeNumber(std::string_view text);
// A real entered in a size field, as a 32-bit float; nothing for text that
// is not a finite number or lies beyond the float range.
std::optional<float> ParseSizeNumber(std::string_view text);

// ---- Settings dialog ----------------------------------------------------

inline constexpr const char* kBadTempPathText = "模板位置设置错误，该文件夹不存在";
inline constexpr const char* kBadResolutionText = "分辨率设置应在1~300之间";
inline constexpr const char* kMissingWatermarkText = "店标水印文件不存在";
inline constexpr const char* kBadMarginHText = "水平边距应在0~1000之间";
inline constexpr const char* kBadMarginVText = "垂直边距应在0~1000之间";
inline constexpr const char* kBadTransText = "透明度应在0~100之间";
inline constexpr const char* kBadScaleText = "缩放比例应在1~300之间";
inline constexpr const char* kBadImageEditorText = "图片编辑程序不存在";

inline constexpr int kPositionCount = 9;  // watermark positions, 3 x 3, row by row

// The fields of the settings dialog as the user left them (texts untrimmed).
struct TSetFormFields {
  std::string TempPath;
  bool FixResolution = false;  // the fixed-resolution radio is checked
  std::string Resolution;
  bool Watermark = false;  // the watermark check box
  std::string WatermarkFile;
  std::array<bool, kPositionCount> Positions{};  // checked position buttons by code
  std::string MarginH;
  std::string MarginV;
  std::string Trans;
  std::string Scale;
  std::string ImageEditor;
};

enum class TSetField {
  None,
  TempPath,
  Resolution,
  WatermarkFile,
  MarginH,
  MarginV,
  Trans,
  Scale,
  ImageEditor
};

// The first failing check of an OK press: its message and the field it is
// about. An empty message means every check passed.
struct TSetCheck {
  std::string Message;
  TSetField Field = TSetField::None;
  bool Ok() const { return Message.empty(); }
};

// FormShow's clearing: a template folder that is no longer a folder and a
// watermark file that is no longer a file are dropped from the settings
// themselves. Reads the file system. True when something was dropped.
bool DropMissingSettingsPaths(TAppSettings& settings);
// What FormShow puts into the fields (after DropMissingSettingsPaths). A
// position code outside 0..8 checks no button.
TSetFormFields SettingsToFields(const TAppSettings& settings);

// The position code of the first checked button, 0 when none is checked.
int32_t PositionCode(const std::array<bool, kPositionCount>& positions);
// Which margin edits are enabled: only with the watermark on, and only for a
// position that is not centred on that axis (column 1 centres horizontally,
// row 1 vertically). Codes outside 0..8 centre on neither axis.
struct TMarginEnabling {
  bool Horizontal = false;
  bool Vertical = false;
  friend bool operator==(const TMarginEnabling&, const TMarginEnabling&) = default;
};
TMarginEnabling MarginEnabling(bool watermark, int32_t positionCode);

// OK's checks in order (reads the file system for the folder and the file).
// The image editor, when given, must name a program: an existing file, or
// a command found on `searchPath` (colon-separated, as $PATH).
TSetCheck CheckSettingsFields(const TSetFormFields& fields, const std::string& searchPath);
// Checks and, when every check passes, stores what OK stores: the template
// folder (trimmed, possibly empty), the resolution choice, the resolution
// only when fixed, the watermark switch, the watermark values only when the
// watermark is on, and the image editor (trimmed). On failure nothing
// changes.
TSetCheck StoreSettingsFields(const TSetFormFields& fields, TAppSettings& settings,
                              const std::string& searchPath);

// ---- Custom-size dialog -------------------------------------------------

inline constexpr const char* kEmptySizeNameText = "请输入尺寸名称";
inline constexpr const char* kDuplicateSizeNameText = "该名称已存在，请重新输入尺寸名称";
inline constexpr const char* kNoSizeKindText = "请选择是相册尺寸或跨页尺寸";
inline constexpr const char* kBadWidthText = "相册宽度输入错误";
inline constexpr const char* kWidthNotPositiveText = "相册宽度必须大于0";
inline constexpr const char* kWidthTooLargeText = "相册宽度设置太大,请注意单位是【";
inline constexpr const char* kBadHeightText = "相册高度输入错误";
inline constexpr const char* kHeightNotPositiveText = "相册高度大于0";
inline constexpr const char* kHeightTooLargeText = "相册高度设置太大,请注意单位是【";
inline constexpr const char* kUnitCloseText = "】";
inline constexpr const char* kSizeTipsCaption = "尺寸设置";

// Largest album page accepted, inches (exactly these are accepted).
inline constexpr double kMaxAlbumWidthInches = 48.0;
inline constexpr double kMaxAlbumHeightInches = 80.0;

// Items of the unit boxes; the item index is the unit code.
inline constexpr std::array<const char*, 4> kUnitItems = {"象素", "英寸", "厘米", "毫米"};

enum class TSizeField { None, Name, Width, Height };

struct TCustomSizeFields {
  std::string Name;
  bool Album = true;  // the album radio is checked
  bool Spread = false;
  std::string Width;  // album or spread width, as the radio says
  std::string Height;
  int32_t WidthUnit = kUnitInch;
  int32_t HeightUnit = kUnitInch;
};

// The outcome of the add button's checks.
struct TCustomSizeCheck {
  std::string Message;  // empty when the size may be added
  TSizeField Focus = TSizeField::None;
  bool CheckAlbumRadio = false;  // no kind was chosen: the dialog checks the album radio
  // The size to add, valid when Message is empty.
  std::string Name;  // trimmed
  float AlbumWidth = 0;
  float Height = 0;
  int32_t SizeType = 0;  // 0 album, 1 spread
  bool Ok() const { return Message.empty(); }
};

// The add button's checks in order. `ppi` is the screen's pixels per inch
// (the inch limits are checked after converting to screen pixels and back).
TCustomSizeCheck CheckCustomSize(const TCustomSizeFields& fields, const TSizeList& sizeList,
                                 double ppi = kDefaultPixelsPerInch);
// Checks and adds the size (a custom size of the width unit). Returns the
// new record, or null with `check` holding the failure.
TSizeNode* AddCustomSize(const TCustomSizeFields& fields, TSizeList& sizeList, TCustomSizeCheck& check,
                         double ppi = kDefaultPixelsPerInch);

// The width text after switching between album and spread entry: a readable
// width doubled (to spread) or halved (to album), read as a 32-bit float and
// shown in general decimal form; anything unreadable comes back unchanged.
std::string SwitchWidthText(std::string_view widthText, bool toSpread);
// The labels of the width and height fields for each entry kind.
inline constexpr const char* kAlbumWidthLabel = "相册宽度";
inline constexpr const char* kAlbumHeightLabel = "相册高度";
inline constexpr const char* kSpreadWidthLabel = "跨页宽度";
inline constexpr const char* kSpreadHeightLabel = "跨页高度";

// What clicking a custom size's row puts into the fields: a spread shows
// twice its album width with the spread radio checked.
TCustomSizeFields CustomSizeToFields(const TSizeNode& size);

// The custom sizes in catalogue order (the rows of the dialog's list).
std::vector<TSizeNode*> CustomSizes(const TSizeList& sizeList);
// Deletes the custom size shown in list row `row`: the catalogue entry at
// (position of the first custom entry) + row. False when there is no such
// entry (nothing is deleted).
bool DeleteCustomSizeRow(TSizeList& sizeList, int row);

// The size tips: five paragraphs, each followed by two line breaks.
std::string SizeTipsText();

// ---- Template browser ---------------------------------------------------

inline constexpr const char* kNoTemplateSizeText = "请选择模板尺寸";
inline constexpr const char* kNoTemplateSelectedText = "您当前没有选中任何模板";

// Unit words of the browser's width and height fields: the size catalogue's
// words, and "未知" for any other unit.
std::string UnitNameOrUnknown(int32_t unit);

// What the browser shows of a size record: the size selector's caption and
// the width and height fields ("12 英寸"); all empty for no record or a
// record without a name.
struct TSizeDisplay {
  std::string Caption;
  std::string Width;
  std::string Height;
  friend bool operator==(const TSizeDisplay&, const TSizeDisplay&) = default;
};
TSizeDisplay SizeDisplay(const TSizeNode* size);

// A folder is a template package when it holds the preview descriptor file.
// Reads the file system.
bool IsTemplatePackage(const std::string& folder);
// The packages directly inside `folder`, in the order the file system lists
// them, by entry name with surrounding blanks removed. Nothing for a path
// that is not a folder. At most `maxEntries` entries are looked at.
std::vector<std::string> ListTemplatePackages(const std::string& folder, size_t maxEntries = 100000);
// The folder the browser starts in: the saved template folder when it is a
// folder, else the bundled templates folder when it is one, else "" (the
// tree's root). Reads the file system.
std::string BrowserStartFolder(const std::string& templateFolder, const std::string& bundledTemplatesFolder);

// Where the preview picture goes in its panel: fitted (never enlarged) into
// the panel less a one-pixel border on each side, centred.
struct TPreviewPlacement {
  int32_t X = 0, Y = 0, Width = 0, Height = 0;
  friend bool operator==(const TPreviewPlacement&, const TPreviewPlacement&) = default;
};
TPreviewPlacement PlacePreview(int32_t imageWidth, int32_t imageHeight, int32_t panelWidth = 250,
                               int32_t panelHeight = 250);

// What a change of the package list does to the preview.
enum class TPreviewAction { Keep, Clear, ShowSelected };
TPreviewAction PreviewActionFor(int selectedCount);

// OK's two checks in order.
enum class TBrowserFocus { None, SizeSelector, List };
struct TBrowserCheck {
  std::string Message;
  TBrowserFocus Focus = TBrowserFocus::None;
  bool Ok() const { return Message.empty(); }
};
TBrowserCheck CheckTemplateBrowser(const TSizeNode& currentSize, int selectedCount);

// A choice from the browser's size menu: the custom-size entry asks the
// dialog to open the custom-size dialog; a size copies itself into
// `currentSize` and is returned; an id that names no size does nothing.
struct TSizeChoice {
  bool OpenCustomSizes = false;
  const TSizeNode* Chosen = nullptr;
};
TSizeChoice ChooseMenuSize(int32_t tag, const TSizeList& sizeList, TSizeNode& currentSize);

}  // namespace tessaro
