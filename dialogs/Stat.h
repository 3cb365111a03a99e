// TStatForm: the photo statistics of the current set. A small tool window
// beside the main window: on the left a list with one row per photo of the
// set (number, file name, how many slots use it, a place link and a delete
// link), on the right a large view that shows one photo with its row number.
// A thin button at the divider opens and closes the large view.
//
// The controller fills the list through Rows() (it mirrors the main photo
// list); the form turns the place and delete links into signals for the main
// window, which forwards them to the controller. Clicking a file name shows
// that photo large: the form asks PhotoFileOf for the row's full path.
//
// Lengths are pixels in window coordinates. Ownership: the owner window owns
// the form as a Qt child window; the form owns its list, the row adapter and
// the large view. GUI thread only.
#pragma once

#include <QImage>
#include <QPushButton>
#include <QRect>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "controls/MyListBoxRows.h"
#include "controls/MyListbox.h"
#include "model/Views.h"

namespace tessaro {

// The large view: a photo layer (the photo fitted and centred) under a
// 30 x 30 number layer in the top-left corner, on a dark grey ground.
class TStatScreen : public QWidget {
 public:
  explicit TStatScreen(QWidget* parent);
  // Shows `file` fitted into the view (shrunk, never enlarged) and `number`
  // in the number layer. False (and nothing changes) when the file is missing
  // or cannot be decoded.
  bool ShowPhoto(const std::string& file, int number);
  // Both layers fully transparent.
  void Clear();
  const QImage& PhotoLayer() const { return FPhoto; }
  QRect PhotoRect() const { return FPhotoRect; }
  const QImage& NumberLayer() const { return FNumber; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void DrawNumber(int number);

  QImage FPhoto;  // fitted to FPhotoRect's size; null when the layer is empty
  QRect FPhotoRect;
  QImage FNumber;  // kStatNumberLayerSize square, premultiplied ARGB
};

// The thin button at the divider. Its open look (arrow to the right) invites
// opening the large view; the closing look points back.
class TStatOpenButton : public QWidget {
 public:
  explicit TStatOpenButton(QWidget* parent);
  void SetClosingLook(bool closing);
  bool ClosingLook() const { return FClosing; }
  std::function<void()> OnClick;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QImage FOpenPicture;
  QImage FClosePicture;
  bool FClosing = false;
  bool FHover = false;
  bool FPressed = false;
};

class TStatForm : public QWidget {
  Q_OBJECT

 public:
  // Places of the parts in window coordinates: the title bar, the list
  // panel, the divider button and the large view's panel (the view sits
  // inside it with a one-pixel bevel).
  static constexpr int kTitleHeight = 26;
  static constexpr QRect kListPanel{2, 28, 254, 287};
  static constexpr QRect kOpenButton{257, 28, 6, 287};
  static constexpr QRect kScreenPanel{264, 28, 285, 285};
  // The list's columns: row number, file name, usage count, place, delete.
  static constexpr int kNameColumn = 1;
  static constexpr int kPlaceColumn = 3;
  static constexpr int kDeleteColumn = 4;

  explicit TStatForm(QWidget* owner);
  ~TStatForm() override;

  // The statistics rows (TViews::StatList).
  TRowList& Rows() { return *FRows; }
  TMyListBox& List() { return *FList; }
  // Empties the large view (both layers transparent); the width stays.
  void ClearLargeView();
  // Puts the window where the main window shows it: its bottom-left corner
  // two pixels inside the bottom-left corner of `previewScreen` (the preview
  // area in desktop coordinates), kept on `desktop` (the monitor's available
  // area; an empty rectangle skips that). Uses the width the window has once
  // shown (the list alone).
  void PlaceBeside(const QRect& previewScreen, const QRect& desktop);
  // The main window's statistics button: hides a visible window; otherwise
  // places it (PlaceBeside) and shows it without making it modal.
  void ToggleShown(const QRect& previewScreen, const QRect& desktop);

  // Full path of the photo of a statistics row ("" for none). The main
  // window sets it, e.g. from TMainController::CurrentSet()->Photos[row];
  // without it file names show nothing.
  std::function<std::string(int row)> PhotoFileOf;
  // Shows row `row`'s photo `file` large with the number row + 1, opening
  // the large view when the window is narrow. False (nothing changes) when
  // the file cannot be read.
  bool ShowLargeView(int row, const std::string& file);
  // The divider button: closes a wide window to the list, opens any other.
  void ToggleLargeView();
  bool LargeViewOpen() const { return FOpenButton->ClosingLook(); }
  const TStatScreen& Screen() const { return *FScreen; }

 signals:
  // The place and delete links of a row (the row is already selected).
  void PlaceClicked(int row);
  void DeleteClicked(int row);
  // The user closed the window with its close button.
  void Closed();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void ConfigureList();
  void TextClick(int row, int col);
  void SetWidth(int width, bool open);

  TMyListBox* FList;
  std::unique_ptr<TMyListBoxRows> FRows;
  TStatOpenButton* FOpenButton;
  TStatScreen* FScreen;
  QPushButton* FCloseButton;
  QPoint FDragOffset;
  bool FDragging = false;
};

}  // namespace tessaro
