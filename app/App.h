// The program library: the main window and the Qt side of the controller's
// views (MainForm.h and the service headers); this header only names the
// library's namespace for code that needs none of them.
#pragma once

namespace tessaro {}
