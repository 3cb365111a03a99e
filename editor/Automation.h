// The automation interface of the layered image editor: the object model the
// composition engine drives (Application, Documents, Document, ArtLayers,
// ArtLayer, Channels, Channel, Selection, Preferences), the option objects
// given to SaveAs and the action objects given to ExecuteAction.
//
// The engine codes only against this header. The one real implementation is
// the in-process editor (editor/Editor.h, CreateEditorApplication()); tests
// of the engine may implement it with a recording fake.
//
// Errors. Every call returns a Status or a Result<T>: a failing call gives one
// error value with a one-line message (a missing file, an unreadable image, an
// unknown channel name, a failed save, a closed document, a cancelled job).
// Nothing throws across this interface. A failing call changes nothing.
//
// Objects and ownership. Documents, layers and channels are reached through
// shared handles (DocumentRef, ArtLayerRef, ChannelRef). A handle may be kept
// and copied freely; it refers to its object while that object exists and
// gives an error (never a crash) once its document is closed or the object is
// gone (a layer merged away). The application owns the documents; a handle
// never keeps a closed document's pixels alive beyond the handle itself.
// The option and action objects are plain values owned by whoever holds them.
//
// Units and coordinates. The editor works in pixels whatever the unit
// preferences say: Width, Height, Bounds, ResizeImage and Translate take and
// give pixels; Resolution is pixels per inch; Opacity is percent (0..100);
// angles are degrees, positive CLOCKWISE on screen (as the automation model
// defines Rotate). Document pixel (0, 0) is the top-left of the canvas; y
// grows downwards; a layer's bounds may reach outside the canvas.
//
// The version entry of this editor. Translate takes pixels (not points), so
// the engine's version table entry for this editor must carry Scale = false:
// the distance factor of the composition procedure is then 1 and every
// Translate(dx, dy) moves the layer by exactly the pixel distances the
// procedure computed from Bounds, Width and Height. (With Scale = true the
// engine would multiply by 72 / Resolution, which only suits an editor that
// takes points; at 300 ppi the photo would move by a quarter of the
// distance.) The Version property of the editor is kEditorVersion; the
// entry's Version key must be a prefix of it (e.g. "tessaro-editor").
//
// Thread-safety. An application and everything reached from it may be used
// from several threads: calls are serialised on the application. Long calls
// check the cancellation flag (RequestCancel), which may be set from any
// thread while another call runs.
//
// Names. Members keep the names of the automation model (PascalCase
// properties and methods; lowerCamelCase put/get members of the action
// objects). A property P is read with P() and written with SetP(value).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "base/Status.h"

namespace tessaro::automation {

// A four-character code as the big-endian 32-bit number CharIDToTypeID gives:
// "setd" -> 0x73657464.
using TypeId = uint32_t;

// The same conversion at compile time, for constants: CharId("setd").
constexpr TypeId CharId(const char (&code)[5]) {
  return (TypeId(uint8_t(code[0])) << 24) | (TypeId(uint8_t(code[1])) << 16) |
         (TypeId(uint8_t(code[2])) << 8) | TypeId(uint8_t(code[3]));
}
// At run time: exactly four bytes, else nothing.
Result<TypeId> CharIdToTypeId(std::string_view code);
// The four characters of a code (for messages): 0x73657464 -> "setd".
std::string TypeIdToCharId(TypeId id);

// ---------------------------------------------------------------------------
// Enumerations of the automation model used by the calls below.

// Preferences.RulerUnits (1..7) and TypeUnits (1, 2, 5). Stored and read back
// only: the editor works in pixels whatever they hold.
inline constexpr int kUnitPixels = 1;
inline constexpr int kUnitInches = 2;
inline constexpr int kUnitCm = 3;
inline constexpr int kUnitMm = 4;
inline constexpr int kUnitPoints = 5;
inline constexpr int kUnitPicas = 6;
inline constexpr int kUnitPercent = 7;
inline constexpr int kTypeUnitPixels = 1;
inline constexpr int kTypeUnitMm = 2;
inline constexpr int kTypeUnitPoints = 5;

// DisplayDialogs: 1 all, 2 error dialogs, 3 none. The editor never shows a
// dialog; the value is stored and read back.
inline constexpr int kDialogsAll = 1;
inline constexpr int kDialogsError = 2;
inline constexpr int kDialogsNo = 3;

// ResizeImage methods: 1 none (resolution only, size must not change),
// 2 nearest neighbour, 3 bilinear, 4 bicubic, 5 bicubic sharper and
// 6 bicubic smoother (both treated as bicubic).
inline constexpr int kResampleNone = 1;
inline constexpr int kResampleNearest = 2;
inline constexpr int kResampleBilinear = 3;
inline constexpr int kResampleBicubic = 4;
inline constexpr int kResampleBicubicSharper = 5;
inline constexpr int kResampleBicubicSmoother = 6;

// Element placements of Duplicate and Move.
inline constexpr int kPlaceAtBeginning = 1;  // top of the document
inline constexpr int kPlaceInside = 2;       // (groups; refused)
inline constexpr int kPlaceBefore = 3;       // directly above the relative layer
inline constexpr int kPlaceAfter = 4;        // directly below the relative layer
inline constexpr int kPlaceAtEnd = 5;        // bottom of the document

// Anchor positions of Resize and Rotate on the layer's bounds, row by row:
// 1 top-left, 2 top-centre, 3 top-right, 4 middle-left, 5 middle-centre,
// 6 middle-right, 7 bottom-left, 8 bottom-centre, 9 bottom-right.
inline constexpr int kAnchorTopLeft = 1;
inline constexpr int kAnchorMiddleCenter = 5;
inline constexpr int kAnchorBottomRight = 9;

// Selection.Load combinations.
inline constexpr int kSelectionReplace = 1;
inline constexpr int kSelectionExtend = 2;     // maximum of both
inline constexpr int kSelectionDiminish = 3;   // old x (1 - new)
inline constexpr int kSelectionIntersect = 4;  // old x new

// SaveAs extension case: 1 the path as given, 2 lower-case extension,
// 3 upper-case extension (a missing extension is added).
inline constexpr int kExtensionAsGiven = 1;
inline constexpr int kExtensionLowerCase = 2;
inline constexpr int kExtensionUpperCase = 3;

// Close: 1 save changes (refused: the editor has no "save" without a path),
// 2 discard changes, 3 prompt (no prompts: treated as 2).
inline constexpr int kSaveChanges = 1;
inline constexpr int kDoNotSaveChanges = 2;
inline constexpr int kPromptToSaveChanges = 3;

// Layer blend modes (ArtLayer::BlendMode): 1 pass through (groups only, refused
// on an art layer), 2 normal, 3 dissolve, 4 darken, 5 multiply, 6 colour burn,
// 7 linear burn, 8 lighten, 9 screen, 10 colour dodge, 11 linear dodge,
// 12 overlay, 13 soft light, 14 hard light, 15 vivid light, 16 linear light,
// 17 pin light, 18 difference, 19 exclusion, 20 hue, 21 saturation,
// 22 colour, 23 luminosity, 26 hard mix, 27 lighter colour, 28 darker colour,
// 29 subtract, 30 divide. Other numbers are refused.
inline constexpr int kBlendNormal = 2;
inline constexpr int kBlendOverlay = 12;
inline constexpr int kBlendSoftLight = 13;
inline constexpr int kBlendColor = 22;

// ---------------------------------------------------------------------------
// Option objects (SaveAs).

struct JPEGSaveOptions {
  // 0..12; mapped to the encoder's quality by the editor's table
  // (editor/Editor.h, JpegEncoderQuality). 10 is the preview setting and 12
  // the print setting; both give visibly high quality.
  int Quality = 3;
};

struct PhotoshopSaveOptions {
  bool Layers = true;         // false: only the merged picture is saved
  bool AlphaChannels = true;  // false: the named alpha channels are left out
};

using SaveOptions = std::variant<JPEGSaveOptions, PhotoshopSaveOptions>;

// ---------------------------------------------------------------------------
// Action objects (ExecuteAction). Plain values; keys, classes, enumeration
// types and values and units are TypeIds from CharIDToTypeID.

class ActionDescriptor;
class ActionList;
struct ActionValue;

enum class ActionValueType {
  kBoolean,
  kInteger,
  kDouble,
  kUnitDouble,
  kEnumerated,
  kReference,
  kObject,
  kList,
  kClass,
  kString,
};

// One element of a reference, in the order it was put.
struct ReferenceElement {
  enum class Form { kProperty, kEnumerated, kClass, kIndex, kName };
  Form form = Form::kClass;
  TypeId desiredClass = 0;
  TypeId property = 0;  // kProperty: the property key
  TypeId enumType = 0;  // kEnumerated
  TypeId value = 0;     // kEnumerated
  int32_t index = 0;    // kIndex (1-based)
  std::string name;     // kName
  friend bool operator==(const ReferenceElement&, const ReferenceElement&) = default;
};

class ActionReference {
 public:
  void putProperty(TypeId desiredClass, TypeId property);
  void putEnumerated(TypeId desiredClass, TypeId enumType, TypeId value);
  void putClass(TypeId desiredClass);
  void putIndex(TypeId desiredClass, int32_t index);
  void putName(TypeId desiredClass, std::string name);

  int count() const { return int(FElements.size()); }
  // Element `index` (0-based), or an error outside 0..count()-1.
  Result<ReferenceElement> getElement(int index) const;
  const std::vector<ReferenceElement>& elements() const { return FElements; }
  friend bool operator==(const ActionReference&, const ActionReference&) = default;

 private:
  std::vector<ReferenceElement> FElements;
};

// An ordered set of keyed values. Putting a key that is already there
// replaces its value in place. Getters give an error for a missing key or a
// value of another type.
class ActionDescriptor {
 public:
  ActionDescriptor();
  ActionDescriptor(const ActionDescriptor&);
  ActionDescriptor(ActionDescriptor&&) noexcept;
  ActionDescriptor& operator=(const ActionDescriptor&);
  ActionDescriptor& operator=(ActionDescriptor&&) noexcept;
  ~ActionDescriptor();

  void putBoolean(TypeId key, bool value);
  void putInteger(TypeId key, int32_t value);
  void putDouble(TypeId key, double value);
  void putUnitDouble(TypeId key, TypeId unit, double value);
  void putEnumerated(TypeId key, TypeId enumType, TypeId value);
  void putReference(TypeId key, const ActionReference& value);
  void putObject(TypeId key, TypeId classId, const ActionDescriptor& value);
  void putList(TypeId key, const ActionList& value);
  void putClass(TypeId key, TypeId classId);
  void putString(TypeId key, std::string value);

  int count() const;
  Result<TypeId> getKey(int index) const;  // 0-based
  bool hasKey(TypeId key) const;
  Result<ActionValueType> getType(TypeId key) const;
  Result<bool> getBoolean(TypeId key) const;
  Result<int32_t> getInteger(TypeId key) const;
  Result<double> getDouble(TypeId key) const;
  Result<TypeId> getUnitDoubleType(TypeId key) const;
  Result<double> getUnitDoubleValue(TypeId key) const;
  Result<TypeId> getEnumerationType(TypeId key) const;
  Result<TypeId> getEnumerationValue(TypeId key) const;
  Result<ActionReference> getReference(TypeId key) const;
  Result<TypeId> getObjectType(TypeId key) const;
  Result<ActionDescriptor> getObjectValue(TypeId key) const;
  Result<ActionList> getList(TypeId key) const;
  Result<TypeId> getClass(TypeId key) const;
  Result<std::string> getString(TypeId key) const;
  void erase(TypeId key);
  void clear();

  // The stored value of a key (nullptr when absent); for the editor's parser.
  const ActionValue* find(TypeId key) const;
  friend bool operator==(const ActionDescriptor&, const ActionDescriptor&);

 private:
  template <typename T>
  void PutValue(TypeId key, T value);
  std::vector<std::pair<TypeId, ActionValue>> FItems;
};

// An ordered list of values. Getters take a 0-based index.
class ActionList {
 public:
  ActionList();
  ActionList(const ActionList&);
  ActionList(ActionList&&) noexcept;
  ActionList& operator=(const ActionList&);
  ActionList& operator=(ActionList&&) noexcept;
  ~ActionList();

  void putBoolean(bool value);
  void putInteger(int32_t value);
  void putDouble(double value);
  void putUnitDouble(TypeId unit, double value);
  void putEnumerated(TypeId enumType, TypeId value);
  void putReference(const ActionReference& value);
  void putObject(TypeId classId, const ActionDescriptor& value);
  void putList(const ActionList& value);
  void putClass(TypeId classId);
  void putString(std::string value);

  int count() const;
  Result<ActionValueType> getType(int index) const;
  Result<bool> getBoolean(int index) const;
  Result<int32_t> getInteger(int index) const;
  Result<double> getDouble(int index) const;
  Result<TypeId> getObjectType(int index) const;
  Result<ActionDescriptor> getObjectValue(int index) const;
  Result<ActionReference> getReference(int index) const;
  Result<TypeId> getEnumerationValue(int index) const;
  Result<std::string> getString(int index) const;

  const ActionValue* at(int index) const;  // nullptr outside 0..count()-1
  friend bool operator==(const ActionList&, const ActionList&);

 private:
  template <typename T>
  void Append(T value);
  std::vector<ActionValue> FItems;
};

struct UnitDouble {
  TypeId unit = 0;  // e.g. "#Prc" percent, "#Pxl" pixels, "#Ang" degrees
  double value = 0;
  friend bool operator==(const UnitDouble&, const UnitDouble&) = default;
};
struct EnumeratedValue {
  TypeId enumType = 0;
  TypeId value = 0;
  friend bool operator==(const EnumeratedValue&, const EnumeratedValue&) = default;
};
struct ObjectValue {
  TypeId classId = 0;
  ActionDescriptor descriptor;
  friend bool operator==(const ObjectValue&, const ObjectValue&) = default;
};
struct ClassValue {
  TypeId classId = 0;
  friend bool operator==(const ClassValue&, const ClassValue&) = default;
};

// One value of a descriptor or list. The alternatives are in the order of
// ActionValueType.
struct ActionValue {
  std::variant<bool, int32_t, double, UnitDouble, EnumeratedValue, ActionReference, ObjectValue, ActionList,
               ClassValue, std::string>
      value;
  ActionValueType type() const { return ActionValueType(value.index()); }
  friend bool operator==(const ActionValue&, const ActionValue&) = default;
};

// Any object the application creates from a class identifier.
using AutomationObject =
    std::variant<JPEGSaveOptions, PhotoshopSaveOptions, ActionDescriptor, ActionReference, ActionList>;

// The class identifiers the editor advertises (CreateObject accepts these
// GUID texts, in any letter case, with or without braces, as well as the
// class names themselves). They are fixed for this editor; the engine's
// version table entry for it lists them.
inline constexpr std::string_view kJPEGSaveOptionsClassId = "{7E55A0ED-0001-4000-8000-000000000001}";
inline constexpr std::string_view kPhotoshopSaveOptionsClassId = "{7E55A0ED-0002-4000-8000-000000000002}";
inline constexpr std::string_view kActionDescriptorClassId = "{7E55A0ED-0003-4000-8000-000000000003}";
inline constexpr std::string_view kActionReferenceClassId = "{7E55A0ED-0004-4000-8000-000000000004}";
inline constexpr std::string_view kActionListClassId = "{7E55A0ED-0005-4000-8000-000000000005}";

// The version text of the editor's Application.Version.
inline constexpr std::string_view kEditorVersion = "tessaro-editor 1.0";
inline constexpr std::string_view kEditorName = "Tessaro Editor";

// Creates the object a class identifier (GUID text or class name) names, or
// gives the error "class not registered: <id>". The same as
// Application::CreateObject of the editor.
Result<AutomationObject> CreateAutomationObject(std::string_view classId);

// ---------------------------------------------------------------------------
// The object model.

class Application;
class Documents;
class Document;
class ArtLayers;
class ArtLayer;
class Channels;
class Channel;
class Selection;
class Preferences;

using DocumentRef = std::shared_ptr<Document>;
using ArtLayerRef = std::shared_ptr<ArtLayer>;
using ChannelRef = std::shared_ptr<Channel>;

// A layer's bounds in document pixels: the box of its non-transparent pixels
// (alpha above 0), right and bottom exclusive. All zero for an empty layer.
struct LayerBounds {
  double left = 0, top = 0, right = 0, bottom = 0;
  friend bool operator==(const LayerBounds&, const LayerBounds&) = default;
};

class Preferences {
 public:
  virtual ~Preferences() = default;
  virtual Result<int> RulerUnits() = 0;         // default kUnitPixels
  virtual Status SetRulerUnits(int units) = 0;  // 1..7, else an error
  virtual Result<int> TypeUnits() = 0;          // default kTypeUnitPoints
  virtual Status SetTypeUnits(int units) = 0;   // 1, 2 or 5, else an error
};

// The open documents in the order they were opened (1 = the first still open).
class Documents {
 public:
  virtual ~Documents() = default;
  virtual Result<int> Count() = 0;
  virtual Result<DocumentRef> Item(int index) = 0;  // 1-based; an error outside 1..Count
};

// What a reduced load (LoadScaled, PrefetchScaled) needs of a photo.
struct DecodeHint {
  // The picture, upright, stays at least MinWidth x MinHeight pixels (0
  // leaves that side free; 0 and 0: full size).
  int MinWidth = 0;
  int MinHeight = 0;
  // The part of the upright picture that is needed, in kCropUnit parts of
  // its width (left, right) and height (top, bottom); the default is all of
  // it. CropMargin: pixels of the decoded picture kept beyond that part on
  // every side.
  static constexpr int32_t kCropUnit = 1 << 16;
  int32_t CropLeft = 0;
  int32_t CropTop = 0;
  int32_t CropRight = kCropUnit;
  int32_t CropBottom = kCropUnit;
  int32_t CropMargin = 0;
  friend bool operator==(const DecodeHint&, const DecodeHint&) = default;
};

// What LoadScaled gives: the document and the size of the picture in the
// file (pixels, upright), whatever size the document was decoded at.
struct ScaledDocument {
  DocumentRef Document;
  double FullWidth = 0;
  double FullHeight = 0;
};

class Application {
 public:
  virtual ~Application() = default;

  virtual Result<std::string> Version() = 0;
  virtual Result<std::string> Name() = 0;
  virtual Result<std::shared_ptr<automation::Documents>> Documents() = 0;

  // Opens an image file (JPEG, PNG, TIFF, GIF, BMP, TGA) or a layered document
  // (PSD, PSB, PDD; told by its signature, not its name) as a new document,
  // appends it to Documents and makes it the ActiveDocument, whose active
  // layer is its top layer. A layered document keeps its layers (names,
  // bounds, opacity, blend mode, visibility, masks, colour overlays; groups
  // are dissolved into their layers, see the editor's notes), its named alpha
  // channels and its resolution. An image file becomes one layer covering the
  // canvas, named "Background" (or "Layer 0" when it has transparency), at
  // the file's resolution (72 when it states none).
  // Errors: a missing file, an unreadable or unsupported file; cancelled.
  virtual Result<DocumentRef> Load(const std::string& path) = 0;

  virtual Result<DocumentRef> ActiveDocument() = 0;  // an error when no document is open
  virtual Status SetActiveDocument(const DocumentRef& document) = 0;

  virtual Result<std::shared_ptr<automation::Preferences>> Preferences() = 0;
  virtual Result<int> DisplayDialogs() = 0;
  virtual Status SetDisplayDialogs(int mode) = 0;  // 1..3

  // Four characters (bytes) -> big-endian code; an error for any other length.
  virtual Result<TypeId> CharIDToTypeID(std::string_view code) = 0;

  // Runs an action on the active document and its active layer. The editor
  // knows these four, with descriptors exactly as built by the effects code:
  //   "setd" of the target layer's "Lefx" with "SoFi" (colour overlay effect:
  //     blend mode, opacity, colour; rendered when flattening, kept as an
  //     effect in a layered save);
  //   "HStr" with "Clrz" false and one "Hst2" adjustment ("H   " hue,
  //     "Strt" saturation, "Lght" lightness), applied to the layer's pixels;
  //   "Mk  " of "Chnl" at the mask channel using "UsrM" "RvlS": a layer mask
  //     copied from the selection (also "RvlA", "HdAl", "HdSl");
  //   "setd" of the target layer with "Usrs" (mask linked true or false).
  // Any other event, a descriptor with a missing, unknown or mistyped key, or
  // a value out of range is an error and changes nothing. dialogMode 1..3.
  virtual Status ExecuteAction(TypeId event, const ActionDescriptor& descriptor, int dialogMode) = 0;

  // The option or action object of a class identifier (see
  // CreateAutomationObject).
  virtual Result<AutomationObject> CreateObject(std::string_view classId) = 0;

  // Additions outside the automation model.
  //
  // Prefetch: starts reading `path` on a background thread. A later Load of
  // the same path (same file size and modification time) takes that result,
  // waiting for a read still in progress, instead of reading again. A failed
  // prefetch costs nothing: Load then reads the file itself and reports its
  // own error. Unused prefetches are dropped oldest first beyond a few.
  virtual void Prefetch(const std::string& path) = 0;
  //
  // Reduced-size loading: like Load, but a JPEG photo may be decoded at a
  // scale of its DCT (1/8 .. 7/8) as long as the picture, upright, stays at
  // least minWidth x minHeight pixels (0 leaves that side free; 0 and 0 give
  // the full size). The document then has the reduced size, its resolution
  // reduced by the same factor, and the call reports the file's full size,
  // so that sizes computed from the photo's true pixels can be turned into
  // percentages of the document's layer. Files of other kinds are loaded at
  // full size.
  // A hint that names a part of the picture lets a photo without
  // transparency be decoded over that part only: the document keeps the
  // whole picture's size (reduced as above), and its one layer covers
  // exactly the part taken to the document's pixels, widened outward to
  // whole pixels (left and top rounded down, right and bottom up) and then
  // by CropMargin, within the canvas. So a part centred on the picture gives
  // a layer centred on the canvas, and the layer's bounds say where its
  // pixels sit. The part is clamped; an empty one means all of it. Layered
  // documents and pictures with transparency are loaded whole.
  // Errors as Load. The default implementation loads at full size.
  virtual Result<ScaledDocument> LoadScaled(const std::string& path, const DecodeHint& hint);
  // Prefetch for a later LoadScaled of the same path and hint (a Load or a
  // LoadScaled with another hint reads the file again).
  virtual void PrefetchScaled(const std::string& path, const DecodeHint& hint);
  // Cancellation: after RequestCancel (from any thread) the running call and
  // every later call that reads or writes pixels or files fails with
  // "cancelled" (well under a second for a running call) and leaves documents
  // as they were before that call; queries, Close and the property setters
  // keep working, so the engine can close its documents. ClearCancel makes
  // the application usable for the next job.
  virtual void RequestCancel() = 0;
  virtual void ClearCancel() = 0;
};

// Creates the option object of type T from a class identifier; an error when
// the identifier is unknown or names another class.
template <typename T>
Result<T> CreateObjectAs(Application& app, std::string_view classId) {
  Result<AutomationObject> object = app.CreateObject(classId);
  if (!object.ok()) return object.status();
  if (T* value = std::get_if<T>(&object.value())) return std::move(*value);
  return Status::Error("class " + std::string(classId) + " is not the class asked for");
}

class Document {
 public:
  virtual ~Document() = default;

  virtual Result<std::string> Name() = 0;   // file name it was opened from or saved to
  virtual Result<double> Width() = 0;       // pixels
  virtual Result<double> Height() = 0;      // pixels
  virtual Result<double> Resolution() = 0;  // pixels per inch

  // Resamples the whole document to round(width) x round(height) pixels and
  // sets the resolution: every layer (its bounds scaled by the size ratio and
  // its pixels resampled, bicubic for method 4), every mask, every alpha
  // channel and the selection. Errors: sizes below 1 or above the caps, a
  // resolution not above 0, an unknown method; cancelled.
  virtual Status ResizeImage(double width, double height, double resolution, int method) = 0;

  virtual Result<std::shared_ptr<automation::ArtLayers>> ArtLayers() = 0;
  virtual Result<ArtLayerRef> ActiveLayer() = 0;  // an error when the document has no layer
  // Making a layer active also makes all three colour channels active again.
  virtual Status SetActiveLayer(const ArtLayerRef& layer) = 0;

  // The channels adjustments act on: a subset of Red, Green, Blue (default
  // all three). Setting an empty list or a channel of another document is an
  // error; alpha channels may be set but adjustments then refuse to run.
  virtual Result<std::vector<ChannelRef>> ActiveChannels() = 0;
  virtual Status SetActiveChannels(const std::vector<ChannelRef>& channels) = 0;

  virtual Result<std::shared_ptr<automation::Channels>> Channels() = 0;
  virtual Result<std::shared_ptr<automation::Selection>> Selection() = 0;

  // Adds a new layer holding the application's clipboard, centred on the
  // canvas (left = floor((Width - w) / 2), likewise top), directly above the
  // active layer (on top when the document has none), makes it the active
  // layer and returns it. Its name is "Layer N". intoSelection = true is
  // refused. Errors: an empty clipboard; cancelled.
  virtual Result<ArtLayerRef> Paste(bool intoSelection) = 0;

  // Replaces the visible layers by one layer holding their composite (within
  // the canvas), at the place of the lowest visible layer and with its name;
  // hidden layers stay. The result is the active layer and is returned.
  // Errors: no visible layer; cancelled.
  virtual Result<ArtLayerRef> MergeVisibleLayers() = 0;

  // Saves as JPEG (flattened over white, at the document's resolution, with
  // the quality table) or as a layered document (every layer with its mask,
  // linked or not, name, opacity, blend mode, visibility and colour overlay;
  // the alpha channels; the resolution; the merged picture). The file is
  // written atomically. asCopy = true leaves the document as it was; false
  // makes the saved file the document's name. Errors: a bad quality, a path
  // that cannot be written; cancelled.
  virtual Status SaveAs(const std::string& path, const SaveOptions& options, bool asCopy,
                        int extensionCase) = 0;

  // Closes the document (2 or 3 discard changes; 1 is refused). Every handle
  // into it fails from then on. When it was the active document, the most
  // recently opened document left becomes active.
  virtual Status Close(int saveOptions) = 0;
};

// The art layers of a document, top first.
class ArtLayers {
 public:
  virtual ~ArtLayers() = default;
  virtual Result<int> Count() = 0;
  virtual Result<ArtLayerRef> Item(int index) = 0;  // 1 = top; an error outside 1..Count
};

class ArtLayer {
 public:
  virtual ~ArtLayer() = default;

  virtual Result<LayerBounds> Bounds() = 0;
  virtual Result<std::string> Name() = 0;
  virtual Status SetName(const std::string& name) = 0;
  virtual Result<bool> Visible() = 0;
  virtual Status SetVisible(bool visible) = 0;
  virtual Result<double> Opacity() = 0;           // percent
  virtual Status SetOpacity(double percent) = 0;  // 0..100, else an error
  virtual Result<int> BlendMode() = 0;            // see kBlend* above
  virtual Status SetBlendMode(int mode) = 0;

  // Copies this layer's pixels inside the document's selection (each pixel's
  // alpha multiplied by the selection; everything when there is none) to the
  // application's clipboard, cropped to the box of the copied non-transparent
  // pixels within the canvas. merged = true copies the composite of all
  // visible layers (with their masks and effects) instead. The layer's own
  // mask and effects are not applied to a plain copy.
  // Errors: nothing inside the selection; cancelled.
  virtual Status Copy(bool merged) = 0;

  // Copies the layer (pixels, bounds, mask, effects, properties) into
  // `document` (may be its own) at the top (1) or bottom (5) and makes the
  // copy that document's active layer. Or relative to `layer` (3 above it,
  // 4 below it), in that layer's document.
  virtual Result<ArtLayerRef> Duplicate(const DocumentRef& document, int placement) = 0;
  virtual Result<ArtLayerRef> Duplicate(const ArtLayerRef& layer, int placement) = 0;

  // Moves the layer directly above (3) or below (4) another layer of the same
  // document.
  virtual Status Move(const ArtLayerRef& layer, int placement) = 0;

  // Scales the layer by percentages about the anchor of its bounds (5 = the
  // centre); a negative percentage mirrors that axis. Bicubic; the layer's
  // area grows or shrinks with it. A linked mask is transformed with it.
  // Errors: a zero percentage, a result too large; cancelled.
  virtual Status Resize(double horizontalPercent, double verticalPercent, int anchor) = 0;
  // Moves the layer by whole pixels: each distance is rounded to the nearest
  // integer (halves to even). A linked mask moves with it.
  virtual Status Translate(double dx, double dy) = 0;
  // Turns the layer clockwise by `degrees` about the anchor of its bounds;
  // the layer's area grows as needed (nothing is cut at the canvas edge).
  virtual Status Rotate(double degrees, int anchor) = 0;
  // Addition outside the automation model: Resize and then Rotate, both about
  // the centre of the bounds (anchor 5, the only anchor taken), in one
  // resampling pass (sharper and quicker than two). Errors as Resize and
  // Rotate. The default implementation makes the two calls.
  virtual Status ResizeAndRotate(double horizontalPercent, double verticalPercent, double degrees,
                                 int anchor);

  // Adjustments of the layer's pixels, inside the selection when there is
  // one. Levels and brightness/contrast act on the document's active colour
  // channels; the channel mixer acts on the whole colour.
  //   AdjustLevels: 0 <= inputStart < inputEnd <= 255, gamma 0.1..9.99,
  //     outputs 0..255.
  //   AdjustBrightnessContrast: -100..100 each, the legacy linear style
  //     (brightness adds levels; contrast scales about mid-grey).
  //   MixChannels: three rows {red %, green %, blue %, constant %} for the red,
  //     green and blue outputs (one row is enough when monochrome), values
  //     -200..200 (rounded to integers); monochrome writes the first row to
  //     all three channels.
  virtual Status AdjustLevels(int inputStart, int inputEnd, double gamma, int outputStart, int outputEnd) = 0;
  virtual Status AdjustBrightnessContrast(int brightness, int contrast) = 0;
  virtual Status MixChannels(const std::vector<std::vector<double>>& outputChannels, bool monochrome) = 0;
};

// Channels of a document: 1, 2, 3 are the colour channels Red, Green, Blue;
// 4 and on are the named alpha channels in their stored order.
class Channels {
 public:
  virtual ~Channels() = default;
  virtual Result<int> Count() = 0;
  virtual Result<ChannelRef> Item(int index) = 0;
  // By exact name ("Red", "Green", "Blue" or an alpha channel's name); an
  // error naming the channel when there is none.
  virtual Result<ChannelRef> Item(std::string_view name) = 0;
};

class Channel {
 public:
  virtual ~Channel() = default;
  virtual Result<std::string> Name() = 0;
  virtual Result<bool> IsColorChannel() = 0;  // Red, Green or Blue
  // Addition outside the automation model: the box of the pixels where an
  // alpha channel is not 0 (document pixels, within the canvas; empty when
  // it is 0 everywhere). An error for a colour channel; the default
  // implementation gives an error too.
  virtual Result<LayerBounds> ContentBounds();
};

// The selection of a document: a grey level per pixel (255 selected), or
// none.
class Selection {
 public:
  virtual ~Selection() = default;
  virtual Status SelectAll() = 0;
  virtual Status Deselect() = 0;
  // Combines the channel's grey values with the selection (1 replaces it;
  // 2..4 extend, diminish, intersect), inverted first when `invert`. An alpha
  // channel gives its stored values; a colour channel the values of that
  // channel in the merged picture over white. The channel must belong to the
  // same document.
  virtual Status Load(const ChannelRef& channel, int combination, bool invert) = 0;
};

// The default reduced-size calls: full size.
inline Result<ScaledDocument> Application::LoadScaled(const std::string& path, const DecodeHint&) {
  Result<DocumentRef> document = Load(path);
  if (!document.ok()) return document.status();
  Result<double> width = (*document)->Width();
  if (!width.ok()) return width.status();
  Result<double> height = (*document)->Height();
  if (!height.ok()) return height.status();
  return ScaledDocument{*document, *width, *height};
}
inline void Application::PrefetchScaled(const std::string& path, const DecodeHint&) { Prefetch(path); }
inline Result<LayerBounds> Channel::ContentBounds() {
  return Status::Error("the channel's bounds are not known");
}
inline Status ArtLayer::ResizeAndRotate(double horizontalPercent, double verticalPercent, double degrees,
                                        int anchor) {
  if (anchor != kAnchorMiddleCenter)
    return Status::Error("resize and rotate turn about the centre (anchor 5)");
  Status s = Resize(horizontalPercent, verticalPercent, anchor);
  if (!s.ok()) return s;
  return Rotate(degrees, anchor);
}

}  // namespace tessaro::automation
