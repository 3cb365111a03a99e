// How the main window configures its three lists (fonts, colours, columns,
// check boxes, thumbnails, black background). The window and the controls
// demo share it, so the demo shows the lists as the program does; the small
// windows' lists take their fonts and ground from here too.
#pragma once

#include <QColor>

namespace tessaro {

class TMyListBox;

enum class TMainListKind {
  Thumbnails,  // templates and photos: check box, thumbnail, four columns
  Sets,        // sets: check box and two columns, no thumbnails
};

// `maxChars` is the caption line length in display columns;
// `nameColumnLeft` the left edge of a thumbnail list's name column.
void ConfigureMainList(TMyListBox& list, TMainListKind kind, int maxChars, int nameColumnLeft = 98);

// The fonts of a list whose clickable columns are links, all the lists' font
// at 9 points: `normal` at rest, `highLight` under the mouse, and `selected`
// underlined in the selected row's selectable columns.
void SetLinkFonts(TMyListBox& list, const QColor& normal, const QColor& highLight, const QColor& selected);

// A black ground behind and between the rows, and no frame.
void SetBlackGround(TMyListBox& list);

}  // namespace tessaro
