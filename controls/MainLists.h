// How the main window configures its three lists (fonts, colours, columns,
// check boxes, thumbnails, black background). The window and the controls
// demo share it, so the demo shows the lists as the program does.
#pragma once

namespace tessaro {

class TMyListBox;

enum class TMainListKind {
  Thumbnails,  // templates and photos: check box, thumbnail, four columns
  Sets,        // sets: check box and two columns, no thumbnails
};

// `maxChars` is the caption line length in display columns;
// `nameColumnLeft` the left edge of a thumbnail list's name column.
void ConfigureMainList(TMyListBox& list, TMainListKind kind, int maxChars, int nameColumnLeft = 98);

}  // namespace tessaro
