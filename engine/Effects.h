// Photo effects and layer masks: the slot's effect list turned into editor
// operations on a freshly placed photo layer, and the two mask actions that
// cut a photo to its slot. Every action object is made from the version
// entry's class identifiers and run with ExecuteAction(event, descriptor, 3).
//
// All functions act on the application's active document; they run on the
// composing worker's thread, through its own application.
#pragma once

#include "base/Status.h"
#include "editor/Automation.h"
#include "engine/PSVersions.h"
#include "model/Records.h"

namespace tessaro {

// Applies the slot's effects in list order to `layer`. The first failing
// effect ends the list and gives its error (the caller ignores it: the slot
// keeps the effects applied so far). Unknown kinds, and effects with fewer
// parameters than their kind reads, are passed over.
Status ApplyEffects(automation::Application& app, const TSlotNode& slot, automation::ArtLayer& layer,
                    const TPSGUIDNode& version);

// True when every effect of the slot changes each pixel by its own colour
// alone (and the layer's blend mode and opacity), so that a photo decoded
// only over the part its slot shows looks the same there. False as soon as
// one effect is of a kind not known to do so.
bool EffectsActPerPixel(const TSlotNode& slot);

// "HStr": a fixed hue/saturation/lightness shift (30, -18, 16) of the
// active layer.
Status HueSaturationEffect(automation::Application& app, const TPSGUIDNode& version);
// "setd" of the active layer's colour-overlay effect: blend selector 0
// overlay, 1 soft light, 2 colour; the colour; opacity 48; `scale` percent.
Status ColorFillEffect(automation::Application& app, const TPSGUIDNode& version, int blend, int red,
                       int green, int blue, int scale);
// "Mk  ": a mask on the active layer that reveals the current selection.
Status AddRevealMask(automation::Application& app, const TPSGUIDNode& version);
// "setd" of the active layer with Usrs false: its mask no longer moves with
// it.
Status UnlinkMask(automation::Application& app, const TPSGUIDNode& version);

}  // namespace tessaro
