// TMyListBox: the thumbnail list of every list in the program (templates,
// photos, sets, custom sizes, photo usage). A vertically scrolling container
// whose rows are child controls: one label per text column and, with check
// boxes or thumbnails switched on, one picture per row that shows the row's
// check box and thumbnail inside a frame that follows hover and selection.
//
// Lengths are pixels in content coordinates (y grows down from the top of
// the scrolled content). Rows and columns are indexed from 0; every index
// that names no row or column is ignored.
//
// Ownership: the list owns its rows, their labels and pictures, and the
// thumbnails (one small pixmap per row). `P` of a row belongs to the owner and
// is never dereferenced. Threads: GUI thread only; thumbnails are decoded on
// the list's own pool (see PrefetchThumbnails).
#pragma once

#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QScrollArea>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/Look.h"
#include "controls/Thumbnails.h"

namespace tessaro {

class TMyListBox;
class TRowPicture;

// A text label of a row. `Tag` is its child number: row = Tag / K and
// column = Tag % K, with K the children per row (TMyListBox::ChildrenPerRow).
class TRowLabel : public QLabel {
 public:
  TRowLabel(TMyListBox* list, QWidget* parent, int tag, bool clickable);
  int Tag;
  const bool Clickable;  // the column was clickable when the row was added

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  TMyListBox* FList;
  bool FPressed = false;
};

// One row. `Texts` are the column texts unwrapped, as given.
struct TRowNode {
  TRowPicture* Picture = nullptr;  // none when neither check boxes nor thumbnails are on
  std::string ThumbFile;
  std::vector<std::string> Texts;
  std::vector<TRowLabel*> Labels;
  bool Checked = false;
  bool Selected = false;
  void* P = nullptr;
  // What the row picture shows: the fitted thumbnail (thumbnail mode) and
  // the colour of the frame round the thumbnail box.
  QPixmap Thumb;
  QColor FrameColor;
};

// The row's picture: check box, thumbnail box and frame, painted from the
// row's state. `Tag` is its child number (column = ColNum).
class TRowPicture : public QWidget {
 public:
  TRowPicture(TMyListBox* list, QWidget* parent, TRowNode* row, int tag);
  int Tag;
  TRowNode* Row;
  // The row bitmap as painted now (what the screen shows of this picture).
  QImage Render() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  TMyListBox* FList;
};

// Where a drag is relative to the control it passes over.
enum class TDragState { Enter, Leave, Move };

class TMyListBox : public QScrollArea {
  Q_OBJECT

 public:
  using TTextClickEvent =
      std::function<void(QWidget* sender, int row, int col, void* p, const std::string& thumbFile)>;
  using TRowChangedEvent = std::function<void(int oldRow, int newRow)>;
  using TMyMouseMoveEvent = std::function<void(QWidget* sender, Qt::KeyboardModifiers shift, int x, int y)>;
  // Drags over and drops on thumbnail pictures. `source` is the widget the
  // drag started from (none for drags from other programs); `fileName` is the
  // row's ThumbFile; x, y are picture coordinates (0, 0 when leaving).
  using TDragOverEvent = std::function<void(const std::string& fileName, QWidget* sender, QObject* source,
                                            int x, int y, TDragState state, bool& accept)>;
  using TDragDropEvent =
      std::function<void(const std::string& fileName, QWidget* sender, QObject* source, int x, int y)>;

  explicit TMyListBox(QWidget* parent = nullptr);
  ~TMyListBox() override;

  // ---- Properties. Fonts, colours and lengths apply to rows added (and
  // states painted) after they change; existing rows are not rebuilt.
  TFontSpec Font;           // labels of columns that are not clickable
  TFontSpec NormalFont;     // clickable columns, not hovered or selected
  TFontSpec HighLightFont;  // clickable column under the mouse
  TFontSpec SelectedFont;   // selectable columns of the selected row
  QColor SelectedColor = ColorFromBgr(0xE60000);
  QColor HighLightColor = ColorFromBgr(0x646400);
  QColor ImageColor = ColorFromBgr(0xE6E6E6);
  QColor ThumbBackground = ColorFromBgr(0xFFFFFF);
  int TextBorder = 5;
  int ImageBorder = 5;
  int TextMaxCharLen = 15;  // caption line length in display columns
  bool ShowRow = false;     // prefix captions with the label's number and "_"
  bool ShowCheckBox = false;
  bool ShowThumbPic = false;
  int ThumbLeft = 2;
  int ThumbTop = 2;
  int ThumbWidth = 150;
  int ThumbHeight = 150;
  int ImageWidth = 180;
  QImage CheckBmp;  // check-box pictures (the windows use 14 x 14)
  QImage UnCheckBmp;
  // The list takes the focus whenever the mouse moves over it or its rows,
  // so that the wheel scrolls it (the main window's behaviour).
  bool FocusOnMouseMove = true;

  int ColNum() const { return FColNum; }
  // Resizes the per-column arrays; new entries are false or 0.
  void SetColNum(int colNum);
  void SetColClickable(int col, bool value);
  void SetColLeft(int col, int value);
  void SetColSelectable(int col, bool value);
  bool ColClickable(int col) const;
  int ColLeft(int col) const;
  bool ColSelectable(int col) const;

  int Count() const { return int(FRows.size()); }
  int SelectedIndex() const { return FSelectedIndex; }
  // Content y where the next row starts, and the last child number given.
  int NextTop() const { return FNextTop; }
  int LastTag() const { return FLastTag; }
  // Children per row: ColNum, plus one for the picture.
  int ChildrenPerRow() const { return FColNum + ((ShowCheckBox || ShowThumbPic) ? 1 : 0); }

  // ---- Events (the owner assigns them).
  TTextClickEvent OnTextClick;
  TTextClickEvent OnTextDblClick;
  TRowChangedEvent OnRowChanged;
  TMyMouseMoveEvent OnMyMouseMove;
  // Thumbnail mode only; a picture accepts drops only while OnDragOver is set.
  TDragOverEvent OnDragOver;
  TDragDropEvent OnDragDrop;

  // ---- Operations.
  // Appends a row. In thumbnail mode the thumbnail of `thumbFile` is drawn
  // into the row's box; when it cannot be read nothing is added and the
  // result is false.
  bool AddRow(const std::vector<std::string>& texts, const std::string& thumbFile, void* p, bool checked);
  void DeleteRow(int row);
  void Clear();
  const TRowNode* GetRow(int row) const;
  void SetSelected(int row, bool value);
  bool GetChecked(int row) const;
  void SetChecked(int row, bool value);
  std::string GetCellText(int row, int col) const;
  void SetCellText(int row, int col, const std::string& text);

  // Starts decoding the thumbnails of files about to be added, on every core;
  // the following AddRow calls for them take the finished pictures in order.
  // Clear forgets the ones not taken yet.
  void PrefetchThumbnails(const std::vector<std::string>& files);
  QSize ThumbBox() const { return QSize(ThumbWidth, ThumbHeight); }

  // The frame round the thumbnail box in picture coordinates (the band the
  // frame pen covers), and the check-box position in a thumbnail picture.
  QRect FrameOuterRect() const;
  QPoint ThumbCheckPos() const { return QPoint(2, ThumbTop + ThumbHeight + TextBorder); }

 protected:
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend class TRowLabel;
  friend class TRowPicture;

  TRowNode* Row(int row) const;
  int RowOfTag(int tag) const { return tag / ChildrenPerRow(); }
  void ApplyFont(QLabel* label, const TFontSpec& font);
  void SetFrame(TRowNode& row, const QColor& color);
  void MarkSelected(TRowNode& row, bool selected);
  void UpdateContentSize();
  void PaintPicture(const TRowPicture& picture, QPainter& painter) const;
  void MouseMoved(QWidget* sender, QMouseEvent* event);

  // Selects the row, then reports a click on `sender` (column `col`) to
  // `event` when the row is there.
  void SelectAndReport(QWidget* sender, int rowIndex, int col, const TTextClickEvent& event);
  // Handlers of the children's mouse events.
  void LabelEnter(TRowLabel* label);
  void LabelLeave(TRowLabel* label);
  void LabelClick(TRowLabel* label);
  void LabelDblClick(TRowLabel* label);
  void PictureEnter(TRowPicture* picture);
  void PictureLeave(TRowPicture* picture);
  void PictureMouseDown(TRowPicture* picture, QPoint pos);
  void PictureDblClick(TRowPicture* picture);
  bool PictureDragOver(TRowPicture* picture, QPoint pos, TDragState state, QObject* source);
  void PictureDrop(TRowPicture* picture, QPoint pos, QObject* source);

  QWidget* FContent;
  int FColNum = 0;
  std::vector<bool> FColClickable;
  std::vector<int> FColLeft;
  std::vector<bool> FColSelectable;
  std::vector<std::unique_ptr<TRowNode>> FRows;  // display order
  int FSelectedIndex = -1;
  int FNextTop = 2;
  int FLastTag = -1;
  TThumbnailCache FThumbs;
};

}  // namespace tessaro
