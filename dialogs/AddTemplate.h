// TAddTempForm: the template browser. A folder tree that never shows package
// folders, the packages directly inside the current folder, the preview of
// the selected package's Sample.jpg and the size selector with its own size
// menu. The dialog imports nothing: after OK the opener imports the selected
// packages with the chosen size. The listing and checking rules live in
// model/DialogLogic. GUI thread only; the size record and the catalogue
// outlive the dialog.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QSortFilterProxyModel>
#include <functional>
#include <string>
#include <vector>

#include "model/DialogLogic.h"
#include "model/Views.h"

class QFileSystemModel;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QTreeView;

namespace tessaro {

class TMyEdit;
class TSkinButton;

// Hides template packages from a file-system model: only the folders that
// hold them show.
class TPackageFolderFilter : public QSortFilterProxyModel {
  Q_OBJECT

 public:
  explicit TPackageFolderFilter(QObject* parent) : QSortFilterProxyModel(parent) {}

 protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
};

class TAddTempForm : public QDialog {
  Q_OBJECT

 public:
  // `currentSize` is the opener's size record: choosing a size copies into it
  // at once. Starts at `templateFolder` when it is a folder, else at
  // `bundledTemplatesFolder`, else at the tree's root.
  TAddTempForm(QWidget* parent, TSizeNode& currentSize, TSizeList& sizeList,
               const std::string& templateFolder, const std::string& bundledTemplatesFolder);

  // The tree's current folder ("" at the root).
  std::string CurrentFolder() const { return FCurrentFolder; }
  // Makes `folder` the tree's current folder (which lists its packages).
  void SetCurrentFolder(const std::string& folder);
  // Refills the package list for a folder and shows its path.
  void ShellTreeViewFolderChange(const std::string& folder);
  // Captions of the selected packages, in list order.
  std::vector<std::string> SelectedPackages() const;
  // The preview after a change of the list.
  void UpdatePreview();
  void ShowSizeRecord(const TSizeNode* size);
  void BuildMenu();
  // A size menu item was chosen (tag -1: the custom-size entry).
  void SizeMenuClick(int tag);
  void ButtonOKClick();
  void ListViewTempDblClick();

  bool Result() const { return FResult; }
  TTemplateBrowserResult BrowserResult() const;

  std::function<void(const std::string& text)> ShowInfo;
  // Opens the custom-size dialog on the catalogue, modally.
  std::function<void(TSizeList& sizeList)> EditCustomSizes;

  QTreeView* ShellTreeViewFolder;
  QFileSystemModel* FolderModel;
  TPackageFolderFilter* FolderFilter;
  QListWidget* ListViewTemp;
  QFrame* PanelPreview;
  QLabel* ImagePreview;
  TMyEdit* MyEditSize;
  QLineEdit* EditWidth;
  QLineEdit* EditHeight;
  QLabel* LabelPath;
  TSkinButton* ButtonOK;
  TSkinButton* ButtonCancel;
  QMenu* PopupMenuSize;

 private:
  void TreeCurrentChanged(const QModelIndex& current);

  TSizeNode& FCurrentSize;
  TSizeList& FSizeList;
  std::string FCurrentFolder;
  bool FResult = false;
  QIcon FPackageIcon;  // the one icon of every package item
};

// Shows the template browser modally over `parent` and hands back what the
// opener imports.
TTemplateBrowserResult ExecTemplateBrowser(QWidget* parent, TSizeNode& currentSize, TSizeList& sizeList,
                                           const std::string& templateFolder,
                                           const std::string& bundledTemplatesFolder);

}  // namespace tessaro
