// The dialogs library: the program's windows other than the main window.
// Each window has its own header (Parameter.h, CustomSize.h, AddTemplate.h,
// Stat.h, ProcessBar.h, Flash.h, ThreadBar.h); this one only names the
// library's namespace for code that needs none of them.
#pragma once

namespace tessaro {}
