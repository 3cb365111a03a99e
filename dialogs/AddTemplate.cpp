#include "dialogs/AddTemplate.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFrame>
#include <QHeaderView>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QTreeView>

#include "base/Text.h"
#include "controls/MyEdit.h"
#include "controls/Skin.h"
#include "dialogs/CustomSize.h"
#include "dialogs/DialogLook.h"
#include "model/Package.h"
#include "model/Sizes.h"

namespace tessaro {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }

// The one icon of the package list: an opened album.
QIcon PackageIcon() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.translate(4, 4);
  painter.scale(0.62, 0.62);
  DrawAlbumMark(painter);
  painter.fillRect(QRectF(6, 10, 10, 10), QColor(255, 255, 255, 215));
  painter.fillRect(QRectF(24, 11, 10, 19), QColor(255, 255, 255, 215));
  painter.setPen(QPen(QColor(0x0B, 0x0D, 0x10), 1.2));
  painter.drawLine(QPointF(20, 4), QPointF(20, 40));
  painter.end();
  return QIcon(pixmap);
}

QLineEdit* MakeReadOnlyField(QWidget* parent, int x, int y) {
  auto* edit = new QLineEdit(parent);
  edit->setGeometry(x, y, 87, 20);
  edit->setReadOnly(true);
  edit->setFocusPolicy(Qt::NoFocus);
  return edit;
}

}  // namespace

bool TPackageFolderFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
  auto* model = qobject_cast<QFileSystemModel*>(sourceModel());
  if (!model) return true;
  const QModelIndex index = model->index(sourceRow, 0, sourceParent);
  return !IsTemplatePackage(S(model->filePath(index)));
}

TAddTempForm::TAddTempForm(QWidget* parent, TSizeNode& currentSize, TSizeList& sizeList,
                           const std::string& templateFolder, const std::string& bundledTemplatesFolder)
    : QDialog(parent), FCurrentSize(currentSize), FSizeList(sizeList) {
  ApplyDialogLook(*this, QStringLiteral("导入模板"), 963, 505);

  MakeLabel(this, QStringLiteral("选择模板所在的文件夹"), 16, 40);
  FolderModel = new QFileSystemModel(this);
  FolderModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
  FolderModel->setRootPath(QDir::rootPath());
  FolderFilter = new TPackageFolderFilter(this);
  FolderFilter->setSourceModel(FolderModel);
  ShellTreeViewFolder = new QTreeView(this);
  ShellTreeViewFolder->setGeometry(8, 58, 242, 377);
  ShellTreeViewFolder->setModel(FolderFilter);
  for (int c = 1; c < FolderModel->columnCount(); ++c) ShellTreeViewFolder->hideColumn(c);
  ShellTreeViewFolder->header()->hide();
  ShellTreeViewFolder->setRootIsDecorated(false);
  ShellTreeViewFolder->setItemsExpandable(true);
  ShellTreeViewFolder->setExpandsOnDoubleClick(true);
  connect(ShellTreeViewFolder->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) { TreeCurrentChanged(current); });

  MakeLabel(this, QStringLiteral("当前文件夹下的自动模板"), 256, 40);
  FPackageIcon = PackageIcon();
  ListViewTemp = new QListWidget(this);
  ListViewTemp->setGeometry(256, 58, 362, 377);
  ListViewTemp->setViewMode(QListView::IconMode);
  ListViewTemp->setIconSize(QSize(32, 32));
  ListViewTemp->setGridSize(QSize(86, 64));
  ListViewTemp->setResizeMode(QListView::Adjust);
  ListViewTemp->setMovement(QListView::Static);
  ListViewTemp->setWordWrap(true);
  ListViewTemp->setSelectionMode(QAbstractItemView::ExtendedSelection);
  ListViewTemp->setEditTriggers(QAbstractItemView::NoEditTriggers);
  connect(ListViewTemp, &QListWidget::itemSelectionChanged, this, &TAddTempForm::UpdatePreview);
  connect(ListViewTemp, &QListWidget::itemDoubleClicked, this, [this] { ListViewTempDblClick(); });

  QGroupBox* previewGroup = MakeGroup(this, QStringLiteral("模板预览"), 624, 40, 297, 293);
  PanelPreview = new QFrame(previewGroup);
  PanelPreview->setGeometry(25, 27, 250, 250);
  PanelPreview->setAutoFillBackground(true);
  QPalette black = PanelPreview->palette();
  black.setColor(QPalette::Window, Qt::black);
  PanelPreview->setPalette(black);
  ImagePreview = new QLabel(PanelPreview);
  ImagePreview->setGeometry(1, 1, 248, 248);
  ImagePreview->setScaledContents(false);

  QGroupBox* sizeGroup = MakeGroup(this, QStringLiteral("设置"), 624, 345, 297, 90);
  MakeLabel(sizeGroup, QStringLiteral("模板尺寸"), 16, 27);
  MyEditSize = new TMyEdit(sizeGroup);
  MyEditSize->setGeometry(78, 24, 195, 21);
  MyEditSize->SetColor(Qt::gray);
  MyEditSize->SetFont(TFontSpec{ListFont(9), Qt::black});
  MyEditSize->SetBKBmp(SkinImage(QStringLiteral("edit_strip"), QSize(1, 21)));
  MyEditSize->SetBKBmp2(SkinImage(QStringLiteral("edit_strip_pressed"), QSize(1, 21)));
  MyEditSize->setCursor(Qt::PointingHandCursor);
  MakeLabel(sizeGroup, QStringLiteral("宽度"), 16, 58);
  EditWidth = MakeReadOnlyField(sizeGroup, 44, 55);
  MakeLabel(sizeGroup, QStringLiteral("高度"), 152, 58);
  EditHeight = MakeReadOnlyField(sizeGroup, 186, 55);

  LabelPath = new QLabel(this);
  LabelPath->setGeometry(8, 457, 940, 16);

  ButtonOK = MakeButton(this, QStringLiteral("导入模板(&L)"), 408, 477, 105, 25);
  ButtonCancel = MakeButton(this, QStringLiteral("取消(&C)"), 534, 477, 75, 25);
  ButtonOK->setDefault(true);
  connect(ButtonOK, &QAbstractButton::clicked, this, &TAddTempForm::ButtonOKClick);
  connect(ButtonCancel, &QAbstractButton::clicked, this, [this] {
    FResult = false;
    reject();
  });

  PopupMenuSize = new QMenu(this);
  QFont menuFont;
  menuFont.setFamilies(QStringList{QStringLiteral("WenQuanYi Micro Hei Mono"),
                                   QStringLiteral("Noto Sans Mono CJK SC"),
                                   QStringLiteral("DejaVu Sans Mono")});
  menuFont.setPixelSize(12);
  PopupMenuSize->setFont(menuFont);
  connect(PopupMenuSize, &QMenu::aboutToHide, MyEditSize, [this] { MyEditSize->SetShowBKBmp2(false); });
  MyEditSize->OnMouseDown = [this](TMyEdit*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
    MyEditSize->SetShowBKBmp2(true);
    PopupMenuSize->popup(MyEditSize->mapToGlobal(QPoint(0, 0)));
  };

  ShowInfo = [this](const std::string& text) { ShowInfoBox(this, text); };
  EditCustomSizes = [this](TSizeList& list) { ExecCustomSizeDialog(this, list); };

  SetCurrentFolder(BrowserStartFolder(templateFolder, bundledTemplatesFolder));
  BuildMenu();
  ShowSizeRecord(&FCurrentSize);
}

void TAddTempForm::SetCurrentFolder(const std::string& folder) {
  if (folder.empty()) {
    ShellTreeViewFolder->setCurrentIndex(QModelIndex());
    ShellTreeViewFolderChange(std::string());
    return;
  }
  const QModelIndex source = FolderModel->index(QDir::cleanPath(Q(folder)));
  const QModelIndex index = FolderFilter->mapFromSource(source);
  if (!index.isValid()) {
    // Not a node of the tree (a package itself, or not yet known): list it anyway.
    ShellTreeViewFolderChange(folder);
    return;
  }
  for (QModelIndex p = index.parent(); p.isValid(); p = p.parent()) ShellTreeViewFolder->expand(p);
  ShellTreeViewFolder->setCurrentIndex(index);
  ShellTreeViewFolder->scrollTo(index);
  // Selecting the index that is already current raises no change.
  if (FCurrentFolder != S(FolderModel->filePath(source)))
    ShellTreeViewFolderChange(S(FolderModel->filePath(source)));
}

void TAddTempForm::TreeCurrentChanged(const QModelIndex& current) {
  if (!current.isValid()) {
    ShellTreeViewFolderChange(std::string());
    return;
  }
  ShellTreeViewFolderChange(S(FolderModel->filePath(FolderFilter->mapToSource(current))));
}

void TAddTempForm::ShellTreeViewFolderChange(const std::string& folder) {
  ListViewTemp->clear();
  FCurrentFolder = folder;
  LabelPath->setText(Q(folder));
  static const QIcon icon = PackageIcon();
  for (const std::string& name : ListTemplatePackages(folder))
    new QListWidgetItem(icon, Q(name), ListViewTemp);
}

std::vector<std::string> TAddTempForm::SelectedPackages() const {
  std::vector<std::string> names;
  for (int i = 0; i < ListViewTemp->count(); ++i)
    if (ListViewTemp->item(i)->isSelected()) names.push_back(S(ListViewTemp->item(i)->text()));
  return names;
}

void TAddTempForm::UpdatePreview() {
  const std::vector<std::string> selected = SelectedPackages();
  switch (PreviewActionFor(static_cast<int>(selected.size()))) {
    case TPreviewAction::Keep:
      return;
    case TPreviewAction::Clear:
      ImagePreview->clear();
      return;
    case TPreviewAction::ShowSelected:
      break;
  }
  const QString file = QDir(Q(FCurrentFolder)).filePath(Q(selected.front()) + "/" + kSampleName);
  if (!QFileInfo(file).isFile()) return;
  QImageReader reader(file, "jpg");
  const QImage image = reader.read();
  if (image.isNull()) return;
  const TPreviewPlacement place =
      PlacePreview(image.width(), image.height(), PanelPreview->width(), PanelPreview->height());
  if (place.Width <= 0 || place.Height <= 0) return;
  ImagePreview->setGeometry(place.X, place.Y, place.Width, place.Height);
  ImagePreview->setPixmap(QPixmap::fromImage(
      image.scaled(place.Width, place.Height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
}

void TAddTempForm::ShowSizeRecord(const TSizeNode* size) {
  const TSizeDisplay shown = SizeDisplay(size);
  MyEditSize->SetCaption(shown.Caption);
  EditWidth->setText(Q(shown.Width));
  EditHeight->setText(Q(shown.Height));
}

void TAddTempForm::BuildMenu() {
  PopupMenuSize->clear();
  for (const TSizeMenuItem& item : BuildSizeMenu(FSizeList)) {
    if (item.Separator) {
      PopupMenuSize->addSeparator();
      continue;
    }
    // "&" is shown as itself: menu captions get no accelerators.
    QAction* action = PopupMenuSize->addAction(Q(item.Caption).replace('&', QStringLiteral("&&")));
    const int tag = item.Tag;
    connect(action, &QAction::triggered, this, [this, tag] { SizeMenuClick(tag); });
  }
}

void TAddTempForm::SizeMenuClick(int tag) {
  const TSizeChoice choice = ChooseMenuSize(tag, FSizeList, FCurrentSize);
  if (choice.OpenCustomSizes) {
    if (EditCustomSizes) EditCustomSizes(FSizeList);
    BuildMenu();
    return;
  }
  if (choice.Chosen) ShowSizeRecord(choice.Chosen);
}

void TAddTempForm::ButtonOKClick() {
  const TBrowserCheck check =
      CheckTemplateBrowser(FCurrentSize, static_cast<int>(ListViewTemp->selectedItems().size()));
  if (!check.Ok()) {
    if (ShowInfo) ShowInfo(check.Message);
    if (check.Focus == TBrowserFocus::SizeSelector) MyEditSize->setFocus(Qt::OtherFocusReason);
    if (check.Focus == TBrowserFocus::List) ListViewTemp->setFocus(Qt::OtherFocusReason);
    return;
  }
  FResult = true;
  accept();
}

void TAddTempForm::ListViewTempDblClick() {
  if (!ListViewTemp->selectedItems().isEmpty()) ButtonOKClick();
}

TTemplateBrowserResult TAddTempForm::BrowserResult() const {
  TTemplateBrowserResult result;
  result.Confirmed = FResult;
  result.Folder = FCurrentFolder;
  if (FResult) result.Packages = SelectedPackages();
  return result;
}

TTemplateBrowserResult ExecTemplateBrowser(QWidget* parent, TSizeNode& currentSize, TSizeList& sizeList,
                                           const std::string& templateFolder,
                                           const std::string& bundledTemplatesFolder) {
  TAddTempForm form(parent, currentSize, sizeList, templateFolder, bundledTemplatesFolder);
  form.exec();
  return form.BrowserResult();
}

}  // namespace tessaro
