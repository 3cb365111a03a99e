// The actions the editor runs through ExecuteAction, parsed from their
// descriptors. Parsing is strict: a descriptor must hold exactly the keys of
// its action, with the types and the references the effects code builds; any
// missing, unknown or mistyped key, or a value out of range, is an error that
// names it. Pure functions; thread-safe.
#pragma once

#include <variant>

#include "base/Status.h"
#include "editor/Automation.h"
#include "imaging/BlendMode.h"
#include "imaging/psd/Psd.h"

namespace tessaro::editor {

// "setd" of the target layer's "Lefx": the colour overlay ("SoFi") layer
// effect, replacing the layer's effects.
struct ColorOverlayAction {
  PsdColorOverlay overlay;
  double scalePercent = 100;  // "Scl " of the effects (kept, not used by a colour overlay)
};

// "HStr": hue/saturation of the target layer's pixels (not colorised).
struct HueSaturationAction {
  int hue = 0;
  int saturation = 0;
  int lightness = 0;
};

// "Mk  " of a "Chnl" at the mask channel: a new layer mask.
struct MakeMaskAction {
  enum class Using { kRevealSelection, kHideSelection, kRevealAll, kHideAll };
  Using source = Using::kRevealSelection;
};

// "setd" of the target layer with "Usrs": whether its mask moves with it.
struct LinkMaskAction {
  bool linked = true;
};

using EditorAction = std::variant<ColorOverlayAction, HueSaturationAction, MakeMaskAction, LinkMaskAction>;

Result<EditorAction> ParseAction(automation::TypeId event, const automation::ActionDescriptor& descriptor);

// The blend mode of a "BlnM" enumeration value ("Nrml", "Ovrl", "SftL",
// "Clr ", ...), or nothing.
std::optional<BlendMode> BlendModeFromActionKey(automation::TypeId value);

}  // namespace tessaro::editor
