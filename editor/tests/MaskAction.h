// The recorded action that gives the active layer a mask revealing the
// current selection, shared by the editor tests and the editor benchmark.
#pragma once

#include "editor/Automation.h"

namespace tessaro::editortest {

// Plays "Mk  " (a new channel at the mask, revealing the selection) on the
// active document of `app`.
inline Status RevealSelectionAsMask(automation::Application& app) {
  using namespace automation;
  ActionDescriptor mk;
  ActionReference at;
  at.putEnumerated(CharId("Chnl"), CharId("Chnl"), CharId("Msk "));
  mk.putClass(CharId("Nw  "), CharId("Chnl"));
  mk.putReference(CharId("At  "), at);
  mk.putEnumerated(CharId("Usng"), CharId("UsrM"), CharId("RvlS"));
  return app.ExecuteAction(CharId("Mk  "), mk, kDialogsNo);
}

}  // namespace tessaro::editortest
