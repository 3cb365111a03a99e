// The main window's own rules that need no widgets: the hint line (texts and
// centring), the keyboard map with its enabled checks, the page switches of
// the left panel and the sample area, the pop-up menu origin and the version
// box. The Qt window asks these and only forwards and draws.
//
// Thread-safety: main thread only (plain values, no shared state).
#pragma once

#include <optional>
#include <string>

#include "model/Records.h"

namespace tessaro {

// ---- Hint line ----

// Every control of the window that has a hint (slot buttons have their own).
enum class THintControl {
  ImageButtonTemp,
  ImageButtonPhoto,
  ImageButtonPreviewSingle,
  ImageButtonBatchPreview,
  ImageButtonSet,
  ImageButtonHelp,
  ImageButtonSingleCreateResult,
  ImageButtonBatchCreateResult,
  ImageButtonPSDFormat,
  ImageButtonJpgFormat,
  ButtonTemp,
  ButtonPhoto,
  ButtonSelectAll,
  ButtonDel,
  ButtonStat,
  ButtonNewSet,
  ButtonSaveSet,
  ButtonSaveAsSet,
  ButtonLoadSet,
  ButtonSelectAllSet,
  ButtonDelSet,
  ButtonSample,
  ButtonResultPhoto,
  ImageButtonPhotoShop,
  ImageButtonZoomIn,
  ImageButtonZoomOut,
  ImageButtonFlipH,
  ImageButtonFlipV,
  ImageButtonRotateLeft90,
  ImageButtonRotateRight90,
  ImageButtonRotateLeft1,
  ImageButtonRotateRight1,
  ImageButtonInit,
  ButtonCancelEffect,
  MyEditSize,
};
inline constexpr int kHintControlCount = static_cast<int>(THintControl::MyEditSize) + 1;

// The hint of a control (UTF-8). The edit command names the user's image
// editor generically ("图像编辑器"): the program brings no editor of its own
// to the front.
const char* HintText(THintControl control);
// The hint of slot button `slot` (0-based): "选择第n张照片，快捷键：n" with n =
// slot + 1 in both places; the tenth button's shortcut is the key 0.
std::string SlotHint(int slot);

// Left edge of the hint label inside the middle tool bar's picture: the label
// (sized to its text) is centred, (barWidth - labelWidth) div 2, rounding
// towards zero like the window's integer division.
int CenteredHintLeft(int barWidth, int labelWidth);

// What the hint label shows. Entering a control shows its hint, leaving
// clears it; slot buttons do either only while they are enabled.
class THintLine {
 public:
  void Enter(THintControl control) { FText = HintText(control); }
  void Leave() { FText.clear(); }
  void EnterSlot(int slot, bool enabled);
  void LeaveSlot(bool enabled);
  const std::string& Text() const { return FText; }

 private:
  std::string FText;
};

// ---- Keyboard ----

// Key codes the map understands; the window translates its toolkit's codes.
// Letters are their upper-case ASCII codes, main-keyboard digits '0'..'9'.
enum TKeyCode : int {
  kKeyF1 = 0x10001,
  kKeyF2,
  kKeyF3,
  kKeyF4,
  kKeyF5,
  kKeyF6,
  kKeyF7,
  kKeyF8,
  kKeyEnter,  // Return and the keypad's Enter
  kKeyPlus,   // the = + key of the main keyboard
  kKeyMinus,  // the - key of the main keyboard
  kKeyLeft,
  kKeyRight,
  kKeyUp,
  kKeyDown,
};

struct TKeyStroke {
  int Code = 0;
  bool Ctrl = false;
  bool Shift = false;
  bool Alt = false;
  bool Keypad = false;  // the numeric keypad's plus, minus and digits are not shortcuts
};

// What a shortcut does; each command has the button whose enabled state
// decides whether it acts.
enum class TKeyCommand {
  None,
  Help,             // F1: the help menu's first item
  ImportTemplates,  // F2
  ImportPhotos,     // F3
  BatchPreview,     // Shift+Enter
  PreviewSingle,    // Enter
  SingleResult,     // F5
  BatchResult,      // F8
  EditPhoto,        // F4
  ZoomIn,           // = +, while held
  ZoomOut,          // -, while held
  FlipH,            // H
  FlipV,            // V
  RotateLeft90,     // Ctrl+L
  RotateRight90,    // Ctrl+R
  RotateLeft1,      // L
  RotateRight1,     // R
  ResetPhoto,       // Z
  NewSet,           // Ctrl+N
  SaveSet,          // Ctrl+S
  SaveSetAs,        // Ctrl+Shift+S
  LoadSet,          // Ctrl+0
  SelectAllSets,    // Ctrl+A
  SelectSlot,       // digits; Slot names the button
  Nudge,            // arrows
};

struct TKeyAction {
  TKeyCommand Command = TKeyCommand::None;
  int Slot = -1;  // SelectSlot: 0..9 (the key 0 is the tenth button)
  int Dx = 0;     // Nudge: one pixel left/right/up/down
  int Dy = 0;
};

// The first row of the shortcut table that matches the stroke; None when no
// row does. Rows marked "exactly" need those modifiers and no other.
TKeyAction MapKey(const TKeyStroke& stroke);

// What the window looks like when a key arrives: which parts are there and
// what is selected.
struct TWindowState {
  bool HasTemplate = false;       // a template of the current set is selected
  int SlotCount = 0;              // slots of that template (enabled slot buttons)
  bool HasSlot = false;           // a slot of it is selected
  bool ComposeAvailable = false;  // the composition engine is wired
  bool PreviewEditing = false;    // the preview screen edits slot photos
  bool ModalOpen = false;         // a dialog or the progress window is up
};

// Whether the button behind a command is enabled in `state`: nothing acts
// under a modal window; slot keys need an enabled slot button; the photo
// editing keys need a selected slot on an editing preview; the composition
// keys need the engine. The list and set commands are always enabled (they
// explain themselves with messages).
bool CommandEnabled(const TKeyAction& action, const TWindowState& state);

// ---- Page switches ----

enum class TSamplePage { Sample, Result };

// Which of a switch's two buttons wears the selection marker: the one of the
// page shown.
struct TPageMarkers {
  bool First = false;   // ButtonTemp / ButtonSample
  bool Second = false;  // ButtonPhoto / ButtonResultPhoto
};
TPageMarkers LeftPageMarkers(bool photoPageShown);
TPageMarkers SamplePageMarkers(TSamplePage page);

// ---- Pop-up menus and the version box ----

// Top-left corner of a pop-up menu opened from a control, in the control's
// parent coordinates: 2 right of its left edge, 8 above its bottom edge.
struct TMenuOrigin {
  int X = 0, Y = 0;
};
TMenuOrigin PopupMenuOrigin(int controlLeft, int controlTop, int controlHeight);

inline constexpr const char* kVersionBoxCaption = "tessaro";
inline constexpr const char* kVersionText = "当前版本：2009.2.91";
inline constexpr const char* kHelpMenuHelpItem = "软件帮助说明";
inline constexpr const char* kHelpMenuVersionItem = "软件版本号";
// The bundled help's start page, relative to the program folder.
inline constexpr const char* kHelpIndexPage = "help/index.html";

}  // namespace tessaro
