#include "app/DialogService.h"

#include <QAbstractButton>
#include <QDir>

#include "base/FileIo.h"
#include "dialogs/AddTemplate.h"
#include "dialogs/CustomSize.h"
#include "model/Photos.h"

namespace tessaro {

namespace {

// The set-file dialogs' filter.
constexpr const char* kSetFileFilter = "套系文件(*.cys)|*.cys";

QString Q(const std::string& text) { return QString::fromStdString(text); }

std::vector<std::string> ToStd(const QStringList& files) {
  std::vector<std::string> out;
  out.reserve(static_cast<size_t>(files.size()));
  for (const QString& f : files) out.push_back(QDir::toNativeSeparators(f).toStdString());
  return out;
}

// Runs a picker; the chosen files, none when cancelled.
QStringList Run(QFileDialog& dialog) {
  if (dialog.exec() != QDialog::Accepted) return {};
  return dialog.selectedFiles();
}

std::string First(const QStringList& files) {
  return files.isEmpty() ? std::string() : QDir::toNativeSeparators(files.first()).toStdString();
}

// "*.psd;*.pdd;" -> "*.psd *.pdd"
QString Patterns(const std::string& list) { return Q(list).split(u';', Qt::SkipEmptyParts).join(u' '); }

std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* parent, const QString& title) {
  auto dialog = std::make_unique<QFileDialog>(parent, title);
  // Qt's own dialog: the same on every desktop, and scriptable in tests.
  dialog->setOption(QFileDialog::DontUseNativeDialog, true);
  dialog->setModal(true);
  return dialog;
}

}  // namespace

std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* parent, TBoxKind kind, const std::string& caption,
                                            const std::string& text) {
  auto box = std::make_unique<QMessageBox>(parent);
  box->setWindowTitle(Q(caption));
  box->setText(Q(text));
  box->setWindowModality(Qt::ApplicationModal);
  // The questions' buttons; Escape answers with the last of them.
  QMessageBox::StandardButtons buttons = QMessageBox::Ok;
  QMessageBox::StandardButton escape = QMessageBox::Cancel;
  switch (kind) {
    case TBoxKind::Info:
      break;
    case TBoxKind::YesNo:
      buttons = QMessageBox::Yes | QMessageBox::No;
      escape = QMessageBox::No;
      break;
    case TBoxKind::YesNoCancel:
      buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
      break;
    case TBoxKind::OkCancel:
      buttons = QMessageBox::Ok | QMessageBox::Cancel;
      break;
  }
  box->setIcon(kind == TBoxKind::Info ? QMessageBox::Information : QMessageBox::Question);
  box->setStandardButtons(buttons);
  if (kind != TBoxKind::Info) box->setEscapeButton(escape);
  const std::pair<QMessageBox::StandardButton, const char*> labels[] = {{QMessageBox::Ok, "确定"},
                                                                        {QMessageBox::Yes, "是(&Y)"},
                                                                        {QMessageBox::No, "否(&N)"},
                                                                        {QMessageBox::Cancel, "取消"}};
  for (const auto& [which, label] : labels)
    if (QAbstractButton* b = box->button(which)) b->setText(QString::fromUtf8(label));
  box->setDefaultButton(kind == TBoxKind::Info || kind == TBoxKind::OkCancel ? QMessageBox::Ok
                                                                             : QMessageBox::Yes);
  return box;
}

QStringList QtNameFilters(const std::string& pairs) {
  const QStringList parts = Q(pairs).split(u'|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString name = parts[i].trimmed();
    const QString patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts).join(u' ');
    if (patterns.isEmpty()) continue;
    // A name that already ends with its patterns in brackets is what Qt reads.
    if (name.endsWith(u')') && name.contains(u'('))
      filters << name;
    else
      filters << (name.isEmpty() ? patterns : name + " (" + patterns + ")");
  }
  return filters;
}

QStringList PictureNameFilters() {
  const QString transparent = Patterns(kTransparentExtensions);
  const QString opaque = Patterns(kOpaqueExtensions);
  const QString patterns[3] = {transparent + u' ' + opaque, transparent, opaque};
  QStringList filters;
  for (int i = 0; i < 3; ++i) {
    // The entry names carry their patterns in the old form "(*.A;*.B)"; Qt
    // needs them space-separated, so only the name before the bracket is kept.
    QString name = QString::fromUtf8(kPictureFilterNames[i]);
    if (qsizetype bracket = name.indexOf(u'('); bracket >= 0) name = name.left(bracket).trimmed();
    filters << name + " (" + patterns[i] + ")";
  }
  return filters;
}

std::unique_ptr<QFileDialog> MakeSaveSetDialog(QWidget* parent, const std::string& title,
                                               const std::string& proposedName) {
  auto dialog = MakeFileDialog(parent, Q(title));
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setFileMode(QFileDialog::AnyFile);
  dialog->setOption(QFileDialog::DontConfirmOverwrite, true);
  dialog->setNameFilters(QtNameFilters(kSetFileFilter));
  dialog->setDefaultSuffix("cys");
  dialog->selectFile(Q(proposedName));
  return dialog;
}

std::unique_ptr<QFileDialog> MakeOpenSetDialog(QWidget* parent) {
  auto dialog = MakeFileDialog(parent, QString());
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setFileMode(QFileDialog::ExistingFiles);
  dialog->setNameFilters(QtNameFilters(kSetFileFilter));
  dialog->setDefaultSuffix("cys");
  return dialog;
}

std::unique_ptr<QFileDialog> MakeOpenPictureDialog(QWidget* parent, int filterIndex) {
  auto dialog = MakeFileDialog(parent, QString());
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setFileMode(QFileDialog::ExistingFiles);
  const QStringList filters = PictureNameFilters();
  dialog->setNameFilters(filters);
  const int index = filterIndex >= 1 && filterIndex <= filters.size() ? filterIndex - 1 : 0;
  dialog->selectNameFilter(filters[index]);
  return dialog;
}

std::unique_ptr<QFileDialog> MakeSaveResultDialog(QWidget* parent, const std::string& proposedName,
                                                  const std::string& defaultExtension,
                                                  const std::string& filter) {
  auto dialog = MakeFileDialog(parent, QString());
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setFileMode(QFileDialog::AnyFile);
  dialog->setNameFilters(QtNameFilters(filter));
  QString suffix = Q(defaultExtension);
  if (suffix.startsWith(u'.')) suffix.remove(0, 1);
  dialog->setDefaultSuffix(suffix);
  dialog->selectFile(Q(proposedName));
  return dialog;
}

std::unique_ptr<QFileDialog> MakeFolderDialog(QWidget* parent, const std::string& title) {
  auto dialog = MakeFileDialog(parent, Q(title));
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setFileMode(QFileDialog::Directory);
  dialog->setOption(QFileDialog::ShowDirsOnly, true);
  return dialog;
}

TQtDialogService::TQtDialogService(QWidget* parent) : FParent(parent) {}

void TQtDialogService::SetTemplateFolders(const TAppSettings* settings, std::string bundledTemplatesFolder) {
  FSettings = settings;
  FBundledTemplates = std::move(bundledTemplatesFolder);
}

void TQtDialogService::ShowInfo(const std::string& text) {
  MakeMessageBox(FParent, TBoxKind::Info, kInfoCaption, text)->exec();
}

TAnswer TQtDialogService::AskYesNo(const std::string& caption, const std::string& text) {
  const int answer = MakeMessageBox(FParent, TBoxKind::YesNo, caption, text)->exec();
  return answer == QMessageBox::Yes ? TAnswer::Yes : TAnswer::No;
}

TAnswer TQtDialogService::AskYesNoCancel(const std::string& caption, const std::string& text) {
  switch (MakeMessageBox(FParent, TBoxKind::YesNoCancel, caption, text)->exec()) {
    case QMessageBox::Yes:
      return TAnswer::Yes;
    case QMessageBox::No:
      return TAnswer::No;
    default:
      return TAnswer::Cancel;
  }
}

bool TQtDialogService::AskOkCancel(const std::string& caption, const std::string& text) {
  return MakeMessageBox(FParent, TBoxKind::OkCancel, caption, text)->exec() == QMessageBox::Ok;
}

std::string TQtDialogService::SaveSetFileName(const std::string& title, const std::string& proposedName) {
  return First(Run(*MakeSaveSetDialog(FParent, title, proposedName)));
}

std::vector<std::string> TQtDialogService::OpenSetFileNames() {
  return ToStd(Run(*MakeOpenSetDialog(FParent)));
}

std::vector<std::string> TQtDialogService::OpenPictureFileNames(int filterIndex) {
  return ToStd(Run(*MakeOpenPictureDialog(FParent, filterIndex)));
}

TTemplateBrowserResult TQtDialogService::BrowseTemplates(TSizeNode& currentSize, TSizeList& sizeList) {
  return ExecTemplateBrowser(FParent, currentSize, sizeList, FSettings ? FSettings->TempPath : std::string(),
                             FBundledTemplates);
}

void TQtDialogService::EditCustomSizes(TSizeList& sizeList) { ExecCustomSizeDialog(FParent, sizeList); }

std::string TQtDialogService::SaveResultFileName(const std::string& proposedName,
                                                 const std::string& defaultExtension,
                                                 const std::string& filter) {
  return First(Run(*MakeSaveResultDialog(FParent, proposedName, defaultExtension, filter)));
}

std::string TQtDialogService::ChooseFolder(const std::string& title) {
  const std::string folder = First(Run(*MakeFolderDialog(FParent, title)));
  return folder.empty() ? folder : WithTrailingSeparator(folder);
}

}  // namespace tessaro
